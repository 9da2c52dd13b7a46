#include "common/Names.h"

namespace vantrel {

std::string trimBlanks(const std::string& text) {
    const auto first = text.find_first_not_of(' ');
    if (first == std::string::npos) return {};
    const auto last = text.find_last_not_of(' ');
    return text.substr(first, last - first + 1);
}

bool isBlankName(const std::string& text) { return text.find_first_not_of(' ') == std::string::npos; }

} // namespace vantrel
