// Account names, SIDs of the built-in and well-known accounts, and the rights the LSA knows.
#include "platform/sim/Model.h"
#include "platform/sim/Text.h"

#include <array>

namespace platform::sim {

namespace {

struct BuiltinAccount {
    const char* domain;
    const char* domainSid;
    const char* name;
    std::uint32_t rid;
    std::uint32_t use;
};

constexpr std::uint32_t Alias = lsaconst::SidTypeAlias;
constexpr std::uint32_t WellKnown = lsaconst::SidTypeWellKnownGroup;

const BuiltinAccount BuiltinAccounts[] = {
    {"BUILTIN", "S-1-5-32", "Administrators", 544, Alias},
    {"BUILTIN", "S-1-5-32", "Users", 545, Alias},
    {"BUILTIN", "S-1-5-32", "Guests", 546, Alias},
    {"BUILTIN", "S-1-5-32", "Power Users", 547, Alias},
    {"BUILTIN", "S-1-5-32", "Account Operators", 548, Alias},
    {"BUILTIN", "S-1-5-32", "Server Operators", 549, Alias},
    {"BUILTIN", "S-1-5-32", "Print Operators", 550, Alias},
    {"BUILTIN", "S-1-5-32", "Backup Operators", 551, Alias},
    {"BUILTIN", "S-1-5-32", "Replicator", 552, Alias},
    {"BUILTIN", "S-1-5-32", "Remote Desktop Users", 555, Alias},
};

const BuiltinAccount WellKnownAccounts[] = {
    {"", "S-1-1", "Everyone", 0, WellKnown},
    {"NT AUTHORITY", "S-1-5", "SYSTEM", 18, WellKnown},
    {"NT AUTHORITY", "S-1-5", "LOCAL SERVICE", 19, WellKnown},
    {"NT AUTHORITY", "S-1-5", "NETWORK SERVICE", 20, WellKnown},
    {"NT AUTHORITY", "S-1-5", "Authenticated Users", 11, WellKnown},
    {"NT AUTHORITY", "S-1-5", "INTERACTIVE", 4, WellKnown},
    {"NT AUTHORITY", "S-1-5", "NETWORK", 2, WellKnown},
    {"NT AUTHORITY", "S-1-5", "BATCH", 3, WellKnown},
    {"NT AUTHORITY", "S-1-5", "SERVICE", 6, WellKnown},
};

NameResolution fromBuiltin(const BuiltinAccount& a) {
    NameResolution r;
    r.use = a.use;
    r.domainName = a.domain;
    r.domainSid = a.domainSid;
    r.rid = a.rid;
    r.hasRid = true;
    return r;
}

const BuiltinAccount* findBuiltin(const std::string& domain, const std::string& name, bool anyDomain) {
    for (const auto& a : BuiltinAccounts)
        if ((anyDomain || equalsNoCase(domain, a.domain)) && equalsNoCase(name, a.name)) return &a;
    for (const auto& a : WellKnownAccounts)
        if ((anyDomain || (equalsNoCase(domain, a.domain) && *a.domain)) && equalsNoCase(name, a.name))
            return &a;
    return nullptr;
}

// The authorities that act as domains of their own: BUILTIN and NT AUTHORITY.
bool findAuthority(const std::string& name, NameResolution& r) {
    if (equalsNoCase(name, "BUILTIN")) {
        r.domainName = "BUILTIN";
        r.domainSid = "S-1-5-32";
        return true;
    }
    if (equalsNoCase(name, "NT AUTHORITY")) {
        r.domainName = "NT AUTHORITY";
        r.domainSid = "S-1-5";
        return true;
    }
    return false;
}

NameResolution domainItself(const std::string& name, const std::string& sid) {
    NameResolution r;
    r.use = lsaconst::SidTypeDomain;
    r.domainName = name;
    r.domainSid = sid;
    return r;
}

const char* const KnownRights[] = {
    // account rights
    "SeBatchLogonRight", "SeDenyBatchLogonRight", "SeDenyInteractiveLogonRight", "SeDenyNetworkLogonRight",
    "SeDenyRemoteInteractiveLogonRight", "SeDenyServiceLogonRight", "SeInteractiveLogonRight",
    "SeNetworkLogonRight", "SeRemoteInteractiveLogonRight", "SeServiceLogonRight",
    // privileges
    "SeAssignPrimaryTokenPrivilege", "SeAuditPrivilege", "SeBackupPrivilege", "SeChangeNotifyPrivilege",
    "SeCreateGlobalPrivilege", "SeCreatePagefilePrivilege", "SeCreatePermanentPrivilege",
    "SeCreateSymbolicLinkPrivilege", "SeCreateTokenPrivilege", "SeDebugPrivilege",
    "SeDelegateSessionUserImpersonatePrivilege", "SeEnableDelegationPrivilege", "SeImpersonatePrivilege",
    "SeIncreaseBasePriorityPrivilege", "SeIncreaseQuotaPrivilege", "SeIncreaseWorkingSetPrivilege",
    "SeLoadDriverPrivilege", "SeLockMemoryPrivilege", "SeMachineAccountPrivilege", "SeManageVolumePrivilege",
    "SeProfileSingleProcessPrivilege", "SeRelabelPrivilege", "SeRemoteShutdownPrivilege",
    "SeRestorePrivilege", "SeSecurityPrivilege", "SeShutdownPrivilege", "SeSyncAgentPrivilege",
    "SeSystemEnvironmentPrivilege", "SeSystemProfilePrivilege", "SeSystemtimePrivilege",
    "SeTakeOwnershipPrivilege", "SeTcbPrivilege", "SeTimeZonePrivilege", "SeTrustedCredManAccessPrivilege",
    "SeUndockPrivilege", "SeUnsolicitedInputPrivilege"};

} // namespace

std::uint32_t useCode(const std::string& use) {
    if (use == "user") return lsaconst::SidTypeUser;
    if (use == "group") return lsaconst::SidTypeGroup;
    if (use == "alias") return lsaconst::SidTypeAlias;
    if (use == "well_known") return lsaconst::SidTypeWellKnownGroup;
    if (use == "deleted") return lsaconst::SidTypeDeletedAccount;
    if (use == "invalid") return lsaconst::SidTypeInvalid;
    return lsaconst::SidTypeUnknown;
}

NameResolution resolveAccountName(AccountSource& src, const std::string& machineDomain,
                                  const std::string& name) {
    NameResolution r;
    std::string canonical, sid, use;
    std::uint32_t rid = 0;
    // What the source found: an account of one of the network's domains.
    auto domainAccount = [&] {
        r.use = useCode(use);
        r.domainName = canonical;
        r.domainSid = sid;
        r.rid = rid;
        r.hasRid = true;
        return r;
    };
    auto slash = name.find('\\');
    if (slash != std::string::npos) {
        const std::string domain = name.substr(0, slash);
        const std::string account = name.substr(slash + 1);
        if (src.findDomain(domain, canonical, sid)) {
            if (account.empty()) return domainItself(canonical, sid);
            if (src.findAccount(canonical, account, rid, use)) return domainAccount();
            return r;
        }
        NameResolution authority;
        if (findAuthority(domain, authority)) {
            if (account.empty()) return domainItself(authority.domainName, authority.domainSid);
            if (const auto* a = findBuiltin(authority.domainName, account, false)) return fromBuiltin(*a);
        }
        return r;
    }
    // A bare name: the machine's domain first, then the built-in and well-known accounts,
    // then the name of a domain.
    if (!machineDomain.empty() && src.findDomain(machineDomain, canonical, sid) &&
        src.findAccount(canonical, name, rid, use))
        return domainAccount();
    if (const auto* a = findBuiltin("", name, true)) return fromBuiltin(*a);
    if (src.findDomain(name, canonical, sid)) return domainItself(canonical, sid);
    NameResolution authority;
    if (findAuthority(name, authority)) return domainItself(authority.domainName, authority.domainSid);
    return r;
}

std::string canonicalRightName(const std::string& name) {
    for (const char* right : KnownRights)
        if (equalsNoCase(name, right)) return right;
    return {};
}

bool isBuiltinServiceAccount(const std::string& account) {
    return equalsNoCase(account, "LocalSystem") || equalsNoCase(account, "NT AUTHORITY\\LocalService") ||
           equalsNoCase(account, "NT AUTHORITY\\NetworkService");
}

// Renders a SID held in the file back to a name for dump: DOMAIN\name, BUILTIN\alias,
// a well-known name, or the SID text itself when nothing in the network carries it.
std::string renderSidName(const std::vector<DomainDesc>& domains, const std::string& sidText) {
    Sid sid;
    if (!parseSid(sidText, sid) || sid.subAuthorities.empty()) return sidText;
    Sid prefix = sid;
    const std::uint32_t rid = prefix.subAuthorities.back();
    prefix.subAuthorities.pop_back();
    const std::string prefixText = sidToString(prefix);
    for (const auto& d : domains)
        if (d.sid == prefixText)
            for (const auto& a : d.accounts)
                if (a.rid == rid) return d.name + "\\" + a.name;
    for (const auto& a : BuiltinAccounts)
        if (prefixText == a.domainSid && rid == a.rid) return std::string(a.domain) + "\\" + a.name;
    for (const auto& a : WellKnownAccounts)
        if (prefixText == a.domainSid && rid == a.rid)
            return *a.domain ? std::string(a.domain) + "\\" + a.name : std::string(a.name);
    return sidText;
}

namespace {

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

} // namespace

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

} // namespace platform::sim
