#include "common/AppEnv.h"

#include <filesystem>
#include <thread>
#ifdef _WIN32
#include <windows.h>
#endif

namespace vantrel {

namespace {
std::string programDirOverride;
std::function<std::chrono::system_clock::time_point()> clockFn;
std::function<void()> yieldFn;
long long pauseUnitUs = 1000;
// Namespace-scope initialisation runs before main, on the thread that runs main.
const std::thread::id windowThread = std::this_thread::get_id();

std::string executableDirectory() {
    std::error_code ec;
#ifdef _WIN32
    std::wstring path(32768, L'\0');
    path.resize(GetModuleFileNameW(nullptr, path.data(), static_cast<DWORD>(path.size())));
    // UTF-8, as every path the program handles (string() would give the ANSI code page).
    const std::u8string dir = path.empty() ? std::filesystem::current_path(ec).u8string()
                                           : std::filesystem::path(path).parent_path().u8string();
    return std::string(dir.begin(), dir.end());
#else
    auto exe = std::filesystem::read_symlink("/proc/self/exe", ec);
    if (ec) return std::filesystem::current_path(ec).string();
    return exe.parent_path().string();
#endif
}
} // namespace

std::string programDirectory() {
    if (!programDirOverride.empty()) return programDirOverride;
    static const std::string dir = executableDirectory();
    return dir;
}
void setProgramDirectory(const std::string& dir) { programDirOverride = dir; }

std::chrono::system_clock::time_point now() { return clockFn ? clockFn() : std::chrono::system_clock::now(); }
void setClock(std::function<std::chrono::system_clock::time_point()> clock) { clockFn = std::move(clock); }

void yieldEvents() {
    if (yieldFn && isWindowThread()) yieldFn();
}
void setYieldFunction(std::function<void()> fn) { yieldFn = std::move(fn); }

bool isWindowThread() { return std::this_thread::get_id() == windowThread; }

long long pauseUnitMicroseconds() { return pauseUnitUs; }
void setPauseUnitMicroseconds(long long us) { pauseUnitUs = us < 0 ? 0 : us; }

} // namespace vantrel
