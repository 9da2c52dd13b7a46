// The service control manager through the platform interface only: open failures, start
// refusals and logon checks, pending states computed from time, configuration changes, the
// database lock and enumeration with the caller's buffer size.
#include "common/SimFixture.h"
#include "platform/Platform.h"

#include <QtTest>

using namespace platform;

namespace {

const char* const Network = R"({
  "domains": [{"name": "CORP", "sid": "S-1-5-21-10-20-30", "controller": "DC01", "accounts": [
    {"name": "svc", "rid": 1105, "password": "good"},
    {"name": "norights", "rid": 1106, "password": "good"},
    {"name": "off", "rid": 1107, "password": "good", "disabled": true},
    {"name": "gone", "rid": 1108, "use": "deleted"},
    {"name": "bad", "rid": 1109, "use": "invalid"},
    {"name": "team", "rid": 1110, "use": "group"},
    {"name": "refused", "rid": 1111, "password": "good"},
    {"name": "shut", "rid": 1112, "password": "good", "locked": true}]}],
  "machines": [
    {"name": "WS001", "domain": "CORP", "services": [
      {"name": "Albd", "display_name": "Atria Location Broker", "start": "demand", "state": "stopped",
       "account": "CORP\\svc", "password": "good", "start_ms": 0, "stop_ms": 0},
      {"name": "Slow", "display_name": "Slow Service", "state": "stopped", "start_ms": 600, "stop_ms": 600,
       "wait_hint_ms": 200},
      {"name": "Hung", "display_name": "Hung Service", "state": "stopped", "hang": true, "wait_hint_ms": 200},
      {"name": "Off", "display_name": "Disabled Service", "start": "disabled", "state": "stopped"},
      {"name": "Crash", "display_name": "Crashing Service", "state": "stopped", "fail": true},
      {"name": "busy", "display_name": "Busy Service", "state": "running"}],
     "rights": [{"account": "CORP\\svc", "rights": ["SeServiceLogonRight"]},
                {"account": "CORP\\off", "rights": ["SeServiceLogonRight"]},
                {"account": "CORP\\shut", "rights": ["SeServiceLogonRight"]},
                {"account": "CORP\\gone", "rights": ["SeServiceLogonRight"]},
                {"account": "CORP\\bad", "rights": ["SeServiceLogonRight"]},
                {"account": "CORP\\team", "rights": ["SeServiceLogonRight"]},
                {"account": "CORP\\refused", "rights": ["SeServiceLogonRight", "SeDenyServiceLogonRight"]}]},
    {"name": "WS002", "domain": "CORP", "reachable": false},
    {"name": "WS003", "domain": "CORP", "admin": false,
     "rights": [{"account": "CORP\\norights", "rights": ["SeServiceLogonRight"]}]}
  ]})";

// A manager and service handle pair, closed again when the test is done with it.
struct OpenService {
    Handle manager = 0;
    Handle service = 0;
    std::uint32_t error = 0;
    OpenService(const std::string& machine, const std::string& name) {
        auto m = serviceControl().OpenSCManager(machine, svc::ScManagerAllAccess);
        error = m.error;
        if (!m.ok()) return;
        manager = m.value;
        auto s = serviceControl().OpenService(manager, name, svc::ServiceAllAccess);
        error = s.error;
        if (s.ok()) service = s.value;
    }
    ~OpenService() {
        if (service) serviceControl().CloseServiceHandle(service);
        if (manager) serviceControl().CloseServiceHandle(manager);
    }
    ServiceStatus status() const { return serviceControl().QueryServiceStatusEx(service).value; }
};

} // namespace

class tst_PlatformServices : public QObject {
    Q_OBJECT
    std::unique_ptr<simtest::SimNetworkFile> net;

  private slots:
    void init() {
        net = std::make_unique<simtest::SimNetworkFile>(Network);
        QVERIFY2(net->isValid(), net->error().c_str());
    }
    void cleanup() { net.reset(); }

