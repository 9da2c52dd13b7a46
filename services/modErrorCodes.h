#pragma once
#include <cstdint>
#include <string>

namespace vantrel {

// The message for a service control error code, with a hint at the usual cause.
std::string ServiceErrorText(std::int32_t code);

// A service procedure's error text as a person reads it: the message, the Windows error number
// with the system's own description of it, and the procedure and step that failed, e.g.
// "error 5: Access is denied. (ChangeServicePassword: OpenSCManager)". Texts of another form are
// given back without their "Error::" mark.
std::string ServiceFailureReason(const std::string& errorText);

} // namespace vantrel
