#pragma once
// Seams for what tests must control: where the program's files live, the clock, the
// event-loop turn, and the length of one service-wait pause unit.
#include <chrono>
#include <functional>
#include <string>

namespace vantrel {

// The program directory: holds Osprel, the help document and the results files.
// Defaults to the directory of the running executable.
std::string programDirectory();
void setProgramDirectory(const std::string& dir); // empty restores the default
std::string executableDirectory();

// The user's own folder for the program's files: $XDG_DATA_HOME (when an absolute path) or
// ~/.local/share, then Halcyra/Vantrel; on Windows the local application-data folder, then
// Halcyra\Vantrel. Not created here.
std::string userDataDirectory();
// `preferred`, unless this user may not write there (installed where only an administrator
// can): then the user's data folder, created when missing.
std::string writableDirectory(const std::string& preferred);
// Where the results files go: writableDirectory(programDirectory()).
std::string resultsDirectory();

// The wall clock used for results-file names.
std::chrono::system_clock::time_point now();
void setClock(std::function<std::chrono::system_clock::time_point()> clock); // empty restores the real one

// Gives the event loop one turn (the window program installs the real one; plain C++ code
// defaults to doing nothing). Tests may install a counter. Off the window's thread (machine
// work on a worker) it does nothing: that thread has no windows to serve.
void yieldEvents();
void setYieldFunction(std::function<void()> fn); // empty restores the no-op
// True on the thread that started the program, the one the windows live on.
bool isWindowThread();

// One unit of the service wait's Pause, in microseconds: 100 by default, a tenth of a
// millisecond. The wait pauses 1,000 to 10,000 units between looks at the service (a tenth of
// its wait hint), so it sees a stop or start finish within 0.1 s to 1 s of it happening.
long long pauseUnitMicroseconds();
void setPauseUnitMicroseconds(long long us);

} // namespace vantrel
