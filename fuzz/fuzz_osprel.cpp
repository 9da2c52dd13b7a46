// Osprel in-process: any argument vector, against an LSA whose answers are fuzzed too (uses,
// domains, statuses, short lists, faults). Exit code 0 or 1, the policy closed exactly once,
// and nothing oversized or inconsistent reaches the LSA.
#include "Check.h"
#include "platform/Platform.h"
#include "rights/Osprel.h"

#include <fuzzer/FuzzedDataProvider.h>

#include <cstdio>
#include <cstdlib>
#include <vector>

namespace {

constexpr platform::Handle PolicyHandle = 0x5150;

class FuzzedLsa : public platform::Lsa {
  public:
    explicit FuzzedLsa(FuzzedDataProvider& in) : in_(in) {}

    int opens = 0, lookups = 0, adds = 0, closes = 0;
    bool opened = false;
    std::size_t domainSubAuthorities[4] = {};
    std::vector<platform::LsaLookup> lookupsGiven;

    platform::Result<platform::Handle> LsaOpenPolicy(const std::u16string& system, std::uint32_t) override {
        ++opens;
        FUZZ_CHECK(opens == 1, "the policy is opened twice");
        FUZZ_CHECK(system.size() <= osprel::MaxNameUnits, "an oversized computer name reached the LSA");
        maybeFault();
        platform::Result<platform::Handle> r;
        if (in_.ConsumeIntegralInRange<int>(0, 7) == 0)
            r.error = in_.ConsumeIntegral<std::uint32_t>() | 0xC0000000u;
        else
            r.value = PolicyHandle;
        opened = r.ok();
        return r;
    }
    platform::LsaLookup LsaLookupNames(platform::Handle policy,
                                       const std::vector<std::u16string>& names) override {
        ++lookups;
        FUZZ_CHECK(opened && policy == PolicyHandle && closes == 0, "a lookup outside an open policy");
        FUZZ_CHECK(names.size() <= std::size_t(osprel::MaxAccounts), "too many names reached the LSA");
        for (const auto& n : names)
            FUZZ_CHECK(n.size() <= osprel::MaxNameUnits, "an oversized account name reached the LSA");
        maybeFault();
        platform::LsaLookup lookup;
        static const std::uint32_t statuses[] = {0, 0x107, 0xC0000073, 0xC0000022};
        lookup.status = statuses[in_.ConsumeIntegralInRange<int>(0, 3)];
        for (int d = in_.ConsumeIntegralInRange<int>(0, 3); d > 0; --d) {
            std::array<std::uint8_t, 6> authority{};
            for (auto& b : authority)
                b = in_.ConsumeIntegral<std::uint8_t>();
            const auto count = in_.ConsumeIntegralInRange<std::uint8_t>(0, 15);
            platform::Sid sid = platform::InitializeSid(authority, count);
            for (std::uint8_t i = 0; i < count; ++i)
                platform::GetSidSubAuthority(sid, i) = in_.ConsumeIntegral<std::uint32_t>();
            lookup.domains.push_back({u"DOMAIN", sid});
        }
        std::size_t entries = names.size();
        if (entries > 0 && in_.ConsumeIntegralInRange<int>(0, 7) == 0)
            entries = in_.ConsumeIntegralInRange<std::size_t>(0, entries - 1);
        for (std::size_t i = 0; i < entries; ++i) {
            platform::LsaTranslatedSid entry;
            entry.use = in_.ConsumeIntegralInRange<std::uint32_t>(0, 10);
            entry.relativeId = in_.ConsumeIntegral<std::uint32_t>();
            entry.domainIndex = in_.ConsumeIntegralInRange<std::int32_t>(-2, 4);
            lookup.sids.push_back(entry);
        }
        lookupsGiven.push_back(lookup);
        return lookup;
    }
    std::uint32_t LsaAddAccountRights(platform::Handle policy, const platform::Sid& account,
                                      const std::vector<std::u16string>& rights) override {
        ++adds;
        FUZZ_CHECK(opened && policy == PolicyHandle && closes == 0 && lookups == 1,
                   "rights added outside an open policy or before the lookup");
        FUZZ_CHECK(rights.size() <= std::size_t(osprel::MaxPrivileges), "too many rights reached the LSA");
        for (const auto& r : rights)
            FUZZ_CHECK(r.size() <= osprel::MaxNameUnits, "an oversized right reached the LSA");
        FUZZ_CHECK(account.subAuthorities.size() >= 1 && account.subAuthorities.size() <= 15,
                   "a SID without a relative id or past the sub-authority limit");
        bool fromDomain = false;
        for (const auto& d : lookupsGiven.back().domains)
            fromDomain |= d.sid.identifierAuthority == account.identifierAuthority &&
                          d.sid.subAuthorities.size() + 1 == account.subAuthorities.size() &&
                          std::equal(d.sid.subAuthorities.begin(), d.sid.subAuthorities.end(),
                                     account.subAuthorities.begin());
        FUZZ_CHECK(fromDomain, "a SID that is no referenced domain's plus a relative id");
        maybeFault();
        return in_.ConsumeBool() ? 0 : (in_.ConsumeIntegral<std::uint32_t>() | 0xC0000000u);
    }
    // Osprel only grants; it never asks what an account holds.
    platform::Result<std::vector<std::u16string>> LsaEnumerateAccountRights(platform::Handle,
                                                                            const platform::Sid&) override {
        FUZZ_CHECK(false, "Osprel enumerated rights");
        return {};
    }
    std::uint32_t LsaClose(platform::Handle policy) override {
        ++closes;
        FUZZ_CHECK(opened && policy == PolicyHandle && closes == 1, "a close of no open policy, or twice");
        maybeFault();
        return 0;
    }
    std::uint32_t LsaNtStatusToWinError(std::uint32_t status) override { return status & 0xFFFF; }

