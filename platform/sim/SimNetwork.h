#pragma once
// The simulated Windows network: one SQLite file shared by every process.
#include <stdexcept>
#include <string>

namespace platform::sim {

// A description refused by load, or a network file that cannot be used; what() says why
// (for a description, naming the field).
class SimError : public std::runtime_error {
  public:
    using std::runtime_error::runtime_error;
};

// $SIMNET_DB when set, else simnet.db beside the running executable, or in the user's data
// folder when this user cannot write beside it.
std::string defaultDatabasePath();
// The file this process's platform calls use; empty restores the default. Tests call this.
void useDatabase(const std::string& path);
std::string currentDatabasePath();
// Why the current file cannot be used (missing, unreadable, not a network, damaged); empty
// when it can. While it cannot, every remote call fails as if the network were unreachable.
std::string databaseProblem();

// Replaces the whole network in the file (created when missing) with the JSON description.
// Throws SimError naming the field for an invalid description; the file is then unchanged.
void loadNetwork(const std::string& path, const std::string& json);
// The whole network as JSON in the same schema, states computed now.
std::string dumpNetwork(const std::string& path);
// The demonstration network's JSON description.
std::string demoNetworkJson();

} // namespace platform::sim
