#pragma once
// The one trimming rule for names typed or read from files (machines, services, accounts,
// servers): leading and trailing blanks go, anything else (tabs included) stays.
#include <string>

namespace vantrel {

std::string trimBlanks(const std::string& text);
// True when `text` names nothing once trimmed: such a machine name must never reach a
// platform call, where the empty name means this computer.
bool isBlankName(const std::string& text);

} // namespace vantrel
