// The local security authority of this computer: opening a policy, name look-ups with their
// uses, referenced domains and statuses, rights added and enumerated, status mapping.
#include "Conformance.h"

#include <set>

using namespace platform;
using conformance::wine_skips;

namespace {

constexpr std::uint32_t StatusInvalidHandle = 0xC0000008;
constexpr std::uint32_t StatusObjectNameNotFound = 0xC0000034;

struct Policy {
    Handle handle = 0;
    explicit Policy(const std::u16string& machine = u"") {
        handle = lsa().LsaOpenPolicy(machine, lsaconst::PolicyAccessForRights).value;
    }
    ~Policy() {
        if (handle) lsa().LsaClose(handle);
    }
};

// The SID a translated name stands for: its domain's SID, plus the relative id for an account.
std::string sidOf(const LsaLookup& r, std::size_t i) {
    const auto& t = r.sids.at(i);
    if (t.domainIndex < 0 || std::size_t(t.domainIndex) >= r.domains.size()) return {};
    Sid sid = r.domains[t.domainIndex].sid;
    if (t.use != lsaconst::SidTypeDomain) sid.subAuthorities.push_back(t.relativeId);
    return sidToString(sid);
}

std::u16string domainOf(const LsaLookup& r, std::size_t i) {
    const auto& t = r.sids.at(i);
    if (t.domainIndex < 0 || std::size_t(t.domainIndex) >= r.domains.size()) return u"?";
    return r.domains[t.domainIndex].name;
}

std::string text(const std::u16string& s) {
    return std::string(s.begin(), s.end()); // names here are ASCII
}

// An account that holds no right anywhere.
Sid stranger() {
    Sid sid;
    parseSid("S-1-5-21-9-9-9-4242", sid);
    return sid;
}

} // namespace

