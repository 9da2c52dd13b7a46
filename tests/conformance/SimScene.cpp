// Scenes on the simulated network: the machine named like this computer (the one an empty
// machine name reaches) in a domain of its own, loaded from a JSON description into a
// network file of its own for each case.
#include "Conformance.h"

#include "platform/sim/SimNetwork.h"

#include <nlohmann/json.hpp>

#include <cstdlib>
#include <filesystem>
#include <unistd.h>

namespace conformance {

namespace {

std::string hostName() {
    char buf[256] = {};
    gethostname(buf, sizeof buf - 1);
    return buf;
}

std::string hex(const std::vector<std::uint8_t>& bytes) {
    static const char digits[] = "0123456789abcdef";
    std::string out;
    for (auto b : bytes) {
        out += digits[b >> 4];
        out += digits[b & 15];
    }
    return out;
}

nlohmann::json describe(const Setup& setup) {
    using nlohmann::json;
    json accounts = json::array({{{"name", "tester"}, {"rid", 1000}, {"password", "tester"}}});
    json rights = json::array();
    for (const auto& a : setup.accounts) {
        accounts.push_back({{"name", a.name},
                            {"rid", a.rid},
                            {"use", a.use},
                            {"password", a.password},
                            {"disabled", a.disabled},
                            {"locked", a.locked}});
        if (!a.rights.empty())
            rights.push_back({{"account", std::string(TestDomain) + "\\" + a.name}, {"rights", a.rights}});
    }
    json services = json::array();
    for (const auto& s : setup.services) {
        json j = {{"name", s.name},
                  {"display_name", s.displayName.empty() ? s.name : s.displayName},
                  {"start", s.disabled ? "disabled" : "demand"},
                  {"state", "stopped"},
                  {"start_ms", s.startMs},
                  {"stop_ms", s.stopMs},
                  {"wait_hint_ms", s.waitHintMs},
                  {"hang", s.hang},
                  {"fail", s.fail}};
        if (!s.account.empty()) {
            j["account"] = s.account;
            j["password"] = s.password;
        }
        services.push_back(j);
    }
    json keys = json::array({{{"root", "HKLM"}, {"key", testKey()}}});
    for (const auto& k : setup.keys) {
        json values = json::array();
        for (const auto& v : k.values)
            values.push_back({{"name", v.name}, {"type", v.type}, {"hex", hex(v.data)}});
        keys.push_back(
            {{"root", "HKLM"}, {"key", testKey() + "\\" + k.path}, {"denied", k.denied}, {"values", values}});
    }
    const std::string host = hostName();
    return {{"domains",
             {{{"name", TestDomain}, {"sid", TestDomainSid}, {"controller", host}, {"accounts", accounts}}}},
            {"machines",
             {{{"name", host},
               {"domain", TestDomain},
               {"types", {"workstation"}},
               {"services", services},
               {"registry", keys},
               {"rights", rights}},
              // Remote machines for the cases about reaching one.
              {{"name", "REMOTE1"}, {"domain", TestDomain}},
              {{"name", "DOWN1"}, {"reachable", false}},
              {{"name", "NOADMIN1"}, {"admin", false}}}}};
}

} // namespace

struct Scene::Impl {
    std::filesystem::path dir;
};

Scene::Scene(const Setup& setup) : impl_(std::make_unique<Impl>()) {
    std::string pattern = (std::filesystem::temp_directory_path() / "conformance-XXXXXX").string();
    if (!mkdtemp(pattern.data())) {
        error_ = "cannot make a temporary folder";
        return;
    }
    impl_->dir = pattern;
    const std::string file = (impl_->dir / "simnet.db").string();
    try {
        platform::sim::loadNetwork(file, describe(setup).dump());
        platform::sim::useDatabase(file);
    } catch (const std::exception& e) {
        error_ = e.what();
    }
}

Scene::~Scene() {
    platform::sim::useDatabase({});
    std::error_code ignored;
    if (!impl_->dir.empty()) std::filesystem::remove_all(impl_->dir, ignored);
}

std::u16string localUser() {
    return u"tester";
}

std::u16string localDomain() {
    return u"VTC";
}

const char* backendName() {
    return "simulated network";
}

bool underWine() {
    return false;
}

} // namespace conformance
