#include "common/Names.h"

namespace vantrel {

std::string trimBlanks(const std::string& text) {
    const auto first = text.find_first_not_of(' ');
    if (first == std::string::npos) return {};
    const auto last = text.find_last_not_of(' ');
    return text.substr(first, last - first + 1);
}

std::string machineName(const std::string& entry) {
    std::string name = trimBlanks(entry);
    if (name.rfind("\\\\", 0) == 0) name = trimBlanks(name.substr(2));
    return name;
}

std::string visibleText(const std::string& text) {
    std::string shown;
    shown.reserve(text.size());
    for (const char c : text) {
        const auto byte = static_cast<unsigned char>(c);
        if (byte >= 0x20 && byte != 0x7F) {
            shown += c;
        } else if (byte == 0) {
            shown += "\\0";
        } else {
            constexpr char Hex[] = "0123456789ABCDEF";
            shown += "\\x";
            shown += Hex[byte >> 4];
            shown += Hex[byte & 0xF];
        }
    }
    return shown;
}

bool isBlankName(const std::string& text) {
    return text.find_first_not_of(' ') == std::string::npos;
}

} // namespace vantrel
