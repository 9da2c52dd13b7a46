// The service control procedures and their error texts, against the simulated network and,
// where exact statuses are needed, a scripted service manager.
#include "common/AppEnv.h"
#include "common/Dialogs.h"
#include "platform/Platform.h"
#include "platform/sim/SimNetwork.h"
#include "services/modErrorCodes.h"
#include "services/modServices.h"

#include <QTemporaryDir>
#include <QTest>

#include <nlohmann/json.hpp>

#include <deque>
#include <functional>
#include <map>
#include <numeric>

using namespace vantrel;
using platform::Handle;
using platform::Password;
using platform::ServiceStatus;
namespace svc = platform::svc;

namespace {

// One machine with the services the procedures meet, a second one that cannot be reached,
// one that refuses access, and the domain controller the directory lookup binds to.
const char* NetworkJson = R"json({
  "domains": [{"name": "CORP", "sid": "S-1-5-21-1004336348-1177238915-682003330", "controller": "DC01",
    "accounts": [{"name": "svc_albd", "rid": 1105, "use": "user", "password": "N3w!pass",
                  "description": "ALBD service account", "full_name": "ALBD Service"},
                 {"name": "svc_old", "rid": 1106, "use": "user", "password": "0ld!pass"}]}],
  "machines": [
    {"name": "DC01", "domain": "CORP", "types": ["server", "domain_ctrl"]},
    {"name": "WS1", "domain": "CORP", "types": ["workstation"],
     "rights": [{"account": "CORP\\svc_albd", "rights": ["SeServiceLogonRight"]},
                {"account": "CORP\\svc_old", "rights": ["SeServiceLogonRight"]}],
     "services": [
      {"name": "Albd", "display_name": "Atria Location Broker", "state": "stopped",
       "account": "CORP\\svc_old", "password": "0ld!pass",
       "start_ms": 300, "stop_ms": 300, "wait_hint_ms": 400},
      {"name": "Alerter", "display_name": "Alerter Service", "state": "running"},
      {"name": "Spooler", "display_name": "Print Spooler", "state": "stopped"},
      {"name": "Locked", "display_name": "Disabled one", "start": "disabled", "state": "stopped"},
      {"name": "Hung", "display_name": "Never starts", "state": "stopped",
       "start_ms": 60000, "wait_hint_ms": 200, "hang": true},
      {"name": "Lazy", "display_name": "Takes its time", "state": "stopped", "start_ms": 60000},
      {"name": "Slow", "display_name": "Long wait hint", "state": "stopped",
       "start_ms": 300, "wait_hint_ms": 250000}
     ]},
    {"name": "OFF1", "domain": "CORP", "reachable": false},
    {"name": "NOADM", "domain": "CORP", "admin": false,
     "services": [{"name": "Albd", "state": "running"}]}
  ]
})json";

// Passes every call to the real backend and records it, so tests see which calls were made,
// in which order, and can make one of them raise.
class RecordingServiceControl : public platform::ServiceControl {
  public:
    explicit RecordingServiceControl(platform::ServiceControl& real) : real_(real) {}
    std::vector<std::string> calls;
    std::map<Handle, bool> open; // handle -> still open
    std::string throwOn;         // name of a call that raises a platform fault instead

    platform::Result<Handle> OpenSCManager(const std::string& machine, std::uint32_t access) override {
        note("OpenSCManager");
        return opened(real_.OpenSCManager(machine, access));
    }
    platform::Result<Handle> OpenService(Handle manager, const std::string& name,
                                         std::uint32_t access) override {
        note("OpenService");
        return opened(real_.OpenService(manager, name, access));
    }
    std::uint32_t StartService(Handle s) override {
        note("StartService");
        return real_.StartService(s);
    }
    platform::Result<ServiceStatus> ControlService(Handle s, std::uint32_t control) override {
        note("ControlService");
        return real_.ControlService(s, control);
    }
    platform::Result<ServiceStatus> QueryServiceStatusEx(Handle s) override {
        note("QueryServiceStatusEx");
        return real_.QueryServiceStatusEx(s);
    }
    platform::Result<platform::ServiceConfig> QueryServiceConfig(Handle s) override {
        note("QueryServiceConfig");
        return real_.QueryServiceConfig(s);
    }
    std::uint32_t ChangeServiceConfig(Handle s, const platform::ServiceConfigChange& change) override {
        note("ChangeServiceConfig");
        return real_.ChangeServiceConfig(s, change);
    }
    platform::Result<Handle> LockServiceDatabase(Handle manager) override {
        note("LockServiceDatabase");
        return opened(real_.LockServiceDatabase(manager));
    }
    std::uint32_t UnlockServiceDatabase(Handle lock) override {
        note("UnlockServiceDatabase");
        open[lock] = false;
        return real_.UnlockServiceDatabase(lock);
    }
    platform::ServiceEnumeration EnumServicesStatus(Handle m, std::uint32_t type, std::uint32_t state,
                                                    std::uint32_t bytes) override {
        note("EnumServicesStatus");
        return real_.EnumServicesStatus(m, type, state, bytes);
    }
    std::uint32_t CloseServiceHandle(Handle h) override {
        open[h] = false;
        note("CloseServiceHandle");
        return real_.CloseServiceHandle(h);
    }
    platform::Result<ServiceStatus> WaitServiceStatus(Handle s, std::uint32_t states,
                                                      const platform::StatusWait& how) override {
        // A wait renewed at each check point is one wait here.
        if (calls.empty() || calls.back() != "WaitServiceStatus") note("WaitServiceStatus");
        return real_.WaitServiceStatus(s, states, how);
    }

