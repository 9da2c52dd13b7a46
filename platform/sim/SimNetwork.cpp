#include "platform/sim/SimNetwork.h"

#include "common/AppEnv.h"
#include "platform/sim/Model.h"
#include "platform/sim/Store.h"

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <sys/stat.h>
#include <unistd.h>

namespace platform::sim {

namespace fs = std::filesystem;

std::string defaultDatabasePath() {
    if (const char* env = std::getenv("SIMNET_DB"); env && *env) return env;
    // simnet, Vantrel and Osprel are installed side by side, so they all choose alike.
    return (fs::path(vantrel::writableDirectory(vantrel::executableDirectory())) / "simnet.db").string();
}

void useDatabase(const std::string& path) {
    Store::instance().setPath(path);
}

std::string currentDatabasePath() {
    return Store::instance().path();
}

std::string databaseProblem() {
    Store::instance().connection();
    return Store::instance().problem();
}

namespace {

// Opens a file that must already hold a network; SimError says plainly what is wrong.
std::unique_ptr<Connection> openNetworkFile(const std::string& path) {
    struct stat st {};
    if (::stat(path.c_str(), &st) != 0)
        throw SimError("the network file " + path +
                       " does not exist (create it with \"simnet init --demo\" or \"simnet load FILE\")");
    try {
        auto c = std::make_unique<Connection>(path, false);
        c->verifyFormat();
        c->addMissingColumns();
        return c;
    } catch (const DbError& e) {
        throw SimError("the network file " + path + " cannot be used: " + e.what());
    }
}

void createNetworkFile(const std::string& path, const NetworkDesc& net) {
    // Build the new file beside the final one and move it into place whole, so no process
    // ever sees a half-written network. Journal files left by an earlier file of that name
    // would be replayed into the new one: remove them first.
    const std::string tmp = path + ".new-" + std::to_string(getpid());
    for (const char* suffix : {"-wal", "-shm"})
        std::remove((path + suffix).c_str());
    std::remove(tmp.c_str());
    try {
        {
            Connection c(tmp, true);
            c.exec("PRAGMA journal_mode=WAL");
            Transaction t(c, true);
            c.createSchema();
            writeNetwork(c, net);
            t.commit();
        }
        if (std::rename(tmp.c_str(), path.c_str()) != 0)
            throw DbError(SQLITE_CANTOPEN, "cannot move the new file into place");
    } catch (const DbError& e) {
        for (const char* suffix : {"", "-wal", "-shm"})
            std::remove((tmp + suffix).c_str());
        throw SimError("cannot create the network file " + path + ": " + e.what());
    }
}

} // namespace

void loadNetwork(const std::string& path, const std::string& json) {
    const NetworkDesc net = parseDescription(json);
    struct stat st {};
    const bool exists = ::stat(path.c_str(), &st) == 0;
    if (!exists || (S_ISREG(st.st_mode) && st.st_size == 0)) {
        if (exists) std::remove(path.c_str());
        createNetworkFile(path, net);
        return;
    }
    // Replace the network in place, in one transaction: processes that have the file open
    // see either the old network or the new one. A file that is not a network is left alone.
    std::unique_ptr<Connection> c;
    try {
        c = openNetworkFile(path);
    } catch (const SimError& e) {
        throw SimError(std::string(e.what()) +
                       "; it is left as it is (remove it to write a new network there)");
    }
    try {
        Transaction t(*c, true);
        writeNetwork(*c, net);
        t.commit();
    } catch (const DbError& e) {
        throw SimError("cannot write the network file " + path + ": " + e.what());
    }
}

std::string dumpNetwork(const std::string& path) {
    auto c = openNetworkFile(path);
    try {
        Transaction t(*c, false);
        NetworkDesc net = readNetwork(*c, nowMs());
        t.commit();
        return renderDescription(net);
    } catch (const DbError& e) {
        throw SimError("cannot read the network file " + path + ": " + e.what());
    }
}

} // namespace platform::sim
