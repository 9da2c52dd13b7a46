// SIDs as values: the Windows SID calls and the text form "S-1-5-21-...".
#include "platform/Lsa.h"

#include <cstdio>

namespace platform {

namespace {
constexpr std::size_t MaxSubAuthorities = 15; // SID_MAX_SUB_AUTHORITIES

bool parseNumber(const std::string& s, std::uint64_t max, std::uint64_t& out) {
    if (s.empty() || s.size() > 20) return false;
    std::uint64_t v = 0;
    for (char c : s) {
        if (c < '0' || c > '9') return false;
        if (v > (max - static_cast<std::uint64_t>(c - '0')) / 10) return false;
        v = v * 10 + static_cast<std::uint64_t>(c - '0');
    }
    out = v;
    return true;
}
} // namespace

Sid InitializeSid(const std::array<std::uint8_t, 6>& authority, std::uint8_t subAuthorityCount) {
    Sid sid;
    sid.revision = 1;
    sid.identifierAuthority = authority;
    sid.subAuthorities.assign(std::min<std::size_t>(subAuthorityCount, MaxSubAuthorities), 0);
    return sid;
}

const std::array<std::uint8_t, 6>& GetSidIdentifierAuthority(const Sid& sid) {
    return sid.identifierAuthority;
}

std::uint8_t GetSidSubAuthorityCount(const Sid& sid) {
    return static_cast<std::uint8_t>(sid.subAuthorities.size());
}

std::uint32_t& GetSidSubAuthority(Sid& sid, std::uint32_t index) {
    return sid.subAuthorities.at(index);
}

std::string sidToString(const Sid& sid) {
    const auto& a = sid.identifierAuthority;
    std::string s = "S-" + std::to_string(sid.revision) + "-";
    if (a[0] || a[1]) {
        char buf[16];
        std::snprintf(buf, sizeof buf, "0x%02x%02x%02x%02x%02x%02x", a[0], a[1], a[2], a[3], a[4], a[5]);
        s += buf;
    } else {
        std::uint32_t v =
            (std::uint32_t(a[2]) << 24) | (std::uint32_t(a[3]) << 16) | (std::uint32_t(a[4]) << 8) | a[5];
        s += std::to_string(v);
    }
    for (auto sub : sid.subAuthorities)
        s += "-" + std::to_string(sub);
    return s;
}

bool parseSid(const std::string& text, Sid& out) {
    if (text.size() < 4 || (text[0] != 'S' && text[0] != 's') || text[1] != '-') return false;
    std::vector<std::string> parts;
    std::string current;
    for (std::size_t i = 2; i < text.size(); ++i) {
        if (text[i] == '-') {
            parts.push_back(current);
            current.clear();
        } else {
            current += text[i];
        }
    }
    parts.push_back(current);
    if (parts.size() < 2 || parts.size() - 2 > MaxSubAuthorities) return false;
    std::uint64_t revision = 0;
    if (!parseNumber(parts[0], 255, revision) || revision != 1) return false;
    std::uint64_t authority = 0;
    const std::string& auth = parts[1];
    if (auth.size() > 2 && auth[0] == '0' && (auth[1] == 'x' || auth[1] == 'X')) {
        if (auth.size() > 14) return false;
        for (std::size_t i = 2; i < auth.size(); ++i) {
            char c = auth[i];
            int d = c >= '0' && c <= '9'   ? c - '0'
                    : c >= 'a' && c <= 'f' ? c - 'a' + 10
                    : c >= 'A' && c <= 'F' ? c - 'A' + 10
                                           : -1;
            if (d < 0) return false;
            authority = authority * 16 + static_cast<std::uint64_t>(d);
        }
    } else if (!parseNumber(auth, 0xFFFFFFFFFFFFull, authority)) {
        return false;
    }
    Sid sid;
    sid.revision = 1;
    for (int i = 0; i < 6; ++i)
        sid.identifierAuthority[i] = static_cast<std::uint8_t>(authority >> (8 * (5 - i)));
    for (std::size_t i = 2; i < parts.size(); ++i) {
        std::uint64_t v = 0;
        if (!parseNumber(parts[i], 0xFFFFFFFFull, v)) return false;
        sid.subAuthorities.push_back(static_cast<std::uint32_t>(v));
    }
    out = std::move(sid);
    return true;
}

} // namespace platform
