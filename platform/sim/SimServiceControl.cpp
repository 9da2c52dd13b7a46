// The service control managers of the simulated machines.
#include "platform/sim/Backend.h"
#include "platform/sim/Core.h"
#include "platform/sim/Text.h"

#include <algorithm>
#include <chrono>
#include <condition_variable>
#include <mutex>
#include <unistd.h>
#include <utility>

namespace platform::sim {

namespace {

class StateChanges;
StateChanges& stateChanges();

// Wakes this process's waiters on a service when one of its threads changes that service's
// state; a change made by another process is seen at the waiter's next look at the file.
class StateChanges {
  public:
    struct Waiter {
        explicit Waiter(std::int64_t id) : serviceId(id) { stateChanges().add(this); }
        ~Waiter() { stateChanges().remove(this); }
        const std::int64_t serviceId;
        std::mutex lock; // each its own: dozens of threads wait at once
        std::condition_variable cv;
        bool changed = false;
    };
    void changed(std::int64_t serviceId) {
        std::lock_guard<std::mutex> g(lock_);
        for (Waiter* w : waiters_)
            if (w->serviceId == serviceId) {
                std::lock_guard<std::mutex> gw(w->lock);
                w->changed = true;
                w->cv.notify_one();
            }
    }
    // Until `until`, or sooner after a change; true when there was one (taken).
    static bool sleep(Waiter& w, std::chrono::steady_clock::time_point until) {
        std::unique_lock<std::mutex> g(w.lock);
        w.cv.wait_until(g, until, [&] { return w.changed; });
        return std::exchange(w.changed, false);
    }

  private:
    void add(Waiter* w) {
        std::lock_guard<std::mutex> g(lock_);
        waiters_.push_back(w);
    }
    void remove(Waiter* w) {
        std::lock_guard<std::mutex> g(lock_);
        waiters_.erase(std::find(waiters_.begin(), waiters_.end(), w));
    }
    std::mutex lock_;
    std::vector<Waiter*> waiters_;
};

StateChanges& stateChanges() {
    static StateChanges changes;
    return changes;
}

constexpr std::uint32_t InvalidServiceControl = 1052;
constexpr std::uint32_t InvalidServiceLock = 1071;
constexpr std::uint32_t ServiceAcceptStop = 0x1;

ServiceStatus toStatus(const ServiceRow& r) {
    ServiceStatus s;
    s.serviceType = svc::ServiceWin32OwnProcess;
    s.currentState = r.live.state;
    s.controlsAccepted = r.live.state == svc::Running ? ServiceAcceptStop : 0;
    s.checkPoint = r.live.checkPoint;
    s.waitHint = r.live.waitHint;
    // A stable made-up process id while the service has a process.
    s.processId = r.live.state == svc::Stopped ? 0 : static_cast<std::uint32_t>(1000 + 4 * (r.id % 100000));
    return s;
}

bool isPending(std::uint32_t state) {
    return state == svc::StartPending || state == svc::StopPending;
}

// The account a service starts under must be able to log on: LocalSystem and the NT AUTHORITY
// accounts always can; a domain user must exist, be enabled, not locked out and its password
// not expired, have this password and hold the right to log on as a service on this machine.
bool canLogOn(Connection& c, const ServiceRow& r) {
    const std::string& account = r.account;
    if (account.empty() || isBuiltinServiceAccount(account) || equalsNoCase(account, ".\\LocalSystem") ||
        equalsNoCase(account.substr(0, 13), "NT AUTHORITY\\"))
        return true;
    auto slash = account.find('\\');
    if (slash == std::string::npos) return false;
    auto q = c.query("SELECT d.sid, a.rid, a.use, a.password, a.disabled OR a.locked OR a.password_expired "
                     "FROM accounts a "
                     "JOIN domains d ON d.id = a.domain_id WHERE d.name = ? AND a.name = ?");
    q.bind(1, account.substr(0, slash)).bind(2, account.substr(slash + 1));
    if (!q.step()) return false;
    if (q.text(2) != "user" || q.integer(4) != 0 || q.text(3) != r.password) return false;
    Sid sid;
    if (!parseSid(q.text(0), sid)) return false;
    sid.subAuthorities.push_back(static_cast<std::uint32_t>(q.integer(1)));
    const std::string sidText = sidToString(sid);
    auto has = [&](const char* right) {
        auto h = c.query("SELECT 1 FROM rights WHERE machine_id = ? AND sid = ? AND right_name = ?");
        h.bind(1, r.machineId).bind(2, sidText).bind(3, std::string(right));
        return h.step();
    };
    return has("SeServiceLogonRight") && !has("SeDenyServiceLogonRight");
}

// Reaches the machine behind an open handle of this kind, copying the handle's entry (the
// wait for the machine lets other threads close it meanwhile). The error the call fails with,
// or 0.
std::uint32_t reachHandle(Handle handle, HandleKind kind, HandleEntry& entry) {
    const auto h = handles().find(handle, kind);
    if (!h) return err::InvalidHandle;
    entry = *h;
    MachineRow m;
    return reachMachine(entry.machine, false, m) == Reach::Ok ? err::Success : err::RpcServerUnavailable;
}

std::int64_t ownStartTicks() {
    static const std::int64_t ticks = processStartTicks(getpid());
    return ticks;
}

class SimServiceControl : public ServiceControl {
  public:
    Result<Handle> OpenSCManager(const std::string& machine, std::uint32_t access) override {
        std::string name = stripUncPrefix(machine);
        if (name.empty()) name = localHostName();
        MachineRow m;
        switch (reachMachine(name, true, m)) {
        case Reach::Unreachable:
            return {0, err::RpcServerUnavailable};
        case Reach::Denied:
            return {0, err::AccessDenied};
        case Reach::Ok:
            break;
        }
        HandleEntry e{HandleKind::ScManager, m.name, {}, {}, {}, access, false};
        return {handles().add(std::move(e)), 0};
    }

