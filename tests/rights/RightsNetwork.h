#pragma once
// The small network the Osprel tests run against: one domain with one account of each use,
// a second domain whose identifier authority needs more than 32 bits, and machines that are
// reachable, unreachable and refusing. Every delay is zero so the tests stay quick.
#include "common/SimFixture.h"

#include <QByteArray>
#include <QStringList>

namespace rightstest {

inline const QByteArray CorpSid = "S-1-5-21-1004336348-1177238915-682003330";

inline const char* const NetworkJson = R"json({
  "domains": [
    {"name": "CORP", "sid": "S-1-5-21-1004336348-1177238915-682003330", "controller": "DC01",
     "accounts": [
       {"name": "svc_albd", "rid": 1105, "use": "user", "password": "N3w!pass"},
       {"name": "J\u00fcrgen", "rid": 1106, "use": "user", "password": "x"},
       {"name": "albd_service_account_long_name", "rid": 1107, "use": "user", "password": "l"},
       {"name": "ccusers", "rid": 1201, "use": "group"},
       {"name": "ccadmins", "rid": 1202, "use": "alias"},
       {"name": "oldsvc", "rid": 1300, "use": "deleted"},
       {"name": "broken", "rid": 1301, "use": "invalid"}
     ]},
    {"name": "FARAWAY", "sid": "S-1-0x010000000000-21-7", "controller": "FARDC",
     "accounts": [{"name": "remote", "rid": 1000, "use": "user", "password": "r"}]}
  ],
  "machines": [
    {"name": "WS001", "domain": "CORP", "types": ["workstation"],
     "services": [{"name": "Albd", "display_name": "Location Broker", "start": "demand",
                   "state": "stopped", "account": "CORP\\svc_albd", "password": "N3w!pass",
                   "start_ms": 0, "stop_ms": 0, "wait_hint_ms": 0}]},
    {"name": "WS002", "domain": "CORP", "types": ["workstation"], "reachable": false},
    {"name": "WS003", "domain": "CORP", "types": ["workstation"], "admin": false},
    {"name": "DC01", "domain": "CORP", "types": ["server", "domain_ctrl"]},
    {"name": "FARDC", "domain": "FARAWAY", "types": ["server", "domain_ctrl"]}
  ]
})json";

// "%-30.30s " of a name: padded with blanks or cut to 30 bytes, then one blank.
inline QByteArray column(const QByteArray& name) {
    return name.leftJustified(30, ' ', true) + ' ';
}

// The accounts (in lower case, sorted) that hold a right on a machine, as the network's dump
// shows them.
inline QStringList accountsHolding(const simtest::SimNetworkFile& net, const std::string& machine,
                                   const std::string& right) {
    QStringList accounts;
    const nlohmann::json m = net.machine(machine);
    if (m.is_null() || !m.contains("rights")) return accounts;
    for (const auto& entry : m["rights"])
        for (const auto& held : entry["rights"])
            if (held == right)
                accounts << QString::fromStdString(entry["account"].get<std::string>()).toLower();
    accounts.sort();
    return accounts;
}

} // namespace rightstest
