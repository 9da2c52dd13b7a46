// The browser list, the messenger, the ClearCase command, the directory bind and the network
// logon check through the platform interfaces only.
#include "common/SimFixture.h"
#include "platform/Platform.h"

#include <QtTest>

using namespace platform;

namespace {

const char* const Network = R"({
  "domains": [{"name": "CORP", "sid": "S-1-5-21-10-20-30", "controller": "DC01", "accounts": [
    {"name": "svc", "rid": 1105, "description": "Service account", "full_name": "The Service",
     "password": "N3w!pass"},
    {"name": "off", "rid": 1106, "password": "pw", "disabled": true},
    {"name": "shut", "rid": 1107, "password": "pw", "locked": true},
    {"name": "old", "rid": 1109, "password": " pw ", "password_expired": true},
    {"name": "remote", "rid": 1110, "password": "pw", "network_logon_denied": true},
    {"name": "gone", "rid": 1108, "password": "pw", "use": "deleted"},
    {"name": "team", "rid": 1201, "use": "group", "description": "A group"}]},
    {"name": "LAB", "sid": "S-1-5-21-40-50-60", "controller": "LABDC", "accounts": [
    {"name": "tester", "rid": 1000, "description": "Lab", "full_name": "Lab Tester"}]},
    {"name": "FAR", "sid": "S-1-5-21-70-80-90", "controller": "ABSENT", "accounts": [{"name": "x", "rid": 7}]}],
  "machines": [
    {"name": "WS001", "types": ["workstation"], "platform_id": 500},
    {"name": "DC01", "types": ["server", "domain_ctrl"]},
    {"name": "BDC01", "types": ["server", "domain_bakctrl"], "platform_id": 400},
    {"name": "WS002", "types": ["workstation", "local_list_only"], "reachable": false},
    {"name": "LIC01", "types": ["server"]},
    {"name": "LIC02", "types": ["server"], "reachable": false},
    {"name": "LABDC", "types": ["server", "domain_ctrl"], "reachable": false},
    {"name": "QUIET", "types": ["workstation"], "messenger": false},
    {"name": "NOADMIN", "types": [], "admin": false}],
  "licence_servers": [{"host": "LIC01", "clients": ["WS001", "ws001", "Beta Host"]},
                      {"host": "LIC02", "clients": ["WS002"]},
                      {"host": "NOADMIN"},
                      {"host": "LICGHOST", "clients": ["WS001"]}]})";

QStringList names(const ServerEnumeration& e) {
    QStringList out;
    for (const auto& s : e.servers)
        out << QString::fromStdU16String(s.name);
    return out;
}

} // namespace

class tst_PlatformNetwork : public QObject {
    Q_OBJECT
    std::unique_ptr<simtest::SimNetworkFile> net;

  private slots:
    void init() {
        net = std::make_unique<simtest::SimNetworkFile>(Network);
        QVERIFY2(net->isValid(), net->error().c_str());
    }
    void cleanup() { net.reset(); }

    void browserByType_data() {
        QTest::addColumn<uint>("mask");
        QTest::addColumn<QStringList>("expected");
        QTest::newRow("all, in browser order, down or not")
            << 0xFFFFFFFFu
            << QStringList{"WS001", "DC01", "BDC01", "WS002", "LIC01", "LIC02", "LABDC", "QUIET", "NOADMIN"};
        QTest::newRow("workstations") << 0x1u << QStringList{"WS001", "WS002", "QUIET"};
        QTest::newRow("servers") << 0x2u << QStringList{"DC01", "BDC01", "LIC01", "LIC02", "LABDC"};
        QTest::newRow("domain controllers") << 0x8u << QStringList{"DC01", "LABDC"};
        QTest::newRow("backup controllers") << 0x10u << QStringList{"BDC01"};
        QTest::newRow("local list only") << 0x40000000u << QStringList{"WS002"};
        QTest::newRow("either bit") << 0x11u << QStringList{"WS001", "BDC01", "WS002", "QUIET"};
    }
    void browserByType() {
        QFETCH(uint, mask);
        QFETCH(QStringList, expected);
        auto e = network().NetServerEnum(mask);
        QCOMPARE(e.error, 0u);
        QCOMPARE(names(e), expected);
        QCOMPARE(e.totalEntries, uint(expected.size()));
    }

