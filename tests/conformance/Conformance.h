#pragma once
// The conformance suite: Windows behaviour that every platform backend must show, stated
// through the platform interfaces only. What differs per backend is how the state a case
// needs is made (a Scene) and which cases Wine cannot run.
#include "platform/Platform.h"

#include <doctest/doctest.h>

#include <chrono>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <thread>
#include <vector>

namespace conformance {

// A service of the local machine, made for one case. Times in milliseconds.
struct TestService {
    std::string name;
    std::string displayName;
    bool disabled = false;
    unsigned startMs = 0;
    unsigned stopMs = 0;
    unsigned waitHintMs = 0;
    bool hang = false;   // stays start pending
    bool fail = false;   // the process ends before it reaches the service manager
    std::string account; // empty: LocalSystem
    std::string password;
};

struct TestValue {
    std::string name;
    std::uint32_t type = platform::reg::Sz;
    std::vector<std::uint8_t> data;
};

// A key below testKey() of HKLM (parents implied).
struct TestKey {
    std::string path;
    std::vector<TestValue> values;
    bool denied = false; // refuses every access
};

// A domain account for the cases only a domain can serve (the simulation's).
struct TestAccount {
    std::string name;
    std::uint32_t rid = 0;
    std::string use = "user";
    std::string password;
    bool disabled = false;
    bool locked = false;
    std::vector<std::string> rights; // held on the local machine
};

struct Setup {
    std::vector<TestService> services;
    std::vector<TestKey> keys;
    std::vector<TestAccount> accounts;
};

// Makes the setup on this backend and removes it again when destroyed. A case checks ok()
// first: a setup that could not be made is a failure of the case, never a pass.
class Scene {
  public:
    explicit Scene(const Setup& setup = {});
    ~Scene();
    Scene(const Scene&) = delete;
    Scene& operator=(const Scene&) = delete;
    bool ok() const { return error_.empty(); }
    const std::string& error() const { return error_; }

  private:
    struct Impl;
    std::unique_ptr<Impl> impl_;
    std::string error_;
};

// The key of HKLM the scenes make their keys below.
inline const std::string& testKey() {
    static const std::string key = "SOFTWARE\\VantrelConformance";
    return key;
}

// The domain of the accounts in Setup::accounts and the SID it has.
inline constexpr const char* TestDomain = "VTC";
inline constexpr const char* TestDomainSid = "S-1-5-21-71-72-73";

// A user account the local LSA maps (use 1) without any setup, and the name of the domain
// the machine's own accounts belong to (it maps with use 3).
std::u16string localUser();
std::u16string localDomain();

const char* backendName();
bool underWine();

// Marks a case Wine cannot run, or where Wine departs from documented Windows: the case is
// skipped under Wine with its one-line reason printed and counted; every other backend runs it.
struct wine_skips {
    const char* reason;
    void fill(doctest::detail::TestCase& tc) const {
        tc.m_description = reason;
        tc.m_skip = underWine();
    }
    void fill(doctest::detail::TestSuite&) const {}
};

// Polls `done` until it holds or `ms` pass; whether it held.
inline bool waitUntil(const std::function<bool()>& done, int ms = 10000) {
    const auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(ms);
    while (!done()) {
        if (std::chrono::steady_clock::now() > end) return false;
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    return true;
}

inline std::vector<std::uint8_t> sz(const std::string& s) {
    std::vector<std::uint8_t> v(s.begin(), s.end());
    v.push_back(0);
    return v;
}

} // namespace conformance

// Opens a scene for the rest of the case, failing the case when it cannot be made.
#define CONFORMANCE_SCENE(var, ...)                                                                          \
    conformance::Scene var(conformance::Setup __VA_ARGS__);                                                  \
    REQUIRE_MESSAGE(var.ok(), var.error())
