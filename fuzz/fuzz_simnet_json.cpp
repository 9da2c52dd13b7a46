// The simulated network's description: load never fails other than by refusing the text, and
// whatever it accepts dumps to a text that loads again into the same network.
#include "Check.h"
#include "platform/sim/Model.h"
#include "platform/sim/SimNetwork.h"
#include "platform/sim/Store.h"

#include <nlohmann/json.hpp>

namespace {

namespace sim = platform::sim;
using nlohmann::json;

// Load into a network file (in memory), then dump it.
std::string loadAndDump(const sim::NetworkDesc& net) {
    sim::Connection c(":memory:", true);
    sim::Transaction t(c, true);
    c.createSchema();
    sim::writeNetwork(c, net);
    std::string dumped = sim::renderDescription(sim::readNetwork(c, sim::nowMs()));
    t.commit();
    return dumped;
}

// Time runs between the two dumps: a pending service may have gone on pending (longer) or
// have settled. Takes those out of `later` where they follow from `earlier`, and the time
// fields out of both, so what is left must be equal.
void dropElapsedTime(json& earlier, json& later) {
    if (!earlier.contains("machines") || !later.contains("machines")) return;
    auto& ms1 = earlier["machines"];
    auto& ms2 = later["machines"];
    for (std::size_t m = 0; m < ms1.size() && m < ms2.size(); ++m) {
        if (!ms1[m].contains("services") || !ms2[m].contains("services")) continue;
        auto& ss1 = ms1[m]["services"];
        auto& ss2 = ms2[m]["services"];
        for (std::size_t s = 0; s < ss1.size() && s < ss2.size(); ++s) {
            json& a = ss1[s];
            json& b = ss2[s];
            const std::string state = a.value("state", "");
            const std::string settled = state == "start_pending"  ? "running"
                                        : state == "stop_pending" ? "stopped"
                                                                  : "";
            if (!settled.empty() && b.value("state", "") == settled) b["state"] = state;
            if (a.contains("pending_ms") && b.contains("pending_ms"))
                FUZZ_CHECK(b["pending_ms"].get<std::int64_t>() >= a["pending_ms"].get<std::int64_t>(),
                           "a pending time went backwards: " + a.dump() + " then " + b.dump());
            for (const char* f : {"pending_ms", "checkpoint"}) {
                a.erase(f);
                b.erase(f);
            }
        }
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string text(reinterpret_cast<const char*>(data), size);
    sim::NetworkDesc net;
    try {
        net = sim::parseDescription(text);
    } catch (const sim::SimError&) {
        return 0; // refused, with the field named: fine
    }
    const std::string first = loadAndDump(net);
    sim::NetworkDesc again;
    try {
        again = sim::parseDescription(first);
    } catch (const sim::SimError& e) {
        FUZZ_CHECK(false, std::string("load refuses what dump wrote: ") + e.what() + "\n" + first);
    }
    const std::string second = loadAndDump(again);
    if (first == second) return 0;
    json a = json::parse(first);
    json b = json::parse(second);
    dropElapsedTime(a, b);
    FUZZ_CHECK(a == b, "dump, load, dump changes the network:\n" + first + "\n" + second);
    return 0;
}