    void openFailures_data() {
        QTest::addColumn<QString>("machine");
        QTest::addColumn<QString>("service");
        QTest::addColumn<uint>("error");
        QTest::newRow("bare name") << "WS001"
                                   << "Albd" << 0u;
        QTest::newRow("leading backslashes") << "\\\\WS001"
                                             << "Albd" << 0u;
        QTest::newRow("names ignore letter case") << "ws001"
                                                  << "ALBD" << 0u;
        QTest::newRow("blanks are part of the name") << " WS001"
                                                     << "Albd" << 1722u;
        QTest::newRow("machine not in the network") << "NOWHERE"
                                                    << "Albd" << 1722u;
        QTest::newRow("unreachable") << "WS002"
                                     << "Albd" << 1722u;
        QTest::newRow("no administrator") << "WS003"
                                          << "Albd" << 5u;
        QTest::newRow("unknown service") << "WS001"
                                         << "Nothing" << 1060u;
    }
    void openFailures() {
        QFETCH(QString, machine);
        QFETCH(QString, service);
        QFETCH(uint, error);
        OpenService s(machine.toStdString(), service.toStdString());
        QCOMPARE(s.error, error);
    }

    void startRefusals_data() {
        QTest::addColumn<QString>("service");
        QTest::addColumn<uint>("error");
        QTest::addColumn<uint>("stateAfter");
        QTest::newRow("disabled") << "Off" << 1058u << 1u;
        QTest::newRow("already running") << "busy" << 1056u << 4u;
        QTest::newRow("process ends at once") << "Crash" << 1067u << 1u;
    }
    void startRefusals() {
        QFETCH(QString, service);
        QFETCH(uint, error);
        QFETCH(uint, stateAfter);
        OpenService s("WS001", service.toStdString());
        QCOMPARE(serviceControl().StartService(s.service), error);
        QCOMPARE(s.status().currentState, stateAfter);
    }

    // Whatever account the service is to log on with: only a usable one with the right on
    // this very machine starts it.
    void logonCheck_data() {
        QTest::addColumn<QString>("account");
        QTest::addColumn<QString>("password");
        QTest::addColumn<uint>("error");
        QTest::newRow("domain user with the right") << "CORP\\svc"
                                                    << "good" << 0u;
        QTest::newRow("domain and name in other case") << "corp\\SVC"
                                                       << "good" << 0u;
        QTest::newRow("wrong password") << "CORP\\svc"
                                        << "Good" << 1069u;
        QTest::newRow("right held on another machine only") << "CORP\\norights"
                                                            << "good" << 1069u;
        QTest::newRow("disabled") << "CORP\\off"
                                  << "good" << 1069u;
        QTest::newRow("locked out") << "CORP\\shut"
                                    << "good" << 1069u;
        QTest::newRow("deleted") << "CORP\\gone"
                                 << "" << 1069u;
        QTest::newRow("invalid") << "CORP\\bad"
                                 << "" << 1069u;
        QTest::newRow("a group") << "CORP\\team"
                                 << "" << 1069u;
        QTest::newRow("denied the right") << "CORP\\refused"
                                          << "good" << 1069u;
        QTest::newRow("unknown account") << "CORP\\nobody"
                                         << "good" << 1069u;
        QTest::newRow("unknown domain") << "ELSEWHERE\\svc"
                                        << "good" << 1069u;
        QTest::newRow("no domain") << "svc"
                                   << "good" << 1069u;
        QTest::newRow("LocalSystem") << "LocalSystem"
                                     << "" << 0u;
        QTest::newRow("local service") << "NT AUTHORITY\\LocalService"
                                       << "" << 0u;
        QTest::newRow("network service") << "NT AUTHORITY\\NetworkService"
                                         << "x" << 0u;
    }
    void logonCheck() {
        QFETCH(QString, account);
        QFETCH(QString, password);
        QFETCH(uint, error);
        auto desc = nlohmann::json::parse(Network);
        desc["machines"][0]["services"][0]["account"] = account.toStdString();
        desc["machines"][0]["services"][0]["password"] = password.toStdString();
        QVERIFY2(net->load(desc.dump()), net->error().c_str());
        OpenService s("WS001", "Albd");
        QCOMPARE(serviceControl().StartService(s.service), error);
        QCOMPARE(s.status().currentState, error == 0 ? 4u : 1u);
    }

