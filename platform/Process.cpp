#include "platform/Process.h"

namespace platform {

// The locale's encoding is UTF-8 here: the arguments are already what callers expect.
std::vector<std::string> commandLineArguments(int argc, char** argv) {
    std::vector<std::string> out;
    for (int i = 0; i < argc && argv; ++i)
        out.emplace_back(argv[i] ? argv[i] : "");
    return out;
}

} // namespace platform
