// A second process on the same network file, for the tests that need more than one:
//   platform_worker write DB ID COUNT [THREADS]
//       COUNT messages, registry values and one right, each its own call, from each of THREADS
//       threads (default 1); the texts are ID:n, or ID-t:n from thread t of several
//   platform_worker lock DB MACHINE hold|leave
//       takes the service database lock and prints "locked"; "hold" unlocks when standard input
//       closes, "leave" exits at once without unlocking.
#include "platform/Platform.h"
#include "platform/sim/SimNetwork.h"

#include <cstdio>
#include <iostream>
#include <string>
#include <thread>
#include <unistd.h>
#include <vector>

using namespace platform;

namespace {

// rid: the last part of the SID the right is granted to.
int write(const std::string& id, std::uint32_t rid, int count) {
    auto root = registry().RegConnectRegistry("\\\\WS001", reg::LocalMachine);
    if (!root.ok()) return 10;
    auto key = registry().RegOpenKeyEx(root.value, "SOFTWARE\\Shared", 0, reg::KeyReadWriteLink);
    if (!key.ok()) return 11;
    for (int i = 0; i < count; ++i) {
        const std::string text = id + ":" + std::to_string(i);
        std::u16string buffer(text.begin(), text.end());
        buffer.push_back(u'\0');
        if (network().NetMessageBufferSend(u"WS001", buffer,
                                           static_cast<std::uint32_t>(2 * text.size() + 1)) != 0)
            return 12;
        std::vector<std::uint8_t> data(text.begin(), text.end());
        data.push_back(0);
        if (registry().RegSetValueEx(key.value, text, reg::Sz, data) != 0) return 13;
    }
    registry().RegCloseKey(key.value);
    registry().RegCloseKey(root.value);
    auto policy = lsa().LsaOpenPolicy(u"WS001", lsaconst::PolicyAccessForRights);
    if (!policy.ok()) return 14;
    Sid sid;
    parseSid("S-1-5-21-1-2-3-" + std::to_string(rid), sid);
    if (lsa().LsaAddAccountRights(policy.value, sid, {u"SeServiceLogonRight"}) != 0) return 15;
    lsa().LsaClose(policy.value);
    return 0;
}

int lock(const std::string& machine, bool hold) {
    auto manager = serviceControl().OpenSCManager(machine, svc::ScManagerAllAccess);
    if (!manager.ok()) return 20;
    auto lock = serviceControl().LockServiceDatabase(manager.value);
    if (!lock.ok()) {
        std::printf("refused %u\n", lock.error);
        return 21;
    }
    std::printf("locked\n");
    std::fflush(stdout);
    if (!hold) _exit(0);
    std::string line;
    while (std::getline(std::cin, line)) {
    }
    serviceControl().UnlockServiceDatabase(lock.value);
    serviceControl().CloseServiceHandle(manager.value);
    return 0;
}

} // namespace

int main(int argc, char** argv) {
    if (argc < 5) return 2;
    const std::string mode = argv[1];
    sim::useDatabase(argv[2]);
    if (mode == "write") {
        const std::string id = argv[3];
        const int count = std::stoi(argv[4]);
        const int threads = argc > 5 ? std::stoi(argv[5]) : 1;
        const std::uint32_t rid = static_cast<std::uint32_t>(std::stoul(id.substr(1))) * 100;
        if (threads == 1) return write(id, rid, count);
        std::vector<int> codes(threads);
        std::vector<std::thread> workers;
        for (int t = 0; t < threads; ++t)
            workers.emplace_back(
                [&, t] { codes[t] = write(id + "-" + std::to_string(t + 1), rid + t + 1, count); });
        for (auto& w : workers)
            w.join();
        for (int code : codes)
            if (code != 0) return code;
        return 0;
    }
    if (mode == "lock") return lock(argv[3], std::string(argv[4]) == "hold");
    return 2;
}
