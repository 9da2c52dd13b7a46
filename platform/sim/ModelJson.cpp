// Descriptions of the network as JSON, in and out, checked field by field. Their rows in the
// network file are ModelRows.cpp's.
//
// Checking rules: a description comes from a file anyone may have edited, so every field is
// checked for its type and range and anything unexpected is refused with the field's path,
// never guessed at. Unknown fields are refused too (a misspelt field would otherwise be
// silently ignored). Names of machines, domains, accounts, services, licence servers, keys and
// values must be unique where Windows requires it (letter case ignored). Every time in
// milliseconds is at most one hour, so a description cannot make a call block for days; only
// how long a pending state has lasted may be longer, since a hung start stays pending for ever.
//
// A dump must load back into the same network, so whatever the platform calls can store is
// accepted here too: a message's text may hold NUL characters (it is a UTF-16 buffer of the
// sender's length), and a pending state may have lasted any time.
#include "platform/sim/Model.h"

#include "platform/sim/SimNetwork.h"
#include "platform/sim/Text.h"

#include <nlohmann/json.hpp>

#include <algorithm>
#include <map>
#include <set>

namespace platform::sim {

namespace {

using json = nlohmann::json;
using ojson = nlohmann::ordered_json;

constexpr std::uint64_t MaxMs = 3600000;
constexpr std::uint64_t MaxU32 = 0xFFFFFFFFull;
// Exact in every JSON reader, and far from overflowing when added to a clock reading.
constexpr std::uint64_t MaxPendingMs = (1ull << 53) - 1;

[[noreturn]] void refuse(const std::string& path, const std::string& why) {
    throw SimError(path + ": " + why);
}

std::string at(const std::string& path, const char* key) {
    return path.empty() ? key : path + "." + key;
}
std::string at(const std::string& path, std::size_t index) {
    return path + "[" + std::to_string(index) + "]";
}

void onlyFields(const json& obj, const std::string& path, std::initializer_list<const char*> allowed) {
    for (auto it = obj.begin(); it != obj.end(); ++it) {
        bool known =
            std::any_of(allowed.begin(), allowed.end(), [&](const char* k) { return it.key() == k; });
        if (!known) refuse(at(path, it.key().c_str()), "unknown field");
    }
}

const json& object(const json& j, const std::string& path) {
    if (!j.is_object()) refuse(path, "expected an object");
    return j;
}

const json* field(const json& obj, const char* key) {
    auto it = obj.find(key);
    return it == obj.end() ? nullptr : &*it;
}

std::string text(const json& obj, const std::string& path, const char* key, const std::string& fallback,
                 bool required = false, bool nulAllowed = false) {
    const json* f = field(obj, key);
    if (!f) {
        if (required) refuse(at(path, key), "missing");
        return fallback;
    }
    if (!f->is_string()) refuse(at(path, key), "expected a string");
    std::string s = f->get<std::string>();
    if (!nulAllowed && s.find('\0') != std::string::npos)
        refuse(at(path, key), "must not contain a NUL character");
    return s;
}

std::string name(const json& obj, const std::string& path, const char* key, const char* forbidden = "") {
    std::string s = text(obj, path, key, {}, true);
    if (s.empty()) refuse(at(path, key), "must not be empty");
    for (const char* c = forbidden; *c; ++c)
        if (s.find(*c) != std::string::npos)
            refuse(at(path, key), std::string("must not contain '") + *c + "'");
    return s;
}

bool flag(const json& obj, const std::string& path, const char* key, bool fallback) {
    const json* f = field(obj, key);
    if (!f) return fallback;
    if (!f->is_boolean()) refuse(at(path, key), "expected true or false");
    return f->get<bool>();
}

std::uint64_t wholeNumber(const json& j, const std::string& path, std::uint64_t max) {
    if (!j.is_number_integer() ||
        (j.is_number_integer() && !j.is_number_unsigned() && j.get<std::int64_t>() < 0))
        refuse(path, "expected a whole number from 0 to " + std::to_string(max));
    std::uint64_t v = j.get<std::uint64_t>();
    if (v > max) refuse(path, "expected a whole number from 0 to " + std::to_string(max));
    return v;
}

std::uint64_t number(const json& obj, const std::string& path, const char* key, std::uint64_t fallback,
                     std::uint64_t max, bool required = false) {
    const json* f = field(obj, key);
    if (!f) {
        if (required) refuse(at(path, key), "missing");
        return fallback;
    }
    return wholeNumber(*f, at(path, key), max);
}

const json* list(const json& obj, const std::string& path, const char* key) {
    const json* f = field(obj, key);
    if (f && !f->is_array()) refuse(at(path, key), "expected a list");
    return f;
}

// Calls each(item, itemPath) for every item of the list obj[key], when there is one.
template <class Each> void forEachItem(const json& obj, const std::string& path, const char* key, Each each) {
    if (const json* items = list(obj, path, key))
        for (std::size_t i = 0; i < items->size(); ++i)
            each((*items)[i], at(at(path, key), i));
}

// Refuses a name already in `seen` (letter case ignored); otherwise adds it.
void claimName(std::set<std::string>& seen, const std::string& name, const std::string& path,
               const char* why) {
    if (!seen.insert(upperAscii(name)).second) refuse(path, why);
}

std::string oneOf(const json& obj, const std::string& path, const char* key, const std::string& fallback,
                  std::initializer_list<const char*> choices) {
    std::string v = text(obj, path, key, fallback);
    for (const char* c : choices)
        if (v == c) return v;
    std::string expected;
    std::size_t i = 0;
    for (const char* c : choices) {
        expected += (i == 0 ? "" : i + 1 == choices.size() ? " or " : ", ");
        expected += c;
        ++i;
    }
    refuse(at(path, key), "expected " + expected);
}

int hexDigit(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    return -1;
}

std::vector<std::uint8_t> fromHex(const std::string& s, const std::string& path) {
    if (s.size() % 2) refuse(path, "expected hexadecimal text with two digits per byte");
    std::vector<std::uint8_t> out;
    out.reserve(s.size() / 2);
    for (std::size_t i = 0; i < s.size(); i += 2) {
        int hi = hexDigit(s[i]), lo = hexDigit(s[i + 1]);
        if (hi < 0 || lo < 0) refuse(path, "expected hexadecimal text with two digits per byte");
        out.push_back(static_cast<std::uint8_t>(hi * 16 + lo));
    }
    return out;
}

std::string toHex(const std::vector<std::uint8_t>& bytes) {
    static const char* digits = "0123456789abcdef";
    std::string s;
    s.reserve(bytes.size() * 2);
    for (auto b : bytes) {
        s += digits[b >> 4];
        s += digits[b & 15];
    }
    return s;
}

// Registry types by name; a type without a name is written as its number.
const std::pair<const char*, std::uint32_t> RegTypes[] = {
    {"REG_NONE", 0},  {"REG_SZ", 1},       {"REG_EXPAND_SZ", 2}, {"REG_BINARY", 3},
    {"REG_DWORD", 4}, {"REG_MULTI_SZ", 7}, {"REG_QWORD", 11}};

std::vector<std::uint8_t> stringBytes(const std::string& s) {
    std::vector<std::uint8_t> out(s.begin(), s.end());
    out.push_back(0);
    return out;
}

std::vector<std::uint8_t> littleEndian(std::uint64_t v, int bytes) {
    std::vector<std::uint8_t> out;
    for (int i = 0; i < bytes; ++i)
        out.push_back(static_cast<std::uint8_t>(v >> (8 * i)));
    return out;
}

bool validUtf8(const std::string& s) {
    return toUtf8(toUtf16(s)) == s;
}

// The natural JSON form of registry data, when the bytes have one that gives them back exactly.
std::optional<ojson> naturalData(std::uint32_t type, const std::vector<std::uint8_t>& data) {
    switch (type) {
    case 1:
    case 2: {
        if (data.empty() || data.back() != 0) return std::nullopt;
        std::string s(data.begin(), data.end() - 1);
        if (s.find('\0') != std::string::npos || !validUtf8(s)) return std::nullopt;
        return ojson(s);
    }
    case 4:
    case 11: {
        const std::size_t n = type == 4 ? 4 : 8;
        if (data.size() != n) return std::nullopt;
        std::uint64_t v = 0;
        for (std::size_t i = 0; i < n; ++i)
            v |= std::uint64_t(data[i]) << (8 * i);
        return ojson(v);
    }
    case 7: {
        // Strings each ended by a NUL, then one more NUL.
        if (data.empty() || data.back() != 0) return std::nullopt;
        ojson items = ojson::array();
        std::vector<std::uint8_t> rebuilt;
        std::string current;
        for (std::size_t i = 0; i + 1 < data.size(); ++i) {
            if (data[i] == 0) {
                if (current.empty() || !validUtf8(current)) return std::nullopt;
                items.push_back(current);
                current.clear();
            } else {
                current += static_cast<char>(data[i]);
            }
        }
        if (!current.empty()) return std::nullopt;
        return items;
    }
    case 0:
    case 3:
        return ojson(toHex(data));
    default:
        return std::nullopt;
    }
}

ValueDesc parseValue(const json& j, const std::string& path) {
    object(j, path);
    onlyFields(j, path, {"name", "type", "data", "hex"});
    ValueDesc v;
    v.name = text(j, path, "name", "");
    const json* t = field(j, "type");
    if (!t || t->is_string()) {
        std::string typeName = t ? t->get<std::string>() : "REG_SZ";
        bool found = false;
        for (auto& [n, code] : RegTypes)
            if (typeName == n) {
                v.type = code;
                found = true;
            }
        if (!found)
            refuse(at(path, "type"), "expected REG_SZ, REG_EXPAND_SZ, REG_BINARY, REG_DWORD, REG_QWORD, "
                                     "REG_MULTI_SZ, REG_NONE or a "
                                     "type number");
    } else {
        v.type = static_cast<std::uint32_t>(wholeNumber(*t, at(path, "type"), MaxU32));
    }
    const json* data = field(j, "data");
    const json* hex = field(j, "hex");
    if (data && hex) refuse(at(path, "hex"), "give either data or hex, not both");
    if (hex) {
        if (!hex->is_string()) refuse(at(path, "hex"), "expected a string");
        v.data = fromHex(hex->get<std::string>(), at(path, "hex"));
        return v;
    }
    if (!data) refuse(at(path, "data"), "missing");
    const std::string dp = at(path, "data");
    switch (v.type) {
    case 1:
    case 2:
        v.data = stringBytes(text(j, path, "data", "", true));
        break;
    case 4:
        v.data = littleEndian(wholeNumber(*data, dp, MaxU32), 4);
        break;
    case 11:
        v.data = littleEndian(wholeNumber(*data, dp, UINT64_MAX), 8);
        break;
    case 7: {
        if (!data->is_array()) refuse(dp, "expected a list of strings");
        for (std::size_t i = 0; i < data->size(); ++i) {
            const json& item = (*data)[i];
            if (!item.is_string()) refuse(at(dp, i), "expected a string");
            std::string s = item.get<std::string>();
            if (s.empty() || s.find('\0') != std::string::npos)
                refuse(at(dp, i), "must be a non-empty string without NUL characters");
            v.data.insert(v.data.end(), s.begin(), s.end());
            v.data.push_back(0);
        }
        v.data.push_back(0);
        break;
    }
    default:
        if (!data->is_string()) refuse(dp, "expected hexadecimal text");
        v.data = fromHex(data->get<std::string>(), dp);
    }
    return v;
}

KeyDesc parseKey(const json& j, const std::string& path) {
    object(j, path);
    onlyFields(j, path, {"root", "key", "denied", "values"});
    KeyDesc k;
    k.root = upperAscii(oneOf(j, path, "root", "HKLM", {"HKLM", "HKU", "HKCU", "HKCR"}));
    auto parts = keyParts(name(j, path, "key"), at(path, "key"));
    k.path = joinParts(parts, parts.size());
    k.denied = flag(j, path, "denied", false);
    std::set<std::string> seen;
    forEachItem(j, path, "values", [&](const json& item, const std::string& p) {
        ValueDesc v = parseValue(item, p);
        claimName(seen, v.name, at(p, "name"), "a value of that name is already in this key");
        k.values.push_back(std::move(v));
    });
    return k;
}

ServiceDesc parseService(const json& j, const std::string& path) {
    object(j, path);
    onlyFields(j, path,
               {"name", "display_name", "start", "state", "account", "password", "start_ms", "stop_ms",
                "wait_hint_ms", "hang", "fail", "config_not_kept", "checkpoint", "pending_ms"});
    ServiceDesc s;
    s.name = name(j, path, "name", "\\/");
    s.displayName = text(j, path, "display_name", s.name);
    s.start = oneOf(j, path, "start", "auto", {"auto", "demand", "disabled"});
    s.state = oneOf(j, path, "state", "running", {"running", "stopped", "start_pending", "stop_pending"});
    s.account = text(j, path, "account", "LocalSystem");
    s.password = text(j, path, "password", "");
    s.startMs = static_cast<std::uint32_t>(number(j, path, "start_ms", 1500, MaxMs));
    s.stopMs = static_cast<std::uint32_t>(number(j, path, "stop_ms", 800, MaxMs));
    s.waitHintMs = static_cast<std::uint32_t>(number(j, path, "wait_hint_ms", 3000, MaxMs));
    s.hang = flag(j, path, "hang", false);
    s.fail = flag(j, path, "fail", false);
    s.configNotKept = flag(j, path, "config_not_kept", false);
    // A pending state as dump shows it: how long it has lasted; the check point follows from that.
    number(j, path, "checkpoint", 0, MaxU32);
    const bool pending = s.state == "start_pending" || s.state == "stop_pending";
    if (field(j, "pending_ms") && !pending) refuse(at(path, "pending_ms"), "only a pending state has one");
    s.pendingMs = static_cast<std::int64_t>(number(j, path, "pending_ms", 0, MaxPendingMs));
    return s;
}

std::uint32_t parseTypes(const json& j, const std::string& path) {
    if (!j.is_array()) refuse(path, "expected a list");
    std::uint32_t bits = 0;
    for (std::size_t i = 0; i < j.size(); ++i) {
        const json& t = j[i];
        std::string v = t.is_string() ? t.get<std::string>() : std::string();
        if (v == "workstation")
            bits |= 0x1;
        else if (v == "server")
            bits |= 0x2;
        else if (v == "domain_ctrl")
            bits |= 0x8;
        else if (v == "domain_bakctrl")
            bits |= 0x10;
        else if (v == "local_list_only")
            bits |= 0x40000000;
        else
            refuse(at(path, i),
                   "expected workstation, server, domain_ctrl, domain_bakctrl or local_list_only");
    }
    return bits;
}

RightsDesc parseRights(const json& j, const std::string& path, const std::vector<DomainDesc>& domains,
                       const std::string& machineDomain) {
    object(j, path);
    onlyFields(j, path, {"account", "rights"});
    RightsDesc r;
    r.account = name(j, path, "account");
    r.sid = sidOfAccount(domains, machineDomain, r.account);
    if (r.sid.empty()) refuse(at(path, "account"), "no account of that name in the network");
    if (!list(j, path, "rights")) refuse(at(path, "rights"), "missing");
    forEachItem(j, path, "rights", [&](const json& item, const std::string& p) {
        std::string canonical =
            item.is_string() ? canonicalRightName(item.get<std::string>()) : std::string();
        if (canonical.empty()) refuse(p, "expected the name of a right or privilege");
        r.rights.push_back(canonical);
    });
    return r;
}

MachineDesc parseMachine(const json& j, const std::string& path, const std::vector<DomainDesc>& domains) {
    object(j, path);
    onlyFields(j, path,
               {"name", "domain", "types", "platform_id", "reachable", "admin", "messenger", "latency_ms",
                "timeout_ms", "unreachable_after_calls", "services", "registry", "rights", "messages"});
    MachineDesc m;
    m.name = name(j, path, "name", "\\");
    m.domain = text(j, path, "domain", "");
    if (const json* t = field(j, "types")) m.types = parseTypes(*t, at(path, "types"));
    m.platformId = static_cast<std::uint32_t>(number(j, path, "platform_id", 500, MaxU32));
    m.reachable = flag(j, path, "reachable", true);
    m.admin = flag(j, path, "admin", true);
    m.messenger = flag(j, path, "messenger", true);
    m.latencyMs = static_cast<std::uint32_t>(number(j, path, "latency_ms", 0, MaxMs));
    m.timeoutMs = static_cast<std::uint32_t>(number(j, path, "timeout_ms", 0, MaxMs));
    if (const json* f = field(j, "unreachable_after_calls"); f && !f->is_null())
        m.unreachableAfterCalls =
            static_cast<std::uint32_t>(wholeNumber(*f, at(path, "unreachable_after_calls"), MaxU32));
    std::set<std::string> seen;
    forEachItem(j, path, "services", [&](const json& item, const std::string& p) {
        ServiceDesc s = parseService(item, p);
        claimName(seen, s.name, at(p, "name"), "a service of that name is already on this machine");
        m.services.push_back(std::move(s));
    });
    seen.clear();
    forEachItem(j, path, "registry", [&](const json& item, const std::string& p) {
        KeyDesc k = parseKey(item, p); // its root is in upper case already
        claimName(seen, k.root + "\\" + k.path, at(p, "key"), "that key is already listed for this machine");
        m.registry.push_back(std::move(k));
    });
    forEachItem(j, path, "rights", [&](const json& item, const std::string& p) {
        m.rights.push_back(parseRights(item, p, domains, m.domain));
    });
    forEachItem(j, path, "messages", [&](const json& item, const std::string& p) {
        object(item, p);
        onlyFields(item, p, {"text"});
        m.messages.push_back(text(item, p, "text", "", true, true));
    });
    return m;
}

DomainDesc parseDomain(const json& j, const std::string& path) {
    object(j, path);
    onlyFields(j, path, {"name", "sid", "controller", "accounts"});
    DomainDesc d;
    d.name = name(j, path, "name", "\\");
    Sid sid;
    if (!parseSid(text(j, path, "sid", "", true), sid))
        refuse(at(path, "sid"), "expected a SID such as S-1-5-21-1-2-3");
    if (sid.subAuthorities.size() >= 15)
        refuse(at(path, "sid"), "a domain SID has at most 14 sub-authorities");
    d.sid = sidToString(sid);
    d.controller = text(j, path, "controller", "");
    std::set<std::string> names;
    std::map<std::uint32_t, std::string> rids;
    forEachItem(j, path, "accounts", [&](const json& item, const std::string& p) {
        const json& aj = object(item, p);
        onlyFields(aj, p,
                   {"name", "rid", "use", "password", "description", "full_name", "disabled", "locked",
                    "password_expired", "network_logon_denied"});
        AccountDesc a;
        a.name = name(aj, p, "name", "\\");
        a.rid = static_cast<std::uint32_t>(number(aj, p, "rid", 0, MaxU32, true));
        a.use = oneOf(aj, p, "use", "user", {"user", "group", "alias", "well_known", "deleted", "invalid"});
        a.password = text(aj, p, "password", "");
        a.description = text(aj, p, "description", "");
        a.fullName = text(aj, p, "full_name", "");
        a.disabled = flag(aj, p, "disabled", false);
        a.locked = flag(aj, p, "locked", false);
        a.passwordExpired = flag(aj, p, "password_expired", false);
        a.networkLogonDenied = flag(aj, p, "network_logon_denied", false);
        claimName(names, a.name, at(p, "name"), "an account of that name is already in this domain");
        if (!rids.emplace(a.rid, a.name).second)
            refuse(at(p, "rid"), "already the relative id of " + rids[a.rid]);
        d.accounts.push_back(std::move(a));
    });
    return d;
}

} // namespace

// Splits a key path into its parts; refuses empty parts (a doubled or leading backslash).
std::vector<std::string> keyParts(const std::string& path, const std::string& where) {
    std::vector<std::string> parts;
    std::string current;
    for (char c : path) {
        if (c == '\\') {
            if (current.empty()) refuse(where, "a key path has no empty parts and no leading backslash");
            parts.push_back(current);
            current.clear();
        } else {
            current += c;
        }
    }
    if (current.empty() && !parts.empty()) return parts; // one trailing backslash is harmless
    if (current.empty()) refuse(where, "must not be empty");
    parts.push_back(current);
    return parts;
}

std::string joinParts(const std::vector<std::string>& parts, std::size_t count) {
    std::string s;
    for (std::size_t i = 0; i < count; ++i)
        s += (i ? "\\" : "") + parts[i];
    return s;
}

NetworkDesc parseDescription(const std::string& text) {
    json j;
    try {
        j = json::parse(text);
    } catch (const json::exception& e) {
        throw SimError(std::string("not a valid JSON description: ") + e.what());
    }
    object(j, "the description");
    onlyFields(j, "", {"browser_available", "domains", "machines", "licence_servers"});
    NetworkDesc net;
    net.browserAvailable = flag(j, "", "browser_available", true);
    std::set<std::string> seen;
    forEachItem(j, "", "domains", [&](const json& item, const std::string& p) {
        DomainDesc d = parseDomain(item, p);
        claimName(seen, d.name, at(p, "name"), "a domain of that name is already in the network");
        net.domains.push_back(std::move(d));
    });
    seen.clear();
    forEachItem(j, "", "machines", [&](const json& item, const std::string& p) {
        MachineDesc m = parseMachine(item, p, net.domains);
        claimName(seen, m.name, at(p, "name"), "a machine of that name is already in the network");
        net.machines.push_back(std::move(m));
    });
    seen.clear();
    forEachItem(j, "", "licence_servers", [&](const json& item, const std::string& p) {
        const json& sj = object(item, p);
        onlyFields(sj, p, {"host", "clients"});
        LicenceServerDesc s;
        s.host = name(sj, p, "host", "\\");
        claimName(seen, s.host, at(p, "host"), "that licence server is already listed");
        forEachItem(sj, p, "clients", [&](const json& c, const std::string& cp) {
            if (!c.is_string()) refuse(cp, "expected a string");
            s.clients.push_back(c.get<std::string>());
        });
        net.licenceServers.push_back(std::move(s));
    });
    return net;
}

std::string renderDescription(const NetworkDesc& net) {
    static const std::pair<const char*, std::uint32_t> typeNames[] = {{"workstation", 0x1},
                                                                      {"server", 0x2},
                                                                      {"domain_ctrl", 0x8},
                                                                      {"domain_bakctrl", 0x10},
                                                                      {"local_list_only", 0x40000000}};
    ojson out;
    out["browser_available"] = net.browserAvailable;
    out["domains"] = ojson::array();
    for (const auto& d : net.domains) {
        ojson dj;
        dj["name"] = d.name;
        dj["sid"] = d.sid;
        dj["controller"] = d.controller;
        dj["accounts"] = ojson::array();
        for (const auto& a : d.accounts) {
            ojson aj;
            aj["name"] = a.name;
            aj["rid"] = a.rid;
            aj["use"] = a.use;
            aj["password"] = a.password;
            aj["description"] = a.description;
            aj["full_name"] = a.fullName;
            aj["disabled"] = a.disabled;
            aj["locked"] = a.locked;
            aj["password_expired"] = a.passwordExpired;
            aj["network_logon_denied"] = a.networkLogonDenied;
            dj["accounts"].push_back(std::move(aj));
        }
        out["domains"].push_back(std::move(dj));
    }
    out["machines"] = ojson::array();
    for (const auto& m : net.machines) {
        ojson mj;
        mj["name"] = m.name;
        mj["domain"] = m.domain;
        mj["types"] = ojson::array();
        for (const auto& [typeName, bit] : typeNames)
            if (m.types & bit) mj["types"].push_back(typeName);
        mj["platform_id"] = m.platformId;
        mj["reachable"] = m.reachable;
        mj["admin"] = m.admin;
        mj["messenger"] = m.messenger;
        mj["latency_ms"] = m.latencyMs;
        mj["timeout_ms"] = m.timeoutMs;
        mj["unreachable_after_calls"] = m.unreachableAfterCalls ? ojson(*m.unreachableAfterCalls) : ojson();
        mj["services"] = ojson::array();
        for (const auto& s : m.services) {
            ojson sj;
            sj["name"] = s.name;
            sj["display_name"] = s.displayName;
            sj["start"] = s.start;
            sj["state"] = s.state;
            if (s.state == "start_pending" || s.state == "stop_pending") {
                sj["checkpoint"] = s.checkpoint;
                sj["pending_ms"] = s.pendingMs;
            }
            sj["account"] = s.account;
            sj["password"] = s.password;
            sj["start_ms"] = s.startMs;
            sj["stop_ms"] = s.stopMs;
            sj["wait_hint_ms"] = s.waitHintMs;
            sj["hang"] = s.hang;
            sj["fail"] = s.fail;
            sj["config_not_kept"] = s.configNotKept;
            mj["services"].push_back(std::move(sj));
        }
        mj["registry"] = ojson::array();
        for (const auto& k : m.registry) {
            ojson kj;
            kj["root"] = k.root;
            kj["key"] = k.path;
            kj["denied"] = k.denied;
            kj["values"] = ojson::array();
            for (const auto& v : k.values) {
                ojson vj;
                vj["name"] = v.name;
                const char* typeName = nullptr;
                for (auto& [n, code] : RegTypes)
                    if (code == v.type) typeName = n;
                if (typeName)
                    vj["type"] = typeName;
                else
                    vj["type"] = v.type;
                auto natural = naturalData(v.type, v.data);
                if (natural)
                    vj["data"] = *natural;
                else
                    vj["hex"] = toHex(v.data);
                kj["values"].push_back(std::move(vj));
            }
            mj["registry"].push_back(std::move(kj));
        }
        mj["rights"] = ojson::array();
        for (const auto& r : m.rights)
            mj["rights"].push_back(ojson{{"account", r.account}, {"rights", r.rights}});
        mj["messages"] = ojson::array();
        for (const auto& msg : m.messages)
            mj["messages"].push_back(ojson{{"text", msg}});
        out["machines"].push_back(std::move(mj));
    }
    out["licence_servers"] = ojson::array();
    for (const auto& s : net.licenceServers)
        out["licence_servers"].push_back(ojson{{"host", s.host}, {"clients", s.clients}});
    // Text written through the ANSI calls need not be UTF-8; show it rather than fail.
    return out.dump(2, ' ', false, ojson::error_handler_t::replace) + "\n";
}

} // namespace platform::sim
