#include "rights/Osprel.h"

#include <csignal>

int main(int argc, char** argv) {
    // A reader that goes away early must not kill the program halfway through granting rights.
    std::signal(SIGPIPE, SIG_IGN);
    return osprelMain(argc, argv, stdout);
}