    void startGoesThroughPendingWithGrowingCheckPoint() {
        OpenService s("WS001", "Slow");
        QCOMPARE(serviceControl().StartService(s.service), 0u);
        const ServiceStatus first = s.status();
        QCOMPARE(first.currentState, 2u);
        QCOMPARE(first.waitHint, 200u);
        QVERIFY(first.checkPoint >= 1);
        QCOMPARE(serviceControl().StartService(s.service), 1056u);
        auto stop = serviceControl().ControlService(s.service, svc::ControlStop);
        QCOMPARE(stop.error, 1061u);
        QTRY_VERIFY_WITH_TIMEOUT(s.status().checkPoint > first.checkPoint || s.status().currentState == 4,
                                 5000);
        QTRY_COMPARE_WITH_TIMEOUT(s.status().currentState, 4u, 5000);
        QCOMPARE(s.status().checkPoint, 0u);
        QCOMPARE(s.status().waitHint, 0u);
    }

    void stopGoesThroughPendingThenStopped() {
        OpenService s("WS001", "Slow");
        QCOMPARE(serviceControl().ControlService(s.service, svc::ControlStop).error, 1062u);
        QCOMPARE(serviceControl().StartService(s.service), 0u);
        QTRY_COMPARE_WITH_TIMEOUT(s.status().currentState, 4u, 5000);
        auto stop = serviceControl().ControlService(s.service, svc::ControlStop);
        QCOMPARE(stop.error, 0u);
        QCOMPARE(stop.value.currentState, 3u);
        QCOMPARE(serviceControl().ControlService(s.service, svc::ControlStop).error, 1061u);
        QCOMPARE(serviceControl().StartService(s.service), 1056u);
        QTRY_COMPARE_WITH_TIMEOUT(s.status().currentState, 1u, 5000);
        QCOMPARE(serviceControl().ControlService(s.service, svc::ControlStop).error, 1062u);
    }

    // A hung start stays pending and its check point stops moving, while time visibly passes
    // for a service started alongside it.
    void hungStartKeepsItsCheckPoint() {
        OpenService hung("WS001", "Hung");
        OpenService slow("WS001", "Slow");
        QCOMPARE(serviceControl().StartService(hung.service), 0u);
        QCOMPARE(serviceControl().StartService(slow.service), 0u);
        const ServiceStatus before = hung.status();
        QCOMPARE(before.currentState, 2u);
        QTRY_VERIFY_WITH_TIMEOUT(slow.status().checkPoint >= 3 || slow.status().currentState == 4, 5000);
        const ServiceStatus after = hung.status();
        QCOMPARE(after.currentState, 2u);
        QCOMPARE(after.checkPoint, before.checkPoint);
        // The pending state shows in a dump too, and loads back.
        auto service = net->machine("WS001")["services"][2];
        QCOMPARE(service["state"], "start_pending");
        QCOMPARE(service["checkpoint"], before.checkPoint);
    }

    void changeConfiguration_data() {
        QTest::addColumn<QString>("account");
        QTest::addColumn<uint>("error");
        QTest::addColumn<QString>("storedPassword");
        QTest::newRow("domain user") << "CORP\\svc" << 0u << "secret";
        QTest::newRow("domain user in other case") << "corp\\SVC" << 0u << "secret";
        QTest::newRow("disabled user still exists") << "CORP\\off" << 0u << "secret";
        QTest::newRow("LocalSystem") << "LocalSystem" << 0u << "";
        QTest::newRow("local service") << "NT AUTHORITY\\LocalService" << 0u << "";
        QTest::newRow("network service") << "NT AUTHORITY\\NetworkService" << 0u << "";
        QTest::newRow("a group") << "CORP\\team" << 1057u << "good";
        QTest::newRow("deleted account") << "CORP\\gone" << 1057u << "good";
        QTest::newRow("unknown account") << "CORP\\nobody" << 1057u << "good";
        QTest::newRow("unknown domain") << "ELSEWHERE\\svc" << 1057u << "good";
        QTest::newRow("no domain") << "svc" << 1057u << "good";
        QTest::newRow("machine account") << ".\\Administrator" << 1057u << "good";
        QTest::newRow("empty") << "" << 1057u << "good";
    }
    void changeConfiguration() {
        QFETCH(QString, account);
        QFETCH(uint, error);
        QFETCH(QString, storedPassword);
        {
            OpenService s("WS001", "Albd");
            ServiceConfigChange change;
            change.serviceStartName = account.toStdString();
            change.password = "secret";
            QCOMPARE(serviceControl().ChangeServiceConfig(s.service, change), error);
        }
        auto service = net->machine("WS001")["services"][0];
        QCOMPARE(QString::fromStdString(service["account"]), error == 0 ? account : QString("CORP\\svc"));
        QCOMPARE(QString::fromStdString(service["password"]), storedPassword);
    }