    void browserDetails() {
        auto e = network().NetServerEnum(0x10);
        QCOMPARE(e.servers[0].platformId, 400u);
        auto desc = nlohmann::json::parse(Network);
        desc["browser_available"] = false;
        QVERIFY(net->load(desc.dump()));
        auto none = network().NetServerEnum(0xFFFFFFFF);
        QCOMPARE(none.error, 6118u);
        QVERIFY(none.servers.empty());
    }

    // The message is byteLength bytes of the buffer: an odd length ends in half the terminator.
    void messageLengths_data() {
        QTest::addColumn<QString>("text");
        QTest::addColumn<int>("byteLength");
        QTest::addColumn<QString>("stored");
        QTest::newRow("2n+1, as the program sends it") << "abc" << 7 << "abc";
        QTest::newRow("2n+2, terminator included") << "abc" << 8 << "abc";
        QTest::newRow("2n, no terminator") << "abc" << 6 << "abc";
        QTest::newRow("shorter than the text") << "abcdef" << 5 << "ab";
        QTest::newRow("longer than the buffer") << "abc" << 400 << "abc";
        QTest::newRow("empty") << "" << 1 << "";
        QTest::newRow("beyond the basic plane")
            << QString::fromUtf8("\xf0\x9f\x94\x91 ok") << 13 << QString::fromUtf8("\xf0\x9f\x94\x91 ok");
        QTest::newRow("line breaks") << "a\r\nb" << 9 << "a\r\nb";
    }
    void messageLengths() {
        QFETCH(QString, text);
        QFETCH(int, byteLength);
        QFETCH(QString, stored);
        std::u16string buffer = text.toStdU16String();
        buffer.push_back(u'\0');
        QCOMPARE(network().NetMessageBufferSend(u"WS001", buffer, byteLength), 0u);
        QCOMPARE(network().NetMessageBufferSend(u"\\\\WS001", u"second", 12), 0u);
        auto messages = net->machine("WS001")["messages"];
        QCOMPARE(messages.size(), 2u);
        QCOMPARE(QString::fromStdString(messages[0]["text"]), stored);
        QCOMPARE(messages[1]["text"], "second");
    }

    void messageRefusals_data() {
        QTest::addColumn<QString>("machine");
        QTest::addColumn<uint>("error");
        QTest::newRow("unknown name") << "NOWHERE" << 2273u;
        QTest::newRow("messenger stopped") << "QUIET" << 2273u;
        QTest::newRow("unreachable") << "WS002" << 53u;
        QTest::newRow("no administrator needed") << "NOADMIN" << 0u;
        QTest::newRow("name with its terminator") << QString("WS001") + QChar(0) << 0u;
    }
    void messageRefusals() {
        QFETCH(QString, machine);
        QFETCH(uint, error);
        QCOMPARE(network().NetMessageBufferSend(machine.toStdU16String(), u"hi", 5), error);
    }

    void lsclients_data() {
        QTest::addColumn<QStringList>("arguments");
        QTest::addColumn<bool>("ok");
        QTest::addColumn<QString>("output");
        QTest::newRow("clients, each line ended")
            << QStringList{"lsclients", "-host", "LIC01", "-s"} << true << "WS001\r\nws001\r\nBeta Host\r\n";
        QTest::newRow("options in any order")
            << QStringList{"lsclients", "-s", "-host", "lic01"} << true << "WS001\r\nws001\r\nBeta Host\r\n";
        QTest::newRow("server without clients")
            << QStringList{"lsclients", "-host", "NOADMIN", "-s"} << true << "";
        QTest::newRow("unreachable server")
            << QStringList{"lsclients", "-host", "LIC02", "-s"} << false << "license server";
        QTest::newRow("unknown host") << QStringList{"lsclients", "-host", "NOWHERE", "-s"} << false
                                      << "contact license server on host \"NOWHERE\"";
        QTest::newRow("licence server that is no machine")
            << QStringList{"lsclients", "-host", "LICGHOST", "-s"} << false << "contact license server";
        QTest::newRow("machine that is no server")
            << QStringList{"lsclients", "-host", "WS001", "-s"} << false << "not a license server";
        QTest::newRow("other command") << QStringList{"lsview"} << false << "lsview";
        QTest::newRow("no host") << QStringList{"lsclients", "-s"} << false << "-host";
        QTest::newRow("host name missing") << QStringList{"lsclients", "-s", "-host"} << false << "-host";
        QTest::newRow("no command") << QStringList{} << false << "command";
    }
    void lsclients() {
        QFETCH(QStringList, arguments);
        QFETCH(bool, ok);
        QFETCH(QString, output);
        std::vector<std::string> args;
        for (const auto& a : arguments)
            args.push_back(a.toStdString());
        auto r = clearTool().CmdExec(args);
        QCOMPARE(r.ok, ok);
        if (ok) {
            QCOMPARE(QString::fromStdString(r.output), output);
        } else {
            QVERIFY(r.output.empty());
            QVERIFY2(QString::fromStdString(r.errorDescription).contains(output), r.errorDescription.c_str());
        }
    }

