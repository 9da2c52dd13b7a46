// Registry roots and key paths as typed on the registry page, against a machine of the
// simulated network: only the three root names map to a root; a value written reads back;
// a delete removes the key it names and never a key outside it.
#include "Check.h"
#include "common/Dialogs.h"
#include "platform/Platform.h"
#include "platform/sim/SimNetwork.h"
#include "registry/RemoteRegistry.h"

#include <fuzzer/FuzzedDataProvider.h>

#include <algorithm>
#include <cctype>
#include <vector>

namespace {

const char* const Network = R"json({"machines": [{"name": "REG01", "registry": [
  {"root": "HKLM", "key": "SOFTWARE\\Vendor\\App", "values": [{"name": "Path", "type": "REG_SZ", "data": "C:\\App"}]},
  {"root": "HKLM", "key": "SOFTWARE\\Vendor\\Other"},
  {"root": "HKLM", "key": "SOFTWARE\\Locked", "denied": true},
  {"root": "HKLM", "key": "SYSTEM\\CurrentControlSet\\Services\\Albd"},
  {"root": "HKCU", "key": "Software\\Vendor"},
  {"root": "HKCR", "key": ".txt"}
]}]})json";

struct Probe {
    std::uint32_t root;
    std::string path;
};
// Remote registries open HKEY_LOCAL_MACHINE and HKEY_USERS only: the page reaches the first.
const std::vector<Probe> Probes = {
    {std::uint32_t(platform::reg::LocalMachine), "SOFTWARE"},
    {std::uint32_t(platform::reg::LocalMachine), "SOFTWARE\\Vendor"},
    {std::uint32_t(platform::reg::LocalMachine), "SOFTWARE\\Vendor\\App"},
    {std::uint32_t(platform::reg::LocalMachine), "SOFTWARE\\Vendor\\Other"},
    {std::uint32_t(platform::reg::LocalMachine), "SYSTEM\\CurrentControlSet\\Services\\Albd"},
};

std::string dbPath;
bool dirty = true;

std::string lower(std::string s) {
    for (char& c : s)
        c = char(std::tolower(static_cast<unsigned char>(c)));
    return s;
}

// The key names of a path, empty pieces dropped, in lower case.
std::string normalised(const std::string& path) {
    std::string out, piece;
    for (std::size_t i = 0; i <= path.size(); ++i) {
        if (i == path.size() || path[i] == '\\') {
            if (!piece.empty()) out += (out.empty() ? "" : "\\") + lower(piece);
            piece.clear();
        } else {
            piece += path[i];
        }
    }
    return out;
}

bool opens(std::uint32_t root, const std::string& path) {
    auto& reg = platform::registry();
    auto c = reg.RegConnectRegistry("\\\\REG01", root);
    FUZZ_CHECK(c.ok(), "REG01 does not connect: " + std::to_string(c.error));
    auto k = reg.RegOpenKey(c.value, path);
    if (k.ok()) reg.RegCloseKey(k.value);
    reg.RegCloseKey(c.value);
    return k.ok();
}

} // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    dbPath = fuzzcheck::scratchFolder() + "/registry.db";
    platform::sim::useDatabase(dbPath);
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (dirty) {
        platform::sim::loadNetwork(dbPath, Network);
        dirty = false;
    }
    static vantrel::ScriptedDialogs boxes;
    boxes.clear();
    vantrel::setDialogs(&boxes);

    FuzzedDataProvider in(data, size);
    static const char* const roots[] = {"HKLM", "HCU", "HCR"};
    const std::string rootText =
        in.ConsumeBool() ? roots[in.ConsumeIntegralInRange<int>(0, 2)] : in.ConsumeRandomLengthString(8);
    const std::uint32_t root = vantrel::ToHKeyLong(rootText);
    FUZZ_CHECK((root != 0) == (rootText == "HKLM" || rootText == "HCU" || rootText == "HCR"),
               "root text " + rootText);
    const int op = in.ConsumeIntegralInRange<int>(0, 2);
    const std::string machine = in.ConsumeBool() ? "\\\\REG01" : in.ConsumeRandomLengthString(12);
    const std::string keyPath = in.ConsumeRandomLengthString(64);
    const std::string valueName = in.ConsumeRandomLengthString(16);
    const std::string value = in.ConsumeRandomLengthString(512); // fits the read buffer

    std::string read;
    if (op == 0) {
        vantrel::GetRemoteKeyValue(root, keyPath, valueName, read, machine);
    } else if (op == 1) {
        if (vantrel::SetRemoteKeyValue(root, keyPath, valueName, value, machine)) {
            dirty = true;
            FUZZ_CHECK(vantrel::GetRemoteKeyValue(root, keyPath, valueName, read, machine),
                       "a value written does not read");
            const std::string expected = value.substr(0, value.find('\0'));
            FUZZ_CHECK(read == expected, "read " + read + " after writing " + value);
        }
    } else {
        dirty = true;
        const bool deleted = vantrel::DeleteRemoteKeyValue(root, keyPath, machine);
        if (deleted && machine == "\\\\REG01") FUZZ_CHECK(!opens(root, keyPath), "a deleted key still opens");
        const std::string named = normalised(keyPath);
        for (const Probe& p : Probes) {
            if (opens(p.root, p.path)) continue;
            const std::string probe = lower(p.path);
            const bool inside = machine == "\\\\REG01" && p.root == root && !named.empty() &&
                                (probe == named || probe.rfind(named + "\\", 0) == 0);
            FUZZ_CHECK(inside, "deleting " + keyPath + " removed " + p.path);
        }
    }
    vantrel::setDialogs(nullptr);
    return 0;
}
