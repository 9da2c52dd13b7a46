#include "services/modServices.h"

#include "services/ServiceSurvey.h"

#include "Version.h"
#include "common/AppEnv.h"
#include "common/Dialogs.h"
#include "common/Names.h"
#include "platform/Platform.h"
#include "services/modErrorCodes.h"

#include <algorithm>
#include <chrono>
#include <cmath>
#include <exception>
#include <optional>
#include <thread>

namespace vantrel {

namespace {

using platform::Handle;
namespace svc = platform::svc;

// The account DirectoryTestLookup binds to: the demonstration network's domain controller
// and its ALBD service account.
constexpr const char* DirectoryTestHost = "DC01";
constexpr const char* DirectoryTestUser = "svc_albd";

std::function<void(long long)> pauseObserver;
std::function<std::chrono::steady_clock::time_point()> waitClock;

std::chrono::steady_clock::time_point waitNow() {
    return waitClock ? waitClock() : std::chrono::steady_clock::now();
}

// Collects the outcome of one service procedure: the first failing step and the description
// of the last unexpected fault. A fault skips only the statement that raised it; the
// procedure carries on with what it still can (closing its handles above all).
class Outcome {
  public:
    explicit Outcome(const char* procedure) : procedure_(procedure) {}

    // Runs one statement; false when it raised.
    template <class F> bool attempt(F&& statement) {
        try {
            statement();
            return true;
        } catch (const std::exception& e) {
            fault_ = e.what();
        } catch (...) {
            fault_ = "Unknown error";
        }
        faulted_ = true;
        return false;
    }

    void stepFailed(const char* step, std::uint32_t code) {
        setFailure("Error::" + ServiceErrorText(static_cast<std::int32_t>(code)) + "::" + procedure_ + ":" +
                   step);
    }
    void setFailure(std::string text) {
        if (failed_) return; // the first failing step is the one reported
        failed_ = true;
        stepText_ = std::move(text);
    }

    bool ok() const { return !failed_ && !faulted_; }
    std::string finished() const { return stepText_ + "::" + fault_; }

