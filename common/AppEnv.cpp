#include "common/AppEnv.h"

#include <filesystem>
#include <thread>
#include <unistd.h>

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
    auto exe = std::filesystem::read_symlink("/proc/self/exe", ec);
    if (ec) return std::filesystem::current_path(ec).string();
    return exe.parent_path().string();
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