    void directoryBind_data() {
        QTest::addColumn<QString>("path");
        QTest::addColumn<bool>("ok");
        QTest::addColumn<QString>("description");
        QTest::addColumn<QString>("fullName");
        QTest::newRow("user on its controller") << "LDAP://DC01/svc,user" << true << "Service account"
                                                << "The Service";
        QTest::newRow("letter case of host and class") << "LDAP://dc01/svc,User" << true << "Service account"
                                                       << "The Service";
        QTest::newRow("a group is no user") << "LDAP://DC01/team,user" << false << ""
                                            << "";
        QTest::newRow("user of another domain") << "LDAP://DC01/tester,user" << false << ""
                                                << "";
        QTest::newRow("controller unreachable") << "LDAP://LABDC/tester,user" << false << ""
                                                << "";
        QTest::newRow("controller that is no machine") << "LDAP://ABSENT/x,user" << false << ""
                                                       << "";
        QTest::newRow("not a controller") << "LDAP://WS001/svc,user" << false << ""
                                          << "";
        QTest::newRow("no class") << "LDAP://DC01/svc" << false << ""
                                  << "";
        QTest::newRow("other provider") << "WinNT://DC01/svc,user" << false << ""
                                        << "";
    }
    void directoryBind() {
        QFETCH(QString, path);
        QFETCH(bool, ok);
        QFETCH(QString, description);
        QFETCH(QString, fullName);
        auto u = directory().BindUser(path.toStdString());
        QCOMPARE(u.ok, ok);
        QCOMPARE(QString::fromStdString(u.description), description);
        QCOMPARE(QString::fromStdString(u.fullName), fullName);
        QCOMPARE(QString::fromStdString(u.errorDescription),
                 ok ? QString() : QString("There is no such object on the server."));
    }

    void networkLogon_data() {
        QTest::addColumn<QString>("domain");
        QTest::addColumn<QString>("user");
        QTest::addColumn<QString>("password");
        QTest::addColumn<uint>("error");
        QTest::newRow("enabled user, its password") << "CORP"
                                                    << "svc"
                                                    << "N3w!pass" << 0u;
        QTest::newRow("names ignore letter case") << "corp"
                                                  << "SVC"
                                                  << "N3w!pass" << 0u;
        QTest::newRow("passwords do not") << "CORP"
                                          << "svc"
                                          << "n3w!pass" << 1326u;
        QTest::newRow("empty password") << "CORP"
                                        << "svc"
                                        << "" << 1326u;
        QTest::newRow("unknown account") << "CORP"
                                         << "nobody"
                                         << "N3w!pass" << 1326u;
        QTest::newRow("a group") << "CORP"
                                 << "team"
                                 << "" << 1326u;
        QTest::newRow("deleted account") << "CORP"
                                         << "gone"
                                         << "pw" << 1326u;
        QTest::newRow("disabled") << "CORP"
                                  << "off"
                                  << "pw" << 1331u;
        QTest::newRow("disabled, wrong password") << "CORP"
                                                  << "off"
                                                  << "x" << 1326u;
        QTest::newRow("locked out") << "CORP"
                                    << "shut"
                                    << "pw" << 1909u;
        QTest::newRow("locked out, wrong password") << "CORP"
                                                    << "shut"
                                                    << "x" << 1909u;
        // Restrictions and the logon type's right are told only once the password is proven.
        QTest::newRow("password expired") << "CORP"
                                          << "old"
                                          << " pw " << 1330u;
        QTest::newRow("password expired, blanks dropped") << "CORP"
                                                          << "old"
                                                          << "pw" << 1326u;
        QTest::newRow("network logon denied") << "CORP"
                                              << "remote"
                                              << "pw" << 1385u;
        QTest::newRow("network logon denied, wrong password") << "CORP"
                                                              << "remote"
                                                              << "x" << 1326u;
        // Without a domain the user is name@domain: a DNS suffix or the domain's own name.
        QTest::newRow("user@dns suffix") << ""
                                         << "svc@corp.example.com"
                                         << "N3w!pass" << 0u;
        QTest::newRow("user@domain, wrong password") << ""
                                                     << "svc@CORP"
                                                     << "x" << 1326u;
        QTest::newRow("user@unknown domain") << ""
                                             << "svc@elsewhere.example.com"
                                             << "N3w!pass" << 1326u;
        QTest::newRow("no domain, no suffix") << ""
                                              << "svc"
                                              << "N3w!pass" << 1326u;
        QTest::newRow("unknown domain") << "ELSEWHERE"
                                        << "svc"
                                        << "N3w!pass" << 1326u;
        QTest::newRow("controller unreachable") << "LAB"
                                                << "tester"
                                                << "" << 1311u;
        QTest::newRow("controller not in the network") << "FAR"
                                                       << "x"
                                                       << "" << 1311u;
    }
    void networkLogon() {
        QFETCH(QString, domain);
        QFETCH(QString, user);
        QFETCH(QString, password);
        QFETCH(uint, error);
        QCOMPARE(logon().CheckNetworkLogon(domain.toStdString(), user.toStdString(), password.toStdString()),
                 error);
    }

