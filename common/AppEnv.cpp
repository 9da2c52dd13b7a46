#include "common/AppEnv.h"

#include "Version.h"

#include <cerrno>
#include <cstdlib>
#include <filesystem>
#include <thread>
#ifdef _WIN32
#include <windows.h>
#else
#include <pwd.h>
#include <unistd.h>
#endif

namespace vantrel {

namespace fs = std::filesystem;

namespace {
std::string programDirOverride;
std::function<std::chrono::system_clock::time_point()> clockFn;
std::function<void()> yieldFn;
long long pauseUnitUs = 100;
// Namespace-scope initialisation runs before main, on the thread that runs main.
const std::thread::id windowThread = std::this_thread::get_id();

// Paths are UTF-8 throughout the program (string() would give the ANSI code page on Windows).
std::string utf8(const fs::path& p) {
    const std::u8string s = p.u8string();
    return std::string(s.begin(), s.end());
}
fs::path fromUtf8(const std::string& s) {
    return fs::path(std::u8string(s.begin(), s.end()));
}

std::string findExecutableDirectory() {
    std::error_code ec;
#ifdef _WIN32
    std::wstring path(32768, L'\0');
    path.resize(GetModuleFileNameW(nullptr, path.data(), static_cast<DWORD>(path.size())));
    return utf8(path.empty() ? fs::current_path(ec) : fs::path(path).parent_path());
#else
    auto exe = fs::read_symlink("/proc/self/exe", ec);
    if (ec) return fs::current_path(ec).string();
    return exe.parent_path().string();
#endif
}

// This user may not create files in dir. A folder that is missing, or no folder, is another
// fault: the file written there reports it.
bool writeDenied(const std::string& dir) {
#ifdef _WIN32
    // Permissions there are ACLs that no attribute shows: try it.
    const fs::path probe = fromUtf8(dir) / L".vantrel-write-probe";
    HANDLE h = CreateFileW(probe.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW,
                           FILE_ATTRIBUTE_TEMPORARY | FILE_FLAG_DELETE_ON_CLOSE, nullptr);
    if (h != INVALID_HANDLE_VALUE) {
        CloseHandle(h);
        return false;
    }
    const DWORD error = GetLastError();
    return error == ERROR_ACCESS_DENIED || error == ERROR_WRITE_PROTECT;
#else
    if (::access(dir.c_str(), W_OK | X_OK) == 0) return false;
    return errno == EACCES || errno == EPERM || errno == EROFS;
#endif
}
} // namespace

std::string programDirectory() {
    if (!programDirOverride.empty()) return programDirOverride;
    return executableDirectory();
}
void setProgramDirectory(const std::string& dir) {
    programDirOverride = dir;
}

std::string executableDirectory() {
    static const std::string dir = findExecutableDirectory();
    return dir;
}

std::string userDataDirectory() {
#ifdef _WIN32
    const wchar_t* local = _wgetenv(L"LOCALAPPDATA");
    const fs::path base = local ? fs::path(local) : fs::path();
#else
    // Relative values are to be ignored, as the XDG base directory rules say.
    const char* xdg = std::getenv("XDG_DATA_HOME");
    fs::path base = xdg ? xdg : "";
    if (!base.is_absolute()) {
        const char* home = std::getenv("HOME");
        std::string h = home ? home : "";
        if (h.empty())
            if (const passwd* pw = ::getpwuid(::getuid()); pw && pw->pw_dir) h = pw->pw_dir;
        base = fs::path(h) / ".local" / "share";
    }
#endif
    return utf8(base / VANTREL_MAKER / VANTREL_APP_TITLE);
}

std::string writableDirectory(const std::string& preferred) {
    if (!writeDenied(preferred)) return preferred;
    const std::string dir = userDataDirectory();
    // A folder that cannot be made shows up as the error of the file written into it.
    std::error_code ec;
    fs::create_directories(fromUtf8(dir), ec);
    return dir;
}

std::string resultsDirectory() {
    return writableDirectory(programDirectory());
}

std::chrono::system_clock::time_point now() {
    return clockFn ? clockFn() : std::chrono::system_clock::now();
}
void setClock(std::function<std::chrono::system_clock::time_point()> clock) {
    clockFn = std::move(clock);
}

void yieldEvents() {
    if (yieldFn && isWindowThread()) yieldFn();
}
void setYieldFunction(std::function<void()> fn) {
    yieldFn = std::move(fn);
}

bool isWindowThread() {
    return std::this_thread::get_id() == windowThread;
}

long long pauseUnitMicroseconds() {
    return pauseUnitUs;
}
void setPauseUnitMicroseconds(long long us) {
    pauseUnitUs = us < 0 ? 0 : us;
}

} // namespace vantrel
