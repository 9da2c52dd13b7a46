#pragma once
// The network as a value: what a JSON description holds, what load writes into the file and
// what dump reads back out of it.
#include "platform/Lsa.h"

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace platform::sim {

class Connection;

struct AccountDesc {
    std::string name;
    std::uint32_t rid = 0;
    std::string use = "user"; // user, group, alias, well_known, deleted, invalid
    std::string password;
    std::string description;
    std::string fullName;
    bool disabled = false;
    bool locked = false; // locked out: network logons fail
    // The password is proven but logons fail with 1330 (a service start with 1069).
    bool passwordExpired = false;
    // The domain's controllers refuse this account a network logon (1385, as when it lacks
    // the right to reach them from the network); service logons are not concerned.
    bool networkLogonDenied = false;
};

struct DomainDesc {
    std::string name;
    std::string sid; // canonical text
    std::string controller;
    std::vector<AccountDesc> accounts;
};

struct ServiceDesc {
    std::string name;
    std::string displayName;
    std::string start = "auto";    // auto, demand, disabled
    std::string state = "running"; // running, stopped, start_pending, stop_pending
    std::int64_t pendingMs = 0;    // how long a pending state has lasted (a hung start: any time)
    std::uint32_t checkpoint = 0;  // dump only
    std::string account = "LocalSystem";
    std::string password;
    std::uint32_t startMs = 1500;
    std::uint32_t stopMs = 800;
    std::uint32_t waitHintMs = 3000;
    bool hang = false;
    bool fail = false;
    bool configNotKept = false;
};

struct ValueDesc {
    std::string name;
    std::uint32_t type = 1;
    std::vector<std::uint8_t> data; // as the registry stores it
};

struct KeyDesc {
    std::string root = "HKLM";
    std::string path;
    bool denied = false;
    std::vector<ValueDesc> values;
};

struct RightsDesc {
    std::string account; // as given, or as rendered by dump
    std::string sid;
    std::vector<std::string> rights;
};

struct MachineDesc {
    std::string name;
    std::string domain;
    std::uint32_t types = 0x1;
    std::uint32_t platformId = 500;
    bool reachable = true;
    bool admin = true;
    bool messenger = true;
    std::uint32_t latencyMs = 0;
    std::uint32_t timeoutMs = 0;
    // Remote calls the machine still answers before it drops off the network; none: no limit.
    std::optional<std::uint32_t> unreachableAfterCalls;
    std::vector<ServiceDesc> services;
    std::vector<KeyDesc> registry;
    std::vector<RightsDesc> rights;
    std::vector<std::string> messages;
};

struct LicenceServerDesc {
    std::string host;
    std::vector<std::string> clients;
};

struct NetworkDesc {
    bool browserAvailable = true;
    std::vector<DomainDesc> domains;
    std::vector<MachineDesc> machines;
    std::vector<LicenceServerDesc> licenceServers;
};

// Parses and checks a description; throws SimError naming the field at fault.
NetworkDesc parseDescription(const std::string& json);
std::string renderDescription(const NetworkDesc& net);

// The state a service shows at nowMs, from what the file stores.
struct LiveState {
    std::uint32_t state = 1;
    std::uint32_t checkPoint = 0;
    std::uint32_t waitHint = 0;
    std::int64_t pendingMs = 0;
};
LiveState liveState(const std::string& stored, std::int64_t sinceMs, std::uint32_t startMs,
                    std::uint32_t stopMs, std::uint32_t waitHintMs, bool hang, std::int64_t nowMs);

// A registry key path split at its backslashes; refuses empty parts (a doubled or leading
// backslash), naming `where`. One trailing backslash is dropped.
std::vector<std::string> keyParts(const std::string& path, const std::string& where);
// The first `count` parts joined again.
std::string joinParts(const std::vector<std::string>& parts, std::size_t count);

// Replaces everything in an open file (inside the caller's transaction).
void writeNetwork(Connection& c, const NetworkDesc& net);
NetworkDesc readNetwork(Connection& c, std::int64_t nowMs);

// ---- names and SIDs shared by the LSA and by descriptions ----

// Where an account name led: a use (SID_NAME_USE), the domain it belongs to and its rid.
struct NameResolution {
    std::uint32_t use = lsaconst::SidTypeUnknown;
    std::string domainName; // as the referenced domain is named
    std::string domainSid;
    std::uint32_t rid = 0;
    bool hasRid = false; // false for a domain itself
};

// What a lookup needs to know about the network's domains.
class AccountSource {
  public:
    virtual ~AccountSource() = default;
    // Canonical name and SID of a domain of the network.
    virtual bool findDomain(const std::string& name, std::string& canonical, std::string& sid) = 0;
    virtual bool findAccount(const std::string& domain, const std::string& name, std::uint32_t& rid,
                             std::string& use) = 0;
};

// DOMAIN\name, bare name (machine's domain, built-in, well-known), a domain's own name.
NameResolution resolveAccountName(AccountSource& src, const std::string& machineDomain,
                                  const std::string& name);
std::uint32_t useCode(const std::string& use);

// A SID of the file as dump names it: DOMAIN\name, a built-in or well-known name, else the SID text.
std::string renderSidName(const std::vector<DomainDesc>& domains, const std::string& sidText);

// The SID a rights entry's account stands for on a machine of that domain: a SID as written,
// else the account the name leads to; empty when it leads to none.
std::string sidOfAccount(const std::vector<DomainDesc>& domains, const std::string& machineDomain,
                         const std::string& account);

// The rights and privileges this LSA knows, by canonical name; empty when unknown.
std::string canonicalRightName(const std::string& name);

// Service accounts that need no logon check and may be set without a domain.
bool isBuiltinServiceAccount(const std::string& account);

} // namespace platform::sim
