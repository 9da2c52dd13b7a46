// Cost of the simulated service control calls at zero latency: open the manager, open the
// service, query its status, close both, over a network of a thousand machines.
// Target: under 0.2 ms per call.
#include "platform/Platform.h"
#include "platform/sim/SimNetwork.h"

#include <nlohmann/json.hpp>

#include <chrono>
#include <cstdio>
#include <filesystem>
#include <string>
#include <unistd.h>

int main() {
    namespace fs = std::filesystem;
    const fs::path dir = fs::temp_directory_path() / ("bench_platform-" + std::to_string(getpid()));
    fs::create_directories(dir);
    const std::string db = (dir / "simnet.db").string();

    const int machines = 1000;
    nlohmann::json net;
    net["machines"] = nlohmann::json::array();
    for (int i = 0; i < machines; ++i)
        net["machines"].push_back({{"name", "WS" + std::to_string(i)},
                                   {"services", {{{"name", "Albd"}, {"state", "running"}}}},
                                   {"registry",
                                    {{{"key", "SOFTWARE\\Atria\\ClearCase\\CurrentVersion"},
                                      {"values", {{{"name", "LicenseHost"}, {"data", "LIC01"}}}}}}}});
    platform::sim::loadNetwork(db, net.dump());
    platform::sim::useDatabase(db);

    auto& scm = platform::serviceControl();
    auto sequence = [&](int i) {
        auto m = scm.OpenSCManager("WS" + std::to_string(i % machines), platform::svc::ScManagerAllAccess);
        auto s = scm.OpenService(m.value, "Albd", platform::svc::ServiceAllAccess);
        auto q = scm.QueryServiceStatusEx(s.value);
        scm.CloseServiceHandle(s.value);
        scm.CloseServiceHandle(m.value);
        return q.ok() && q.value.currentState == platform::svc::Running;
    };
    for (int i = 0; i < 200; ++i)
        sequence(i); // warm the statement cache and the file pages

    const int rounds = 20000;
    int good = 0;
    const auto start = std::chrono::steady_clock::now();
    for (int i = 0; i < rounds; ++i)
        good += sequence(i);
    const double ms =
        std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start).count();

    const int callsPerRound = 5;
    const double perCall = ms / (rounds * callsPerRound);
    std::printf(
        "simulated service calls: %d machines, %d rounds of open manager + open service + query status "
        "+ 2 closes\n",
        machines, rounds);
    std::printf("  %.2f ms in all, %.4f ms per round, %.4f ms per call (target < 0.2 ms per call: %s)\n", ms,
                ms / rounds, perCall, perCall < 0.2 ? "met" : "MISSED");

    // A registry read for comparison: connect, open, query, close both.
    auto& reg = platform::registry();
    const auto rstart = std::chrono::steady_clock::now();
    for (int i = 0; i < rounds; ++i) {
        auto c = reg.RegConnectRegistry("\\\\WS" + std::to_string(i % machines), platform::reg::LocalMachine);
        auto k = reg.RegOpenKeyEx(c.value, "SOFTWARE\\Atria\\ClearCase\\CurrentVersion", 0,
                                  platform::reg::KeyReadWriteLink);
        good += reg.RegQueryValueEx(k.value, "LicenseHost", 1024).error == 0;
        reg.RegCloseKey(k.value);
        reg.RegCloseKey(c.value);
    }
    const double rms =
        std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - rstart).count();
    std::printf("registry reads: %.4f ms per round of 5 calls, %.4f ms per call\n", rms / rounds,
                rms / (rounds * 5));

    platform::sim::useDatabase({});
    fs::remove_all(dir);
    return good == 2 * rounds ? 0 : 1;
}
