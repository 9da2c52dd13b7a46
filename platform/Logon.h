#pragma once
// A network logon of a domain account through its domain's controller (LogonUserW with
// LOGON32_LOGON_NETWORK on Windows): proves an account name and password before anything
// is configured with them.
#include "platform/Types.h"

#include <string>

namespace platform {

namespace err {
constexpr std::uint32_t NoLogonServers = 1311;      // ERROR_NO_LOGON_SERVERS
constexpr std::uint32_t LogonFailure = 1326;        // ERROR_LOGON_FAILURE
constexpr std::uint32_t InvalidLogonHours = 1328;   // ERROR_INVALID_LOGON_HOURS
constexpr std::uint32_t InvalidWorkstation = 1329;  // ERROR_INVALID_WORKSTATION
constexpr std::uint32_t PasswordExpired = 1330;     // ERROR_PASSWORD_EXPIRED
constexpr std::uint32_t AccountDisabled = 1331;     // ERROR_ACCOUNT_DISABLED
constexpr std::uint32_t LogonTypeNotGranted = 1385; // ERROR_LOGON_TYPE_NOT_GRANTED
constexpr std::uint32_t AccountExpired = 1793;      // ERROR_ACCOUNT_EXPIRED
constexpr std::uint32_t PasswordMustChange = 1907;  // ERROR_PASSWORD_MUST_CHANGE
constexpr std::uint32_t AccountLockedOut = 1909;    // ERROR_ACCOUNT_LOCKED_OUT
} // namespace err

class Logon {
  public:
    virtual ~Logon() = default;
    // 0 when `domain`\`user` may log on with `password`; else the Windows error code
    // (1326 unknown account or bad password, 1331 disabled, 1909 locked out, 1330 password
    // expired, 1385 network logons not granted to the account, 1311 the domain's controller
    // cannot be reached; Windows may also answer 1328, 1329, 1793, 1907). An empty `domain`
    // means `user` is written name@domain, as LogonUserW takes it without a domain.
    virtual std::uint32_t CheckNetworkLogon(const std::string& domain, const std::string& user,
                                            const std::string& password) = 0;
};

} // namespace platform
