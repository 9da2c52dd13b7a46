// The service control manager through the W functions; the enumeration's byte counts are
// the A function's under a UTF-8 code page (see Backend.h).
#include "platform/win32/Backend.h"
#include "platform/win32/Convert.h"

#include "platform/win32/WindowsApi.h"

#include <algorithm>
#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <vector>

namespace platform::win32 {

namespace {

ServiceStatus fromProcessStatus(const SERVICE_STATUS_PROCESS& s) {
    return ServiceStatus{s.dwServiceType,
                         s.dwCurrentState,
                         s.dwControlsAccepted,
                         s.dwWin32ExitCode,
                         s.dwServiceSpecificExitCode,
                         s.dwCheckPoint,
                         s.dwWaitHint,
                         s.dwProcessId,
                         s.dwServiceFlags};
}

ServiceStatus fromStatus(const SERVICE_STATUS& s) {
    return ServiceStatus{s.dwServiceType,
                         s.dwCurrentState,
                         s.dwControlsAccepted,
                         s.dwWin32ExitCode,
                         s.dwServiceSpecificExitCode,
                         s.dwCheckPoint,
                         s.dwWaitHint,
                         0,
                         0};
}

// A null pointer where the argument is "no change".
const wchar_t* optionalText(const std::optional<std::wstring>& text) {
    return text ? text->c_str() : nullptr;
}
std::optional<std::wstring> optionalWide(const std::optional<std::string>& text) {
    if (!text) return std::nullopt;
    return wide(*text);
}

std::uint32_t lastErrorOr(BOOL ok) {
    return ok ? err::Success : GetLastError();
}

// One NotifyServiceStatusChange request. The service manager writes into it until its callback
// has run or the handle is closed, so one given up on (a time-out, a stop) is kept until then.
struct Notice {
    SERVICE_NOTIFYW notify{};
    volatile LONG fired = 0;
    DWORD thread = GetCurrentThreadId();
    DWORD states = 0;
};

VOID CALLBACK noticed(PVOID parameter) {
    auto* notify = static_cast<SERVICE_NOTIFYW*>(parameter);
    static_cast<Notice*>(notify->pContext)->fired = 1;
}

class Win32ServiceControl : public ServiceControl {
  public:
    Result<Handle> OpenSCManager(const std::string& machine, std::uint32_t access) override {
        const std::wstring name = wide(machine);
        SC_HANDLE h = OpenSCManagerW(name.empty() ? nullptr : name.c_str(), nullptr, access);
        if (!h) return {0, GetLastError()};
        return {toHandle(h), err::Success};
    }

    Result<Handle> OpenService(Handle manager, const std::string& serviceName,
                               std::uint32_t access) override {
        SC_HANDLE h = OpenServiceW(fromHandle<SC_HANDLE>(manager), wide(serviceName).c_str(), access);
        if (!h) return {0, GetLastError()};
        return {toHandle(h), err::Success};
    }

    std::uint32_t StartService(Handle service) override {
        return lastErrorOr(StartServiceW(fromHandle<SC_HANDLE>(service), 0, nullptr));
    }

    Result<ServiceStatus> ControlService(Handle service, std::uint32_t control) override {
        SERVICE_STATUS status{};
        // The status is filled in on success and on the refusals that report the state.
        const std::uint32_t error =
            lastErrorOr(::ControlService(fromHandle<SC_HANDLE>(service), control, &status));
        return {fromStatus(status), error};
    }

    Result<ServiceStatus> QueryServiceStatusEx(Handle service) override {
        SERVICE_STATUS_PROCESS status{};
        DWORD needed = 0;
        const BOOL ok = ::QueryServiceStatusEx(fromHandle<SC_HANDLE>(service), SC_STATUS_PROCESS_INFO,
                                               reinterpret_cast<LPBYTE>(&status), sizeof status, &needed);
        if (!ok) return {{}, GetLastError()};
        return {fromProcessStatus(status), err::Success};
    }

