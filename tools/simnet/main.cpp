// simnet: the command-line tool of the simulated network.
//
//   simnet [--db PATH] load FILE|-     replace the network with a JSON description
//   simnet [--db PATH] dump            print the network as JSON, states computed now
//   simnet [--db PATH] init --demo [--if-missing]
//                                      write the demonstration network (with --if-missing
//                                      only when there is no network file yet)
//
// Exit status: 0 success, 1 the command failed (message on standard error), 2 bad usage.
#include "platform/sim/SimNetwork.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <iostream>
#include <iterator>
#include <sstream>
#include <string>
#include <sys/stat.h>
#include <vector>

namespace {

const char* const Usage =
    "usage: simnet [--db PATH] load FILE|-\n"
    "       simnet [--db PATH] dump\n"
    "       simnet [--db PATH] init --demo [--if-missing]\n"
    "The network file is PATH, else $SIMNET_DB, else simnet.db beside simnet; when this user\n"
    "cannot write there, simnet.db in the user's data folder ($XDG_DATA_HOME, else\n"
    "~/.local/share, then Halcyra/Vantrel). Vantrel and Osprel installed beside simnet use\n"
    "the same file.\n"
    "Descriptions are checked strictly: unknown fields, values of the wrong type,\n"
    "numbers out of range (times over one hour, except how long a pending state has\n"
    "lasted) and names given twice are refused with the field's path, and the network\n"
    "stays as it was. What dump prints loads back into the same network.\n"
    "\n"
    "A machine's \"unreachable_after_calls\": N (a whole number; absent or null: never) makes\n"
    "it answer N more remote calls and then fail every call as an unreachable machine does\n"
    "(1722, 53, 0xC0020017 after its timeout_ms) until the network is loaded again; dump\n"
    "shows the calls left. One remote call is one platform call that goes out to the machine:\n"
    "opening its service manager, a service or its LSA, connecting its registry, each call on\n"
    "a handle opened there, a message sent to it, lsclients on it as a licence server, a\n"
    "directory bind or logon check through it as a domain controller. Calls refused before\n"
    "they go out (a bad handle or argument) and closing a handle do not count; closing\n"
    "always frees the handle.\n"
    "\n"
    "An account's \"password_expired\": true makes a logon check with the right password fail\n"
    "with 1330, and a service that logs on as the account fail to start with 1069.\n"
    "\"network_logon_denied\": true makes a logon check with the right password fail with 1385\n"
    "(network logons not granted); services still start under the account. Both default to\n"
    "false. A logon check without a domain takes the user as name@suffix, the suffix's first\n"
    "label naming the domain (svc@corp.example.com is CORP\\svc).\n"
    "\n"
    "A service's \"config_not_kept\": true makes its service manager answer a change of\n"
    "configuration (account, password, start type, display name) with success and keep none\n"
    "of it: what it reports afterwards is what it held before. Default false.\n";

int usage(const std::string& problem) {
    std::cerr << "simnet: " << problem << "\n" << Usage;
    return 2;
}

int fail(const std::string& problem) {
    std::cerr << "simnet: " << problem << "\n";
    return 1;
}

bool readAll(const std::string& file, std::string& out, std::string& problem) {
    if (file == "-") {
        std::ostringstream s;
        s << std::cin.rdbuf();
        out = s.str();
        if (std::cin.bad()) {
            problem = "cannot read standard input";
            return false;
        }
        return true;
    }
    struct stat st {};
    if (::stat(file.c_str(), &st) == 0 && S_ISDIR(st.st_mode)) {
        problem = "cannot read " + file + ": it is a directory";
        return false;
    }
    std::ifstream in(file, std::ios::binary);
    if (!in) {
        problem = "cannot read " + file + ": " + std::strerror(errno);
        return false;
    }
    out.assign(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
    if (in.bad()) {
        problem = "cannot read " + file;
        return false;
    }
    return true;
}

} // namespace

int main(int argc, char** argv) {
    std::string db;
    std::vector<std::string> args;
    for (int i = 1; i < argc; ++i) {
        std::string a = argv[i];
        if (a == "--db") {
            if (i + 1 >= argc) return usage("--db needs a path");
            db = argv[++i];
        } else if (a.rfind("--db=", 0) == 0) {
            db = a.substr(5);
        } else if (a == "-h" || a == "--help") {
            std::cout << Usage;
            return 0;
        } else {
            args.push_back(a);
        }
    }
    if (args.empty()) return usage("no command given");
    if (db.empty()) db = platform::sim::defaultDatabasePath();
    const std::string& command = args[0];

    try {
        if (command == "load") {
            if (args.size() != 2) return usage("load takes one file name, or - for standard input");
            std::string text, problem;
            if (!readAll(args[1], text, problem)) return fail(problem);
            platform::sim::loadNetwork(db, text);
            std::cerr << "simnet: network loaded into " << db << "\n";
            return 0;
        }
        if (command == "dump") {
            if (args.size() != 1) return usage("dump takes no arguments");
            std::cout << platform::sim::dumpNetwork(db);
            std::cout.flush();
            return std::cout ? 0 : fail("cannot write standard output");
        }
        if (command == "init") {
            bool demo = false, ifMissing = false;
            for (std::size_t i = 1; i < args.size(); ++i) {
                if (args[i] == "--demo")
                    demo = true;
                else if (args[i] == "--if-missing")
                    ifMissing = true;
                else
                    return usage("init does not know " + args[i]);
            }
            if (!demo) return usage("init needs --demo");
            struct stat st {};
            if (ifMissing && ::stat(db.c_str(), &st) == 0) {
                // An existing file is kept; a damaged one is still worth a word.
                platform::sim::dumpNetwork(db);
                std::cerr << "simnet: " << db << " already holds a network; left as it is\n";
                return 0;
            }
            platform::sim::loadNetwork(db, platform::sim::demoNetworkJson());
            std::cerr << "simnet: demonstration network written to " << db << "\n";
            return 0;
        }
        return usage("unknown command " + command);
    } catch (const platform::sim::SimError& e) {
        return fail(e.what());
    } catch (const std::exception& e) {
        return fail(std::string("unexpected failure: ") + e.what());
    }
}