    // The new password is only tried at the next start.
    void passwordCheckedAtNextStart() {
        OpenService s("WS001", "Albd");
        ServiceConfigChange change;
        change.serviceStartName = "CORP\\svc";
        change.password = "wrong";
        QCOMPARE(serviceControl().ChangeServiceConfig(s.service, change), 0u);
        QCOMPARE(serviceControl().StartService(s.service), 1069u);
        change.serviceStartName.reset();
        change.password = "good";
        QCOMPARE(serviceControl().ChangeServiceConfig(s.service, change), 0u);
        QCOMPARE(serviceControl().StartService(s.service), 0u);
    }

    void lockWithinOneProcess() {
        auto m = serviceControl().OpenSCManager("WS001", svc::ScManagerAllAccess);
        QVERIFY(m.ok());
        auto first = serviceControl().LockServiceDatabase(m.value);
        QCOMPARE(first.error, 0u);
        QCOMPARE(serviceControl().LockServiceDatabase(m.value).error, 1055u);
        QCOMPARE(serviceControl().UnlockServiceDatabase(first.value), 0u);
        QVERIFY(serviceControl().UnlockServiceDatabase(first.value) != 0u);
        auto again = serviceControl().LockServiceDatabase(m.value);
        QCOMPARE(again.error, 0u);
        QCOMPARE(serviceControl().UnlockServiceDatabase(again.value), 0u);
        QCOMPARE(serviceControl().CloseServiceHandle(m.value), 0u);
        QCOMPARE(serviceControl().CloseServiceHandle(m.value), 6u);
    }

    void enumerationHonoursTheBuffer() {
        auto m = serviceControl().OpenSCManager("WS001", svc::ScManagerEnumerateService);
        QVERIFY(m.ok());
        auto probe = serviceControl().EnumServicesStatus(m.value, svc::ServiceWin32, svc::StateAll, 0);
        QCOMPARE(probe.error, 234u);
        QVERIFY(probe.entries.empty());
        // 36 bytes per record plus both names with their terminators.
        std::uint32_t expected = 0;
        for (auto [name, display] : {std::pair{"Albd", "Atria Location Broker"},
                                     {"busy", "Busy Service"},
                                     {"Crash", "Crashing Service"},
                                     {"Hung", "Hung Service"},
                                     {"Off", "Disabled Service"},
                                     {"Slow", "Slow Service"}})
            expected += 36 + std::strlen(name) + 1 + std::strlen(display) + 1;
        QCOMPARE(probe.bytesNeeded, expected);

        auto all = serviceControl().EnumServicesStatus(m.value, svc::ServiceWin32, svc::StateAll, expected);
        QCOMPARE(all.error, 0u);
        QStringList names;
        for (const auto& e : all.entries)
            names << QString::fromStdString(e.serviceName);
        QCOMPARE(names, (QStringList{"Albd", "busy", "Crash", "Hung", "Off", "Slow"}));
        QCOMPARE(all.entries[1].displayName, std::string("Busy Service"));

        auto shortBy1 =
            serviceControl().EnumServicesStatus(m.value, svc::ServiceWin32, svc::StateAll, expected - 1);
        QCOMPARE(shortBy1.error, 234u);
        QCOMPARE(shortBy1.entries.size(), 5u);
        QCOMPARE(shortBy1.bytesNeeded, 36u + 5 + 13);

        auto active =
            serviceControl().EnumServicesStatus(m.value, svc::ServiceWin32, svc::StateActive, 65536);
        QCOMPARE(active.error, 0u);
        QCOMPARE(active.entries.size(), 1u);
        QCOMPARE(active.entries[0].status.currentState, 4u);
        serviceControl().CloseServiceHandle(m.value);
    }

    void handlesOfNoKind() {
        QCOMPARE(serviceControl().QueryServiceStatusEx(0x12345).error, 6u);
        QCOMPARE(serviceControl().StartService(0), 6u);
        QCOMPARE(serviceControl().OpenService(0x4242, "Albd", svc::ServiceAllAccess).error, 6u);
    }
};

QTEST_GUILESS_MAIN(tst_PlatformServices)
#include "tst_platform_services.moc"
