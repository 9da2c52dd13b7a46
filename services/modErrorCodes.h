#pragma once
#include <cstdint>
#include <string>

namespace vantrel {

// The message for a service control error code, with a hint at the usual cause.
std::string ServiceErrorText(std::int32_t code);

} // namespace vantrel