    Result<Handle> OpenService(Handle manager, const std::string& serviceName,
                               std::uint32_t access) override {
        HandleEntry mgr{};
        if (std::uint32_t error = reachHandle(manager, HandleKind::ScManager, mgr)) return {0, error};
        const std::string& machine = mgr.machine;
        return guarded(
            [&]() -> Result<Handle> {
                Connection& c = requireConnection();
                auto row = findService(c, machine, serviceName, nowMs());
                if (!row) return {0, err::ServiceDoesNotExist};
                HandleEntry e{HandleKind::Service, machine, row->name, {}, {}, access, false};
                return {handles().add(std::move(e)), 0};
            },
            Result<Handle>{0, err::RpcServerUnavailable});
    }

    std::uint32_t StartService(Handle service) override {
        HandleEntry e{};
        if (std::uint32_t error = reachHandle(service, HandleKind::Service, e)) return error;
        return guarded(
            [&]() -> std::uint32_t {
                Connection& c = requireConnection();
                Transaction t(c, true);
                const std::int64_t now = nowMs();
                auto row = findService(c, e.machine, e.name, now);
                if (!row) return err::InvalidHandle;
                if (row->start == "disabled") return err::ServiceDisabled;
                if (row->live.state != svc::Stopped) return err::ServiceAlreadyRunning;
                if (!canLogOn(c, *row)) return err::ServiceLogonFailed;
                // Its process ends before it ever calls the dispatcher: the manager's wait is over.
                if (row->fail) return err::ServiceRequestTimeout;
                c.query("UPDATE services SET state = 'start_pending', since_ms = ? WHERE id = ?")
                    .bind(1, now)
                    .bind(2, row->id)
                    .run();
                t.commit();
                stateChanges().changed(row->id);
                return err::Success;
            },
            err::RpcServerUnavailable);
    }

