#pragma once
// Test helper for the simulated network: a network file of its own in a temporary folder,
// loaded from a JSON description and made the file this process's platform calls use.
//
//   simtest::SimNetworkFile net(R"({"machines": [{"name": "WS001"}]})");
//   QVERIFY2(net.isValid(), net.error().c_str());
//   ... platform calls ...
//   nlohmann::json after = net.dump();          // the network as simnet dump shows it
//   QCOMPARE(after["machines"][0]["messages"].size(), 1u);
//
// Loading again (net.load(json)) replaces the whole network in the same file. The destructor
// points the platform back at the default file.
#include "platform/sim/SimNetwork.h"

#include <QTemporaryDir>

#include <nlohmann/json.hpp>

#include <string>

namespace simtest {

class SimNetworkFile {
  public:
    explicit SimNetworkFile(const std::string& json) : path_(dir_.filePath("simnet.db").toStdString()) {
        if (dir_.isValid()) load(json);
    }
    ~SimNetworkFile() { platform::sim::useDatabase({}); }
    SimNetworkFile(const SimNetworkFile&) = delete;
    SimNetworkFile& operator=(const SimNetworkFile&) = delete;

    // Replaces the network; on a refused description error() says why and the file is unchanged.
    bool load(const std::string& json) {
        try {
            platform::sim::loadNetwork(path_, json);
            platform::sim::useDatabase(path_);
            error_.clear();
            return true;
        } catch (const std::exception& e) {
            error_ = e.what();
            return false;
        }
    }
    bool isValid() const { return dir_.isValid() && error_.empty(); }
    const std::string& error() const { return error_; }
    const std::string& path() const { return path_; }
    QString folder() const { return dir_.path(); }

    nlohmann::json dump() const { return nlohmann::json::parse(platform::sim::dumpNetwork(path_)); }

    // The machine of that name in a dump (letter case as given in the description), or null.
    nlohmann::json machine(const std::string& name) const {
        const nlohmann::json network = dump();
        for (const auto& m : network["machines"])
            if (m["name"] == name) return m;
        return nullptr;
    }

  private:
    QTemporaryDir dir_;
    std::string path_;
    std::string error_;
};

} // namespace simtest
