#include "messages/SendNetMessage.h"

#include "platform/Platform.h"

#include <cstdint>
#include <limits>
#include <string>

namespace vantrel {

bool SendNetMessage(const QString& machine, const QString& text) {
    try {
        // The messenger is given two bytes per UTF-16 unit of the text plus the first byte of
        // the terminator. A text too long for that count cannot be sent.
        const auto units = static_cast<std::uint64_t>(text.size());
        if (units > (std::numeric_limits<std::uint32_t>::max() - 1) / 2) return false;
        const auto byteLength = static_cast<std::uint32_t>(2 * units + 1);

        std::u16string msgName = machine.toStdU16String();
        msgName.push_back(u'\0');
        std::u16string buffer = text.toStdU16String();
        buffer.push_back(u'\0');
        return platform::network().NetMessageBufferSend(msgName, buffer, byteLength) == 0;
    } catch (...) {
        // A fault inside the platform call counts as not delivered.
        return false;
    }
}

QString sendFailedLine(const QString& machine) {
    return machine + QStringLiteral(":>> FAILED <<: Could not send message");
}

void SendMessageRun(MessageRunHost& host) {
    if (host.messageText().isEmpty() || host.clientCount() == 0) return;

    host.startProgress(QStringLiteral("Sending message..."));
    try {
        host.yield();
        // The count is read on every pass: the list may be edited while the run yields.
        for (int i = 0; i < host.clientCount() && !host.stopRequested(); ++i) {
            host.yield();
            if (host.stopRequested() || i >= host.clientCount()) break;
            if (!host.clientTicked(i)) continue;

            const QString machine = host.clientName(i);
            host.setProgressMessage(QStringLiteral("Sending message to --> ") + machine);
            if (host.stopRequested()) break;
            if (!SendNetMessage(machine, host.messageText())) host.report(sendFailedLine(machine));
        }
    } catch (...) {
        // An unexpected fault ends the run quietly; the progress window still goes away.
    }
    host.stopProgress();
}

} // namespace vantrel
