#pragma once
// The command line of vantrel-run: what to do, with which inputs, on which machines.
#include <optional>
#include <string>
#include <vector>

namespace vantrel::console {

struct Options {
    bool help = false;
    std::string error; // not empty: the command line was wrong; the usage follows the reason

    std::string action; // update, start or stop
    std::string service = "Albd";
    std::string account;
    bool passwordStdin = false;
    std::string passwordFile;
    bool grantRight = false;
    bool restart = false;
    bool wait = false;
    std::optional<int> machinesAtOnce;
    std::vector<std::string> machines;
    std::string hostsFile;
    std::string licenceServer;
    std::string network; // the browser's type, as the window names it
    std::string resultsFile;
    std::string logFile;
    bool skipLogonCheck = false;
    bool goOnAfterLogonFailure = false;
};

// `args` without the program's own name.
Options parseOptions(const std::vector<std::string>& args);

std::string usageText();

} // namespace vantrel::console