TEST_SUITE("lsa") {

    TEST_CASE("the local policy opens with an empty name and closes") {
        CONFORMANCE_SCENE(scene, {});
        auto p = lsa().LsaOpenPolicy(u"", lsaconst::PolicyAccessForRights);
        REQUIRE(p.error == 0u);
        CHECK(lsa().LsaClose(p.value) == 0u);
    }

    TEST_CASE("a closed policy handle is invalid" *
              wine_skips("Wine's LsaClose accepts a handle already closed")) {
        CONFORMANCE_SCENE(scene, {});
        auto p = lsa().LsaOpenPolicy(u"", lsaconst::PolicyAccessForRights);
        REQUIRE(p.ok());
        CHECK(lsa().LsaClose(p.value) == 0u);
        CHECK(lsa().LsaClose(p.value) == StatusInvalidHandle);
        CHECK(lsa().LsaLookupNames(p.value, {u"Everyone"}).status == StatusInvalidHandle);
    }

    TEST_CASE("remote policies: names with or without backslashes, unreachable, no administrator" *
              wine_skips("Wine's LSA reaches no remote machine")) {
        CONFORMANCE_SCENE(scene, {});
        const std::pair<const char16_t*, std::uint32_t> rows[] = {
            {u"\\\\REMOTE1", 0},
            {u"REMOTE1", 0},
            {u"\\\\DOWN1", ntstatus::RpcServerUnavailable},
            {u"\\\\NOWHERE", ntstatus::RpcServerUnavailable},
            {u"\\\\NOADMIN1", ntstatus::AccessDenied}};
        for (auto [machine, status] : rows) {
            CAPTURE(text(machine));
            auto p = lsa().LsaOpenPolicy(machine, lsaconst::PolicyAccessForRights);
            CHECK(p.error == status);
            if (p.ok()) CHECK(lsa().LsaClose(p.value) == 0u);
        }
    }

    TEST_CASE("the local user maps as a user of the machine's domain, by its bare or full name") {
        CONFORMANCE_SCENE(scene, {});
        Policy p;
        const std::u16string user = conformance::localUser();
        const std::u16string domain = conformance::localDomain();
        auto bare = lsa().LsaLookupNames(p.handle, {user});
        CHECK(bare.status == 0u);
        REQUIRE(bare.sids.size() == 1u);
        CHECK(bare.sids[0].use == lsaconst::SidTypeUser);
        CHECK(text(domainOf(bare, 0)) == text(domain));
        const std::string sid = sidOf(bare, 0);
        CHECK(sid.rfind("S-1-5-21-", 0) == 0);
        auto full = lsa().LsaLookupNames(p.handle, {domain + u"\\" + user});
        CHECK(full.status == 0u);
        CHECK(full.sids.at(0).use == lsaconst::SidTypeUser);
        CHECK(sidOf(full, 0) == sid);
    }

    TEST_CASE("account names map in any letter case" *
              wine_skips("Wine's LSA finds the machine's user only in the letter case it has")) {
        CONFORMANCE_SCENE(scene, {});
        Policy p;
        std::u16string name = conformance::localDomain() + u"\\" + conformance::localUser();
        auto as = lsa().LsaLookupNames(p.handle, {name});
        for (auto& c : name)
            c = c >= u'a' && c <= u'z'   ? char16_t(c - u'a' + u'A')
                : c >= u'A' && c <= u'Z' ? char16_t(c - u'A' + u'a')
                                         : c;
        auto swapped = lsa().LsaLookupNames(p.handle, {name});
        CHECK(swapped.status == 0u);
        CHECK(swapped.sids.at(0).use == lsaconst::SidTypeUser);
        CHECK(sidOf(swapped, 0) == sidOf(as, 0));
    }

    TEST_CASE("the machine's domain maps with use 3 and the SID its accounts are under") {
        CONFORMANCE_SCENE(scene, {});
        Policy p;
        auto user = lsa().LsaLookupNames(p.handle, {conformance::localUser()});
        REQUIRE(user.sids.at(0).domainIndex >= 0);
        auto domain = lsa().LsaLookupNames(p.handle, {conformance::localDomain()});
        CHECK(domain.status == 0u);
        CHECK(domain.sids.at(0).use == lsaconst::SidTypeDomain);
        CHECK(sidOf(domain, 0) == sidToString(user.domains[user.sids[0].domainIndex].sid));
    }

    // Rows: name, use, referenced domain, SID.
    using NameRow = std::tuple<const char16_t*, std::uint32_t, const char*, const char*>;

    void checkNames(const std::vector<NameRow>& rows) {
        Policy p;
        for (auto [name, use, domain, sid] : rows) {
            CAPTURE(text(name));
            auto r = lsa().LsaLookupNames(p.handle, {name});
            CHECK(r.status == 0u);
            REQUIRE(r.sids.size() == 1u);
            CHECK(r.sids[0].use == use);
            CHECK(text(domainOf(r, 0)) == domain);
            CHECK(sidOf(r, 0) == sid);
        }
    }

    TEST_CASE("the built-in Administrators alias maps by its bare or full name in any letter case") {
        CONFORMANCE_SCENE(scene, {});
        checkNames({{u"Administrators", lsaconst::SidTypeAlias, "BUILTIN", "S-1-5-32-544"},
                    {u"BUILTIN\\Administrators", lsaconst::SidTypeAlias, "BUILTIN", "S-1-5-32-544"},
                    {u"builtin\\ADMINISTRATORS", lsaconst::SidTypeAlias, "BUILTIN", "S-1-5-32-544"}});
    }

    TEST_CASE("well-known names map with their referenced domain and SID" *
              wine_skips("Wine's LSA gives well-known names no referenced domain SID")) {
        CONFORMANCE_SCENE(scene, {});
        checkNames({{u"Everyone", lsaconst::SidTypeWellKnownGroup, "", "S-1-1-0"},
                    {u"NT AUTHORITY\\SYSTEM", lsaconst::SidTypeWellKnownGroup, "NT AUTHORITY", "S-1-5-18"}});
    }

    TEST_CASE("names found nowhere are use 8 without a domain, and none mapped is 0xC0000073") {
        CONFORMANCE_SCENE(scene, {});
        Policy p;
        auto none = lsa().LsaLookupNames(p.handle, {u"vtc-nobody", u"NOWHERE\\x"});
        CHECK(none.status == ntstatus::NoneMapped);
        REQUIRE(none.sids.size() == 2u);
        for (const auto& t : none.sids) {
            CHECK(t.use == lsaconst::SidTypeUnknown);
            CHECK(t.domainIndex == -1);
        }
    }

    // Several names at once: each domain is referenced once, and the status counts the unmapped.
    TEST_CASE("some names unmapped is 0x107, results in order and each domain referenced once") {
        CONFORMANCE_SCENE(scene, {});
        Policy p;
        const std::u16string user = conformance::localUser();
        auto some = lsa().LsaLookupNames(p.handle, {user, u"vtc-nobody", u"Administrators", user});
        CHECK(some.status == ntstatus::SomeNotMapped);
        REQUIRE(some.sids.size() == 4u);
        CHECK(some.sids[0].use == lsaconst::SidTypeUser);
        CHECK(some.sids[1].use == lsaconst::SidTypeUnknown);
        CHECK(some.sids[2].use == lsaconst::SidTypeAlias);
        CHECK(some.sids[0].domainIndex == some.sids[3].domainIndex);
        CHECK(some.sids[0].domainIndex != some.sids[2].domainIndex);
        CHECK(some.domains.size() == 2u);
        CHECK(lsa().LsaLookupNames(p.handle, {}).status == 0u);
    }

    TEST_CASE("domain accounts of every use map with their domain's SID" *
              wine_skips("Wine has no domain: only the machine's own and well-known accounts map")) {
        CONFORMANCE_SCENE(scene, {.accounts = {{.name = "svc", .rid = 1105},
                                               {.name = "team", .rid = 1201, .use = "group"},
                                               {.name = "local", .rid = 1202, .use = "alias"},
                                               {.name = "known", .rid = 1203, .use = "well_known"},
                                               {.name = "gone", .rid = 1300, .use = "deleted"},
                                               {.name = "bad", .rid = 1301, .use = "invalid"}}});
        Policy p;
        const std::tuple<const char16_t*, std::uint32_t, std::uint32_t> rows[] = {
            {u"VTC\\svc", 1, 1105},  {u"svc", 1, 1105},        {u"vtc\\SVC", 1, 1105},
            {u"VTC\\team", 2, 1201}, {u"VTC\\local", 4, 1202}, {u"VTC\\known", 5, 1203},
            {u"VTC\\gone", 6, 1300}, {u"VTC\\bad", 7, 1301}};
        for (auto [name, use, rid] : rows) {
            CAPTURE(text(name));
            auto r = lsa().LsaLookupNames(p.handle, {name});
            CHECK(r.status == 0u);
            CHECK(r.sids.at(0).use == use);
            CHECK(text(domainOf(r, 0)) == "VTC");
            CHECK(sidOf(r, 0) == std::string(conformance::TestDomainSid) + "-" + std::to_string(rid));
        }
        auto domain = lsa().LsaLookupNames(p.handle, {u"VTC\\"});
        CHECK(domain.sids.at(0).use == lsaconst::SidTypeDomain);
        CHECK(sidOf(domain, 0) == conformance::TestDomainSid);
    }

    TEST_CASE("rights are added by name in any letter case, again without harm") {
        CONFORMANCE_SCENE(scene, {});
        Policy p;
        REQUIRE(p.handle);
        Sid sid = stranger();
        CHECK(lsa().LsaAddAccountRights(p.handle, sid, {u"SeServiceLogonRight", u"seshutdownprivilege"}) ==
              0u);
        CHECK(lsa().LsaAddAccountRights(p.handle, sid, {u"SeServiceLogonRight"}) == 0u);
    }

    TEST_CASE("an unknown right name adds nothing at all: 0xC0000060" *
              wine_skips("Wine's LsaAddAccountRights accepts unknown right names")) {
        CONFORMANCE_SCENE(scene, {});
        Policy p;
        Sid sid = stranger();
        CHECK(lsa().LsaAddAccountRights(p.handle, sid, {u"SeBackupPrivilege", u"SeNoSuchRight"}) ==
              ntstatus::NoSuchPrivilege);
        CHECK(lsa().LsaEnumerateAccountRights(p.handle, sid).error == StatusObjectNameNotFound);
    }

    TEST_CASE("an account without rights enumerates as 0xC0000034") {
        CONFORMANCE_SCENE(scene, {});
        Policy p;
        auto rights = lsa().LsaEnumerateAccountRights(p.handle, stranger());
        CHECK(rights.error == StatusObjectNameNotFound);
        CHECK(rights.value.empty());
    }

    TEST_CASE("rights added are enumerated under their canonical names, per machine" *
              wine_skips("Wine's LsaEnumerateAccountRights answers 0xC0000034 for every account")) {
        CONFORMANCE_SCENE(scene, {});
        Policy p;
        Sid sid = stranger();
        REQUIRE(lsa().LsaAddAccountRights(p.handle, sid, {u"SeServiceLogonRight", u"seshutdownprivilege"}) ==
                0u);
        REQUIRE(lsa().LsaAddAccountRights(p.handle, sid, {u"SeServiceLogonRight"}) == 0u);
        auto rights = lsa().LsaEnumerateAccountRights(p.handle, sid);
        CHECK(rights.error == 0u);
        CHECK(std::set<std::u16string>(rights.value.begin(), rights.value.end()) ==
              std::set<std::u16string>{u"SeServiceLogonRight", u"SeShutdownPrivilege"});
        Policy remote(u"REMOTE1");
        CHECK(lsa().LsaEnumerateAccountRights(remote.handle, sid).error == StatusObjectNameNotFound);
    }

    // Windows would cut a system name at its NUL: "\0REMOTE1" would open this computer's policy.
    TEST_CASE("a system, account or logon name holding a NUL is refused: 0xC0000033, which is 123") {
        using namespace std::string_literals;
        CONFORMANCE_SCENE(scene, {});
        CHECK(lsa().LsaOpenPolicy(u"\0REMOTE1"s, lsaconst::PolicyAccessForRights).error ==
              ntstatus::ObjectNameInvalid);
        Policy p(u"");
        CHECK(lsa().LsaLookupNames(p.handle, {u"Everyone"s, u"Everyone\0x"s}).status ==
              ntstatus::ObjectNameInvalid);
        CHECK(logon().CheckNetworkLogon("VTC", "tester\0x"s, "tester") == err::InvalidName);
        CHECK(logon().CheckNetworkLogon("VTC\0x"s, "tester", "tester") == err::InvalidName);
        CHECK(logon().CheckNetworkLogon("VTC", "tester", "tester\0x"s) == err::InvalidName);
    }

    TEST_CASE("statuses map to Windows error codes") {
        const std::pair<std::uint32_t, std::uint32_t> rows[] = {
            {0, 0},          {0x107, 1301},      {0xC0000073, 1332}, {0xC0000060, 1313},
            {0xC0000022, 5}, {0xC0020017, 1722}, {0xC0000008, 6},    {0xC000000D, 87},
            {0xC0000034, 2}, {0xC0000033, 123},  {0xC0FFEE00, 317}};
        for (auto [status, error] : rows) {
            CAPTURE(status);
            CHECK(lsa().LsaNtStatusToWinError(status) == error);
        }
    }

} // TEST_SUITE