    bool allClosed() const {
        for (const auto& [h, isOpen] : open)
            if (isOpen) return false;
        return true;
    }

  private:
    void note(const std::string& call) {
        calls.push_back(call);
        if (call == throwOn) throw platform::PlatformFault("The network file broke during " + call);
    }
    platform::Result<Handle> opened(platform::Result<Handle> r) {
        if (r.ok()) open[r.value] = true;
        return r;
    }
    platform::ServiceControl& real_;
};

// A service manager that answers status queries from a script, for exact control over the
// state, check point and wait hint WaitForService sees.
class ScriptedStatus : public platform::ServiceControl {
  public:
    std::deque<ServiceStatus> statuses; // each query takes the next; the last one repeats
    std::uint32_t failWith = 0;         // a query after the script fails with this code, when set

    platform::Result<ServiceStatus> QueryServiceStatusEx(Handle) override {
        if (statuses.size() == 1 && failWith) return {{}, failWith};
        ServiceStatus s = statuses.front();
        if (statuses.size() > 1) statuses.pop_front();
        return {s, 0};
    }
    platform::Result<Handle> OpenSCManager(const std::string&, std::uint32_t) override { return {0, 5}; }
    platform::Result<Handle> OpenService(Handle, const std::string&, std::uint32_t) override {
        return {0, 5};
    }
    std::uint32_t StartService(Handle) override { return 5; }
    platform::Result<ServiceStatus> ControlService(Handle, std::uint32_t) override { return {{}, 5}; }
    platform::Result<platform::ServiceConfig> QueryServiceConfig(Handle) override { return {{}, 5}; }
    std::uint32_t ChangeServiceConfig(Handle, const platform::ServiceConfigChange&) override { return 5; }
    platform::Result<Handle> LockServiceDatabase(Handle) override { return {0, 5}; }
    std::uint32_t UnlockServiceDatabase(Handle) override { return 5; }
    platform::ServiceEnumeration EnumServicesStatus(Handle, std::uint32_t, std::uint32_t,
                                                    std::uint32_t) override {
        return {5, {}, 0};
    }
    std::uint32_t CloseServiceHandle(Handle) override { return 0; }
};

ServiceStatus status(std::uint32_t state, std::uint32_t checkPoint, std::uint32_t waitHint) {
    ServiceStatus s;
    s.currentState = state;
    s.checkPoint = checkPoint;
    s.waitHint = waitHint;
    return s;
}

} // namespace

class TestServices : public QObject {
    Q_OBJECT

    QTemporaryDir dir_;
    std::string db_;
    ScriptedDialogs boxes_;
    std::vector<long long> pauses_;

    nlohmann::json serviceOf(const std::string& machine, const std::string& name) {
        const auto net = nlohmann::json::parse(platform::sim::dumpNetwork(db_));
        for (const auto& m : net.at("machines"))
            if (m.at("name") == machine)
                for (const auto& s : m.value("services", nlohmann::json::array()))
                    if (s.at("name") == name) return s;
        return {};
    }
    std::uint32_t stateOf(const std::string& machine, const std::string& name) {
        const std::string state = serviceOf(machine, name).at("state");
        return state == "running" ? 4 : state == "stopped" ? 1 : state == "start_pending" ? 2 : 3;
    }
  private slots:
    void initTestCase() {
        QVERIFY(dir_.isValid());
        db_ = dir_.filePath("simnet.db").toStdString();
        setDialogs(&boxes_);
        setPauseObserver([this](long long units) { pauses_.push_back(units); });
    }
    void init() {
        platform::sim::loadNetwork(db_, NetworkJson);
        platform::sim::useDatabase(db_);
        setPauseUnitMicroseconds(20); // 1000 units = 20 ms
        boxes_.clear();
        pauses_.clear();
    }
    void cleanup() {
        platform::setServiceControl(nullptr);
        platform::forceStatusPolling(false);
    }
    void cleanupTestCase() {
        setPauseObserver({});
        setDialogs(nullptr);
        setPauseUnitMicroseconds(1000);
        platform::sim::useDatabase({});
    }

