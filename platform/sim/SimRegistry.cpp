// The registries of the simulated machines, remote (through a connection) and local (the
// machine named like this computer, reached through the predefined root handles).
#include "platform/sim/Backend.h"
#include "platform/sim/Core.h"
#include "platform/sim/Text.h"

#include <algorithm>

namespace platform::sim {

namespace {

constexpr std::uint32_t KeyDeleted = 1018; // ERROR_KEY_DELETED: the open key was deleted meanwhile
constexpr std::uint32_t KeyQueryValue = 0x1;
constexpr std::uint32_t KeySetValue = 0x2;
constexpr std::uint32_t KeyEnumerateSubKeys = 0x8;

const char* predefinedRoot(Handle h) {
    switch (h) {
    case reg::ClassesRoot:
        return "HKCR";
    case reg::CurrentUser:
        return "HKCU";
    case reg::LocalMachine:
        return "HKLM";
    case reg::Users:
        return "HKU";
    default:
        return nullptr;
    }
}

// Where a handle points; a predefined root is this computer's registry.
std::optional<HandleEntry> keyOf(Handle h) {
    if (const char* root = predefinedRoot(h))
        return HandleEntry{HandleKind::RegKey, localHostName(), {}, root, {}, reg::KeyAllAccess, true};
    return handles().find(h, HandleKind::RegKey);
}

// Joins a subkey path to a key's path; nullopt for a malformed path (an empty part, a
// leading backslash), which no key can have.
std::optional<std::string> joinPath(const std::string& base, const std::string& sub) {
    std::string s = sub;
    if (!s.empty() && s.back() == '\\') s.pop_back();
    if (s.empty()) return base;
    std::string part;
    for (char c : s) {
        if (c == '\\') {
            if (part.empty()) return std::nullopt;
            part.clear();
        } else {
            part += c;
        }
    }
    if (part.empty()) return std::nullopt;
    return base.empty() ? s : base + "\\" + s;
}

// Reaches the machine behind a key: a local key needs its machine in the network (else 2);
// a remote one waits the latency and fails when the machine cannot be reached any more.
std::uint32_t reachKey(const HandleEntry& k) {
    MachineRow m;
    if (k.local) {
        Connection* c = Store::instance().connection();
        if (!c) return err::FileNotFound;
        try {
            return findMachine(*c, k.machine) ? err::Success : err::FileNotFound;
        } catch (const DbError& e) {
            Store::instance().fail(e.what());
            return err::FileNotFound;
        }
    }
    return reachMachine(k.machine, false, m) == Reach::Ok ? err::Success : err::RpcServerUnavailable;
}

struct KeyRow {
    std::int64_t id = 0; // 0: the root itself
    std::int64_t machineId = 0;
    std::string path;
    bool denied = false;
};

std::optional<KeyRow> findKey(Connection& c, const HandleEntry& k, const std::string& path) {
    if (path.empty()) {
        auto m = findMachine(c, k.machine);
        if (!m) return std::nullopt;
        return KeyRow{0, m->id, {}, false};
    }
    auto q = c.query("SELECT k.id, k.machine_id, k.path, k.denied FROM reg_keys k JOIN machines m ON "
                     "m.id = k.machine_id WHERE m.name = ? AND k.root = ? AND k.path = ?");
    q.bind(1, k.machine).bind(2, k.root).bind(3, path);
    if (!q.step()) return std::nullopt;
    return KeyRow{q.integer(0), q.integer(1), q.text(2), q.integer(3) != 0};
}

// The registry keeps subkeys in the order of their upper-case names.
bool beforeUpper(const std::string& a, const std::string& b) {
    const std::string ua = upperAscii(a), ub = upperAscii(b);
    return ua != ub ? ua < ub : a < b;
}

class SimRegistry : public Registry {
  public:
    Result<Handle> RegConnectRegistry(const std::string& machine, Handle root) override {
        const std::string name = stripUncPrefix(machine);
        if (name.empty()) {
            // No machine: the local registry's root itself.
            if (!predefinedRoot(root)) return {0, err::InvalidHandle};
            return {root, err::Success};
        }
        // Only these two roots exist on a remote registry.
        if (root != reg::LocalMachine && root != reg::Users) return {0, err::InvalidHandle};
        MachineRow m;
        switch (reachMachine(name, true, m)) {
        case Reach::Unreachable:
            return {0, err::BadNetPath};
        case Reach::Denied:
            return {0, err::AccessDenied};
        case Reach::Ok:
            break;
        }
        HandleEntry e{HandleKind::RegKey, m.name, {}, predefinedRoot(root), {}, reg::KeyAllAccess, false};
        return {handles().add(std::move(e)), err::Success};
    }

    Result<Handle> RegOpenKeyEx(Handle key, const std::string& subKey, std::uint32_t,
                                std::uint32_t access) override {
        return open(key, subKey, access);
    }

    Result<Handle> RegOpenKey(Handle key, const std::string& subKey) override {
        return open(key, subKey, reg::KeyAllAccess);
    }

    RegValueRead RegQueryValueEx(Handle key, const std::string& valueName,
                                 std::uint32_t bufferBytes) override {
        return readKey<RegValueRead>(
            key, KeyQueryValue, [&](Connection& c, const HandleEntry&, const KeyRow& row, RegValueRead& out) {
                auto q = c.query("SELECT type, data FROM reg_values WHERE key_id = ? AND name = ?");
                q.bind(1, row.id).bind(2, valueName);
                if (row.id == 0 || !q.step()) {
                    out.error = err::FileNotFound;
                    return;
                }
                out.type = static_cast<std::uint32_t>(q.integer(0));
                auto data = q.blob(1);
                out.size = static_cast<std::uint32_t>(data.size());
                if (data.size() > bufferBytes)
                    out.error = err::MoreData;
                else
                    out.data = std::move(data);
            });
    }

