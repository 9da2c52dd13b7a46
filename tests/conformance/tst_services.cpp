// The service control manager of this computer: open failures, start refusals, pending states
// with their check points, configuration changes, the database lock and enumeration with the
// caller's buffer.
#include "Conformance.h"
#include "platform/ErrorText.h"

#include <algorithm>
#include <cstring>
#include <set>

using namespace platform;
using conformance::TestService;
using conformance::wine_skips;

namespace {

const TestService Slow{
    .name = "VtcSlow", .displayName = "Vtc Slow Service", .startMs = 600, .stopMs = 600, .waitHintMs = 200};
const TestService Quick{.name = "VtcQuick", .displayName = "Vtc Quick"};
const TestService Off{.name = "VtcOff", .displayName = "Vtc Disabled", .disabled = true};

// A manager and service handle pair of this computer, closed when the case is done with it.
struct OpenService {
    Handle manager = 0;
    Handle service = 0;
    std::uint32_t error = 0;
    explicit OpenService(const std::string& name, const std::string& machine = "") {
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
    bool reaches(std::uint32_t state) const {
        return conformance::waitUntil([&] { return status().currentState == state; });
    }
};

std::uint32_t recordBytes(const std::string& name, const std::string& display) {
    return svc::EnumRecordSize + static_cast<std::uint32_t>(name.size() + 1 + display.size() + 1);
}

} // namespace

TEST_SUITE("service control") {

    TEST_CASE("the local manager opens with an empty name, and its handle closes once") {
        CONFORMANCE_SCENE(scene, {});
        auto m = serviceControl().OpenSCManager("", svc::ScManagerAllAccess);
        REQUIRE(m.error == 0u);
        CHECK(serviceControl().CloseServiceHandle(m.value) == 0u);
        CHECK(serviceControl().CloseServiceHandle(m.value) == err::InvalidHandle);
    }

    TEST_CASE("a service opens by its name in any letter case; an unknown one is 1060") {
        CONFORMANCE_SCENE(scene, {.services = {Quick}});
        CHECK(OpenService("VtcQuick").error == 0u);
        CHECK(OpenService("VTCQUICK").error == 0u);
        CHECK(OpenService("vtcquick").service != 0u);
        CHECK(OpenService("VtcNothing").error == err::ServiceDoesNotExist);
    }

    TEST_CASE("a display name is no service name: 1060") {
        CONFORMANCE_SCENE(scene, {.services = {Quick}});
        CHECK(OpenService("Vtc Quick").error == err::ServiceDoesNotExist);
    }

    TEST_CASE("remote managers: names with or without backslashes, unreachable 1722, no administrator 5" *
              wine_skips("Wine reaches no remote machine: its own manager answers every name")) {
        CONFORMANCE_SCENE(scene, {.services = {Quick}});
        const std::pair<const char*, std::uint32_t> rows[] = {
            {"REMOTE1", 0},    {"\\\\REMOTE1", 0}, {"remote1", 0}, {" REMOTE1", 1722},
            {"NOWHERE", 1722}, {"DOWN1", 1722},    {"NOADMIN1", 5}};
        for (auto [machine, error] : rows) {
            CAPTURE(machine);
            auto m = serviceControl().OpenSCManager(machine, svc::ScManagerAllAccess);
            CHECK(m.error == error);
            if (m.ok()) serviceControl().CloseServiceHandle(m.value);
        }
    }

    TEST_CASE("a stopped service reports its type, no process and no check point") {
        CONFORMANCE_SCENE(scene, {.services = {Quick}});
        OpenService s("VtcQuick");
        auto st = serviceControl().QueryServiceStatusEx(s.service);
        REQUIRE(st.error == 0u);
        CHECK(st.value.serviceType == svc::ServiceWin32OwnProcess);
        CHECK(st.value.currentState == svc::Stopped);
        CHECK(st.value.processId == 0u);
        CHECK(st.value.checkPoint == 0u);
        CHECK(st.value.waitHint == 0u);
    }

    // A service handle is an object of its own: closing the manager's leaves it usable.
    TEST_CASE("a service handle outlives the manager handle it was opened through") {
        CONFORMANCE_SCENE(scene, {.services = {Quick}});
        auto m = serviceControl().OpenSCManager("", svc::ScManagerAllAccess);
        REQUIRE(m.ok());
        auto s = serviceControl().OpenService(m.value, "VtcQuick", svc::ServiceAllAccess);
        REQUIRE(s.ok());
        CHECK(serviceControl().CloseServiceHandle(m.value) == 0u);
        CHECK(serviceControl().QueryServiceStatusEx(s.value).error == 0u);
        CHECK(serviceControl().CloseServiceHandle(s.value) == 0u);
    }

    TEST_CASE("a disabled service refuses to start with 1058 and stays stopped") {
        CONFORMANCE_SCENE(scene, {.services = {Off}});
        OpenService s("VtcOff");
        CHECK(serviceControl().StartService(s.service) == err::ServiceDisabled);
        CHECK(s.status().currentState == svc::Stopped);
    }

    // The process never reaches the service manager, which waits no longer once it has ended.
    TEST_CASE("a service whose process ends at once fails to start with 1053 and stays stopped") {
        CONFORMANCE_SCENE(scene, {.services = {{.name = "VtcCrash", .fail = true}}});
        OpenService s("VtcCrash");
        CHECK(serviceControl().StartService(s.service) == err::ServiceRequestTimeout);
        CHECK(s.status().currentState == svc::Stopped);
    }

    TEST_CASE("a start goes start pending with its wait hint and a growing check point, then running") {
        CONFORMANCE_SCENE(scene, {.services = {Slow}});
        OpenService s("VtcSlow");
        REQUIRE(serviceControl().StartService(s.service) == 0u);
        const ServiceStatus first = s.status();
        CHECK(first.currentState == svc::StartPending);
        CHECK(first.waitHint == 200u);
        CHECK(first.checkPoint >= 1u);
        CHECK(serviceControl().StartService(s.service) == err::ServiceAlreadyRunning);
        CHECK(conformance::waitUntil([&] {
            return s.status().checkPoint > first.checkPoint || s.status().currentState == svc::Running;
        }));
        REQUIRE(s.reaches(svc::Running));
        CHECK(s.status().checkPoint == 0u);
        CHECK(s.status().waitHint == 0u);
        CHECK(serviceControl().StartService(s.service) == err::ServiceAlreadyRunning);
        CHECK(serviceControl().ControlService(s.service, svc::ControlStop).error == 0u);
        CHECK(s.reaches(svc::Stopped));
    }

    TEST_CASE("a stop while the start is pending is refused with 1061" *
              wine_skips("Wine answers 1052 where Windows documents 1061 for a pending service")) {
        CONFORMANCE_SCENE(scene, {.services = {Slow}});
        OpenService s("VtcSlow");
        REQUIRE(serviceControl().StartService(s.service) == 0u);
        CHECK(serviceControl().ControlService(s.service, svc::ControlStop).error ==
              err::ServiceCannotAcceptControl);
        REQUIRE(s.reaches(svc::Running));
        CHECK(serviceControl().ControlService(s.service, svc::ControlStop).error == 0u);
        CHECK(s.reaches(svc::Stopped));
    }

    TEST_CASE("a stop goes stop pending, refusing a second stop (1061) and a start (1056), then stopped") {
        CONFORMANCE_SCENE(scene, {.services = {Slow}});
        OpenService s("VtcSlow");
        CHECK(serviceControl().ControlService(s.service, svc::ControlStop).error == err::ServiceNotActive);
        REQUIRE(serviceControl().StartService(s.service) == 0u);
        REQUIRE(s.reaches(svc::Running));
        auto stop = serviceControl().ControlService(s.service, svc::ControlStop);
        CHECK(stop.error == 0u);
        CHECK(stop.value.currentState == svc::StopPending);
        CHECK(serviceControl().ControlService(s.service, svc::ControlStop).error ==
              err::ServiceCannotAcceptControl);
        CHECK(serviceControl().StartService(s.service) == err::ServiceAlreadyRunning);
        REQUIRE(s.reaches(svc::Stopped));
        CHECK(serviceControl().ControlService(s.service, svc::ControlStop).error == err::ServiceNotActive);
    }

    TEST_CASE("a quick service is running at once and can be started again after its stop") {
        CONFORMANCE_SCENE(scene, {.services = {Quick}});
        OpenService s("VtcQuick");
        REQUIRE(serviceControl().StartService(s.service) == 0u);
        REQUIRE(s.reaches(svc::Running));
        CHECK(s.status().processId != 0u);
        CHECK(serviceControl().StartService(s.service) == err::ServiceAlreadyRunning);
        CHECK(serviceControl().ControlService(s.service, svc::ControlStop).error == 0u);
        REQUIRE(s.reaches(svc::Stopped));
        CHECK(serviceControl().StartService(s.service) == 0u);
        CHECK(s.reaches(svc::Running));
        CHECK(serviceControl().ControlService(s.service, svc::ControlStop).error == 0u);
        CHECK(s.reaches(svc::Stopped));
    }

    // Time visibly passes for a service started alongside, while the hung one's check point stays.
    TEST_CASE("a hung start stays pending and its check point stops moving") {
        CONFORMANCE_SCENE(scene, {.services = {Slow, {.name = "VtcHung", .waitHintMs = 200, .hang = true}}});
        OpenService hung("VtcHung");
        OpenService slow("VtcSlow");
        REQUIRE(serviceControl().StartService(hung.service) == 0u);
        REQUIRE(serviceControl().StartService(slow.service) == 0u);
        const ServiceStatus before = hung.status();
        CHECK(before.currentState == svc::StartPending);
        CHECK(conformance::waitUntil(
            [&] { return slow.status().checkPoint >= 3 || slow.status().currentState == svc::Running; }));
        const ServiceStatus after = hung.status();
        CHECK(after.currentState == svc::StartPending);
        CHECK(after.checkPoint == before.checkPoint);
        CHECK(slow.reaches(svc::Running));
        serviceControl().ControlService(slow.service, svc::ControlStop);
        CHECK(slow.reaches(svc::Stopped));
    }

    // On Windows through NotifyServiceStatusChange and an alertable wait.
    TEST_CASE("a start and a stop are waited for through the notification until the state is reached") {
        CONFORMANCE_SCENE(scene, {.services = {Slow}});
        OpenService s("VtcSlow");
        const StatusWait how{.timeoutMs = 30000};
        const std::uint32_t settled = svc::notifyBit(svc::Running) | svc::notifyBit(svc::Stopped);
        REQUIRE(serviceControl().StartService(s.service) == 0u);
        auto started = serviceControl().WaitServiceStatus(s.service, settled, how);
        CHECK(started.error == 0u);
        CHECK(started.value.currentState == svc::Running);
        CHECK(s.status().currentState == svc::Running);
        REQUIRE(serviceControl().ControlService(s.service, svc::ControlStop).error == 0u);
        auto stopped = serviceControl().WaitServiceStatus(s.service, svc::notifyBit(svc::Stopped), how);
        CHECK(stopped.error == 0u);
        CHECK(stopped.value.currentState == svc::Stopped);
        CHECK(s.status().currentState == svc::Stopped);
    }

    TEST_CASE("a wait ends at once in a state asked for, at its time-out, or when told to stop") {
        CONFORMANCE_SCENE(scene, {.services = {Quick}});
        OpenService s("VtcQuick");
        auto r =
            serviceControl().WaitServiceStatus(s.service, svc::notifyBit(svc::Stopped), {.timeoutMs = 30000});
        CHECK(r.error == 0u);
        CHECK(r.value.currentState == svc::Stopped);
        r = serviceControl().WaitServiceStatus(s.service, svc::notifyBit(svc::Running), {.timeoutMs = 100});
        CHECK(r.error == err::WaitTimeout);
        CHECK(r.value.currentState == svc::Stopped);
        int asked = 0;
        r = serviceControl().WaitServiceStatus(
            s.service, svc::notifyBit(svc::Running),
            {.timeoutMs = 30000, .keepWaiting = [&] { return ++asked < 3; }});
        CHECK(r.error == err::Cancelled);
        CHECK(asked == 3);
        CHECK(r.value.currentState == svc::Stopped);
        // A wait given up on does not stand in the way of the next on the same handle.
        REQUIRE(serviceControl().StartService(s.service) == 0u);
        r = serviceControl().WaitServiceStatus(s.service, svc::notifyBit(svc::Running), {.timeoutMs = 30000});
        CHECK(r.error == 0u);
        CHECK(r.value.currentState == svc::Running);
        REQUIRE(serviceControl().ControlService(s.service, svc::ControlStop).error == 0u);
        r = serviceControl().WaitServiceStatus(s.service, svc::notifyBit(svc::Stopped), {.timeoutMs = 30000});
        CHECK(r.error == 0u);
        CHECK(r.value.currentState == svc::Stopped);
    }

    // Where the notification fails the caller polls: the backend declines at once and the
    // service is left as it was.
    TEST_CASE("with the notification refused the wait declines with 120 and changes nothing") {
        CONFORMANCE_SCENE(scene, {.services = {Slow}});
        OpenService s("VtcSlow");
        forceStatusPolling(true);
        REQUIRE(serviceControl().StartService(s.service) == 0u);
        auto r =
            serviceControl().WaitServiceStatus(s.service, svc::notifyBit(svc::Running), {.timeoutMs = 30000});
        forceStatusPolling(false);
        CHECK(r.error == err::CallNotImplemented);
        CHECK(s.reaches(svc::Running));
        serviceControl().ControlService(s.service, svc::ControlStop);
        CHECK(s.reaches(svc::Stopped));
    }

    TEST_CASE("the built-in service accounts are accepted as the logon account") {
        CONFORMANCE_SCENE(scene, {.services = {Quick}});
        OpenService s("VtcQuick");
        for (const char* account :
             {"LocalSystem", "NT AUTHORITY\\LocalService", "NT AUTHORITY\\NetworkService"}) {
            CAPTURE(account);
            ServiceConfigChange change;
            change.serviceStartName = account;
            change.password = "";
            CHECK(serviceControl().ChangeServiceConfig(s.service, change) == 0u);
        }
    }

    TEST_CASE("only an existing domain user or a built-in account can become the logon account (else 1057)" *
              wine_skips("Wine has no domain and accepts any account name")) {
        CONFORMANCE_SCENE(scene, {.services = {Quick},
                                  .accounts = {{.name = "svc", .rid = 1105, .password = "good"},
                                               {.name = "off", .rid = 1107, .disabled = true},
                                               {.name = "gone", .rid = 1108, .use = "deleted"},
                                               {.name = "team", .rid = 1110, .use = "group"}}});
        OpenService s("VtcQuick");
        const std::pair<const char*, std::uint32_t> rows[] = {{"VTC\\svc", 0},
                                                              {"vtc\\SVC", 0},
                                                              {"VTC\\off", 0},
                                                              {"VTC\\team", 1057},
                                                              {"VTC\\gone", 1057},
                                                              {"VTC\\nobody", 1057},
                                                              {"ELSEWHERE\\svc", 1057},
                                                              {"svc", 1057},
                                                              {".\\Administrator", 1057},
                                                              {"", 1057}};
        for (auto [account, error] : rows) {
            CAPTURE(account);
            ServiceConfigChange change;
            change.serviceStartName = account;
            change.password = "secret";
            CHECK(serviceControl().ChangeServiceConfig(s.service, change) == error);
        }
    }

    // Whatever account the service is to log on with: only a usable one with the right on this
    // very machine starts it.
    TEST_CASE("a start checks the logon account: 1069 for any account that cannot log on as a service" *
              wine_skips("Wine starts every service as the calling user, checking no account or password")) {
        const std::vector<conformance::TestAccount> accounts = {
            {.name = "svc", .rid = 1105, .password = "good", .rights = {"SeServiceLogonRight"}},
            {.name = "norights", .rid = 1106, .password = "good"},
            {.name = "off",
             .rid = 1107,
             .password = "good",
             .disabled = true,
             .rights = {"SeServiceLogonRight"}},
            {.name = "shut",
             .rid = 1112,
             .password = "good",
             .locked = true,
             .rights = {"SeServiceLogonRight"}},
            {.name = "gone", .rid = 1108, .use = "deleted", .rights = {"SeServiceLogonRight"}},
            {.name = "bad", .rid = 1109, .use = "invalid", .rights = {"SeServiceLogonRight"}},
            {.name = "team", .rid = 1110, .use = "group", .rights = {"SeServiceLogonRight"}},
            {.name = "refused",
             .rid = 1111,
             .password = "good",
             .rights = {"SeServiceLogonRight", "SeDenyServiceLogonRight"}}};
        const std::tuple<const char*, const char*, std::uint32_t> rows[] = {
            {"VTC\\svc", "good", 0},
            {"vtc\\SVC", "good", 0},
            {"VTC\\svc", "Good", 1069},
            {"VTC\\norights", "good", 1069},
            {"VTC\\off", "good", 1069},
            {"VTC\\shut", "good", 1069},
            {"VTC\\gone", "", 1069},
            {"VTC\\bad", "", 1069},
            {"VTC\\team", "", 1069},
            {"VTC\\refused", "good", 1069},
            {"VTC\\nobody", "good", 1069},
            {"ELSEWHERE\\svc", "good", 1069},
            {"svc", "good", 1069},
            {"LocalSystem", "", 0},
            {"NT AUTHORITY\\LocalService", "", 0},
            {"NT AUTHORITY\\NetworkService", "x", 0}};
        for (auto [account, password, error] : rows) {
            CAPTURE(account);
            CAPTURE(password);
            CONFORMANCE_SCENE(scene,
                              {.services = {{.name = "VtcAcct", .account = account, .password = password}},
                               .accounts = accounts});
            OpenService s("VtcAcct");
            CHECK(serviceControl().StartService(s.service) == error);
            CHECK(s.status().currentState == (error == 0 ? svc::Running : svc::Stopped));
        }
    }

    TEST_CASE("a new password is only tried at the next start; a refused account keeps the old one" *
              wine_skips("Wine starts every service as the calling user, checking no account or password")) {
        CONFORMANCE_SCENE(
            scene,
            {.services = {{.name = "VtcAcct", .account = "VTC\\svc", .password = "good"}},
             .accounts = {
                 {.name = "svc", .rid = 1105, .password = "good", .rights = {"SeServiceLogonRight"}}}});
        OpenService s("VtcAcct");
        ServiceConfigChange change;
        change.serviceStartName = "VTC\\nobody";
        change.password = "good";
        CHECK(serviceControl().ChangeServiceConfig(s.service, change) == err::InvalidServiceAccount);
        CHECK(serviceControl().QueryServiceConfig(s.service).value.serviceStartName == "VTC\\svc");
        change.serviceStartName = "VTC\\svc";
        change.password = "wrong";
        CHECK(serviceControl().ChangeServiceConfig(s.service, change) == 0u);
        CHECK(serviceControl().StartService(s.service) == err::ServiceLogonFailed);
        change.serviceStartName.reset();
        change.password = "good";
        CHECK(serviceControl().ChangeServiceConfig(s.service, change) == 0u);
        CHECK(serviceControl().StartService(s.service) == 0u);
    }

    TEST_CASE("the configuration reads back type, start type, display name and logon account as changed") {
        CONFORMANCE_SCENE(scene, {.services = {Quick, Off}});
        OpenService s("VtcQuick");
        auto before = serviceControl().QueryServiceConfig(s.service);
        REQUIRE(before.error == 0u);
        CHECK(before.value.serviceType == svc::ServiceWin32OwnProcess);
        CHECK(before.value.startType == svc::DemandStart);
        CHECK(before.value.displayName == "Vtc Quick");
        CHECK(before.value.serviceStartName == "LocalSystem"); // made without an account
        CHECK(serviceControl().QueryServiceConfig(OpenService("VtcOff").service).value.startType ==
              svc::Disabled);
        ServiceConfigChange change;
        change.serviceStartName = "NT AUTHORITY\\LocalService";
        change.password = "";
        change.startType = svc::AutoStart;
        REQUIRE(serviceControl().ChangeServiceConfig(s.service, change) == 0u);
        auto after = serviceControl().QueryServiceConfig(s.service);
        REQUIRE(after.error == 0u);
        CHECK(after.value.startType == svc::AutoStart);
        CHECK(after.value.serviceStartName == "NT AUTHORITY\\LocalService");
        CHECK(serviceControl().QueryServiceConfig(0).error == err::InvalidHandle);
    }

    TEST_CASE("the database lock is taken and given back") {
        CONFORMANCE_SCENE(scene, {});
        auto m = serviceControl().OpenSCManager("", svc::ScManagerAllAccess);
        REQUIRE(m.ok());
        auto lock = serviceControl().LockServiceDatabase(m.value);
        CHECK(lock.error == 0u);
        CHECK(serviceControl().UnlockServiceDatabase(lock.value) == 0u);
        auto again = serviceControl().LockServiceDatabase(m.value);
        CHECK(again.error == 0u);
        CHECK(serviceControl().UnlockServiceDatabase(again.value) == 0u);
        serviceControl().CloseServiceHandle(m.value);
    }

    TEST_CASE("a second lock is refused with 1055, and a lock is given back only once" *
              wine_skips("Wine's database lock is a dummy: every lock and unlock succeeds")) {
        CONFORMANCE_SCENE(scene, {});
        auto m = serviceControl().OpenSCManager("", svc::ScManagerAllAccess);
        REQUIRE(m.ok());
        auto first = serviceControl().LockServiceDatabase(m.value);
        CHECK(first.error == 0u);
        CHECK(serviceControl().LockServiceDatabase(m.value).error == err::ServiceDatabaseLocked);
        CHECK(serviceControl().UnlockServiceDatabase(first.value) == 0u);
        CHECK(serviceControl().UnlockServiceDatabase(first.value) != 0u);
        serviceControl().CloseServiceHandle(m.value);
    }

    TEST_CASE("enumeration counts the bytes as Windows does and honours the caller's buffer") {
        CONFORMANCE_SCENE(scene, {.services = {Slow, Quick, Off}});
        auto m = serviceControl().OpenSCManager("", svc::ScManagerEnumerateService);
        REQUIRE(m.ok());
        auto probe = serviceControl().EnumServicesStatus(m.value, svc::ServiceWin32, svc::StateAll, 0);
        CHECK(probe.error == err::MoreData);
        CHECK(probe.entries.empty());

        auto all =
            serviceControl().EnumServicesStatus(m.value, svc::ServiceWin32, svc::StateAll, probe.bytesNeeded);
        CHECK(all.error == 0u);
        REQUIRE(!all.entries.empty());
        std::uint32_t total = 0;
        std::set<std::string> names;
        for (const auto& e : all.entries) {
            total += recordBytes(e.serviceName, e.displayName);
            names.insert(e.serviceName);
        }
        // 36 bytes per record plus both names with their terminators, nothing more.
        CHECK(total == probe.bytesNeeded);
        CHECK(names.count("VtcSlow") == 1);
        CHECK(names.count("VtcOff") == 1);
        auto quick = std::find_if(all.entries.begin(), all.entries.end(),
                                  [](const ServiceEntry& e) { return e.serviceName == "VtcQuick"; });
        REQUIRE(quick != all.entries.end());
        CHECK(quick->displayName == "Vtc Quick");
        CHECK(quick->status.currentState == svc::Stopped);

        // One byte short: every record but the last, and the bytes that one still needs.
        auto shortBy1 =
            serviceControl().EnumServicesStatus(m.value, svc::ServiceWin32, svc::StateAll, total - 1);
        CHECK(shortBy1.error == err::MoreData);
        REQUIRE(shortBy1.entries.size() == all.entries.size() - 1);
        const ServiceEntry& last = all.entries.back();
        CHECK(shortBy1.bytesNeeded == recordBytes(last.serviceName, last.displayName));
        serviceControl().CloseServiceHandle(m.value);
    }

    // Names travel as UTF-8 both ways, counted in those bytes.
    TEST_CASE("a new display name, beyond ASCII too, shows in the enumeration") {
        CONFORMANCE_SCENE(scene, {.services = {Quick}});
        OpenService s("VtcQuick");
        const std::string display = "Vtc Pr\xc3\xbc"
                                    "fdienst \xe2\x82\xac";
        ServiceConfigChange change;
        change.displayName = display;
        REQUIRE(serviceControl().ChangeServiceConfig(s.service, change) == 0u);
        CHECK(serviceControl().ChangeServiceConfig(s.service, ServiceConfigChange{}) ==
              0u); // no change at all
        auto all = serviceControl().EnumServicesStatus(s.manager, svc::ServiceWin32, svc::StateAll, 65536);
        REQUIRE(all.error == 0u);
        auto quick = std::find_if(all.entries.begin(), all.entries.end(),
                                  [](const ServiceEntry& e) { return e.serviceName == "VtcQuick"; });
        REQUIRE(quick != all.entries.end());
        CHECK(quick->displayName == display);
    }

    TEST_CASE("enumeration of active services lists the running ones only") {
        CONFORMANCE_SCENE(scene, {.services = {Quick, Off}});
        OpenService s("VtcQuick");
        REQUIRE(serviceControl().StartService(s.service) == 0u);
        REQUIRE(s.reaches(svc::Running));
        auto active =
            serviceControl().EnumServicesStatus(s.manager, svc::ServiceWin32, svc::StateActive, 65536);
        CHECK(active.error == 0u);
        std::set<std::string> names;
        for (const auto& e : active.entries) {
            names.insert(e.serviceName);
            CHECK(e.status.currentState != svc::Stopped);
        }
        CHECK(names.count("VtcQuick") == 1);
        CHECK(names.count("VtcOff") == 0);
        auto inactive =
            serviceControl().EnumServicesStatus(s.manager, svc::ServiceWin32, svc::StateInactive, 65536);
        for (const auto& e : inactive.entries)
            CHECK(e.status.currentState == svc::Stopped);
        CHECK(serviceControl().ControlService(s.service, svc::ControlStop).error == 0u);
        CHECK(s.reaches(svc::Stopped));
    }

    // Windows would cut each name at its NUL: "\0REMOTE1" would open this computer's manager.
    TEST_CASE("a machine, service, account or password holding a NUL is 123, never cut short") {
        using namespace std::string_literals;
        CONFORMANCE_SCENE(scene, {.services = {Quick}});
        for (const std::string& machine : {"\0REMOTE1"s, "REMOTE1\0x"s, "\0"s}) {
            CAPTURE(machine.size());
            CHECK(serviceControl().OpenSCManager(machine, svc::ScManagerAllAccess).error == err::InvalidName);
        }
        CHECK(OpenService("VtcQuick\0x"s).error == err::InvalidName);
        OpenService s("VtcQuick");
        REQUIRE(s.service != 0u);
        ServiceConfigChange account, password;
        account.serviceStartName = "LocalSystem\0VTC\\svc"s;
        password.serviceStartName = "LocalSystem";
        password.password = "pw\0rest"s;
        CHECK(serviceControl().ChangeServiceConfig(s.service, account) == err::InvalidName);
        CHECK(serviceControl().ChangeServiceConfig(s.service, password) == err::InvalidName);
    }

    TEST_CASE("no handle at all is 6") {
        CONFORMANCE_SCENE(scene, {});
        CHECK(serviceControl().QueryServiceStatusEx(0).error == err::InvalidHandle);
        CHECK(serviceControl().StartService(0) == err::InvalidHandle);
        CHECK(serviceControl().OpenService(0, "VtcQuick", svc::ServiceAllAccess).error == err::InvalidHandle);
    }

    TEST_CASE("a handle the manager never gave out is 6" *
              wine_skips("Wine's service calls crash on a handle they never gave out")) {
        CONFORMANCE_SCENE(scene, {});
        CHECK(serviceControl().QueryServiceStatusEx(0x12345).error == err::InvalidHandle);
        CHECK(serviceControl().OpenService(0x4242, "VtcQuick", svc::ServiceAllAccess).error ==
              err::InvalidHandle);
    }

    // The description a failed machine's mark shows beside the number.
    TEST_CASE("each code a service step fails with has one line of its own; a code Windows lacks has none") {
        std::set<std::string> texts;
        for (std::uint32_t code :
             {err::AccessDenied, err::BadNetPath, err::ServiceDisabled, err::ServiceDoesNotExist,
              err::ServiceLogonFailed, err::RpcServerUnavailable}) {
            const std::string text = errorDescription(code);
            CAPTURE(code);
            CHECK(!text.empty());
            CHECK(text.find_first_of("\r\n") == std::string::npos);
            texts.insert(text);
        }
        CHECK(texts.size() == 6u);
        CHECK(errorDescription(0x1FFF1234u).empty());
    }

} // TEST_SUITE
