#pragma once
// The one trimming rule for names typed or read from files (machines, services, accounts,
// servers): leading and trailing blanks go, anything else (tabs included) stays.
#include <string>

namespace vantrel {

std::string trimBlanks(const std::string& text);
// True when `text` names nothing once trimmed: such a machine name must never reach a
// platform call, where the empty name means this computer.
bool isBlankName(const std::string& text);
// The machine a client-list entry stands for, as every step is given it (the service manager,
// Osprel, the registry, the messenger): trimmed, without a leading "\\", which the steps
// that want it add themselves. The one place an entry becomes a machine name.
std::string machineName(const std::string& entry);
// `text` with every control character shown visibly ("\\0" for NUL, "\\x1B" for the others):
// names from files may hold any byte, and a raw one would corrupt a line of output.
std::string visibleText(const std::string& text);

} // namespace vantrel
