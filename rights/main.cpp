#include "platform/Process.h"
#include "rights/Osprel.h"

#include <csignal>
#include <string>
#include <vector>

int main(int argc, char** argv) {
#ifdef SIGPIPE
    // A reader that goes away early must not kill the program halfway through granting rights.
    std::signal(SIGPIPE, SIG_IGN);
#endif
    // Names arrive as UTF-8 on every system, so none is cut down to what a code page holds.
    std::vector<std::string> arguments = platform::commandLineArguments(argc, argv);
    std::vector<char*> pointers;
    for (std::string& a : arguments)
        pointers.push_back(a.data());
    pointers.push_back(nullptr);
    return osprelMain(static_cast<int>(arguments.size()), pointers.data(), stdout);
}