    Result<ServiceConfig> QueryServiceConfig(Handle service) override {
        // The size probe, then the read; the configuration may grow in between.
        std::vector<unsigned char> buffer(sizeof(QUERY_SERVICE_CONFIGW) + 1024);
        for (int round = 0; round < 4; ++round) {
            DWORD needed = 0;
            auto* config = reinterpret_cast<QUERY_SERVICE_CONFIGW*>(buffer.data());
            if (::QueryServiceConfigW(fromHandle<SC_HANDLE>(service), config,
                                      static_cast<DWORD>(buffer.size()), &needed)) {
                auto text = [](const wchar_t* t) { return narrow(t ? t : L""); };
                return {ServiceConfig{config->dwServiceType, config->dwStartType, config->dwErrorControl,
                                      text(config->lpBinaryPathName), text(config->lpServiceStartName),
                                      text(config->lpDisplayName)},
                        err::Success};
            }
            const DWORD error = GetLastError();
            if (error != ERROR_INSUFFICIENT_BUFFER) return {{}, error};
            buffer.resize(std::max<std::size_t>(needed, buffer.size() * 2));
        }
        return {{}, ERROR_INSUFFICIENT_BUFFER};
    }

    std::uint32_t ChangeServiceConfig(Handle service, const ServiceConfigChange& change) override {
        const auto account = optionalWide(change.serviceStartName);
        const auto password = optionalWide(change.password);
        const auto display = optionalWide(change.displayName);
        const BOOL ok =
            ChangeServiceConfigW(fromHandle<SC_HANDLE>(service), change.serviceType, change.startType,
                                 change.errorControl, nullptr, nullptr, nullptr, nullptr,
                                 optionalText(account), optionalText(password), optionalText(display));
        if (password)
            SecureZeroMemory(const_cast<wchar_t*>(password->data()), password->size() * sizeof(wchar_t));
        return lastErrorOr(ok);
    }

    Result<Handle> LockServiceDatabase(Handle manager) override {
        SC_LOCK lock = ::LockServiceDatabase(fromHandle<SC_HANDLE>(manager));
        if (!lock) return {0, GetLastError()};
        return {toHandle(lock), err::Success};
    }

    std::uint32_t UnlockServiceDatabase(Handle lock) override {
        return lastErrorOr(::UnlockServiceDatabase(fromHandle<SC_LOCK>(lock)));
    }

    ServiceEnumeration EnumServicesStatus(Handle manager, std::uint32_t serviceType,
                                          std::uint32_t serviceState, std::uint32_t bufferBytes) override {
        ServiceEnumeration out;
        // Read the whole list with the W function, then hand back what a caller's buffer of
        // bufferBytes holds as UTF-8 records, counting what does not fit.
        std::vector<unsigned char> buffer(64 * 1024);
        std::uint64_t used = 0;
        DWORD resume = 0;
        // Each round either returns records or grows the buffer to what the next one needs,
        // so the bound is never reached on a sane manager.
        for (int round = 0; round < 10000; ++round) {
            DWORD needed = 0, returned = 0;
            const BOOL ok =
                EnumServicesStatusW(fromHandle<SC_HANDLE>(manager), serviceType, serviceState,
                                    reinterpret_cast<LPENUM_SERVICE_STATUSW>(buffer.data()),
                                    static_cast<DWORD>(buffer.size()), &needed, &returned, &resume);
            const DWORD error = ok ? ERROR_SUCCESS : GetLastError();
            if (!ok && error != ERROR_MORE_DATA) return ServiceEnumeration{error, {}, 0};
            const auto* records = reinterpret_cast<const ENUM_SERVICE_STATUSW*>(buffer.data());
            for (DWORD i = 0; i < returned; ++i)
                add(out, used, records[i], bufferBytes);
            if (ok) return out;
            if (returned == 0) {
                if (needed <= buffer.size()) break;
                buffer.resize(needed);
            }
        }
        return ServiceEnumeration{ERROR_MORE_DATA, {}, 0};
    }

    std::uint32_t CloseServiceHandle(Handle handle) override {
        const std::uint32_t error = lastErrorOr(::CloseServiceHandle(fromHandle<SC_HANDLE>(handle)));
        std::vector<std::unique_ptr<Notice>> notices;
        {
            std::lock_guard<std::mutex> g(noticesLock_);
            if (auto it = given_up_.find(handle); it != given_up_.end()) {
                notices = std::move(it->second);
                given_up_.erase(it);
            }
        }
        if (!notices.empty()) {
            // Once the handle is closed no further callback is queued; those already queued for
            // this thread run now. One registered by another thread may still be queued there.
            SleepEx(0, TRUE);
            for (auto& n : notices)
                if (n->thread != GetCurrentThreadId() && !n->fired) n.release();
        }
        return error;
    }