    Result<ServiceStatus> ControlService(Handle service, std::uint32_t control) override {
        HandleEntry e{};
        if (std::uint32_t error = reachHandle(service, HandleKind::Service, e)) return {{}, error};
        return guarded(
            [&]() -> Result<ServiceStatus> {
                Connection& c = requireConnection();
                Transaction t(c, true);
                const std::int64_t now = nowMs();
                auto row = findService(c, e.machine, e.name, now);
                if (!row) return {{}, err::InvalidHandle};
                if (row->live.state == svc::Stopped) return {toStatus(*row), err::ServiceNotActive};
                if (control == 4) return {toStatus(*row), err::Success}; // SERVICE_CONTROL_INTERROGATE
                if (control != svc::ControlStop) return {toStatus(*row), InvalidServiceControl};
                if (isPending(row->live.state)) return {toStatus(*row), err::ServiceCannotAcceptControl};
                c.query("UPDATE services SET state = 'stop_pending', since_ms = ? WHERE id = ?")
                    .bind(1, now)
                    .bind(2, row->id)
                    .run();
                t.commit();
                stateChanges().changed(row->id);
                auto after = findService(c, e.machine, e.name, now);
                return {after ? toStatus(*after) : ServiceStatus{}, err::Success};
            },
            Result<ServiceStatus>{{}, err::RpcServerUnavailable});
    }

    Result<ServiceStatus> QueryServiceStatusEx(Handle service) override {
        HandleEntry e{};
        if (std::uint32_t error = reachHandle(service, HandleKind::Service, e)) return {{}, error};
        return guarded(
            [&]() -> Result<ServiceStatus> {
                Connection& c = requireConnection();
                auto row = findService(c, e.machine, e.name, nowMs());
                if (!row) return {{}, err::InvalidHandle};
                return {toStatus(*row), err::Success};
            },
            Result<ServiceStatus>{{}, err::RpcServerUnavailable});
    }

    Result<ServiceConfig> QueryServiceConfig(Handle service) override {
        HandleEntry e{};
        if (std::uint32_t error = reachHandle(service, HandleKind::Service, e)) return {{}, error};
        return guarded(
            [&]() -> Result<ServiceConfig> {
                Connection& c = requireConnection();
                auto row = findService(c, e.machine, e.name, nowMs());
                if (!row) return {{}, err::InvalidHandle};
                ServiceConfig config;
                config.serviceType = svc::ServiceWin32OwnProcess;
                config.startType = row->start == "auto"       ? svc::AutoStart
                                   : row->start == "disabled" ? svc::Disabled
                                                              : svc::DemandStart;
                config.errorControl = 1; // SERVICE_ERROR_NORMAL
                config.binaryPathName = "C:\\Windows\\System32\\" + row->name + ".exe";
                // A service made without an account runs as LocalSystem, and says so.
                config.serviceStartName = row->account.empty() ? "LocalSystem" : row->account;
                config.displayName = row->displayName;
                return {config, err::Success};
            },
            Result<ServiceConfig>{{}, err::RpcServerUnavailable});
    }

    // The registration is one remote call; from there the waiter sleeps until the moment the
    // file says the state will be reached (a pending state ends at a time known in advance),
    // until a thread of this process changes a state, or for half a second at most, as another
    // process may have changed it; then it reads the state again.
    Result<ServiceStatus> WaitServiceStatus(Handle service, std::uint32_t states,
                                            const StatusWait& how) override {
        if (statusPollingForced()) return {{}, err::CallNotImplemented};
        HandleEntry e{};
        if (std::uint32_t error = reachHandle(service, HandleKind::Service, e)) return {{}, error};
        using Clock = std::chrono::steady_clock;
        using std::chrono::milliseconds;
        const auto deadline = Clock::now() + milliseconds(how.timeoutMs);
        std::optional<StateChanges::Waiter> waiter;
        for (;;) {
            std::optional<ServiceRow> row;
            const bool read = guarded(
                [&] {
                    row = findService(requireConnection(), e.machine, e.name, nowMs());
                    return true;
                },
                false);
            if (!read) return {{}, err::RpcServerUnavailable};
            if (!row) return {{}, err::InvalidHandle};
            const ServiceStatus status = toStatus(*row);
            if (states & svc::notifyBit(status.currentState)) return {status, err::Success};
            auto now = Clock::now();
            if (now >= deadline) return {status, err::WaitTimeout};
            if (!waiter) waiter.emplace(row->id);
            auto look = std::min(deadline, now + milliseconds(500));
            const LiveState& live = row->live;
            if (live.state == svc::StopPending || (live.state == svc::StartPending && !row->hang)) {
                const std::int64_t lasts = live.state == svc::StopPending ? row->stopMs : row->startMs;
                look =
                    std::min(look, now + milliseconds(std::max<std::int64_t>(lasts - live.pendingMs + 1, 1)));
            }
            while ((now = Clock::now()) < look) {
                if (how.keepWaiting && !how.keepWaiting()) return {status, err::Cancelled};
                if (StateChanges::sleep(*waiter, std::min(look, now + milliseconds(50)))) break;
            }
        }
    }