    void errorTexts_data() {
        QTest::addColumn<int>("code");
        QTest::addColumn<QString>("text");
        const auto known = [](int code, const char* text) {
            QTest::addRow("%d", code) << code << QString(text) + "::" + QString::number(code);
        };
        known(997, "Overlapped I/O Operation is in progress.  The service DB may be locked.");
        known(1052, "Requested control is not valid for this service.");
        known(1057, "Account name and/or password is invalid.");
        known(1058, "Service cannot be started.  Ensure that it is not disabled");
        known(1060, "Specified service does not exist.");
        known(1061, "Service cannot accept control message at this time.");
        known(1062, "Service has not been started.");
        known(1067, "Process aborted unexpectedly. Check that the account has proper rights.");
        known(1069, "Service did not start due to logon failure.  Check password and/or account name");
        known(1722, "RPC Server is unavailable. The client may not be accessible. Try pinging the client.");
        for (int code : {5, 0, -1, -1060, 996, 1059, 1063, 1068, 1070, 1721, 2147483647})
            QTest::addRow("%d", code)
                << code
                << "Unexpected Error.  Check Microsoft for related Error Code = " + QString::number(code);
    }
    void errorTexts() {
        QFETCH(int, code);
        QFETCH(QString, text);
        QCOMPARE(QString::fromStdString(ServiceErrorText(code)), text);
    }

    // Running means an active service whose key name is the one asked for, letter case aside,
    // both names trimmed of blanks. A state that could not be read (the machine did not answer
    // or refused, the service is not on it) is no "not running": the text says why.
    void isServiceRunning_data() {
        QTest::addColumn<QString>("machine");
        QTest::addColumn<QString>("service");
        QTest::addColumn<bool>("running");
        QTest::addColumn<QString>("errorText");
        QTest::addColumn<bool>("platformCalled");
        const QString untouched = "caller's text";
        const QString missing =
            "Error::Specified service does not exist.::1060::IsServiceRunning:EnumServicesStatus::";
        const QString unreachable = "Error::RPC Server is unavailable. The client may not be accessible. Try "
                                    "pinging the client.::1722::IsServiceRunning:OpenSCManager::";
        QTest::newRow("running") << "WS1"
                                 << "Alerter" << true << untouched << true;
        QTest::newRow("leading \\\\") << "\\\\WS1"
                                      << "Alerter" << true << untouched << true;
        QTest::newRow("stopped") << "WS1"
                                 << "Spooler" << false << untouched << true;
        QTest::newRow("other letter case") << "WS1"
                                           << "aLERTER" << true << untouched << true;
        QTest::newRow("beginning of a name") << "WS1"
                                             << "Al" << false << missing << true;
        QTest::newRow("word of a display name") << "WS1"
                                                << "Service" << false << missing << true;
        QTest::newRow("name plus display name") << "WS1"
                                                << "Alerter - Alerter Service" << false << missing << true;
        QTest::newRow("unknown service") << "WS1"
                                         << "Nope" << false << missing << true;
        QTest::newRow("unreachable") << "OFF1"
                                     << "Albd" << false << unreachable << true;
        QTest::newRow("not in network") << "WS404"
                                        << "Albd" << false << unreachable << true;
        QTest::newRow("access denied")
            << "NOADM"
            << "Albd" << false
            << "Error::Unexpected Error.  Check Microsoft for related Error Code = "
               "5::IsServiceRunning:OpenSCManager::"
            << true;
        QTest::newRow("blanks trimmed") << " WS1  "
                                        << " Alerter " << true << untouched << true;
        QTest::newRow("blank machine") << "   "
                                       << "Alerter" << false << "Error: Invalid hostname" << false;
        QTest::newRow("empty machine") << ""
                                       << "Alerter" << false << "Error: Invalid hostname" << false;
        QTest::newRow("machine with <") << "WS1<"
                                        << "Alerter" << false << "Error: Invalid hostname" << false;
        QTest::newRow("only <") << "<"
                                << "Alerter" << false << "Error: Invalid hostname" << false;
    }
    void isServiceRunning() {
        QFETCH(QString, machine);
        QFETCH(QString, service);
        QFETCH(bool, running);
        QFETCH(QString, errorText);
        QFETCH(bool, platformCalled);
        RecordingServiceControl rec(platform::serviceControl());
        platform::setServiceControl(&rec);
        std::string text = "caller's text";
        bool read = false;
        QCOMPARE(IsServiceRunning(machine.toStdString(), service.toStdString(), text, &read), running);
        QCOMPARE(QString::fromStdString(text), errorText);
        QCOMPARE(read, errorText == "caller's text"); // the text is replaced only on failure
        QCOMPARE(!rec.calls.empty(), platformCalled);
        QVERIFY(rec.allClosed());
    }