    // The callback comes as an asynchronous procedure call to this thread, run while it sleeps
    // alertably, in slices so keepWaiting is asked.
    Result<ServiceStatus> WaitServiceStatus(Handle service, std::uint32_t states,
                                            const StatusWait& how) override {
        if (statusPollingForced()) return {{}, err::CallNotImplemented};
        // A handle takes one request at a time (another is refused with 1242): one given up on
        // earlier by this thread, for the same states, is waited on again.
        std::unique_ptr<Notice> notice = takeGivenUp(service, states);
        if (!notice) {
            notice = std::make_unique<Notice>();
            notice->states = states;
            notice->notify.dwVersion = SERVICE_NOTIFY_STATUS_CHANGE;
            notice->notify.pfnNotifyCallback = noticed;
            notice->notify.pContext = notice.get();
            if (const DWORD e =
                    NotifyServiceStatusChangeW(fromHandle<SC_HANDLE>(service), states, &notice->notify))
                return {{}, e};
        }
        const ULONGLONG deadline = GetTickCount64() + how.timeoutMs;
        for (;;) {
            if (notice->fired) {
                // A notification that reports a failure (a client too slow to take them, a
                // service being deleted) leaves the state to the caller's queries.
                if (notice->notify.dwNotificationStatus != ERROR_SUCCESS)
                    return {{}, notice->notify.dwNotificationStatus};
                return {fromProcessStatus(notice->notify.ServiceStatus), err::Success};
            }
            const ULONGLONG now = GetTickCount64();
            std::uint32_t ended = 0;
            if (now >= deadline)
                ended = err::WaitTimeout;
            else if (how.keepWaiting && !how.keepWaiting())
                ended = err::Cancelled;
            if (ended) {
                auto status = QueryServiceStatusEx(service);
                giveUp(service, std::move(notice));
                return status.ok() ? Result<ServiceStatus>{status.value, ended} : status;
            }
            SleepEx(static_cast<DWORD>(std::min<ULONGLONG>(deadline - now, 50)), TRUE);
        }
    }

  private:
    std::unique_ptr<Notice> takeGivenUp(Handle service, DWORD states) {
        std::lock_guard<std::mutex> g(noticesLock_);
        auto it = given_up_.find(service);
        if (it == given_up_.end()) return nullptr;
        auto& notices = it->second;
        for (auto n = notices.begin(); n != notices.end(); ++n)
            if ((*n)->states == states && (*n)->thread == GetCurrentThreadId()) {
                std::unique_ptr<Notice> taken = std::move(*n);
                notices.erase(n);
                return taken;
            }
        return nullptr;
    }

    void giveUp(Handle service, std::unique_ptr<Notice> notice) {
        std::lock_guard<std::mutex> g(noticesLock_);
        given_up_[service].push_back(std::move(notice));
    }

    std::mutex noticesLock_;
    std::map<Handle, std::vector<std::unique_ptr<Notice>>> given_up_;

    static void add(ServiceEnumeration& out, std::uint64_t& used, const ENUM_SERVICE_STATUSW& record,
                    std::uint32_t bufferBytes) {
        ServiceEntry entry;
        entry.serviceName = narrow(record.lpServiceName ? record.lpServiceName : L"");
        entry.displayName = narrow(record.lpDisplayName ? record.lpDisplayName : L"");
        entry.status = fromStatus(record.ServiceStatus);
        const std::uint64_t size =
            svc::EnumRecordSize + entry.serviceName.size() + 1 + entry.displayName.size() + 1;
        if (out.error == 0 && used + size <= bufferBytes) {
            used += size;
            out.entries.push_back(std::move(entry));
        } else {
            out.error = err::MoreData;
            out.bytesNeeded =
                static_cast<std::uint32_t>(std::min<std::uint64_t>(out.bytesNeeded + size, 0xFFFFFFFFull));
        }
    }
};

} // namespace

ServiceControl& win32ServiceControl() {
    static Win32ServiceControl instance;
    return instance;
}

} // namespace platform::win32
