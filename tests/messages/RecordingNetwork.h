#pragma once
// A messenger that records every NetMessageBufferSend exactly as it was called and answers
// with a status chosen per machine (0, delivered, unless told otherwise).
#include "platform/Platform.h"

#include <QString>

#include <map>
#include <stdexcept>
#include <vector>

struct SentMessage {
    std::u16string msgName;
    std::u16string buffer;
    std::uint32_t byteLength = 0;

    // The machine and the text as the receiving messenger reads them: the name up to its
    // terminator, the text up to the byte length.
    QString machine() const {
        const auto end = msgName.find(u'\0');
        return QString::fromStdU16String(msgName.substr(0, end));
    }
    QString text() const { return QString::fromStdU16String(buffer.substr(0, byteLength / 2)); }
};

class RecordingNetwork : public platform::NetworkManagement {
  public:
    std::vector<SentMessage> sent;
    std::map<QString, std::uint32_t> statusFor; // by machine name; missing: 0
    bool throwOnSend = false;

    platform::ServerEnumeration NetServerEnum(std::uint32_t) override { return {}; }
    std::uint32_t NetMessageBufferSend(const std::u16string& msgName, const std::u16string& buffer,
                                       std::uint32_t byteLength) override {
        if (throwOnSend) throw std::runtime_error("messenger fault");
        sent.push_back({msgName, buffer, byteLength});
        const auto it = statusFor.find(sent.back().machine());
        return it == statusFor.end() ? 0 : it->second;
    }
};

// Installs a network for the lifetime of the object.
class NetworkInstalled {
  public:
    explicit NetworkInstalled(platform::NetworkManagement& n) { platform::setNetwork(&n); }
    ~NetworkInstalled() { platform::setNetwork(nullptr); }
    NetworkInstalled(const NetworkInstalled&) = delete;
    NetworkInstalled& operator=(const NetworkInstalled&) = delete;
};
