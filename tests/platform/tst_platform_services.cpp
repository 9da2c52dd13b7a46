// What the simulated service control manager keeps in its network file: pending states and
// account changes as a dump shows them. The Windows behaviour itself is in the conformance suite.
#include "common/SimFixture.h"
#include "platform/Platform.h"

#include <QtTest>

using namespace platform;

namespace {

const char* const Network = R"({
  "domains": [{"name": "CORP", "sid": "S-1-5-21-10-20-30", "controller": "DC01", "accounts": [
    {"name": "svc", "rid": 1105, "password": "good"}]}],
  "machines": [
    {"name": "WS001", "domain": "CORP", "services": [
      {"name": "Albd", "start": "demand", "state": "stopped", "account": "CORP\\svc", "password": "good"},
      {"name": "Hung", "state": "stopped", "hang": true, "wait_hint_ms": 200}]}]})";

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

    // A hung start shows in a dump as pending with the check point it stopped at.
    void pendingStateInDump() {
        OpenService hung("WS001", "Hung");
        QCOMPARE(serviceControl().StartService(hung.service), 0u);
        const ServiceStatus before = hung.status();
        auto service = net->machine("WS001")["services"][1];
        QCOMPARE(service["state"], "start_pending");
        QCOMPARE(service["checkpoint"], before.checkPoint);
    }

    void accountChangeInDump_data() {
        QTest::addColumn<QString>("account");
        QTest::addColumn<uint>("error");
        QTest::addColumn<QString>("storedPassword");
        QTest::newRow("domain user in other case") << "corp\\SVC" << 0u << "secret";
        QTest::newRow("LocalSystem") << "LocalSystem" << 0u << "";
        QTest::newRow("unknown account") << "CORP\\nobody" << 1057u << "good";
        // Never cut at the NUL, as Windows would: refused, and nothing changes.
        QTest::newRow("holding a NUL") << QString("CORP\\svc") + QChar(0) + "junk" << 123u << "good";
    }
    void accountChangeInDump() {
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
        QCOMPARE(QString::fromStdString(service["account"]),
                 error == 0 ? account.section(QChar(0), 0, 0) : QString("CORP\\svc"));
        QCOMPARE(QString::fromStdString(service["password"]), storedPassword);
    }

    // Each call on an open handle spends one call of the machine's limit; a refusal made here (a
    // bad handle) and a close do not, and a close frees its handle whatever became of the machine.
    void callLimitCountsHandleCalls() {
        auto desc = nlohmann::json::parse(Network);
        desc["machines"][0]["unreachable_after_calls"] = 4;
        QVERIFY(net->load(desc.dump()));
        OpenService s("WS001", "Albd");
        QCOMPARE(s.error, 0u);
        QCOMPARE(serviceControl().QueryServiceStatusEx(0x12345).error, 6u);
        auto lock = serviceControl().LockServiceDatabase(s.manager);
        QCOMPARE(lock.error, 0u);
        QCOMPARE(serviceControl().QueryServiceStatusEx(s.service).error, 0u);
        QCOMPARE(net->machine("WS001")["unreachable_after_calls"], 0);
        QCOMPARE(serviceControl().QueryServiceStatusEx(s.service).error, 1722u);
        QCOMPARE(serviceControl().UnlockServiceDatabase(lock.value), 1722u);
        QCOMPARE(serviceControl().UnlockServiceDatabase(lock.value), 1071u);
        QCOMPARE(serviceControl().CloseServiceHandle(s.service), 0u);
        QCOMPARE(serviceControl().CloseServiceHandle(s.service), 6u);
        s.service = 0;
    }
};

QTEST_GUILESS_MAIN(tst_PlatformServices)
#include "tst_platform_services.moc"
