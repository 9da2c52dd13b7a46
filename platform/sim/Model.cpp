// Descriptions of the network: JSON in and out, checked field by field, and their rows in
// the network file.
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
#include "platform/sim/Store.h"
#include "platform/sim/Text.h"

#include <nlohmann/json.hpp>

#include <algorithm>
#include <cstdio>
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
                "wait_hint_ms", "hang", "fail", "checkpoint", "pending_ms"});
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

class ModelSource : public AccountSource {
  public:
    explicit ModelSource(const std::vector<DomainDesc>& d) : domains(d) {}
    bool findDomain(const std::string& n, std::string& canonical, std::string& sid) override {
        for (const auto& d : domains)
            if (equalsNoCase(d.name, n)) {
                canonical = d.name;
                sid = d.sid;
                return true;
            }
        return false;
    }
    bool findAccount(const std::string& domain, const std::string& n, std::uint32_t& rid,
                     std::string& use) override {
        for (const auto& d : domains)
            if (equalsNoCase(d.name, domain))
                for (const auto& a : d.accounts)
                    if (equalsNoCase(a.name, n)) {
                        rid = a.rid;
                        use = a.use;
                        return true;
                    }
        return false;
    }

  private:
    const std::vector<DomainDesc>& domains;
};

// The SID a rights entry's account stands for on a machine of that domain: a SID as written,
// else the account the name leads to; empty when it leads to none.
std::string sidOfAccount(const std::vector<DomainDesc>& domains, const std::string& machineDomain,
                         const std::string& account) {
    Sid sid;
    if (account.rfind("S-", 0) == 0 && parseSid(account, sid)) return sidToString(sid);
    ModelSource src(domains);
    NameResolution n = resolveAccountName(src, machineDomain, account);
    if (!n.hasRid) return {};
    parseSid(n.domainSid, sid);
    sid.subAuthorities.push_back(n.rid);
    return sidToString(sid);
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
                   {"name", "rid", "use", "password", "description", "full_name", "disabled", "locked"});
        AccountDesc a;
        a.name = name(aj, p, "name", "\\");
        a.rid = static_cast<std::uint32_t>(number(aj, p, "rid", 0, MaxU32, true));
        a.use = oneOf(aj, p, "use", "user", {"user", "group", "alias", "well_known", "deleted", "invalid"});
        a.password = text(aj, p, "password", "");
        a.description = text(aj, p, "description", "");
        a.fullName = text(aj, p, "full_name", "");
        a.disabled = flag(aj, p, "disabled", false);
        a.locked = flag(aj, p, "locked", false);
        claimName(names, a.name, at(p, "name"), "an account of that name is already in this domain");
        if (!rids.emplace(a.rid, a.name).second)
            refuse(at(p, "rid"), "already the relative id of " + rids[a.rid]);
        d.accounts.push_back(std::move(a));
    });
    return d;
}

} // namespace

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

// ---- service states ----

LiveState liveState(const std::string& stored, std::int64_t sinceMs, std::uint32_t startMs,
                    std::uint32_t stopMs, std::uint32_t waitHintMs, bool hang, std::int64_t now) {
    LiveState s;
    const std::int64_t elapsed = std::max<std::int64_t>(0, now - sinceMs);
    // Windows services report progress about four times per wait hint.
    const std::int64_t step = std::max<std::int64_t>(1, waitHintMs / 4);
    auto pending = [&](std::uint32_t state, bool stalled) {
        s.state = state;
        s.waitHint = waitHintMs;
        s.pendingMs = elapsed;
        s.checkPoint =
            stalled ? 1 : static_cast<std::uint32_t>(std::min<std::int64_t>(1 + elapsed / step, MaxU32));
    };
    if (stored == "running") {
        s.state = 4;
    } else if (stored == "start_pending") {
        if (hang)
            pending(2, true);
        else if (elapsed >= startMs)
            s.state = 4;
        else
            pending(2, false);
    } else if (stored == "stop_pending") {
        if (elapsed >= stopMs)
            s.state = 1;
        else
            pending(3, false);
    } else {
        s.state = 1;
    }
    return s;
}

// ---- rows ----