    // The start or stop request decides the outcome; with wait, the call returns once the
    // service has left the pending state.
    // The window gets its turns during the wait.
    // Through the manager's notification, or in pauses where it offers none.
    void startAndStopWithWait_data() {
        QTest::addColumn<bool>("polled");
        QTest::newRow("notified") << false;
        QTest::newRow("polled") << true;
    }
    void startAndStopWithWait() {
        QFETCH(bool, polled);
        platform::forceStatusPolling(polled);
        std::size_t yields = 0;
        setYieldFunction([&] { ++yields; });
        std::string text;
        std::uint32_t state = 0;
        QVERIFY(StartStopSericeWait(true, " WS1 ", " Albd ", true, text, &state));
        setYieldFunction({});
        QCOMPARE(text, std::string("No Error:4"));
        QCOMPARE(state, svc::Running);
        QCOMPARE(stateOf("WS1", "Albd"), 4u);
        QCOMPARE(pauses_.empty(), !polled);
        QVERIFY(yields >= std::max<std::size_t>(pauses_.size(), 1));
        for (long long units : pauses_)
            QCOMPARE(units, 1000LL); // hint 400 ms: a tenth, raised to 1000

        std::string running = "x";
        QVERIFY(IsServiceRunning("WS1", "Albd", running));

        pauses_.clear();
        QVERIFY(StartStopSericeWait(false, "WS1", "Albd", true, text, &state));
        QCOMPARE(text, std::string("No Error:4"));
        QCOMPARE(state, svc::Stopped);
        QCOMPARE(stateOf("WS1", "Albd"), 1u);
        QCOMPARE(pauses_.empty(), !polled);
        QVERIFY(!IsServiceRunning("WS1", "Albd", running));
    }

    // Within a session one machine's change, stop and start open its manager and service once,
    // and a state the wait has just read is not asked for again.
    void sessionOpensOnceAndAsksOnce() {
        RecordingServiceControl rec(platform::serviceControl());
        platform::setServiceControl(&rec);
        std::string text;
        {
            ServiceSession session(" WS1 ", "albd");
            QVERIFY(
                ChangeServicePassword("WS1", " Albd", "CORP\\svc_albd", Password("N3w!pass"), text, false));
            QVERIFY(!IsServiceRunning("WS1", "Albd", text));
            QVERIFY(StartStopSericeWait(true, "WS1", "Albd", true, text));
            QVERIFY(IsServiceRunning("WS1", "Albd", text));
            QVERIFY(StartStopSericeWait(false, "WS1", "Albd", true, text));
            QVERIFY(!IsServiceRunning("WS1", "Albd", text));
            // Another service is asked as ever.
            QVERIFY(IsServiceRunning("WS1 ", "Alerter", text));
        }
        const std::vector<std::string> expected = {
            "OpenSCManager",         "LockServiceDatabase",  "OpenService",        "ChangeServiceConfig",
            "UnlockServiceDatabase", "QueryServiceStatusEx", "StartService",       "WaitServiceStatus",
            "ControlService",        "WaitServiceStatus",    "OpenSCManager",      "EnumServicesStatus",
            "EnumServicesStatus",    "CloseServiceHandle",   "CloseServiceHandle", "CloseServiceHandle"};
        QCOMPARE(rec.calls, expected);
        QVERIFY(rec.allClosed());
        QCOMPARE(stateOf("WS1", "Albd"), 1u);
    }

    void startWithoutWaitReturnsPending() {
        std::string text;
        std::uint32_t state = 0;
        QVERIFY(StartStopSericeWait(true, "WS1", "Lazy", false, text, &state));
        QCOMPARE(text, std::string("No Error:4"));
        QCOMPARE(state, svc::StartPending);
        QVERIFY(pauses_.empty());
        QCOMPARE(stateOf("WS1", "Lazy"), 2u);
    }

    void longWaitHintPausesAtMostTenThousandUnits() {
        platform::forceStatusPolling(true);
        setPauseUnitMicroseconds(3); // 10000 units = 30 ms
        std::string text;
        QVERIFY(StartStopSericeWait(true, "WS1", "Slow", true, text));
        QCOMPARE(text, std::string("No Error:4"));
        QVERIFY(!pauses_.empty());
        for (long long units : pauses_)
            QCOMPARE(units, 10000LL);
        QCOMPARE(stateOf("WS1", "Slow"), 4u);
    }

    // A start whose check point stops growing ends the wait; the start itself succeeded.
    void stalledStartStillSucceeds() {
        std::string text;
        std::uint32_t state = 0;
        QVERIFY(StartStopSericeWait(true, "WS1", "Hung", true, text, &state));
        QCOMPARE(text, std::string("No Error:4"));
        QCOMPARE(state, svc::StartPending);
        QCOMPARE(stateOf("WS1", "Hung"), 2u);
    }

