// Waiting for a service's state: what every backend shares.
#include "platform/ServiceControl.h"

#include <atomic>

namespace platform {

namespace {
std::atomic<bool> pollingForced{false};
} // namespace

void forceStatusPolling(bool on) {
    pollingForced = on;
}

bool statusPollingForced() {
    return pollingForced;
}

Result<ServiceStatus> ServiceControl::WaitServiceStatus(Handle, std::uint32_t, const StatusWait&) {
    return {{}, err::CallNotImplemented};
}

} // namespace platform
