#pragma once
// What the platform says a Windows error code means, as an administrator reads it beside the
// number (5: "Access is denied.").
#include <cstdint>
#include <string>

namespace platform {

// The system's text for a Windows error code, without its line end; empty when the system has
// none for it.
std::string errorDescription(std::uint32_t code);

} // namespace platform