    void waitForStalledServiceReportsIt() {
        auto& scm = platform::serviceControl();
        auto manager = scm.OpenSCManager("WS1", svc::ScManagerAllAccess);
        QVERIFY(manager.ok());
        auto service = scm.OpenService(manager.value, "Hung", svc::ServiceAllAccess);
        QVERIFY(service.ok());
        QCOMPARE(scm.StartService(service.value), 0u);
        std::string text;
        QCOMPARE(WaitForService(service.value, svc::StartPending, text), svc::StartPending);
        QCOMPARE(text, std::string("Service is not responding::"));
        scm.CloseServiceHandle(service.value);
        scm.CloseServiceHandle(manager.value);
    }

    // Exact statuses: the pause is a tenth of the wait hint, clamped to 1000..10000 units;
    // a growing check point keeps the wait going past the hint; the wait ends when the state
    // changes.
    void waitStepsFollowTheWaitHint_data() {
        QTest::addColumn<int>("waitHint");
        QTest::addColumn<long long>("units");
        QTest::newRow("no hint") << 0 << 1000LL;
        QTest::newRow("below the floor") << 9000 << 1000LL;
        QTest::newRow("at the floor") << 10000 << 1000LL;
        QTest::newRow("between") << 25000 << 2500LL;
        QTest::newRow("rounded") << 25006 << 2501LL;
        QTest::newRow("at the ceiling") << 100000 << 10000LL;
        QTest::newRow("above the ceiling") << 4000000 << 10000LL;
    }
    void waitStepsFollowTheWaitHint() {
        QFETCH(int, waitHint);
        QFETCH(long long, units);
        setPauseUnitMicroseconds(0);
        ScriptedStatus scripted;
        const auto hint = static_cast<std::uint32_t>(waitHint);
        // The check point grows on every query, so the wait outlasts any hint until the stop.
        for (std::uint32_t cp = 1; cp <= 5; ++cp)
            scripted.statuses.push_back(status(svc::StopPending, cp, hint));
        scripted.statuses.push_back(status(svc::Stopped, 0, 0));
        platform::setServiceControl(&scripted);
        std::string text;
        QCOMPARE(WaitForService(1, svc::StopPending, text), svc::Stopped);
        QCOMPARE(text, std::string("No Error:3"));
        QCOMPARE(pauses_, std::vector<long long>(5, units));
    }

    void waitEndsOnStallOrFailedQuery() {
        setPauseUnitMicroseconds(10); // 1000 units = 10 ms, longer than the 1 ms hint
        ScriptedStatus stalled;
        stalled.statuses = {status(svc::StartPending, 3, 1)};
        platform::setServiceControl(&stalled);
        std::string text;
        QCOMPARE(WaitForService(1, svc::StartPending, text), svc::StartPending);
        QCOMPARE(text, std::string("Service is not responding::"));
        QCOMPARE(pauses_.size(), std::size_t(1));

        ScriptedStatus failing;
        failing.statuses = {status(svc::StartPending, 1, 5000), status(svc::StartPending, 2, 5000)};
        failing.failWith = 6; // the second query fails: the state read before it is returned
        platform::setServiceControl(&failing);
        QCOMPARE(WaitForService(1, svc::StartPending, text), svc::StartPending);
        QCOMPARE(text, std::string("Error::Unexpected Error.  Check Microsoft for related Error Code = 6::"
                                   "WaitForService:QueryService::"));

        ScriptedStatus notPending;
        notPending.statuses = {status(svc::Running, 0, 0)};
        platform::setServiceControl(&notPending);
        pauses_.clear();
        QCOMPARE(WaitForService(1, svc::StartPending, text), svc::Running);
        QCOMPARE(text, std::string("No Error:3"));
        QVERIFY(pauses_.empty());

        // Progress reported for ever: the wait gives up at its overall limit, counted in real
        // time (here each look at the clock finds 100 ms gone, as slow remote calls would),
        // not in pauses alone.
        setPauseUnitMicroseconds(0); // the limit is then 1.2 s
        ScriptedStatus endless;
        for (std::uint32_t cp = 1; cp <= 60; ++cp)
            endless.statuses.push_back(status(svc::StopPending, cp, 25006));
        platform::setServiceControl(&endless);
        auto fakeNow = std::chrono::steady_clock::now();
        setWaitClock([&] { return fakeNow += std::chrono::milliseconds(100); });
        pauses_.clear();
        QCOMPARE(WaitForService(1, svc::StopPending, text), svc::StopPending);
        setWaitClock({});
        QCOMPARE(text, std::string(WaitLimitText) + "::");
        QCOMPARE(pauses_, std::vector<long long>(11, 2501));

        // A stop of the run ends the wait of a service past its own estimate between two looks,
        // with the state it has reached; one within its estimate is let finish.
        ScriptedStatus overrun, onTime;
        for (std::uint32_t cp = 1; cp <= 60; ++cp)
            overrun.statuses.push_back(status(svc::StopPending, cp, 1));
        for (std::uint32_t cp = 1; cp <= 3; ++cp)
            onTime.statuses.push_back(status(svc::StopPending, cp, 25006));
        onTime.statuses.push_back(status(svc::Stopped, 0, 0));
        setWaitClock([&] { return fakeNow += std::chrono::milliseconds(10); });
        int asked = 0;
        platform::setServiceControl(&overrun);
        pauses_.clear();
        QCOMPARE(WaitForService(1, svc::StopPending, text, [&] { return ++asked > 2; }), svc::StopPending);
        QCOMPARE(text, std::string(WaitStoppedText) + "::");
        QCOMPARE(pauses_.size(), std::size_t(2));
        platform::setServiceControl(&onTime);
        QCOMPARE(WaitForService(1, svc::StopPending, text, [] { return true; }), svc::Stopped);
        setWaitClock({});
        QCOMPARE(text, std::string("No Error:3"));
    }

