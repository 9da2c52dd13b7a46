#pragma once
// The service control manager of a (remote) machine: OpenSCManagerA, OpenServiceA,
// StartServiceA, ControlService, QueryServiceStatusEx, QueryServiceConfigA, ChangeServiceConfigA,
// LockServiceDatabase, UnlockServiceDatabase, EnumServicesStatusA, CloseServiceHandle,
// NotifyServiceStatusChange.
#include "platform/Types.h"

#include <functional>
#include <optional>
#include <string>
#include <vector>

namespace platform {

namespace svc {
constexpr std::uint32_t ScManagerAllAccess = 0xF003F;
constexpr std::uint32_t ScManagerEnumerateService = 0x0004;
constexpr std::uint32_t ServiceAllAccess = 0xF01FF;
constexpr std::uint32_t ServiceWin32 = 0x30;
constexpr std::uint32_t ServiceWin32OwnProcess = 0x10;
constexpr std::uint32_t StateActive = 1;
constexpr std::uint32_t StateInactive = 2;
constexpr std::uint32_t StateAll = 3;
constexpr std::uint32_t ControlStop = 1;
constexpr std::uint32_t NoChange = 0xFFFFFFFF;
constexpr std::uint32_t Stopped = 1;
constexpr std::uint32_t StartPending = 2;
constexpr std::uint32_t StopPending = 3;
constexpr std::uint32_t Running = 4;
constexpr std::uint32_t EnumRecordSize = 36; // sizeof(ENUM_SERVICE_STATUSA)
constexpr std::uint32_t AutoStart = 2;
constexpr std::uint32_t DemandStart = 3;
constexpr std::uint32_t Disabled = 4;
// NotifyServiceStatusChange's SERVICE_NOTIFY_* bits: one per state.
constexpr std::uint32_t notifyBit(std::uint32_t state) {
    return state >= 1 && state <= 7 ? 1u << (state - 1) : 0u;
}
constexpr std::uint32_t NotifyEveryState = 0x7F;
} // namespace svc

// SERVICE_STATUS_PROCESS.
struct ServiceStatus {
    std::uint32_t serviceType = 0;
    std::uint32_t currentState = 0;
    std::uint32_t controlsAccepted = 0;
    std::uint32_t win32ExitCode = 0;
    std::uint32_t serviceSpecificExitCode = 0;
    std::uint32_t checkPoint = 0;
    std::uint32_t waitHint = 0;
    std::uint32_t processId = 0;
    std::uint32_t serviceFlags = 0;
};

struct ServiceEntry {
    std::string serviceName;
    std::string displayName;
    ServiceStatus status;
};

// EnumServicesStatusA with a caller's buffer of bufferBytes: error 0 when everything fit,
// 234 (ERROR_MORE_DATA) when not, with the entries that did fit and the bytes still needed
// counted as Windows counts them (36 bytes per record plus both names with terminators).
struct ServiceEnumeration {
    std::uint32_t error = 0;
    std::vector<ServiceEntry> entries;
    std::uint32_t bytesNeeded = 0;
};

// QUERY_SERVICE_CONFIGA, the parts a caller reads.
struct ServiceConfig {
    std::uint32_t serviceType = 0;
    std::uint32_t startType = 0; // svc::AutoStart, DemandStart, Disabled (0 and 1: drivers)
    std::uint32_t errorControl = 0;
    std::string binaryPathName;
    std::string serviceStartName; // the logon account, as the manager holds it
    std::string displayName;
};

// ChangeServiceConfigA arguments that matter here; nullopt means "no change" (a null pointer
// or SERVICE_NO_CHANGE).
struct ServiceConfigChange {
    std::uint32_t serviceType = svc::NoChange;
    std::uint32_t startType = svc::NoChange;
    std::uint32_t errorControl = svc::NoChange;
    std::optional<std::string> serviceStartName;
    std::optional<std::string> password;
    std::optional<std::string> displayName;
};

// How a wait for a service's state ends (ServiceControl::WaitServiceStatus).
struct StatusWait {
    std::uint32_t timeoutMs = 0;
    // Asked on the waiting thread at least every 50 ms; false ends the wait. May give the
    // window's events a turn.
    std::function<bool()> keepWaiting;
};

// Test seam: true makes every backend answer WaitServiceStatus as where the notification
// fails (120), so the caller polls.
void forceStatusPolling(bool on);
bool statusPollingForced();

class ServiceControl {
  public:
    virtual ~ServiceControl() = default;
    // machine: bare name or with a leading "\\"; empty means this computer.
    virtual Result<Handle> OpenSCManager(const std::string& machine, std::uint32_t access) = 0;
    virtual Result<Handle> OpenService(Handle manager, const std::string& serviceName,
                                       std::uint32_t access) = 0;
    virtual std::uint32_t StartService(Handle service) = 0;
    virtual Result<ServiceStatus> ControlService(Handle service, std::uint32_t control) = 0;
    virtual Result<ServiceStatus> QueryServiceStatusEx(Handle service) = 0;
    virtual Result<ServiceConfig> QueryServiceConfig(Handle service) = 0;
    virtual std::uint32_t ChangeServiceConfig(Handle service, const ServiceConfigChange& change) = 0;
    virtual Result<Handle> LockServiceDatabase(Handle manager) = 0;
    virtual std::uint32_t UnlockServiceDatabase(Handle lock) = 0;
    virtual ServiceEnumeration EnumServicesStatus(Handle manager, std::uint32_t serviceType,
                                                  std::uint32_t serviceState, std::uint32_t bufferBytes) = 0;
    virtual std::uint32_t CloseServiceHandle(Handle handle) = 0;
    // NotifyServiceStatusChange for the states of `states` (svc::notifyBit), waited for on this
    // thread: error 0 with the status once the service is in one of them (at once when it is
    // already), 258 (WAIT_TIMEOUT) with the status as of then when how.timeoutMs passed first,
    // 1223 (ERROR_CANCELLED) likewise when how.keepWaiting answered false. Any other error: no
    // notification could be had (the registration's error, or 120 ERROR_CALL_NOT_IMPLEMENTED),
    // and the caller polls with QueryServiceStatusEx, which reports a handle or machine fault
    // itself. This default, for a facility without the notification, answers 120.
    virtual Result<ServiceStatus> WaitServiceStatus(Handle service, std::uint32_t states,
                                                    const StatusWait& how);
};

} // namespace platform
