#pragma once
// What every simulated facility shares: the handle table, reaching a machine (latency,
// timeouts, refusals) and the rows of machines and services. Every call may come from any
// thread: each thread has its own connection to the file, and nothing is locked while a call
// waits for a machine.
#include "platform/Types.h"
#include "platform/sim/Model.h"
#include "platform/sim/Store.h"

#include <cstdint>
#include <mutex>
#include <optional>
#include <string>
#include <unordered_map>
#include <vector>

namespace platform::sim {

struct MachineRow {
    std::int64_t id = 0;
    std::string name;
    std::string domain;
    std::uint32_t types = 0;
    std::uint32_t platformId = 500;
    bool reachable = true;
    bool admin = true;
    bool messenger = true;
    std::uint32_t latencyMs = 0;
    std::uint32_t timeoutMs = 0;
    std::int64_t callsLeft = NoCallLimit; // remote calls it answers before it drops off
};

std::optional<MachineRow> findMachine(Connection& c, const std::string& name);
// Every machine of the file, in the order they were written.
std::vector<MachineRow> allMachines(Connection& c);

struct ServiceRow {
    std::int64_t id = 0;
    std::int64_t machineId = 0;
    std::string name;
    std::string displayName;
    std::string start;
    std::string account;
    std::string password;
    std::uint32_t startMs = 0;
    std::uint32_t stopMs = 0;
    std::uint32_t waitHintMs = 0;
    bool hang = false;
    bool fail = false;
    bool configNotKept = false; // a change of configuration is answered 0 and dropped
    LiveState live;             // as of the time given to the reader
};

// The service `service` of the machine named `machine`, its state as of `nowMs`.
std::optional<ServiceRow> findService(Connection& c, const std::string& machine, const std::string& service,
                                      std::int64_t nowMs);
// Every service of the file, in the order they were written.
std::vector<ServiceRow> allServices(Connection& c, std::int64_t nowMs);
// This computer's name, as the machine of the network that stands for it.
std::string localHostName();

// The network's domains and accounts as the file holds them.
class DbAccountSource : public AccountSource {
  public:
    explicit DbAccountSource(Connection& c) : conn(c) {}
    bool findDomain(const std::string& name, std::string& canonical, std::string& sid) override;
    bool findAccount(const std::string& domain, const std::string& name, std::uint32_t& rid,
                     std::string& use) override;

  private:
    Connection& conn;
};

enum class Reach { Ok, Unreachable, Denied };

// Waits as the network would before a remote call answers: the machine's latency, or its
// timeout when it cannot be reached (also when it is not in the network or the network file
// cannot be used). Call it outside any transaction. On Ok, machine holds the row read.
// unknownName, when given, tells a name the network does not hold from one that is down.
//
// Every remote call goes through here once, and that is what a machine's call limit
// (unreachable_after_calls) counts: opening its service manager, a service or its LSA,
// connecting its registry, each call on a handle opened there, a message sent to it, a
// licence server or domain controller asked through it. Not counted: calls refused on this
// computer before they go out (a bad handle, a bad argument, access the handle lacks),
// closing a handle (which always frees it here, however the machine fares) and the local
// registry, which is no remote call.
Reach reachMachine(const std::string& machineName, bool needAdmin, MachineRow& machine,
                   bool* unknownName = nullptr);

enum class HandleKind { ScManager, Service, ScLock, RegKey, LsaPolicy };

struct HandleEntry {
    HandleKind kind;
    std::string machine; // the machine's name as the network spells it
    std::string name;    // service name
    std::string root;    // registry root: HKLM, HKU, HKCU, HKCR
    std::string path;    // registry key path below the root; empty: the root itself
    std::uint32_t access = 0;
    bool local = false; // registry: reached without a connection
};

// Handles live in this process only, as Windows handles do, and any thread may use them.
class HandleTable {
  public:
    Handle add(HandleEntry e);
    // A copy: another thread may close the handle meanwhile.
    std::optional<HandleEntry> find(Handle h, HandleKind kind) const;
    bool remove(Handle h, HandleKind kind);

  private:
    mutable std::mutex lock;
    std::unordered_map<Handle, HandleEntry> entries;
    Handle next = 0x10000;
};

HandleTable& handles();

// Thrown inside a call when the file became unusable after the machine was reached; the
// Store has already said why.
struct FileUnusable {};
// The connection this call's reachMachine (or checkedConnection) found, without looking at
// the file again; throws FileUnusable when there is none.
Connection& requireConnection();
// The connection, the file looked at afresh, for a call that reaches no machine first;
// throws FileUnusable when there is none.
Connection& checkedConnection();

// Runs a facility's body; a file that fails in the middle of a call makes the call fail as an
// unreachable network would, with the reason reported by the Store.
template <class F, class R> R guarded(F&& body, R unreachable) {
    try {
        return body();
    } catch (const DbError& e) {
        Store::instance().fail(e.what());
        return unreachable;
    } catch (const FileUnusable&) {
        return unreachable;
    }
}

} // namespace platform::sim