    std::uint32_t ChangeServiceConfig(Handle service, const ServiceConfigChange& change) override {
        const auto h = handles().find(service, HandleKind::Service);
        if (!h) return err::InvalidHandle;
        const HandleEntry e = *h;
        const bool typeOk = change.serviceType == svc::NoChange || change.serviceType == 0x10 ||
                            change.serviceType == 0x20 || change.serviceType == 0x110 ||
                            change.serviceType == 0x120;
        const bool startOk =
            change.startType == svc::NoChange || (change.startType >= 2 && change.startType <= 4);
        const bool errorOk = change.errorControl == svc::NoChange || change.errorControl <= 3;
        if (!typeOk || !startOk || !errorOk) return err::InvalidParameter;
        MachineRow m;
        if (reachMachine(e.machine, false, m) != Reach::Ok) return err::RpcServerUnavailable;
        return guarded(
            [&]() -> std::uint32_t {
                Connection& c = requireConnection();
                Transaction t(c, true);
                auto row = findService(c, e.machine, e.name, nowMs());
                if (!row) return err::InvalidHandle;
                // The Windows call takes strings ended by a NUL: what follows one never arrives.
                auto sent = [](const std::string& s) { return s.substr(0, s.find('\0')); };
                std::string account = row->account;
                std::string password = change.password ? sent(*change.password) : row->password;
                if (change.serviceStartName) {
                    account = sent(*change.serviceStartName);
                    if (isBuiltinServiceAccount(account)) {
                        password.clear(); // these accounts have no password
                    } else {
                        // Only an existing domain user may run a service: DOMAIN\name.
                        auto slash = account.find('\\');
                        if (slash == std::string::npos) return err::InvalidServiceAccount;
                        auto q = c.query("SELECT a.use FROM accounts a JOIN domains d ON d.id = a.domain_id "
                                         "WHERE d.name = ? AND a.name = ?");
                        q.bind(1, account.substr(0, slash)).bind(2, account.substr(slash + 1));
                        if (!q.step() || q.text(0) != "user") return err::InvalidServiceAccount;
                    }
                }
                // The fault of a manager that answers the change but never stores it.
                if (row->configNotKept) return err::Success;
                std::string start = row->start;
                if (change.startType == 2) start = "auto";
                if (change.startType == 3) start = "demand";
                if (change.startType == 4) start = "disabled";
                c.query("UPDATE services SET account = ?, password = ?, start = ?, display_name = ? WHERE id "
                        "= ?")
                    .bind(1, account)
                    .bind(2, password)
                    .bind(3, start)
                    .bind(4, change.displayName ? sent(*change.displayName) : row->displayName)
                    .bind(5, row->id)
                    .run();
                t.commit();
                return err::Success;
            },
            err::RpcServerUnavailable);
    }

    Result<Handle> LockServiceDatabase(Handle manager) override {
        HandleEntry mgr{};
        if (std::uint32_t error = reachHandle(manager, HandleKind::ScManager, mgr)) return {0, error};
        const std::string& machine = mgr.machine;
        return guarded(
            [&]() -> Result<Handle> {
                Connection& c = requireConnection();
                Transaction t(c, true);
                auto id = c.query("SELECT id FROM machines WHERE name = ?");
                id.bind(1, machine);
                if (!id.step()) return {0, err::RpcServerUnavailable};
                const std::int64_t machineId = id.integer(0);
                {
                    auto q = c.query("SELECT pid, pid_start FROM scm_locks WHERE machine_id = ?");
                    q.bind(1, machineId);
                    // A lock whose holder has ended is stale: Windows releases it with the process.
                    if (q.step() && processAlive(q.integer(0), q.integer(1)))
                        return {0, err::ServiceDatabaseLocked};
                }
                c.query(
                     "INSERT OR REPLACE INTO scm_locks(machine_id, pid, pid_start, since_ms) VALUES(?,?,?,?)")
                    .bind(1, machineId)
                    .bind(2, std::int64_t(getpid()))
                    .bind(3, ownStartTicks())
                    .bind(4, nowMs())
                    .run();
                t.commit();
                HandleEntry e{HandleKind::ScLock, machine, {}, {}, {}, 0, false};
                return {handles().add(std::move(e)), 0};
            },
            Result<Handle>{0, err::RpcServerUnavailable});
    }

