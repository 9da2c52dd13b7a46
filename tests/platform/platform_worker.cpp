// A second process on the same network file, for the tests that need more than one:
//   platform_worker write DB ID COUNT   COUNT messages, registry values and one right, each its own call
//   platform_worker lock DB MACHINE hold|leave
//       takes the service database lock and prints "locked"; "hold" unlocks when standard input
//       closes, "leave" exits at once without unlocking.
#include "platform/Platform.h"
#include "platform/sim/SimNetwork.h"

#include <cstdio>
#include <iostream>
#include <string>
#include <unistd.h>

using namespace platform;

namespace {

int write(const std::string& id, int count) {
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
    parseSid("S-1-5-21-1-2-3-" + id.substr(1), sid);
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
    if (mode == "write") return write(argv[3], std::stoi(argv[4]));
    if (mode == "lock") return lock(argv[3], std::string(argv[4]) == "hold");
    return 2;
}
