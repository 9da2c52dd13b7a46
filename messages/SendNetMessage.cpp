#include "messages/SendNetMessage.h"

#include "common/Names.h"
#include "platform/Platform.h"

#include <cstdint>
#include <limits>
#include <string>

namespace vantrel {

QString messageWireText(const QString& text) {
    QString wire;
    wire.reserve(text.size() + text.size() / 16);
    for (qsizetype i = 0; i < text.size(); ++i) {
        const QChar c = text.at(i);
        if (c == u'\r') {
            if (i + 1 < text.size() && text.at(i + 1) == u'\n') ++i;
            wire += QLatin1String("\r\n");
        } else if (c == u'\n' || c == QChar::ParagraphSeparator || c == QChar::LineSeparator) {
            wire += QLatin1String("\r\n");
        } else {
            wire += c;
        }
    }
    return wire;
}

bool SendNetMessage(const QString& machine, const QString& text) {
    try {
        // The messenger's empty name is this computer: a blank name is never sent to.
        const std::string name = machineName(machine.toStdString());
        if (name.empty()) return false;
        const QString wire = messageWireText(text);
        // The messenger is given two bytes per UTF-16 unit of the text plus the first byte of
        // the terminator. A text too long for that count cannot be sent.
        const auto units = static_cast<std::uint64_t>(wire.size());
        if (units > (std::numeric_limits<std::uint32_t>::max() - 1) / 2) return false;
        const auto byteLength = static_cast<std::uint32_t>(2 * units + 1);

        std::u16string msgName = QString::fromStdString(name).toStdU16String();
        msgName.push_back(u'\0');
        std::u16string buffer = wire.toStdU16String();
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

QString sendBlankMachineLine() {
    return QStringLiteral(":>> FAILED <<: Could not send message: the machine name is empty");
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
            if (machineName(machine.toStdString()).empty()) {
                host.report(sendBlankMachineLine());
                continue;
            }
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
