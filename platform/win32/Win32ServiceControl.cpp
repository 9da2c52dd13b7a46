// The service control manager through the W functions; the enumeration's byte counts are
// the A function's under a UTF-8 code page (see Backend.h).
#include "platform/win32/Backend.h"
#include "platform/win32/Convert.h"

#include "platform/win32/WindowsApi.h"

#include <algorithm>
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
        return lastErrorOr(::CloseServiceHandle(fromHandle<SC_HANDLE>(handle)));
    }

  private:
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
