// Descriptions of the network as rows of the network file, and the state a service shows
// from what its row stores.
#include "platform/sim/Model.h"

#include "platform/sim/Core.h"
#include "platform/sim/SimNetwork.h"
#include "platform/sim/Store.h"

#include <algorithm>
#include <map>

namespace platform::sim {

namespace {
constexpr std::uint64_t MaxU32 = 0xFFFFFFFFull;
} // namespace

// ---- service states ----

LiveState liveState(const std::string& stored, std::int64_t sinceMs, std::uint32_t startMs,
                    std::uint32_t stopMs, std::uint32_t waitHintMs, bool hang, std::int64_t now) {
    LiveState s;
    const std::int64_t elapsed = std::max<std::int64_t>(0, now - sinceMs);
    // Windows services report progress about four times per wait hint.
    const std::int64_t step = std::max<std::int64_t>(1, waitHintMs / 4);
    auto pending = [&](std::uint32_t state, bool stalled) {
        s.state = state;
        s.waitHint = waitHintMs;
        s.pendingMs = elapsed;
        s.checkPoint =
            stalled ? 1 : static_cast<std::uint32_t>(std::min<std::int64_t>(1 + elapsed / step, MaxU32));
    };
    if (stored == "running") {
        s.state = 4;
    } else if (stored == "start_pending") {
        if (hang)
            pending(2, true);
        else if (elapsed >= startMs)
            s.state = 4;
        else
            pending(2, false);
    } else if (stored == "stop_pending") {
        if (elapsed >= stopMs)
            s.state = 1;
        else
            pending(3, false);
    } else {
        s.state = 1;
    }
    return s;
}

// ---- rows ----

void writeNetwork(Connection& c, const NetworkDesc& net) {
    for (const char* table : {"domains", "accounts", "machines", "services", "reg_keys", "reg_values",
                              "rights", "messages", "licence_servers", "licence_clients", "scm_locks"})
        c.exec(std::string("DELETE FROM ") + table);
    c.query("INSERT OR REPLACE INTO meta(key, value) VALUES('browser_available', ?)")
        .bind(1, std::string(net.browserAvailable ? "1" : "0"))
        .run();
    for (const auto& d : net.domains) {
        c.query("INSERT INTO domains(name, sid, controller) VALUES(?,?,?)")
            .bind(1, d.name)
            .bind(2, d.sid)
            .bind(3, d.controller)
            .run();
        const std::int64_t domainId = sqlite3_last_insert_rowid(c.handle());
        for (const auto& a : d.accounts)
            c.query("INSERT INTO accounts(domain_id, name, rid, use, password, description, full_name, "
                    "disabled, locked, password_expired, network_logon_denied) "
                    "VALUES(?,?,?,?,?,?,?,?,?,?,?)")
                .bind(1, domainId)
                .bind(2, a.name)
                .bind(3, std::int64_t(a.rid))
                .bind(4, a.use)
                .bind(5, a.password)
                .bind(6, a.description)
                .bind(7, a.fullName)
                .bind(8, std::int64_t(a.disabled))
                .bind(9, std::int64_t(a.locked))
                .bind(10, std::int64_t(a.passwordExpired))
                .bind(11, std::int64_t(a.networkLogonDenied))
                .run();
    }
    const std::int64_t now = nowMs();
    for (const auto& m : net.machines) {
        c.query("INSERT INTO machines(name, domain, types, platform_id, reachable, admin, messenger, "
                "latency_ms, timeout_ms, calls_left) VALUES(?,?,?,?,?,?,?,?,?,?)")
            .bind(1, m.name)
            .bind(2, m.domain)
            .bind(3, std::int64_t(m.types))
            .bind(4, std::int64_t(m.platformId))
            .bind(5, std::int64_t(m.reachable))
            .bind(6, std::int64_t(m.admin))
            .bind(7, std::int64_t(m.messenger))
            .bind(8, std::int64_t(m.latencyMs))
            .bind(9, std::int64_t(m.timeoutMs))
            .bind(10, m.unreachableAfterCalls ? std::int64_t(*m.unreachableAfterCalls) : NoCallLimit)
            .run();
        const std::int64_t machineId = sqlite3_last_insert_rowid(c.handle());
        for (const auto& s : m.services)
            c.query("INSERT INTO services(machine_id, name, display_name, start, state, since_ms, account, "
                    "password, "
                    "start_ms, stop_ms, wait_hint_ms, hang, fail, config_not_kept) "
                    "VALUES(?,?,?,?,?,?,?,?,?,?,?,?,?,?)")
                .bind(1, machineId)
                .bind(2, s.name)
                .bind(3, s.displayName)
                .bind(4, s.start)
                .bind(5, s.state)
                .bind(6, now - s.pendingMs)
                .bind(7, s.account)
                .bind(8, s.password)
                .bind(9, std::int64_t(s.startMs))
                .bind(10, std::int64_t(s.stopMs))
                .bind(11, std::int64_t(s.waitHintMs))
                .bind(12, std::int64_t(s.hang))
                .bind(13, std::int64_t(s.fail))
                .bind(14, std::int64_t(s.configNotKept))
                .run();
        for (const auto& k : m.registry) {
            // Parent keys are implied: create each level that is not there yet.
            std::vector<std::string> parts = keyParts(k.path, "key");
            for (std::size_t n = 1; n <= parts.size(); ++n) {
                const bool last = n == parts.size();
                c.query(
                     "INSERT INTO reg_keys(machine_id, root, path, parent, name, denied) VALUES(?,?,?,?,?,?) "
                     "ON CONFLICT(machine_id, root, path) DO UPDATE SET denied = denied OR excluded.denied")
                    .bind(1, machineId)
                    .bind(2, k.root)
                    .bind(3, joinParts(parts, n))
                    .bind(4, joinParts(parts, n - 1))
                    .bind(5, parts[n - 1])
                    .bind(6, std::int64_t(last && k.denied))
                    .run();
            }
            std::int64_t keyId = 0;
            {
                auto q = c.query("SELECT id FROM reg_keys WHERE machine_id = ? AND root = ? AND path = ?");
                q.bind(1, machineId).bind(2, k.root).bind(3, k.path);
                if (q.step()) keyId = q.integer(0);
            }
            for (const auto& v : k.values)
                c.query("INSERT INTO reg_values(key_id, name, type, data) VALUES(?,?,?,?)")
                    .bind(1, keyId)
                    .bind(2, v.name)
                    .bind(3, std::int64_t(v.type))
                    .bindBlob(4, v.data)
                    .run();
        }
        for (const auto& r : m.rights)
            for (const auto& right : r.rights)
                c.query("INSERT OR IGNORE INTO rights(machine_id, sid, right_name) VALUES(?,?,?)")
                    .bind(1, machineId)
                    .bind(2, r.sid)
                    .bind(3, right)
                    .run();
        for (const auto& msg : m.messages)
            c.query("INSERT INTO messages(machine_id, text) VALUES(?,?)")
                .bind(1, machineId)
                .bind(2, msg)
                .run();
    }
    for (const auto& s : net.licenceServers) {
        c.query("INSERT INTO licence_servers(host) VALUES(?)").bind(1, s.host).run();
        const std::int64_t serverId = sqlite3_last_insert_rowid(c.handle());
        for (const auto& client : s.clients)
            c.query("INSERT INTO licence_clients(server_id, name) VALUES(?,?)")
                .bind(1, serverId)
                .bind(2, client)
                .run();
    }
}

NetworkDesc readNetwork(Connection& c, std::int64_t now) {
    NetworkDesc net;
    {
        auto q = c.query("SELECT value FROM meta WHERE key = 'browser_available'");
        net.browserAvailable = !q.step() || q.text(0) != "0";
    }
    std::map<std::int64_t, std::size_t> domainIndex;
    {
        auto q = c.query("SELECT id, name, sid, controller FROM domains ORDER BY id");
        while (q.step()) {
            domainIndex[q.integer(0)] = net.domains.size();
            net.domains.push_back(DomainDesc{q.text(1), q.text(2), q.text(3), {}});
        }
    }
    {
        auto q = c.query("SELECT domain_id, name, rid, use, password, description, full_name, disabled, "
                         "locked, password_expired, network_logon_denied FROM accounts ORDER BY id");
        while (q.step()) {
            auto it = domainIndex.find(q.integer(0));
            if (it == domainIndex.end()) continue;
            net.domains[it->second].accounts.push_back(AccountDesc{
                q.text(1), static_cast<std::uint32_t>(q.integer(2)), q.text(3), q.text(4), q.text(5),
                q.text(6), q.integer(7) != 0, q.integer(8) != 0, q.integer(9) != 0, q.integer(10) != 0});
        }
    }
    std::map<std::int64_t, std::size_t> machineIndex;
    for (const MachineRow& row : allMachines(c)) {
        MachineDesc m;
        m.name = row.name;
        m.domain = row.domain;
        m.types = row.types;
        m.platformId = row.platformId;
        m.reachable = row.reachable;
        m.admin = row.admin;
        m.messenger = row.messenger;
        m.latencyMs = row.latencyMs;
        m.timeoutMs = row.timeoutMs;
        if (row.callsLeft != NoCallLimit) m.unreachableAfterCalls = static_cast<std::uint32_t>(row.callsLeft);
        machineIndex[row.id] = net.machines.size();
        net.machines.push_back(std::move(m));
    }
    auto machineOf = [&](std::int64_t id) -> MachineDesc* {
        auto it = machineIndex.find(id);
        return it == machineIndex.end() ? nullptr : &net.machines[it->second];
    };
    for (const ServiceRow& row : allServices(c, now)) {
        MachineDesc* m = machineOf(row.machineId);
        if (!m) continue;
        ServiceDesc s;
        s.name = row.name;
        s.displayName = row.displayName;
        s.start = row.start;
        s.account = row.account;
        s.password = row.password;
        s.startMs = row.startMs;
        s.stopMs = row.stopMs;
        s.waitHintMs = row.waitHintMs;
        s.hang = row.hang;
        s.fail = row.fail;
        s.configNotKept = row.configNotKept;
        static const char* names[] = {"", "stopped", "start_pending", "stop_pending", "running"};
        s.state = names[row.live.state];
        s.checkpoint = row.live.checkPoint;
        s.pendingMs = row.live.pendingMs;
        m->services.push_back(std::move(s));
    }
    {
        // Keys that carry something: values, a refusal, or no subkeys. Their parents follow
        // from their paths, so listing them all would only repeat what is implied.
        std::map<std::int64_t, std::pair<MachineDesc*, std::size_t>> keyIndex;
        auto q = c.query("SELECT k.id, k.machine_id, k.root, k.path, k.denied FROM reg_keys k WHERE k.denied "
                         "OR EXISTS(SELECT 1 FROM reg_values v WHERE v.key_id = k.id) "
                         "OR NOT EXISTS(SELECT 1 FROM reg_keys c WHERE c.machine_id = k.machine_id AND "
                         "c.root = k.root AND c.parent = k.path) ORDER BY k.id");
        while (q.step()) {
            MachineDesc* m = machineOf(q.integer(1));
            if (!m) continue;
            KeyDesc k;
            k.root = q.text(2);
            k.path = q.text(3);
            k.denied = q.integer(4) != 0;
            keyIndex[q.integer(0)] = {m, m->registry.size()};
            m->registry.push_back(std::move(k));
        }
        auto v = c.query("SELECT key_id, name, type, data FROM reg_values ORDER BY id");
        while (v.step()) {
            auto it = keyIndex.find(v.integer(0));
            if (it == keyIndex.end()) continue;
            it->second.first->registry[it->second.second].values.push_back(
                ValueDesc{v.text(1), static_cast<std::uint32_t>(v.integer(2)), v.blob(3)});
        }
    }
    {
        auto q = c.query("SELECT machine_id, sid, right_name FROM rights ORDER BY id");
        while (q.step()) {
            MachineDesc* m = machineOf(q.integer(0));
            if (!m) continue;
            const std::string sid = q.text(1);
            auto it = std::find_if(m->rights.begin(), m->rights.end(),
                                   [&](const RightsDesc& r) { return r.sid == sid; });
            if (it == m->rights.end()) {
                // A name that would load as another account (a domain of the network named like
                // a built-in one, an account of the machine's domain called Everyone) stays a SID.
                std::string shown = renderSidName(net.domains, sid);
                if (sidOfAccount(net.domains, m->domain, shown) != sid) shown = sid;
                m->rights.push_back(RightsDesc{shown, sid, {}});
                it = m->rights.end() - 1;
            }
            it->rights.push_back(q.text(2));
        }
    }
    {
        auto q = c.query("SELECT machine_id, text FROM messages ORDER BY id");
        while (q.step())
            if (MachineDesc* m = machineOf(q.integer(0))) m->messages.push_back(q.text(1));
    }
    {
        std::map<std::int64_t, std::size_t> serverIndex;
        auto q = c.query("SELECT id, host FROM licence_servers ORDER BY id");
        while (q.step()) {
            serverIndex[q.integer(0)] = net.licenceServers.size();
            net.licenceServers.push_back(LicenceServerDesc{q.text(1), {}});
        }
        auto k = c.query("SELECT server_id, name FROM licence_clients ORDER BY id");
        while (k.step()) {
            auto it = serverIndex.find(k.integer(0));
            if (it != serverIndex.end()) net.licenceServers[it->second].clients.push_back(k.text(1));
        }
    }
    return net;
}

} // namespace platform::sim
