// Cost of the real service control calls on this computer: open the manager, open a service,
// query its status, close both; then a registry read. The same rounds as bench_platform runs
// against the simulated network, so the two per-call figures compare.
//   bench_win32 [service [rounds]]   (service: RpcSs by default, present on every Windows)
#include "platform/Platform.h"

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <string>

int main(int argc, char** argv) {
    const std::string service = argc > 1 ? argv[1] : "RpcSs";
    const int rounds = argc > 2 ? std::max(1, std::atoi(argv[2])) : 2000;

    auto& scm = platform::serviceControl();
    int good = 0;
    auto sequence = [&] {
        auto m = scm.OpenSCManager("", platform::svc::ScManagerEnumerateService | 0x0001);
        auto s = scm.OpenService(m.value, service, 0x0004); // SERVICE_QUERY_STATUS
        auto q = scm.QueryServiceStatusEx(s.value);
        scm.CloseServiceHandle(s.value);
        scm.CloseServiceHandle(m.value);
        return m.ok() && s.ok() && q.ok();
    };
    if (!sequence()) {
        std::fprintf(stderr, "bench_win32: cannot query the service %s\n", service.c_str());
        return 1;
    }
    for (int i = 0; i < 50; ++i)
        sequence();

    const auto start = std::chrono::steady_clock::now();
    for (int i = 0; i < rounds; ++i)
        good += sequence();
    const double ms =
        std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start).count();
    std::printf("service calls: %d rounds of open manager + open service + query status + 2 closes (%s)\n",
                rounds, service.c_str());
    std::printf("  %.2f ms in all, %.4f ms per round, %.4f ms per call\n", ms, ms / rounds,
                ms / (rounds * 5));

    auto& reg = platform::registry();
    const std::string key = "SOFTWARE\\Microsoft\\Windows NT\\CurrentVersion";
    const auto rstart = std::chrono::steady_clock::now();
    for (int i = 0; i < rounds; ++i) {
        auto c = reg.RegConnectRegistry("", platform::reg::LocalMachine);
        auto k = reg.RegOpenKeyEx(c.value, key, 0, 0x20019); // KEY_READ
        good += reg.RegQueryValueEx(k.value, "ProductName", 1024).error == 0;
        reg.RegCloseKey(k.value);
        reg.RegCloseKey(c.value);
    }
    const double rms =
        std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - rstart).count();
    std::printf("registry reads: %.4f ms per round of 5 calls, %.4f ms per call\n", rms / rounds,
                rms / (rounds * 5));
    return good == 2 * rounds ? 0 : 1;
}