    // A machine given a call limit answers that many remote calls of any facility (closing a
    // handle is none), then fails as an unreachable machine until the network is loaded again.
    void callLimit_data() {
        QTest::addColumn<QString>("facility");
        QTest::addColumn<QString>("host");
        QTest::addColumn<uint>("gone"); // the answer once the calls are spent; 1: the call failed
        QTest::newRow("service manager") << "scm"
                                         << "WS001" << 1722u;
        QTest::newRow("registry") << "registry"
                                  << "WS001" << 53u;
        QTest::newRow("LSA") << "lsa"
                             << "WS001" << 0xC0020017u;
        QTest::newRow("messenger") << "messenger"
                                   << "WS001" << 53u;
        QTest::newRow("licence server") << "lsclients"
                                        << "LIC01" << 1u;
        QTest::newRow("domain controller") << "directory"
                                           << "DC01" << 1u;
        QTest::newRow("logon through the controller") << "logon"
                                                      << "DC01" << 1311u;
    }
    void callLimit() {
        QFETCH(QString, facility);
        QFETCH(QString, host);
        QFETCH(uint, gone);
        const std::string h = host.toStdString();
        std::uint32_t closeErrors = 0;
        auto call = [&]() -> std::uint32_t {
            if (facility == "scm") {
                auto m = serviceControl().OpenSCManager(h, svc::ScManagerAllAccess);
                if (m.ok()) closeErrors |= serviceControl().CloseServiceHandle(m.value);
                return m.error;
            }
            if (facility == "registry") {
                auto k = registry().RegConnectRegistry("\\\\" + h, reg::LocalMachine);
                if (k.ok()) closeErrors |= registry().RegCloseKey(k.value);
                return k.error;
            }
            if (facility == "lsa") {
                auto p = lsa().LsaOpenPolicy(host.toStdU16String(), lsaconst::PolicyAccessForRights);
                if (p.ok()) closeErrors |= lsa().LsaClose(p.value);
                return p.error;
            }
            if (facility == "messenger")
                return network().NetMessageBufferSend(host.toStdU16String(), u"hi", 5);
            if (facility == "lsclients")
                return clearTool().CmdExec({"lsclients", "-host", h, "-s"}).ok ? 0 : 1;
            if (facility == "logon") return logon().CheckNetworkLogon("CORP", "svc", "N3w!pass");
            return directory().BindUser("LDAP://" + h + "/svc,user").ok ? 0 : 1;
        };
        auto desc = nlohmann::json::parse(Network);
        for (auto& m : desc["machines"])
            if (m["name"] == h) m["unreachable_after_calls"] = 2;
        QVERIFY(net->load(desc.dump()));
        QCOMPARE(call(), 0u);
        QCOMPARE(call(), 0u);
        QCOMPARE(net->machine(h)["unreachable_after_calls"], 0);
        QCOMPARE(call(), gone);
        QCOMPARE(call(), gone);
        QVERIFY(net->load(Network));
        QCOMPARE(call(), 0u);
        QCOMPARE(closeErrors, 0u);
    }
};

QTEST_GUILESS_MAIN(tst_PlatformNetwork)
#include "tst_platform_network.moc"