    // A blank machine name is this computer to the service manager: refused before any call.
    void blankMachineRefused_data() {
        QTest::addColumn<QString>("procedure");
        QTest::addColumn<QString>("machine");
        QTest::newRow("start, empty") << "start"
                                      << "";
        QTest::newRow("stop, blanks") << "stop"
                                      << "   ";
        QTest::newRow("change, blanks") << "change"
                                        << " ";
        QTest::newRow("change in directory mode") << "directory"
                                                  << "";
    }
    void blankMachineRefused() {
        QFETCH(QString, procedure);
        QFETCH(QString, machine);
        RecordingServiceControl rec(platform::serviceControl());
        platform::setServiceControl(&rec);
        const std::string m = machine.toStdString();
        std::string text = "before";
        std::uint32_t state = 7;
        const bool result = procedure == "start" ? StartStopSericeWait(true, m, "Albd", true, text, &state)
                            : procedure == "stop"
                                ? StartStopSericeWait(false, m, "Albd", true, text, &state)
                                : ChangeServicePassword(m, "Albd", "CORP\\svc_albd", Password("N3w!pass"),
                                                        text, procedure == "directory");
        QVERIFY(!result);
        QCOMPARE(text, std::string(BlankMachineText));
        QVERIFY(rec.calls.empty());
        QVERIFY(boxes_.shown.empty());
        QCOMPARE(state, procedure.startsWith("st") ? 0u : 7u);
    }

    void startStopFailures_data() {
        QTest::addColumn<bool>("start");
        QTest::addColumn<QString>("machine");
        QTest::addColumn<QString>("service");
        QTest::addColumn<QString>("errorText");
        QTest::newRow("disabled")
            << true << "WS1"
            << "Locked"
            << "Error::Service cannot be started.  Ensure that it is not disabled::1058::"
               "StartStopSericeWait:StartService::";
        QTest::newRow("already running")
            << true << "WS1"
            << "Alerter"
            << "Error::Unexpected Error.  Check Microsoft for related Error Code = "
               "1056::StartStopSericeWait:StartService::";
        QTest::newRow("stop a stopped one") << false << "WS1"
                                            << "Spooler"
                                            << "Error::Service has not been started.::1062::"
                                               "StartStopSericeWait:ControlService::";
        QTest::newRow("unknown service") << false << "WS1"
                                         << "Nope"
                                         << "Error::Specified service does not exist.::1060::"
                                            "StartStopSericeWait:OpenService::";
        QTest::newRow("unreachable")
            << true << "OFF1"
            << "Albd"
            << "Error::RPC Server is unavailable. The client may not be accessible. Try "
               "pinging the client.::1722::StartStopSericeWait:OpenSCManager::";
        QTest::newRow("access denied")
            << false << "NOADM"
            << "Albd"
            << "Error::Unexpected Error.  Check Microsoft for related Error Code = 5::"
               "StartStopSericeWait:OpenSCManager::";
    }
    void startStopFailures() {
        QFETCH(bool, start);
        QFETCH(QString, machine);
        QFETCH(QString, service);
        QFETCH(QString, errorText);
        RecordingServiceControl rec(platform::serviceControl());
        platform::setServiceControl(&rec);
        std::string text = "before";
        QVERIFY(!StartStopSericeWait(start, machine.toStdString(), service.toStdString(), true, text));
        QCOMPARE(QString::fromStdString(text), errorText);
        QVERIFY(pauses_.empty());
        QVERIFY(rec.allClosed());
    }

    void handlesCloseServiceFirst() {
        RecordingServiceControl rec(platform::serviceControl());
        platform::setServiceControl(&rec);
        std::string text;
        QVERIFY(!StartStopSericeWait(true, "WS1", "Locked", false, text));
        const std::vector<std::string> expected = {"OpenSCManager", "OpenService", "StartService",
                                                   "CloseServiceHandle", "CloseServiceHandle"};
        QCOMPARE(rec.calls, expected);
        QVERIFY(rec.allClosed());
    }

