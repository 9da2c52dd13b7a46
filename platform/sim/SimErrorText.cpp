// The texts Windows gives for the codes the simulated network answers with, and the others this
// program meets on a real one.
#include "platform/ErrorText.h"

namespace platform {

std::string errorDescription(std::uint32_t code) {
    switch (code) {
    case 2:
        return "The system cannot find the file specified.";
    case 5:
        return "Access is denied.";
    case 6:
        return "The handle is invalid.";
    case 53:
        return "The network path was not found.";
    case 87:
        return "The parameter is incorrect.";
    case 123:
        return "The filename, directory name, or volume label syntax is incorrect.";
    case 234:
        return "More data is available.";
    case 259:
        return "No more data is available.";
    case 997:
        return "Overlapped I/O operation is in progress.";
    case 1053:
        return "The service did not respond to the start or control request in a timely fashion.";
    case 1055:
        return "The service database is locked.";
    case 1056:
        return "An instance of the service is already running.";
    case 1057:
        return "The account name is invalid or does not exist, or the password is invalid for the account "
               "name specified.";
    case 1058:
        return "The service cannot be started, either because it is disabled or because it has no enabled "
               "devices associated with it.";
    case 1060:
        return "The specified service does not exist as an installed service.";
    case 1061:
        return "The service cannot accept control messages at this time.";
    case 1062:
        return "The service has not been started.";
    case 1067:
        return "The process terminated unexpectedly.";
    case 1069:
        return "The service did not start due to a logon failure.";
    case 1311:
        return "There are currently no logon servers available to service the logon request.";
    case 1313:
        return "A specified privilege does not exist.";
    case 1326:
        return "The user name or password is incorrect.";
    case 1328:
        return "Your account has time restrictions that keep you from signing in right now.";
    case 1329:
        return "This user isn't allowed to sign in to this computer.";
    case 1330:
        return "The password for this account has expired.";
    case 1331:
        return "This user can't sign in because this account is currently disabled.";
    case 1332:
        return "No mapping between account names and security IDs was done.";
    case 1385:
        return "Logon failure: the user has not been granted the requested logon type at this computer.";
    case 1722:
        return "The RPC server is unavailable.";
    case 1793:
        return "The user's account has expired.";
    case 1907:
        return "The user's password must be changed before signing in.";
    case 1909:
        return "The referenced account is currently locked out and may not be logged on to.";
    case 6118:
        return "The list of servers for this workgroup is not currently available";
    default:
        return {}; // as FormatMessage has no text for it (2273 and the other network codes included)
    }
}

} // namespace platform
