#pragma once
// This process as the operating system sees it: its arguments as UTF-8, and (Windows) other
// running copies of its program.
#include <string>
#include <vector>

namespace platform {

// The arguments (the program name first) as UTF-8. Windows hands a console program its
// arguments in the ANSI code page, which may not hold every character typed; there they
// are read again from the UTF-16 command line. (Output stays the program's own business:
// the console's code page is left as the user set it.)
std::vector<std::string> commandLineArguments(int argc, char** argv);

#ifdef _WIN32
// Whether another process of this user runs an executable of this program's file name:
// the counterpart of the shell's /proc walk.
bool otherInstanceRunning();
#endif

} // namespace platform
