#include "platform/Process.h"
#include "platform/win32/Convert.h"

#include "platform/win32/WindowsApi.h"

namespace platform {

using win32::narrow;

std::vector<std::string> commandLineArguments(int argc, char** argv) {
    int count = 0;
    LPWSTR* wide = CommandLineToArgvW(GetCommandLineW(), &count);
    std::vector<std::string> out;
    if (!wide) {
        for (int i = 0; i < argc && argv; ++i)
            out.emplace_back(argv[i] ? argv[i] : "");
        return out;
    }
    for (int i = 0; i < count; ++i)
        out.push_back(narrow(wide[i]));
    LocalFree(wide);
    return out;
}

namespace {

// The user SID of a process's token, as bytes; empty when it cannot be read.
std::vector<BYTE> processUser(HANDLE process) {
    HANDLE token = nullptr;
    if (!OpenProcessToken(process, TOKEN_QUERY, &token)) return {};
    DWORD size = 0;
    GetTokenInformation(token, TokenUser, nullptr, 0, &size);
    std::vector<BYTE> info(size);
    std::vector<BYTE> sid;
    if (size && GetTokenInformation(token, TokenUser, info.data(), size, &size)) {
        PSID user = reinterpret_cast<TOKEN_USER*>(info.data())->User.Sid;
        const auto* bytes = static_cast<const BYTE*>(user);
        sid.assign(bytes, bytes + GetLengthSid(user));
    }
    CloseHandle(token);
    return sid;
}

std::wstring ownFileName() {
    std::wstring path(32768, L'\0');
    path.resize(GetModuleFileNameW(nullptr, path.data(), static_cast<DWORD>(path.size())));
    const auto slash = path.find_last_of(L"\\/");
    return slash == std::wstring::npos ? path : path.substr(slash + 1);
}

} // namespace

bool otherInstanceRunning() {
    const std::wstring exe = ownFileName();
    const std::vector<BYTE> me = processUser(GetCurrentProcess());
    const DWORD self = GetCurrentProcessId();
    HANDLE snapshot = CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0);
    if (snapshot == INVALID_HANDLE_VALUE) return false;
    PROCESSENTRY32W entry{};
    entry.dwSize = sizeof entry;
    bool found = false;
    for (BOOL more = Process32FirstW(snapshot, &entry); more && !found;
         more = Process32NextW(snapshot, &entry)) {
        if (entry.th32ProcessID == self || lstrcmpiW(entry.szExeFile, exe.c_str()) != 0) continue;
        // Processes that cannot be read are not counted, as on Linux.
        HANDLE process = OpenProcess(PROCESS_QUERY_LIMITED_INFORMATION, FALSE, entry.th32ProcessID);
        if (!process) continue;
        found = !me.empty() && processUser(process) == me;
        CloseHandle(process);
    }
    CloseHandle(snapshot);
    return found;
}

} // namespace platform