  private:
    void maybeFault() {
        if (in_.ConsumeIntegralInRange<int>(0, 31) == 0)
            throw platform::PlatformFault("the network file broke");
    }
    FuzzedDataProvider& in_;
};

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    // The arguments come first, NUL-separated up to a 0xFF byte; what follows drives the LSA.
    std::size_t split = 0;
    while (split < size && data[split] != 0xFF)
        ++split;
    std::vector<std::string> args;
    std::vector<bool> nulls;
    std::string current;
    for (std::size_t i = 0; i < split; ++i) {
        if (data[i] == 0) {
            args.push_back(current);
            current.clear();
        } else if (data[i] == 0xFE && current.empty()) {
            nulls.resize(args.size() + 1);
            nulls[args.size()] = true; // this entry is a null pointer
        } else {
            current += char(data[i]);
        }
    }
    args.push_back(current);
    nulls.resize(args.size());
    std::vector<char*> argv;
    for (std::size_t i = 0; i < args.size(); ++i)
        argv.push_back(nulls[i] ? nullptr : args[i].data());
    argv.push_back(nullptr);
    const int argc = int(args.size()) - (split == 0 ? 1 : 0); // an empty input is argc 0

    FuzzedDataProvider in(data + split, size - split);
    FuzzedLsa lsa(in);
    platform::setLsa(&lsa);
    char* text = nullptr;
    std::size_t length = 0;
    std::FILE* out = open_memstream(&text, &length);
    FUZZ_CHECK(out != nullptr, "open_memstream");
    const int code = osprelMain(argc, argv.data(), out);
    std::fclose(out);
    const std::string printed(text, length);
    std::free(text);
    FUZZ_CHECK(!printed.empty(), "a run that printed nothing");
    FUZZ_CHECK(code == 0 || printed.find('\n') != std::string::npos, "a failure without a line saying why");
    platform::setLsa(nullptr);
    FUZZ_CHECK(code == 0 || code == 1, "exit code " + std::to_string(code));
    FUZZ_CHECK(lsa.closes == (lsa.opened ? 1 : 0), "the policy was not closed exactly once");
    return 0;
}