    // Names are trimmed; the password is stored as typed, its blanks being part of it.
    void changePasswordTrimsAccountKeepsPassword() {
        std::string text = "before";
        QVERIFY(ChangeServicePassword(" WS1 ", " Albd ", "  CORP\\svc_albd ", Password(" N3w!pass  "), text,
                                      false));
        QCOMPARE(text, std::string("No Error:6"));
        const auto s = serviceOf("WS1", "Albd");
        QCOMPARE(s.at("account").get<std::string>(), std::string("CORP\\svc_albd"));
        QCOMPARE(s.at("password").get<std::string>(), std::string(" N3w!pass  "));
        QCOMPARE(stateOf("WS1", "Albd"), 1u); // neither started nor stopped
        // The new logon takes effect on the next start: the account's password has no blanks.
        QVERIFY(!StartStopSericeWait(true, "WS1", "Albd", true, text));
        QVERIFY2(text.find("::1069::") != std::string::npos, text.c_str());
        QVERIFY(ChangeServicePassword("WS1", "Albd", "CORP\\svc_albd", Password("N3w!pass"), text, false));
        QVERIFY(StartStopSericeWait(true, "WS1", "Albd", true, text));
        QCOMPARE(stateOf("WS1", "Albd"), 4u);
    }

    void changePasswordFailures_data() {
        QTest::addColumn<QString>("machine");
        QTest::addColumn<QString>("service");
        QTest::addColumn<QString>("account");
        QTest::addColumn<QString>("errorText");
        // As a failed machine's mark tells it: the system's own words for the number.
        QTest::addColumn<QString>("reason");
        QTest::newRow("unknown service")
            << "WS1"
            << "Nope"
            << "CORP\\svc_albd"
            << "Error::Specified service does not exist.::1060::"
               "ChangeServicePassword:OpenService::"
            << "Specified service does not exist.; error 1060: The specified service does not exist as an "
               "installed service. (ChangeServicePassword: OpenService)";
        QTest::newRow("unknown account")
            << "WS1"
            << "Albd"
            << "CORP\\nobody"
            << "Error::Account name and/or password is invalid.::1057::"
               "ChangeServicePassword:ChangeServiceConfig::"
            << "Account name and/or password is invalid.; error 1057: The account name is invalid or does "
               "not "
               "exist, or the password is invalid for the account name specified. (ChangeServicePassword: "
               "ChangeServiceConfig)";
        QTest::newRow("unreachable")
            << "OFF1"
            << "Albd"
            << "CORP\\svc_albd"
            << "Error::RPC Server is unavailable. The client may not be accessible. Try "
               "pinging the client.::1722::ChangeServicePassword:OpenSCManager::"
            << "RPC Server is unavailable. The client may not be accessible. Try pinging the client.; error "
               "1722: The RPC server is unavailable. (ChangeServicePassword: OpenSCManager)";
        QTest::newRow("not an administrator there")
            << "NOADM"
            << "Albd"
            << "CORP\\svc_albd"
            << "Error::Unexpected Error.  Check Microsoft for related Error Code = 5::"
               "ChangeServicePassword:OpenSCManager::"
            << "error 5: Access is denied. (ChangeServicePassword: OpenSCManager)";
    }
    void changePasswordFailures() {
        QFETCH(QString, machine);
        QFETCH(QString, service);
        QFETCH(QString, account);
        QFETCH(QString, errorText);
        QFETCH(QString, reason);
        RecordingServiceControl rec(platform::serviceControl());
        platform::setServiceControl(&rec);
        std::string text;
        QVERIFY(!ChangeServicePassword(machine.toStdString(), service.toStdString(), account.toStdString(),
                                       Password("pw"), text, false));
        QCOMPARE(QString::fromStdString(text), errorText);
        QCOMPARE(QString::fromStdString(ServiceFailureReason(text)), reason);
        QVERIFY(rec.allClosed()); // the lock included
        const auto s = serviceOf("WS1", "Albd");
        QCOMPARE(s.at("account").get<std::string>(), std::string("CORP\\svc_old"));
    }

    // The lock taken before a failing step is released before the manager is closed, and the
    // next change on that machine is not refused as locked.
    void failedChangeReleasesTheLock() {
        RecordingServiceControl rec(platform::serviceControl());
        platform::setServiceControl(&rec);
        std::string text;
        QVERIFY(!ChangeServicePassword("WS1", "Nope", "CORP\\svc_albd", Password("N3w!pass"), text, false));
        const std::vector<std::string> expected = {"OpenSCManager", "LockServiceDatabase", "OpenService",
                                                   "UnlockServiceDatabase", "CloseServiceHandle"};
        QCOMPARE(rec.calls, expected);
        QVERIFY(ChangeServicePassword("WS1", "Albd", "CORP\\svc_albd", Password("N3w!pass"), text, false));
        QCOMPARE(text, std::string("No Error:6"));
    }