void writeNetwork(Connection& c, const NetworkDesc& net) {
    for (const char* table : {"domains", "accounts", "machines", "services", "reg_keys", "reg_values",
                              "rights", "messages", "licence_servers", "licence_clients", "scm_locks"})
        c.exec(std::string("DELETE FROM ") + table);
    c.query("INSERT OR REPLACE INTO meta(key, value) VALUES('browser_available', ?)")
        .bind(1, std::string(net.browserAvailable ? "1" : "0"))
        .run();
    for (const auto& d : net.domains) {
        c.query("INSERT INTO domains(name, sid, controller) VALUES(?,?,?)")
            .bind(1, d.name)
            .bind(2, d.sid)
            .bind(3, d.controller)
            .run();
        const std::int64_t domainId = sqlite3_last_insert_rowid(c.handle());
        for (const auto& a : d.accounts)
            c.query("INSERT INTO accounts(domain_id, name, rid, use, password, description, full_name, "
                    "disabled, locked) "
                    "VALUES(?,?,?,?,?,?,?,?,?)")
                .bind(1, domainId)
                .bind(2, a.name)
                .bind(3, std::int64_t(a.rid))
                .bind(4, a.use)
                .bind(5, a.password)
                .bind(6, a.description)
                .bind(7, a.fullName)
                .bind(8, std::int64_t(a.disabled))
                .bind(9, std::int64_t(a.locked))
                .run();
    }
    const std::int64_t now = nowMs();
    for (const auto& m : net.machines) {
        c.query("INSERT INTO machines(name, domain, types, platform_id, reachable, admin, messenger, "
                "latency_ms, timeout_ms, calls_left) VALUES(?,?,?,?,?,?,?,?,?,?)")
            .bind(1, m.name)
            .bind(2, m.domain)
            .bind(3, std::int64_t(m.types))
            .bind(4, std::int64_t(m.platformId))
            .bind(5, std::int64_t(m.reachable))
            .bind(6, std::int64_t(m.admin))
            .bind(7, std::int64_t(m.messenger))
            .bind(8, std::int64_t(m.latencyMs))
            .bind(9, std::int64_t(m.timeoutMs))
            .bind(10, m.unreachableAfterCalls ? std::int64_t(*m.unreachableAfterCalls) : NoCallLimit)
            .run();
        const std::int64_t machineId = sqlite3_last_insert_rowid(c.handle());
        for (const auto& s : m.services)
            c.query("INSERT INTO services(machine_id, name, display_name, start, state, since_ms, account, "
                    "password, "
                    "start_ms, stop_ms, wait_hint_ms, hang, fail) VALUES(?,?,?,?,?,?,?,?,?,?,?,?,?)")
                .bind(1, machineId)
                .bind(2, s.name)
                .bind(3, s.displayName)
                .bind(4, s.start)
                .bind(5, s.state)
                .bind(6, now - s.pendingMs)
                .bind(7, s.account)
                .bind(8, s.password)
                .bind(9, std::int64_t(s.startMs))
                .bind(10, std::int64_t(s.stopMs))
                .bind(11, std::int64_t(s.waitHintMs))
                .bind(12, std::int64_t(s.hang))
                .bind(13, std::int64_t(s.fail))
                .run();
        for (const auto& k : m.registry) {
            // Parent keys are implied: create each level that is not there yet.
            std::vector<std::string> parts = keyParts(k.path, "key");
            for (std::size_t n = 1; n <= parts.size(); ++n) {
                const bool last = n == parts.size();
                c.query(
                     "INSERT INTO reg_keys(machine_id, root, path, parent, name, denied) VALUES(?,?,?,?,?,?) "
                     "ON CONFLICT(machine_id, root, path) DO UPDATE SET denied = denied OR excluded.denied")
                    .bind(1, machineId)
                    .bind(2, k.root)
                    .bind(3, joinParts(parts, n))
                    .bind(4, joinParts(parts, n - 1))
                    .bind(5, parts[n - 1])
                    .bind(6, std::int64_t(last && k.denied))
                    .run();
            }
            std::int64_t keyId = 0;
            {
                auto q = c.query("SELECT id FROM reg_keys WHERE machine_id = ? AND root = ? AND path = ?");
                q.bind(1, machineId).bind(2, k.root).bind(3, k.path);
                if (q.step()) keyId = q.integer(0);
            }
            for (const auto& v : k.values)
                c.query("INSERT INTO reg_values(key_id, name, type, data) VALUES(?,?,?,?)")
                    .bind(1, keyId)
                    .bind(2, v.name)
                    .bind(3, std::int64_t(v.type))
                    .bindBlob(4, v.data)
                    .run();
        }
        for (const auto& r : m.rights)
            for (const auto& right : r.rights)
                c.query("INSERT OR IGNORE INTO rights(machine_id, sid, right_name) VALUES(?,?,?)")
                    .bind(1, machineId)
                    .bind(2, r.sid)
                    .bind(3, right)
                    .run();
        for (const auto& msg : m.messages)
            c.query("INSERT INTO messages(machine_id, text) VALUES(?,?)")
                .bind(1, machineId)
                .bind(2, msg)
                .run();
    }
    for (const auto& s : net.licenceServers) {
        c.query("INSERT INTO licence_servers(host) VALUES(?)").bind(1, s.host).run();
        const std::int64_t serverId = sqlite3_last_insert_rowid(c.handle());
        for (const auto& client : s.clients)
            c.query("INSERT INTO licence_clients(server_id, name) VALUES(?,?)")
                .bind(1, serverId)
                .bind(2, client)
                .run();
    }
}

