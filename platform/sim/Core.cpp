#include "platform/sim/Core.h"

#include "platform/sim/Text.h"

#include <chrono>
#include <thread>
#include <unistd.h>

namespace platform::sim {

namespace {

// Whole literals: a connection keeps its prepared statements by the text's address.
#define VANTREL_MACHINE_COLUMNS                                                                              \
    "SELECT id, name, domain, types, platform_id, reachable, admin, messenger, latency_ms, timeout_ms, "     \
    "calls_left FROM machines "
const char* const FindMachineSql = VANTREL_MACHINE_COLUMNS "WHERE name = ?";
const char* const AllMachinesSql = VANTREL_MACHINE_COLUMNS "ORDER BY id";
#undef VANTREL_MACHINE_COLUMNS

#define VANTREL_SERVICE_COLUMNS                                                                              \
    "SELECT s.id, s.machine_id, s.name, s.display_name, s.start, s.state, s.since_ms, s.account, "           \
    "s.password, s.start_ms, s.stop_ms, s.wait_hint_ms, s.hang, s.fail, s.config_not_kept FROM services s "
const char* const FindServiceSql =
    VANTREL_SERVICE_COLUMNS "JOIN machines m ON m.id = s.machine_id WHERE m.name = ? AND s.name = ?";
const char* const AllServicesSql = VANTREL_SERVICE_COLUMNS "ORDER BY s.id";
#undef VANTREL_SERVICE_COLUMNS

// The machine of the statement's current row, selected with the columns above.
MachineRow machineOf(Statement& q) {
    MachineRow m;
    m.id = q.integer(0);
    m.name = q.text(1);
    m.domain = q.text(2);
    m.types = static_cast<std::uint32_t>(q.integer(3));
    m.platformId = static_cast<std::uint32_t>(q.integer(4));
    m.reachable = q.integer(5) != 0;
    m.admin = q.integer(6) != 0;
    m.messenger = q.integer(7) != 0;
    m.latencyMs = static_cast<std::uint32_t>(q.integer(8));
    m.timeoutMs = static_cast<std::uint32_t>(q.integer(9));
    m.callsLeft = q.integer(10);
    return m;
}

// The service of the statement's current row, selected with the columns above.
ServiceRow serviceOf(Statement& q, std::int64_t now) {
    ServiceRow r;
    r.id = q.integer(0);
    r.machineId = q.integer(1);
    r.name = q.text(2);
    r.displayName = q.text(3);
    r.start = q.text(4);
    r.account = q.text(7);
    r.password = q.text(8);
    r.startMs = static_cast<std::uint32_t>(q.integer(9));
    r.stopMs = static_cast<std::uint32_t>(q.integer(10));
    r.waitHintMs = static_cast<std::uint32_t>(q.integer(11));
    r.hang = q.integer(12) != 0;
    r.fail = q.integer(13) != 0;
    r.configNotKept = q.integer(14) != 0;
    r.live = liveState(q.text(5), q.integer(6), r.startMs, r.stopMs, r.waitHintMs, r.hang, now);
    return r;
}

} // namespace

std::optional<MachineRow> findMachine(Connection& c, const std::string& name) {
    auto q = c.query(FindMachineSql);
    q.bind(1, name);
    if (!q.step()) return std::nullopt;
    return machineOf(q);
}

std::vector<MachineRow> allMachines(Connection& c) {
    std::vector<MachineRow> rows;
    auto q = c.query(AllMachinesSql);
    while (q.step())
        rows.push_back(machineOf(q));
    return rows;
}

std::optional<ServiceRow> findService(Connection& c, const std::string& machine, const std::string& service,
                                      std::int64_t now) {
    auto q = c.query(FindServiceSql);
    q.bind(1, machine).bind(2, service);
    if (!q.step()) return std::nullopt;
    return serviceOf(q, now);
}

std::vector<ServiceRow> allServices(Connection& c, std::int64_t now) {
    std::vector<ServiceRow> rows;
    auto q = c.query(AllServicesSql);
    while (q.step())
        rows.push_back(serviceOf(q, now));
    return rows;
}

bool DbAccountSource::findDomain(const std::string& name, std::string& canonical, std::string& sid) {
    auto q = conn.query("SELECT name, sid FROM domains WHERE name = ?");
    q.bind(1, name);
    if (!q.step()) return false;
    canonical = q.text(0);
    sid = q.text(1);
    return true;
}

bool DbAccountSource::findAccount(const std::string& domain, const std::string& name, std::uint32_t& rid,
                                  std::string& use) {
    auto q = conn.query("SELECT a.rid, a.use FROM accounts a JOIN domains d ON d.id = a.domain_id "
                        "WHERE d.name = ? AND a.name = ?");
    q.bind(1, domain).bind(2, name);
    if (!q.step()) return false;
    rid = static_cast<std::uint32_t>(q.integer(0));
    use = q.text(1);
    return true;
}

std::string localHostName() {
    char buf[256] = {};
    if (gethostname(buf, sizeof buf - 1) != 0) return {};
    return buf;
}

namespace {
void sleepMs(std::uint32_t ms) {
    if (ms > 0) std::this_thread::sleep_for(std::chrono::milliseconds(ms));
}
} // namespace

Reach reachMachine(const std::string& machineName, bool needAdmin, MachineRow& machine, bool* unknownName) {
    if (unknownName) *unknownName = false;
    Connection* c = Store::instance().connection();
    if (!c) return Reach::Unreachable;
    std::optional<MachineRow> m;
    bool dropped = false;
    try {
        m = findMachine(*c, machineName);
        // A machine with a call limit spends one call of it; the last one spent, it is gone.
        // The update counts down only while calls are left, so processes racing for the last
        // call cannot both have it.
        if (m && m->reachable && m->callsLeft != NoCallLimit) {
            Transaction t(*c, true);
            c->query("UPDATE machines SET calls_left = calls_left - 1 WHERE id = ? AND calls_left > 0")
                .bind(1, m->id)
                .run();
            dropped = sqlite3_changes(c->handle()) == 0;
            // A machine that has dropped off has lost its connections, and with them, as on
            // Windows when an RPC context runs down, the service database lock they held.
            if (dropped) c->query("DELETE FROM scm_locks WHERE machine_id = ?").bind(1, m->id).run();
            t.commit();
        }
    } catch (const DbError& e) {
        Store::instance().fail(e.what());
        return Reach::Unreachable;
    }
    // A name the network does not know times out at once: there is no machine to wait for.
    if (!m) {
        if (unknownName) *unknownName = true;
        return Reach::Unreachable;
    }
    if (!m->reachable || dropped) {
        sleepMs(m->timeoutMs);
        return Reach::Unreachable;
    }
    sleepMs(m->latencyMs);
    if (needAdmin && !m->admin) return Reach::Denied;
    machine = *m;
    return Reach::Ok;
}

Connection& requireConnection() {
    Connection* c = Store::instance().current();
    if (!c) throw FileUnusable{};
    return *c;
}

Connection& checkedConnection() {
    Connection* c = Store::instance().connection();
    if (!c) throw FileUnusable{};
    return *c;
}

Handle HandleTable::add(HandleEntry e) {
    std::lock_guard<std::mutex> g(lock);
    Handle h = next;
    next += 4;
    entries.emplace(h, std::move(e));
    return h;
}

std::optional<HandleEntry> HandleTable::find(Handle h, HandleKind kind) const {
    std::lock_guard<std::mutex> g(lock);
    auto it = entries.find(h);
    if (it == entries.end() || it->second.kind != kind) return std::nullopt;
    return it->second;
}

bool HandleTable::remove(Handle h, HandleKind kind) {
    std::lock_guard<std::mutex> g(lock);
    auto it = entries.find(h);
    if (it == entries.end() || it->second.kind != kind) return false;
    entries.erase(it);
    return true;
}

HandleTable& handles() {
    static HandleTable table;
    return table;
}

} // namespace platform::sim
