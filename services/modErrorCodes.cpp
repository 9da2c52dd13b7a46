#include "services/modErrorCodes.h"

#include "common/Dialogs.h"
#include "platform/ErrorText.h"

#include <algorithm>
#include <cctype>
#include <exception>
#include <vector>

namespace vantrel {

namespace {

// The codes an administrator meets when reconfiguring and restarting services remotely,
// each with a hint at the usual cause.
const char* knownText(std::int32_t code) {
    switch (code) {
    case 997:
        return "Overlapped I/O Operation is in progress.  The service DB may be locked.";
    case 1052:
        return "Requested control is not valid for this service.";
    case 1057:
        return "Account name and/or password is invalid.";
    case 1058:
        return "Service cannot be started.  Ensure that it is not disabled";
    case 1060:
        return "Specified service does not exist.";
    case 1061:
        return "Service cannot accept control message at this time.";
    case 1062:
        return "Service has not been started.";
    case 1067:
        return "Process aborted unexpectedly. Check that the account has proper rights.";
    case 1069:
        return "Service did not start due to logon failure.  Check password and/or account name";
    case 1722:
        return "RPC Server is unavailable. The client may not be accessible. Try pinging the client.";
    default:
        return nullptr;
    }
}

const std::string UnknownCodeText = "Unexpected Error.  Check Microsoft for related Error Code = ";

bool allDigits(const std::string& text) {
    return !text.empty() &&
           std::all_of(text.begin(), text.end(), [](unsigned char c) { return std::isdigit(c) != 0; });
}

std::vector<std::string> splitAtDoubleColons(const std::string& text) {
    std::vector<std::string> parts;
    std::size_t from = 0;
    for (std::size_t at; (at = text.find("::", from)) != std::string::npos; from = at + 2)
        parts.push_back(text.substr(from, at - from));
    parts.push_back(text.substr(from));
    return parts;
}

} // namespace

std::string ServiceFailureReason(const std::string& errorText) {
    // "Error::" message "::" [code "::"] procedure ":" step "::" fault, as the procedures build it.
    std::vector<std::string> parts = splitAtDoubleColons(errorText);
    if (parts.size() == 2 && parts.front().empty()) return parts.back(); // a fault alone
    if (parts.size() > 1 && parts.front() == "Error") parts.erase(parts.begin());
    std::string message = parts.front();
    std::string code;
    std::size_t next = 1;
    if (parts.size() > 1 && allDigits(parts[1])) {
        code = parts[1];
        next = 2;
    } else if (message.rfind(UnknownCodeText, 0) == 0 && allDigits(message.substr(UnknownCodeText.size()))) {
        // Says no more than the number, which the system's description follows.
        code = message.substr(UnknownCodeText.size());
        message.clear();
    }
    std::string where = next < parts.size() ? parts[next] : std::string();
    const std::string fault = next + 1 < parts.size() ? parts[next + 1] : std::string();
    if (const auto colon = where.find(':'); colon != std::string::npos) where.replace(colon, 1, ": ");

    std::string reason = message;
    if (!code.empty()) {
        if (!reason.empty()) reason += "; ";
        reason += "error " + code;
        const std::string description =
            code.size() <= 9 ? platform::errorDescription(static_cast<std::uint32_t>(std::stoul(code))) : "";
        if (!description.empty()) reason += ": " + description;
    }
    if (!where.empty()) reason += (reason.empty() ? "" : " ") + ("(" + where + ")");
    if (!fault.empty()) reason += (reason.empty() ? "" : "; ") + fault;
    return reason;
}

std::string ServiceErrorText(std::int32_t code) {
    try {
        if (const char* text = knownText(code)) return std::string(text) + "::" + std::to_string(code);
        return "Unexpected Error.  Check Microsoft for related Error Code = " + std::to_string(code);
    } catch (const std::exception& e) {
        dialogs().message(Icon::Critical, "Error...",
                          std::string("Error::") + e.what() + "\r\nUnable to determine error::" +
                              std::to_string(code) + "\r\n" + reportBugsLine());
        return {};
    }
}

} // namespace vantrel
