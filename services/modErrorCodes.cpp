#include "services/modErrorCodes.h"

#include "common/Dialogs.h"

#include <exception>

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

} // namespace

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