    std::uint32_t UnlockServiceDatabase(Handle lock) override {
        const auto h = handles().find(lock, HandleKind::ScLock);
        // Of two threads unlocking at once, one does it.
        if (!h || !handles().remove(lock, HandleKind::ScLock)) return InvalidServiceLock;
        const std::string machine = h->machine;
        MachineRow m;
        // Should the machine be gone now, the lock dies with this process like any stale lock.
        if (reachMachine(machine, false, m) != Reach::Ok) return err::RpcServerUnavailable;
        return guarded(
            [&]() -> std::uint32_t {
                Connection& c = requireConnection();
                Transaction t(c, true);
                c.query("DELETE FROM scm_locks WHERE machine_id = (SELECT id FROM machines WHERE name = ?) "
                        "AND pid = ?")
                    .bind(1, machine)
                    .bind(2, std::int64_t(getpid()))
                    .run();
                t.commit();
                return err::Success;
            },
            err::RpcServerUnavailable);
    }

    ServiceEnumeration EnumServicesStatus(Handle manager, std::uint32_t serviceType,
                                          std::uint32_t serviceState, std::uint32_t bufferBytes) override {
        ServiceEnumeration out;
        const auto mgr = handles().find(manager, HandleKind::ScManager);
        if (!mgr) {
            out.error = err::InvalidHandle;
            return out;
        }
        if (serviceState < svc::StateActive || serviceState > svc::StateAll) {
            out.error = err::InvalidParameter;
            return out;
        }
        const std::string machine = mgr->machine;
        MachineRow m;
        if (reachMachine(machine, false, m) != Reach::Ok) {
            out.error = err::RpcServerUnavailable;
            return out;
        }
        if ((serviceType & svc::ServiceWin32) == 0) return out; // drivers only: the network has none
        ServiceEnumeration failed;
        failed.error = err::RpcServerUnavailable;
        return guarded(
            [&]() -> ServiceEnumeration {
                Connection& c = requireConnection();
                Transaction t(c, false);
                const std::int64_t now = nowMs();
                std::vector<std::string> names;
                {
                    // The service control manager lists services in the order of their names.
                    auto q = c.query("SELECT s.name FROM services s JOIN machines m ON m.id = s.machine_id "
                                     "WHERE m.name = ? ORDER BY s.name COLLATE NOCASE, s.name");
                    q.bind(1, machine);
                    while (q.step())
                        names.push_back(q.text(0));
                }
                std::uint64_t used = 0;
                for (const auto& n : names) {
                    auto row = findService(c, machine, n, now);
                    if (!row) continue;
                    const bool active = row->live.state != svc::Stopped;
                    if ((active && !(serviceState & svc::StateActive)) ||
                        (!active && !(serviceState & svc::StateInactive)))
                        continue;
                    const std::uint64_t size =
                        svc::EnumRecordSize + row->name.size() + 1 + row->displayName.size() + 1;
                    if (out.error == 0 && used + size <= bufferBytes) {
                        used += size;
                        out.entries.push_back(ServiceEntry{row->name, row->displayName, toStatus(*row)});
                    } else {
                        out.error = err::MoreData;
                        out.bytesNeeded = static_cast<std::uint32_t>(
                            std::min<std::uint64_t>(out.bytesNeeded + size, 0xFFFFFFFFull));
                    }
                }
                t.commit();
                return out;
            },
            failed);
    }

    std::uint32_t CloseServiceHandle(Handle handle) override {
        if (handles().remove(handle, HandleKind::Service) || handles().remove(handle, HandleKind::ScManager))
            return err::Success;
        return err::InvalidHandle;
    }
};

} // namespace

ServiceControl& simServiceControl() {
    static SimServiceControl instance;
    return instance;
}

} // namespace platform::sim
