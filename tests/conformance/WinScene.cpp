// Scenes through the real API of this computer: services registered with the test service
// executable beside this program (its command line sets its behaviour), keys below a test key
// of HKLM, and the accounts the machine already has. Everything made is removed again.
#include "Conformance.h"

#include <windows.h>

#include <sddl.h>

namespace conformance {

namespace {

// The suite writes names and text values as UTF-8; the registry and services take UTF-16.
std::wstring wide(const std::string& utf8) {
    if (utf8.empty()) return {};
    const int n = MultiByteToWideChar(CP_UTF8, 0, utf8.data(), static_cast<int>(utf8.size()), nullptr, 0);
    std::wstring out(static_cast<std::size_t>(n), L'\0');
    MultiByteToWideChar(CP_UTF8, 0, utf8.data(), static_cast<int>(utf8.size()), out.data(), n);
    return out;
}

// A value's bytes as the W functions store them: text types as UTF-16, the rest unchanged.
std::vector<BYTE> stored(const TestValue& v) {
    if (v.type != REG_SZ && v.type != REG_EXPAND_SZ && v.type != REG_MULTI_SZ)
        return std::vector<BYTE>(v.data.begin(), v.data.end());
    const std::wstring text = wide(std::string(v.data.begin(), v.data.end()));
    const auto* bytes = reinterpret_cast<const BYTE*>(text.data());
    return std::vector<BYTE>(bytes, bytes + text.size() * sizeof(wchar_t));
}

std::wstring programFolder() {
    wchar_t path[MAX_PATH] = {};
    GetModuleFileNameW(nullptr, path, MAX_PATH);
    std::wstring s = path;
    return s.substr(0, s.find_last_of(L"\\/") + 1);
}

std::wstring commandLine(const TestService& s) {
    std::wstring line = L"\"" + programFolder() + L"conformance_service.exe\"";
    line += L" -start " + std::to_wstring(s.startMs) + L" -stop " + std::to_wstring(s.stopMs) + L" -hint " +
            std::to_wstring(s.waitHintMs);
    if (s.hang) line += L" -hang";
    if (s.fail) line += L" -fail";
    return line;
}

SERVICE_STATUS_PROCESS statusOf(SC_HANDLE service) {
    SERVICE_STATUS_PROCESS st{};
    DWORD needed = 0;
    QueryServiceStatusEx(service, SC_STATUS_PROCESS_INFO, reinterpret_cast<BYTE*>(&st), sizeof st, &needed);
    return st;
}

// Stops the service however it behaves (a hung one has its process ended) and deletes it.
void removeService(SC_HANDLE manager, const std::string& name) {
    SC_HANDLE s = OpenServiceW(manager, wide(name).c_str(), SERVICE_ALL_ACCESS);
    if (!s) return;
    SERVICE_STATUS ignored{};
    if (statusOf(s).dwCurrentState == SERVICE_RUNNING) ControlService(s, SERVICE_CONTROL_STOP, &ignored);
    waitUntil([&] { return statusOf(s).dwCurrentState == SERVICE_STOPPED; }, 5000);
    const SERVICE_STATUS_PROCESS st = statusOf(s);
    if (st.dwCurrentState != SERVICE_STOPPED && st.dwProcessId) {
        if (HANDLE p = OpenProcess(PROCESS_TERMINATE | SYNCHRONIZE, FALSE, st.dwProcessId)) {
            TerminateProcess(p, 1);
            WaitForSingleObject(p, 5000);
            CloseHandle(p);
        }
    }
    DeleteService(s);
    CloseServiceHandle(s);
}

std::string lastError(const char* what, DWORD code) {
    return std::string(what) + " failed with " + std::to_string(code);
}

} // namespace

struct Scene::Impl {
    SC_HANDLE manager = nullptr;
    std::vector<std::string> services;
};

Scene::Scene(const Setup& setup) : impl_(std::make_unique<Impl>()) {
    if (!setup.accounts.empty()) {
        error_ = "domain accounts cannot be made on this machine";
        return;
    }
    RegDeleteTreeA(HKEY_LOCAL_MACHINE, testKey().c_str()); // left over by a run that was cut short
    HKEY root = nullptr;
    if (LSTATUS e = RegCreateKeyExA(HKEY_LOCAL_MACHINE, testKey().c_str(), 0, nullptr, 0, KEY_ALL_ACCESS,
                                    nullptr, &root, nullptr)) {
        error_ = lastError("RegCreateKeyEx of the test key", e);
        return;
    }
    RegCloseKey(root);
    for (const auto& k : setup.keys) {
        // A key that denies access has an access list granting nothing.
        PSECURITY_DESCRIPTOR sd = nullptr;
        SECURITY_ATTRIBUTES sa{sizeof sa, nullptr, FALSE};
        if (k.denied &&
            ConvertStringSecurityDescriptorToSecurityDescriptorA("D:P", SDDL_REVISION_1, &sd, nullptr))
            sa.lpSecurityDescriptor = sd;
        HKEY key = nullptr;
        LSTATUS e = RegCreateKeyExW(HKEY_LOCAL_MACHINE, wide(testKey() + "\\" + k.path).c_str(), 0, nullptr,
                                    0, KEY_ALL_ACCESS, k.denied ? &sa : nullptr, &key, nullptr);
        if (sd) LocalFree(sd);
        if (e) {
            error_ = lastError(("RegCreateKeyEx of " + k.path).c_str(), e);
            return;
        }
        for (const auto& v : k.values) {
            const std::vector<BYTE> data = stored(v);
            RegSetValueExW(key, wide(v.name).c_str(), 0, v.type, data.data(),
                           static_cast<DWORD>(data.size()));
        }
        RegCloseKey(key);
    }

    impl_->manager = OpenSCManagerA(nullptr, nullptr, SC_MANAGER_ALL_ACCESS);
    if (!impl_->manager) {
        error_ = lastError("OpenSCManager", GetLastError());
        return;
    }
    for (const auto& s : setup.services) {
        removeService(impl_->manager, s.name);
        const std::wstring name = wide(s.name);
        const std::wstring display = wide(s.displayName.empty() ? s.name : s.displayName);
        const std::wstring command = commandLine(s);
        const std::wstring account = wide(s.account);
        const std::wstring password = wide(s.password);
        SC_HANDLE made = nullptr;
        // A service deleted a moment ago may still be on its way out.
        waitUntil(
            [&] {
                made = CreateServiceW(impl_->manager, name.c_str(), display.c_str(), SERVICE_ALL_ACCESS,
                                      SERVICE_WIN32_OWN_PROCESS,
                                      s.disabled ? SERVICE_DISABLED : SERVICE_DEMAND_START,
                                      SERVICE_ERROR_NORMAL, command.c_str(), nullptr, nullptr, nullptr,
                                      account.empty() ? nullptr : account.c_str(),
                                      account.empty() ? nullptr : password.c_str());
                return made != nullptr || GetLastError() != ERROR_SERVICE_MARKED_FOR_DELETE;
            },
            5000);
        if (!made) {
            error_ = lastError(("CreateService of " + s.name).c_str(), GetLastError());
            return;
        }
        CloseServiceHandle(made);
        impl_->services.push_back(s.name);
    }
}

Scene::~Scene() {
    if (impl_->manager) {
        for (const auto& name : impl_->services)
            removeService(impl_->manager, name);
        CloseServiceHandle(impl_->manager);
    }
    RegDeleteTreeA(HKEY_LOCAL_MACHINE, testKey().c_str());
}

std::u16string localUser() {
    wchar_t name[256] = {};
    DWORD size = 256;
    GetUserNameW(name, &size);
    return std::u16string(name, name + wcslen(name));
}

// The machine's own accounts belong to the domain named like the computer.
std::u16string localDomain() {
    wchar_t name[MAX_COMPUTERNAME_LENGTH + 1] = {};
    DWORD size = MAX_COMPUTERNAME_LENGTH + 1;
    GetComputerNameW(name, &size);
    return std::u16string(name, name + size);
}

bool underWine() {
    static const bool wine = GetProcAddress(GetModuleHandleA("ntdll.dll"), "wine_get_version") != nullptr;
    return wine;
}

const char* backendName() {
    return underWine() ? "Windows API under Wine" : "Windows API";
}

} // namespace conformance