    // A fault raised by the platform layer is not a step failure: the procedure finishes,
    // closes what it opened, and reports the fault after "::".
    void platformFaultsTurnResultFalse_data() {
        QTest::addColumn<QString>("procedure");
        QTest::addColumn<QString>("throwOn");
        QTest::addColumn<QString>("errorText");
        QTest::newRow("start") << "start"
                               << "StartService"
                               << "::The network file broke during StartService";
        QTest::newRow("wait") << "start"
                              << "WaitServiceStatus"
                              << "No Error:4";
        QTest::newRow("open") << "start"
                              << "OpenService"
                              << "::The network file broke during OpenService";
        QTest::newRow("close") << "start"
                               << "CloseServiceHandle"
                               << "::The network file broke during CloseServiceHandle";
        QTest::newRow("change") << "change"
                                << "ChangeServiceConfig"
                                << "::The network file broke during ChangeServiceConfig";
        QTest::newRow("lock") << "change"
                              << "LockServiceDatabase"
                              << "::The network file broke during LockServiceDatabase";
        QTest::newRow("query") << "query"
                               << "EnumServicesStatus"
                               << "::The network file broke during EnumServicesStatus";
    }
    void platformFaultsTurnResultFalse() {
        QFETCH(QString, procedure);
        QFETCH(QString, throwOn);
        QFETCH(QString, errorText);
        RecordingServiceControl rec(platform::serviceControl());
        rec.throwOn = throwOn.toStdString();
        platform::setServiceControl(&rec);
        std::string text;
        bool result = true;
        if (procedure == "start")
            result = StartStopSericeWait(true, "WS1", "Albd", true, text);
        else if (procedure == "change")
            result = ChangeServicePassword("WS1", "Albd", "CORP\\svc_albd", Password("x"), text, false);
        else
            result = IsServiceRunning("WS1", "Alerter", text);
        QCOMPARE(QString::fromStdString(text), errorText);
        QCOMPARE(result, errorText.startsWith("No Error"));
        if (throwOn != "CloseServiceHandle") QVERIFY(rec.allClosed());
    }

    // Directory mode only looks the test account up; the machine is not touched and the
    // caller's error text stays.
    void directoryModeTouchesNothing() {
        RecordingServiceControl rec(platform::serviceControl());
        platform::setServiceControl(&rec);
        std::string text = "caller's text";
        QVERIFY(!ChangeServicePassword("WS1", "Albd", "CORP\\svc_albd", Password("N3w!pass"), text, true));
        QCOMPARE(text, std::string("caller's text"));
        QVERIFY(rec.calls.empty());
        QCOMPARE(serviceOf("WS1", "Albd").at("account").get<std::string>(), std::string("CORP\\svc_old"));
        QCOMPARE(boxes_.shown.size(), std::size_t(1));
        const auto& box = boxes_.shown[0];
        QCOMPARE(box.icon, Icon::None);
        QCOMPARE(box.title, std::string("Vantrel"));
        QCOMPARE(box.text, std::string("Desc =  ALBD service account\r\nFullName = ALBD Service"));
    }

    void directoryLookupFailureShowsError() {
        platform::sim::loadNetwork(db_, R"({"machines": [{"name": "WS1"}]})");
        std::string text = "kept";
        QVERIFY(!ChangeServicePassword("WS1", "Albd", "a", Password("b"), text, true));
        QCOMPARE(text, std::string("kept"));
        QCOMPARE(boxes_.shown.size(), std::size_t(1));
        QCOMPARE(boxes_.shown[0].icon, Icon::Critical);
        QCOMPARE(boxes_.shown[0].title, std::string("Error..."));
        QCOMPARE(boxes_.shown[0].text, std::string("Error::There is no such object on the server.\r\n"));
    }

    void trimAtNul_data() {
        QTest::addColumn<QByteArray>("text");
        QTest::addColumn<QByteArray>("trimmed");
        QTest::newRow("none") << QByteArray("Albd") << QByteArray("Albd");
        QTest::newRow("inside") << QByteArray("Al\0bd", 5) << QByteArray("Al");
        QTest::newRow("first") << QByteArray("\0Albd", 5) << QByteArray();
        QTest::newRow("empty") << QByteArray() << QByteArray();
    }
    void trimAtNul() {
        QFETCH(QByteArray, text);
        QFETCH(QByteArray, trimmed);
        QCOMPARE(QByteArray::fromStdString(TrimAtNul(text.toStdString())), trimmed);
    }
};

QTEST_GUILESS_MAIN(TestServices)
#include "tst_services.moc"
