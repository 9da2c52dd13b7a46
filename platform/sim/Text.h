#pragma once
// Text helpers of the simulated network: UTF-16 <-> UTF-8, and the case-insensitive
// comparison Windows applies to names.
#include <string>

namespace platform::sim {

// Unpaired surrogates and invalid bytes become U+FFFD; conversion never fails.
std::string toUtf8(const std::u16string& text);
std::u16string toUtf16(const std::string& text);

// ASCII letters fold; other characters compare as they are (the database folds the same way).
bool equalsNoCase(const std::string& a, const std::string& b);
std::string upperAscii(std::string s);

// "\\NAME" -> "NAME"; anything else unchanged (blanks are kept, as Windows keeps them).
std::string stripUncPrefix(const std::string& machine);

} // namespace platform::sim