    std::uint32_t RegSetValueEx(Handle key, const std::string& valueName, std::uint32_t type,
                                const std::vector<std::uint8_t>& data) override {
        auto k = keyOf(key);
        if (!k) return err::InvalidHandle;
        if (!(k->access & KeySetValue)) return err::AccessDenied;
        if (valueName.find('\0') != std::string::npos || valueName.size() > 16383)
            return err::InvalidParameter;
        if (std::uint32_t e = reachKey(*k)) return e;
        return guarded(
            [&]() -> std::uint32_t {
                Connection& c = requireConnection();
                Transaction t(c, true);
                auto row = findKey(c, *k, k->path);
                if (!row) return k->path.empty() ? err::FileNotFound : KeyDeleted;
                if (row->id == 0) return err::AccessDenied; // a root holds no values of its own
                c.query("INSERT INTO reg_values(key_id, name, type, data) VALUES(?,?,?,?) "
                        "ON CONFLICT(key_id, name) DO UPDATE SET type = excluded.type, data = excluded.data")
                    .bind(1, row->id)
                    .bind(2, valueName)
                    .bind(3, std::int64_t(type))
                    .bindBlob(4, data)
                    .run();
                t.commit();
                return err::Success;
            },
            k->local ? err::FileNotFound : err::RpcServerUnavailable);
    }

    RegSubkeyName RegEnumKeyEx(Handle key, std::uint32_t index, std::uint32_t nameBufferChars) override {
        return readKey<RegSubkeyName>(
            key, KeyEnumerateSubKeys,
            [&](Connection& c, const HandleEntry& k, const KeyRow& row, RegSubkeyName& out) {
                std::vector<std::string> names;
                auto q =
                    c.query("SELECT name FROM reg_keys WHERE machine_id = ? AND root = ? AND parent = ?");
                q.bind(1, row.machineId).bind(2, k.root).bind(3, row.path);
                while (q.step())
                    names.push_back(q.text(0));
                if (index >= names.size()) {
                    out.error = err::NoMoreItems;
                    return;
                }
                std::sort(names.begin(), names.end(), beforeUpper);
                const std::string& name = names[index];
                if (name.size() + 1 > nameBufferChars)
                    out.error = err::MoreData;
                else
                    out.name = name;
            });
    }

    std::uint32_t RegDeleteKey(Handle key, const std::string& subKey) override {
        auto k = keyOf(key);
        if (!k) return err::InvalidHandle;
        auto path = joinPath(k->path, subKey);
        if (std::uint32_t e = reachKey(*k)) return e;
        if (!path) return err::FileNotFound;
        if (path->empty()) return err::AccessDenied; // a root cannot be deleted
        return guarded(
            [&]() -> std::uint32_t {
                Connection& c = requireConnection();
                Transaction t(c, true);
                auto row = findKey(c, *k, *path);
                if (!row) return err::FileNotFound;
                if (row->denied) return err::AccessDenied;
                auto children =
                    c.query("SELECT 1 FROM reg_keys WHERE machine_id = ? AND root = ? AND parent = ?");
                children.bind(1, row->machineId).bind(2, k->root).bind(3, row->path);
                if (children.step()) return err::AccessDenied;
                c.query("DELETE FROM reg_values WHERE key_id = ?").bind(1, row->id).run();
                c.query("DELETE FROM reg_keys WHERE id = ?").bind(1, row->id).run();
                t.commit();
                return err::Success;
            },
            k->local ? err::FileNotFound : err::RpcServerUnavailable);
    }

    std::uint32_t RegCloseKey(Handle key) override {
        if (predefinedRoot(key)) return err::Success;
        return handles().remove(key, HandleKind::RegKey) ? err::Success : err::InvalidHandle;
    }

  private:
    // A read of an open key: the checks every read makes, then read(c, key, row, out) in a read
    // transaction. Out is a result with an error member; should the network file fail, the
    // error is the one a lost machine gives.
    template <class Out, class Read> Out readKey(Handle key, std::uint32_t right, Read read) {
        Out out;
        auto k = keyOf(key);
        if (!k) {
            out.error = err::InvalidHandle;
            return out;
        }
        if (!(k->access & right)) {
            out.error = err::AccessDenied;
            return out;
        }
        if ((out.error = reachKey(*k)) != 0) return out;
        Out failed;
        failed.error = k->local ? err::FileNotFound : err::RpcServerUnavailable;
        return guarded(
            [&]() -> Out {
                Connection& c = requireConnection();
                Transaction t(c, false);
                auto row = findKey(c, *k, k->path);
                if (!row)
                    out.error = k->path.empty() ? err::FileNotFound : KeyDeleted;
                else
                    read(c, *k, *row, out);
                return out;
            },
            failed);
    }

    Result<Handle> open(Handle key, const std::string& subKey, std::uint32_t access) {
        auto k = keyOf(key);
        if (!k) return {0, err::InvalidHandle};
        if (std::uint32_t e = reachKey(*k)) return {0, e};
        auto path = joinPath(k->path, subKey);
        if (!path) return {0, err::FileNotFound};
        return guarded(
            [&]() -> Result<Handle> {
                Connection& c = requireConnection();
                auto row = findKey(c, *k, *path);
                if (!row) return {0, err::FileNotFound};
                if (row->denied) return {0, err::AccessDenied};
                HandleEntry e = *k;
                e.path = row->path;
                e.access = access;
                return {handles().add(std::move(e)), err::Success};
            },
            Result<Handle>{0, k->local ? err::FileNotFound : err::RpcServerUnavailable});
    }
};

} // namespace

Registry& simRegistry() {
    static SimRegistry instance;
    return instance;
}

} // namespace platform::sim
