#pragma once
// What one machine's service is now: its state, start type and logon account as the service
// manager reports them, and whether an account holds the right to log on as a service there.
// Reads only: nothing on the machine is changed.
#include <cstdint>
#include <string>

namespace vantrel {

struct ServiceSurvey {
    std::string state;      // "Running", "Stopped", "Start Pending" ...; empty when not read
    std::string startType;  // "Auto", "Demand", "Disabled" ...; empty when not read
    std::string account;    // the logon account exactly as the service manager reports it
    std::string logonRight; // "True", "False", or "Unknown" when the rights could not be read
    std::string error;      // the failed step's text; empty when everything was read
};

// `rightsAccount`: whose logon right to read; empty: the service's own account.
ServiceSurvey SurveyService(const std::string& machine, const std::string& service,
                            const std::string& rightsAccount);

// "Running", "Stop Pending" ...: a service state as an administrator reads it.
std::string ServiceStateText(std::uint32_t state);
// "Auto", "Demand", "Disabled" ...
std::string StartTypeText(std::uint32_t startType);
// Whether two account names are the same account as written: letter case aside.
bool SameAccount(const std::string& a, const std::string& b);

} // namespace vantrel