  private:
    const char* procedure_;
    bool failed_ = false;
    bool faulted_ = false;
    std::string stepText_;
    std::string fault_;
};

// ASCII letters only, like the service manager's own comparison of key names.
bool sameServiceName(const std::string& a, const std::string& b) {
    return std::equal(a.begin(), a.end(), b.begin(), b.end(), [](char x, char y) {
        const auto lower = [](char c) { return c >= 'A' && c <= 'Z' ? char(c - 'A' + 'a') : c; };
        return lower(x) == lower(y);
    });
}

thread_local ServiceSession* session = nullptr;

// The session of this thread when it is for this machine (and service, when one is named).
ServiceSession* sessionFor(const std::string& machine, const std::string* service = nullptr) {
    if (!session || session->machine != machine) return nullptr;
    if (service && !sameServiceName(session->service, *service)) return nullptr;
    return session;
}

void closeHandle(Outcome& out, Handle& h) {
    if (!h) return;
    // The session's handles stay open until the session ends.
    if (!session || (h != session->manager && h != session->serviceHandle))
        out.attempt([&] { platform::serviceControl().CloseServiceHandle(h); });
    h = 0;
}

// The machine's service control manager with full access; 0 when it could not be opened.
Handle openManager(Outcome& out, const std::string& machine) {
    ServiceSession* kept = sessionFor(machine);
    if (kept && kept->manager) return kept->manager;
    Handle manager = 0;
    out.attempt([&] {
        auto r = platform::serviceControl().OpenSCManager(machine, svc::ScManagerAllAccess);
        if (r.ok())
            manager = r.value;
        else
            out.stepFailed("OpenSCManager", r.error);
    });
    if (kept) kept->manager = manager;
    return manager;
}

// The service with full access; 0 when it could not be opened.
Handle openService(Outcome& out, Handle manager, const std::string& service) {
    ServiceSession* kept =
        session && session->manager == manager && sameServiceName(session->service, service) ? session
                                                                                             : nullptr;
    if (kept && kept->serviceHandle) return kept->serviceHandle;
    Handle serviceHandle = 0;
    out.attempt([&] {
        auto r = platform::serviceControl().OpenService(manager, service, svc::ServiceAllAccess);
        if (r.ok())
            serviceHandle = r.value;
        else
            out.stepFailed("OpenService", r.error);
    });
    if (kept) kept->serviceHandle = serviceHandle;
    return serviceHandle;
}

// The state the session's last call read, once: whoever asks next has it without a call.
std::optional<std::uint32_t> takeKnownState(ServiceSession* s) {
    if (!s) return std::nullopt;
    const auto state = s->knownState;
    s->knownState.reset();
    return state;
}

} // namespace

ServiceSession::ServiceSession(const std::string& machineTyped, const std::string& serviceTyped)
    : machine(machineName(machineTyped)), service(trimBlanks(serviceTyped)), outer_(session) {
    session = this;
}

ServiceSession::~ServiceSession() {
    session = outer_;
    for (Handle h : {serviceHandle, manager}) {
        if (!h) continue;
        try {
            platform::serviceControl().CloseServiceHandle(h);
        } catch (...) {
            // The handle goes with the broken layer.
        }
    }
}

void setPauseObserver(std::function<void(long long units)> observer) {
    pauseObserver = std::move(observer);
}

void setWaitClock(std::function<std::chrono::steady_clock::time_point()> clock) {
    waitClock = std::move(clock);
}

bool Pause(long long units, const std::function<bool()>& stopRequested) {
    if (stopRequested && stopRequested()) return false;
    if (pauseObserver) pauseObserver(units);
    if (units <= 0) return true;
    // Slept in slices with a turn of the event loop after each: a pause lasts up to ten
    // seconds, far too long for a window that cannot repaint or a stop that must be seen.
    constexpr long long SliceMicroseconds = 50000;
    for (long long left = units * pauseUnitMicroseconds(); left > 0; left -= SliceMicroseconds) {
        std::this_thread::sleep_for(std::chrono::microseconds(std::min(left, SliceMicroseconds)));
        yieldEvents();
        if (stopRequested && stopRequested()) return false;
    }
    return true;
}

std::string ServiceStateName(std::uint32_t state) {
    switch (state) {
    case svc::Stopped:
        return "stopped";
    case svc::StartPending:
        return "start pending";
    case svc::StopPending:
        return "stop pending";
    case svc::Running:
        return "running";
    case 5:
        return "continue pending";
    case 6:
        return "pause pending";
    case 7:
        return "paused";
    default:
        return "unknown";
    }
}

std::string TrimAtNul(const std::string& text) {
    const auto nul = text.find('\0');
    return nul == std::string::npos ? text : text.substr(0, nul);
}

std::uint32_t WaitForService(Handle service, std::uint32_t pendingState, std::string& errorText,
                             const std::function<bool()>& stopRequested,
                             const platform::ServiceStatus* known) {
    Outcome out("WaitForService");
    platform::ServiceStatus status;
    bool haveStatus = false;
    if (known) {
        status = *known;
        haveStatus = true;
    }

    auto query = [&] {
        bool read = false;
        out.attempt([&] {
            auto r = platform::serviceControl().QueryServiceStatusEx(service);
            if (!r.ok()) {
                out.stepFailed("QueryService", r.error);
                return;
            }
            status = r.value;
            haveStatus = read = true;
        });
        return read;
    };

    using Clock = std::chrono::steady_clock;
    using std::chrono::milliseconds;
    // The limit counts real time, the remote calls' included, not only the pauses.
    // A unit of 0 (tests: pauses without sleeping) keeps the shortest limit, one microsecond a unit.
    const long long unit = std::max<long long>(pauseUnitMicroseconds(), 1);
    const auto started = waitNow();
    const std::chrono::microseconds limit(WaitForServiceLimitUnits * unit);
    // A stop is taken once the service has overrun its own estimate: one still within it
    // finishes, so a stop between an update's stop and restart does not leave it stopped; one
    // that hangs or crawls is let go at once.
    const auto overdue = [&] {
        return haveStatus && waitNow() - started > milliseconds(status.waitHint) && stopRequested();
    };

    // Through the notification: each wait lasts until the state changes, or until the check
    // point should have grown again (a status read then tells progress from a stall). Without a
    // status to start from, the first wait lasts the shortest pause.
    bool polling = false;
    {
        auto lastProgress = Clock::now();
        auto lastCheckPoint = status.checkPoint;
        const std::uint32_t settled = svc::NotifyEveryState & ~svc::notifyBit(pendingState);
        for (bool firstWait = true; !haveStatus || status.currentState == pendingState; firstWait = false) {
            // The first wait starts with the limit whole.
            const auto waited =
                firstWait ? std::chrono::microseconds(0)
                          : std::chrono::duration_cast<std::chrono::microseconds>(waitNow() - started);
            if (waited >= limit) {
                out.setFailure(WaitLimitText);
                break;
            }
            const auto now = Clock::now();
            auto until = haveStatus ? lastProgress + milliseconds(status.waitHint) + milliseconds(1)
                                    : now + std::chrono::microseconds(1000 * unit);
            until = std::min<Clock::time_point>(until, now + (limit - waited));
            platform::StatusWait how;
            how.timeoutMs = static_cast<std::uint32_t>(
                std::chrono::ceil<milliseconds>(std::max(until - now, Clock::duration::zero())).count());
            how.keepWaiting = [&] {
                yieldEvents();
                return !(stopRequested && overdue());
            };
            platform::Result<platform::ServiceStatus> r;
            if (!out.attempt(
                    [&] { r = platform::serviceControl().WaitServiceStatus(service, settled, how); }))
                break;
            if (r.error == platform::err::Cancelled) {
                if (r.value.currentState) status = r.value;
                out.setFailure(WaitStoppedText);
                break;
            }
            if (r.error != platform::err::Success && r.error != platform::err::WaitTimeout) {
                polling = true;
                break;
            }
            const bool first = !haveStatus;
            status = r.value;
            haveStatus = true;
            if (r.error == platform::err::Success) break;
            if (first || status.checkPoint > lastCheckPoint) {
                lastProgress = Clock::now();
                lastCheckPoint = status.checkPoint;
            } else if (Clock::now() - lastProgress > milliseconds(status.waitHint)) {
                out.setFailure("Service is not responding");
                break;
            }
        }
    }

    // Where the manager offers no notification: a query, then another after each pause.
    if (polling && (haveStatus || query())) {
        auto lastProgress = Clock::now();
        auto lastCheckPoint = status.checkPoint;
        while (status.currentState == pendingState) {
            const auto waited = std::chrono::duration_cast<std::chrono::microseconds>(waitNow() - started);
            if (waited >= limit) {
                out.setFailure(WaitLimitText);
                break;
            }
            // A tenth of the service's own estimate, but never hammer it nor doze for minutes.
            const long long waitTime =
                std::min(std::clamp<long long>(std::llround(status.waitHint / 10.0), 1000, 10000),
                         (limit - waited).count() / unit + 1);
            if (!Pause(waitTime, stopRequested ? std::function<bool()>(overdue) : std::function<bool()>())) {
                out.setFailure(WaitStoppedText);
                break;
            }
            if (!query()) break;
            if (status.checkPoint > lastCheckPoint) {
                lastProgress = Clock::now();
                lastCheckPoint = status.checkPoint;
            } else if (std::chrono::duration_cast<milliseconds>(Clock::now() - lastProgress).count() >
                       static_cast<long long>(status.waitHint)) {
                out.setFailure("Service is not responding");
                break;
            }
        }
    }

    errorText = out.ok() ? "No Error:3" : out.finished();
    return haveStatus ? status.currentState : 0;
}

bool StartStopSericeWait(bool start, const std::string& machine, const std::string& service, bool wait,
                         std::string& errorText, std::uint32_t* finalState,
                         const std::function<bool()>& stopRequested, bool* waitStopped) {
    if (finalState) *finalState = 0;
    if (waitStopped) *waitStopped = false;
    const std::string name = machineName(machine);
    if (name.empty()) {
        errorText = BlankMachineText;
        return false;
    }
    Outcome out("StartStopSericeWait");
    const std::string serviceName = trimBlanks(service);
    Handle manager = openManager(out, name);
    Handle serviceHandle = manager ? openService(out, manager, serviceName) : 0;
    if (serviceHandle) {
        // Only the request decides the outcome; the wait merely holds the return until the
        // service has settled, stalled or stopped answering.
        bool requested = false;
        std::uint32_t state = 0;
        ServiceSession* kept = sessionFor(name, &serviceName);
        takeKnownState(kept);
        out.attempt([&] {
            auto& scm = platform::serviceControl();
            std::optional<platform::ServiceStatus> answer; // a stop's answer holds the status
            if (start) {
                if (auto e = scm.StartService(serviceHandle)) return out.stepFailed("StartService", e);
            } else {
                auto r = scm.ControlService(serviceHandle, svc::ControlStop);
                if (!r.ok()) return out.stepFailed("ControlService", r.error);
                answer = r.value;
            }
            requested = true;
            std::string waitText;
            if (wait) {
                state = WaitForService(serviceHandle, start ? svc::StartPending : svc::StopPending, waitText,
                                       stopRequested, answer ? &*answer : nullptr);
                if (waitStopped) *waitStopped = waitText.rfind(WaitStoppedText, 0) == 0;
                if (kept && state) kept->knownState = state;
            }
        });
        if (finalState && requested) {
            // A failed query only leaves the state unknown; it is no failure of the request.
            if (!wait) {
                try {
                    auto r = platform::serviceControl().QueryServiceStatusEx(serviceHandle);
                    if (r.ok()) state = r.value.currentState;
                } catch (...) {
                }
            }
            *finalState = state;
        }
    }
    closeHandle(out, serviceHandle);
    closeHandle(out, manager);

    errorText = out.ok() ? "No Error:4" : out.finished();
    return out.ok();
}

bool ChangeServicePassword(const std::string& machine, const std::string& service, const std::string& account,
                           const platform::Password& password, std::string& errorText, bool useDirectory,
                           std::string* keptAccount) {
    if (keptAccount) keptAccount->clear();
    const std::string name = machineName(machine);
    if (name.empty()) {
        errorText = BlankMachineText;
        return false;
    }
    if (useDirectory) {
        DirectoryTestLookup();
        return false;
    }

    Outcome out("ChangeServicePassword");
    const std::string serviceName = trimBlanks(service);
    Handle manager = openManager(out, name);
    Handle lock = 0;
    if (manager) {
        out.attempt([&] {
            auto r = platform::serviceControl().LockServiceDatabase(manager);
            if (r.ok())
                lock = r.value;
            else
                out.stepFailed("LockServiceDB", r.error);
        });
    }
    Handle serviceHandle = lock ? openService(out, manager, serviceName) : 0;
    if (serviceHandle) {
        out.attempt([&] {
            auto& scm = platform::serviceControl();
            // Read before and after on the handle already open: a manager that answers the
            // change but keeps none of it would otherwise pass for a success.
            const auto before = keptAccount ? scm.QueryServiceConfig(serviceHandle)
                                            : platform::Result<platform::ServiceConfig>{};
            platform::ServiceConfigChange change;
            change.serviceStartName = trimBlanks(account);
            // As typed: blanks at either end are part of a Windows password. The clear copies
            // live for this one call.
            struct WipeLater {
                std::optional<std::string>& text;
                ~WipeLater() {
                    if (text) platform::wipe(*text);
                }
            } wipeLater{change.password};
            change.password = password.reveal().text();
            if (auto e = scm.ChangeServiceConfig(serviceHandle, change)) {
                out.stepFailed("ChangeServiceConfig", e);
                return;
            }
            if (!keptAccount || !before.ok()) return;
            const auto after = scm.QueryServiceConfig(serviceHandle);
            const std::string& reported = after.value.serviceStartName;
            if (after.ok() && !SameAccount(reported, *change.serviceStartName) &&
                SameAccount(reported, before.value.serviceStartName))
                *keptAccount = reported;
        });
    }

    // Never leave the machine's service database locked, whatever failed above.
    closeHandle(out, serviceHandle);
    if (lock) {
        out.attempt([&] { platform::serviceControl().UnlockServiceDatabase(lock); });
        lock = 0;
    }
    closeHandle(out, manager);

    errorText = out.ok() ? "No Error:6" : out.finished();
    return out.ok();
}

bool IsServiceRunning(const std::string& machineTyped, const std::string& serviceTyped,
                      std::string& errorText, bool* stateRead) {
    if (stateRead) *stateRead = false;
    const std::string machine = machineName(machineTyped);
    const std::string service = trimBlanks(serviceTyped);
    if (machine.empty() || machine.find('<') != std::string::npos) {
        errorText = "Error: Invalid hostname";
        return false;
    }

    // A session has the state just read, or the service open to ask it directly; should that
    // fail, the enumeration below says why.
    if (ServiceSession* kept = sessionFor(machine, &service)) {
        std::optional<std::uint32_t> state = takeKnownState(kept);
        if (!state && kept->serviceHandle) {
            try {
                auto r = platform::serviceControl().QueryServiceStatusEx(kept->serviceHandle);
                if (r.ok()) state = r.value.currentState;
            } catch (...) {
            }
        }
        if (state) {
            if (stateRead) *stateRead = true;
            return *state != svc::Stopped;
        }
    }

    Handle manager = 0;
    std::string fault;
    std::string step; // the failed call's text, as the other procedures give it
    const auto stepFailed = [&](const char* name, std::uint32_t code) {
        step = "Error::" + ServiceErrorText(static_cast<std::int32_t>(code)) + "::IsServiceRunning:" + name;
    };
    try {
        auto& scm = platform::serviceControl();
        auto opened = scm.OpenSCManager(machine, svc::ScManagerEnumerateService);
        if (!opened.ok()) stepFailed("OpenSCManager", opened.error);
        if (opened.ok()) {
            manager = opened.value;
            // Size probe over every Win32 service, then one buffer with a record to spare. All of
            // them, not only the active ones: a service missing from the machine is a failure,
            // never "not running".
            auto probe = scm.EnumServicesStatus(manager, svc::ServiceWin32, svc::StateAll, 0);
            auto all = probe;
            if (probe.error == platform::err::MoreData) {
                const auto entries = std::llround(probe.bytesNeeded / double(svc::EnumRecordSize) + 1);
                const auto bufferBytes = static_cast<std::uint32_t>(entries * svc::EnumRecordSize);
                all = scm.EnumServicesStatus(manager, svc::ServiceWin32, svc::StateAll, bufferBytes);
            }
            if (all.error != platform::err::Success) {
                stepFailed("EnumServicesStatus", all.error);
            } else {
                // The key name itself: a name that is merely part of another service's name
                // or display name is a different service. Letter case does not count, as the
                // service manager itself ignores it.
                const auto found =
                    std::find_if(all.entries.begin(), all.entries.end(), [&](const auto& entry) {
                        return sameServiceName(TrimAtNul(entry.serviceName), service);
                    });
                const Handle done = manager;
                manager = 0;
                scm.CloseServiceHandle(done);
                if (found == all.entries.end()) {
                    errorText = "Error::" + ServiceErrorText(platform::err::ServiceDoesNotExist) +
                                "::IsServiceRunning:EnumServicesStatus::";
                    return false;
                }
                if (stateRead) *stateRead = true;
                return found->status.currentState != svc::Stopped;
            }
        }
    } catch (const std::exception& e) {
        fault = e.what();
    } catch (...) {
        fault = "Unknown error";
    }

    if (manager) {
        try {
            platform::serviceControl().CloseServiceHandle(manager);
        } catch (...) {
            // The handle is gone with the broken layer; the failure is reported below.
        }
    }
    errorText = step + "::" + fault;
    return false;
}

void DirectoryTestLookup() {
    const std::string path = std::string("LDAP://") + DirectoryTestHost + "/" + DirectoryTestUser + ",user";
    std::string fault;
    try {
        auto user = platform::directory().BindUser(path);
        if (user.ok) {
            dialogs().message(Icon::None, VANTREL_APP_TITLE,
                              "Desc =  " + user.description + "\r\nFullName = " + user.fullName);
            return;
        }
        fault = user.errorDescription;
    } catch (const std::exception& e) {
        fault = e.what();
    } catch (...) {
        fault = "Unknown error";
    }
    dialogs().message(Icon::Critical, "Error...", "Error::" + fault + "\r\n");
}

} // namespace vantrel
