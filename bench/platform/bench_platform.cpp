// Cost of the simulated service control calls at zero latency: open the manager, open the
// service, query its status, close both, over a network of a thousand machines.
// Target: under 0.2 ms per call.
// Then throughput of many threads calling different machines with 20 ms latency each: it
// should grow with the threads, as one machine's wait holds back no other's calls.
#include "platform/Platform.h"
#include "platform/sim/SimNetwork.h"

#include <nlohmann/json.hpp>

#include <chrono>
#include <cstdio>
#include <filesystem>
#include <string>
#include <thread>
#include <unistd.h>
#include <vector>

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
    const int slowMachines = 64, latencyMs = 20;
    for (int i = 0; i < slowMachines; ++i)
        net["machines"].push_back({{"name", "LAT" + std::to_string(i)},
                                   {"latency_ms", latencyMs},
                                   {"services", {{{"name", "Albd"}, {"state", "running"}}}}});
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

    // Each round: open manager, open service, query, a message (a write), two closes; the
    // first four wait the machine's latency. Thread t works on machines t, t + threads, ...
    std::printf("threads on machines with %d ms latency (4 of the 6 calls of a round wait it):\n", latencyMs);
    const int roundsPerThread = 10;
    double single = 0;
    bool threadedOk = true;
    for (int threads : {1, 8, 32, 64}) {
        std::vector<int> failures(threads, 0);
        const auto tstart = std::chrono::steady_clock::now();
        std::vector<std::thread> workers;
        for (int t = 0; t < threads; ++t)
            workers.emplace_back([&, t] {
                for (int r = 0; r < roundsPerThread; ++r) {
                    const std::string name = "LAT" + std::to_string((t + r * threads) % slowMachines);
                    auto m = scm.OpenSCManager(name, platform::svc::ScManagerAllAccess);
                    auto s = scm.OpenService(m.value, "Albd", platform::svc::ServiceAllAccess);
                    failures[t] += scm.QueryServiceStatusEx(s.value).error != 0;
                    const std::u16string to(name.begin(), name.end());
                    failures[t] += platform::network().NetMessageBufferSend(to, u"hi", 5) != 0;
                    failures[t] += scm.CloseServiceHandle(s.value) != 0;
                    failures[t] += scm.CloseServiceHandle(m.value) != 0;
                }
            });
        for (auto& w : workers)
            w.join();
        const double tms =
            std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - tstart).count();
        const double roundsPerSecond = 1000.0 * threads * roundsPerThread / tms;
        if (threads == 1) single = roundsPerSecond;
        int failed = 0;
        for (int f : failures)
            failed += f;
        threadedOk = threadedOk && failed == 0;
        std::printf("  %2d threads: %8.1f ms, %7.1f rounds/s (%5.1fx one thread, ideal %dx)%s\n", threads,
                    tms, roundsPerSecond, roundsPerSecond / single, threads, failed ? " FAILED CALLS" : "");
    }

    platform::sim::useDatabase({});
    fs::remove_all(dir);
    return good == 2 * rounds && threadedOk ? 0 : 1;
}