NetworkDesc readNetwork(Connection& c, std::int64_t now) {
    NetworkDesc net;
    {
        auto q = c.query("SELECT value FROM meta WHERE key = 'browser_available'");
        net.browserAvailable = !q.step() || q.text(0) != "0";
    }
    std::map<std::int64_t, std::size_t> domainIndex;
    {
        auto q = c.query("SELECT id, name, sid, controller FROM domains ORDER BY id");
        while (q.step()) {
            domainIndex[q.integer(0)] = net.domains.size();
            net.domains.push_back(DomainDesc{q.text(1), q.text(2), q.text(3), {}});
        }
    }
    {
        auto q = c.query("SELECT domain_id, name, rid, use, password, description, full_name, disabled, "
                         "locked FROM accounts ORDER BY id");
        while (q.step()) {
            auto it = domainIndex.find(q.integer(0));
            if (it == domainIndex.end()) continue;
            net.domains[it->second].accounts.push_back(
                AccountDesc{q.text(1), static_cast<std::uint32_t>(q.integer(2)), q.text(3), q.text(4),
                            q.text(5), q.text(6), q.integer(7) != 0, q.integer(8) != 0});
        }
    }
    std::map<std::int64_t, std::size_t> machineIndex;
    {
        auto q =
            c.query("SELECT id, name, domain, types, platform_id, reachable, admin, messenger, latency_ms, "
                    "timeout_ms, calls_left FROM machines ORDER BY id");
        while (q.step()) {
            MachineDesc m;
            m.name = q.text(1);
            m.domain = q.text(2);
            m.types = static_cast<std::uint32_t>(q.integer(3));
            m.platformId = static_cast<std::uint32_t>(q.integer(4));
            m.reachable = q.integer(5) != 0;
            m.admin = q.integer(6) != 0;
            m.messenger = q.integer(7) != 0;
            m.latencyMs = static_cast<std::uint32_t>(q.integer(8));
            m.timeoutMs = static_cast<std::uint32_t>(q.integer(9));
            if (q.integer(10) != NoCallLimit)
                m.unreachableAfterCalls = static_cast<std::uint32_t>(q.integer(10));
            machineIndex[q.integer(0)] = net.machines.size();
            net.machines.push_back(std::move(m));
        }
    }
    auto machineOf = [&](std::int64_t id) -> MachineDesc* {
        auto it = machineIndex.find(id);
        return it == machineIndex.end() ? nullptr : &net.machines[it->second];
    };
    {
        auto q = c.query(
            "SELECT machine_id, name, display_name, start, state, since_ms, account, password, start_ms, "
            "stop_ms, wait_hint_ms, hang, fail FROM services ORDER BY id");
        while (q.step()) {
            MachineDesc* m = machineOf(q.integer(0));
            if (!m) continue;
            ServiceDesc s;
            s.name = q.text(1);
            s.displayName = q.text(2);
            s.start = q.text(3);
            s.account = q.text(6);
            s.password = q.text(7);
            s.startMs = static_cast<std::uint32_t>(q.integer(8));
            s.stopMs = static_cast<std::uint32_t>(q.integer(9));
            s.waitHintMs = static_cast<std::uint32_t>(q.integer(10));
            s.hang = q.integer(11) != 0;
            s.fail = q.integer(12) != 0;
            LiveState live =
                liveState(q.text(4), q.integer(5), s.startMs, s.stopMs, s.waitHintMs, s.hang, now);
            static const char* names[] = {"", "stopped", "start_pending", "stop_pending", "running"};
            s.state = names[live.state];
            s.checkpoint = live.checkPoint;
            s.pendingMs = live.pendingMs;
            m->services.push_back(std::move(s));
        }
    }
    {
        // Keys that carry something: values, a refusal, or no subkeys. Their parents follow
        // from their paths, so listing them all would only repeat what is implied.
        std::map<std::int64_t, std::pair<MachineDesc*, std::size_t>> keyIndex;
        auto q = c.query("SELECT k.id, k.machine_id, k.root, k.path, k.denied FROM reg_keys k WHERE k.denied "
                         "OR EXISTS(SELECT 1 FROM reg_values v WHERE v.key_id = k.id) "
                         "OR NOT EXISTS(SELECT 1 FROM reg_keys c WHERE c.machine_id = k.machine_id AND "
                         "c.root = k.root AND c.parent = k.path) ORDER BY k.id");
        while (q.step()) {
            MachineDesc* m = machineOf(q.integer(1));
            if (!m) continue;
            KeyDesc k;
            k.root = q.text(2);
            k.path = q.text(3);
            k.denied = q.integer(4) != 0;
            keyIndex[q.integer(0)] = {m, m->registry.size()};
            m->registry.push_back(std::move(k));
        }
        auto v = c.query("SELECT key_id, name, type, data FROM reg_values ORDER BY id");
        while (v.step()) {
            auto it = keyIndex.find(v.integer(0));
            if (it == keyIndex.end()) continue;
            it->second.first->registry[it->second.second].values.push_back(
                ValueDesc{v.text(1), static_cast<std::uint32_t>(v.integer(2)), v.blob(3)});
        }
    }
    {
        auto q = c.query("SELECT machine_id, sid, right_name FROM rights ORDER BY id");
        while (q.step()) {
            MachineDesc* m = machineOf(q.integer(0));
            if (!m) continue;
            const std::string sid = q.text(1);
            auto it = std::find_if(m->rights.begin(), m->rights.end(),
                                   [&](const RightsDesc& r) { return r.sid == sid; });
            if (it == m->rights.end()) {
                // A name that would load as another account (a domain of the network named like
                // a built-in one, an account of the machine's domain called Everyone) stays a SID.
                std::string shown = renderSidName(net.domains, sid);
                if (sidOfAccount(net.domains, m->domain, shown) != sid) shown = sid;
                m->rights.push_back(RightsDesc{shown, sid, {}});
                it = m->rights.end() - 1;
            }
            it->rights.push_back(q.text(2));
        }
    }
    {
        auto q = c.query("SELECT machine_id, text FROM messages ORDER BY id");
        while (q.step())
            if (MachineDesc* m = machineOf(q.integer(0))) m->messages.push_back(q.text(1));
    }
    {
        std::map<std::int64_t, std::size_t> serverIndex;
        auto q = c.query("SELECT id, host FROM licence_servers ORDER BY id");
        while (q.step()) {
            serverIndex[q.integer(0)] = net.licenceServers.size();
            net.licenceServers.push_back(LicenceServerDesc{q.text(1), {}});
        }
        auto k = c.query("SELECT server_id, name FROM licence_clients ORDER BY id");
        while (k.step()) {
            auto it = serverIndex.find(k.integer(0));
            if (it != serverIndex.end()) net.licenceServers[it->second].clients.push_back(k.text(1));
        }
    }
    return net;
}

} // namespace platform::sim
