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

void closeHandle(Outcome& out, Handle& h) {
    if (!h) return;
    out.attempt([&] { platform::serviceControl().CloseServiceHandle(h); });
    h = 0;
}

// The machine's service control manager with full access; 0 when it could not be opened.
Handle openManager(Outcome& out, const std::string& machine) {
    Handle manager = 0;
    out.attempt([&] {
        auto r = platform::serviceControl().OpenSCManager(machine, svc::ScManagerAllAccess);
        if (r.ok())
            manager = r.value;
        else
            out.stepFailed("OpenSCManager", r.error);
    });
    return manager;
}

// The service with full access; 0 when it could not be opened.
Handle openService(Outcome& out, Handle manager, const std::string& service) {
    Handle serviceHandle = 0;
    out.attempt([&] {
        auto r = platform::serviceControl().OpenService(manager, service, svc::ServiceAllAccess);
        if (r.ok())
            serviceHandle = r.value;
        else
            out.stepFailed("OpenService", r.error);
    });
    return serviceHandle;
}

// ASCII letters only, like the service manager's own comparison of key names.
bool sameServiceName(const std::string& a, const std::string& b) {
    return std::equal(a.begin(), a.end(), b.begin(), b.end(), [](char x, char y) {
        const auto lower = [](char c) { return c >= 'A' && c <= 'Z' ? char(c - 'A' + 'a') : c; };
        return lower(x) == lower(y);
    });
}

} // namespace

void setPauseObserver(std::function<void(long long units)> observer) {
    pauseObserver = std::move(observer);
}

void Pause(long long units) {
    if (pauseObserver) pauseObserver(units);
    if (units <= 0) return;
    // Slept in slices with a turn of the event loop after each: a pause lasts up to ten
    // seconds, far too long for a window that cannot repaint.
    constexpr long long SliceMicroseconds = 50000;
    for (long long left = units * pauseUnitMicroseconds(); left > 0; left -= SliceMicroseconds) {
        std::this_thread::sleep_for(std::chrono::microseconds(std::min(left, SliceMicroseconds)));
        yieldEvents();
    }
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

std::uint32_t WaitForService(Handle service, std::uint32_t pendingState, std::string& errorText) {
    Outcome out("WaitForService");
    platform::ServiceStatus status;
    bool haveStatus = false;

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

    if (query()) {
        using Clock = std::chrono::steady_clock;
        auto lastProgress = Clock::now();
        auto lastCheckPoint = status.checkPoint;
        long long waited = 0; // pause units, against the overall cap
        while (status.currentState == pendingState) {
            if (waited >= WaitForServiceLimitUnits) {
                out.setFailure(WaitLimitText);
                break;
            }
            // A tenth of the service's own estimate, but never hammer it nor doze for minutes.
            const long long waitTime =
                std::min(std::clamp<long long>(std::llround(status.waitHint / 10.0), 1000, 10000),
                         WaitForServiceLimitUnits - waited);
            Pause(waitTime);
            waited += waitTime;
            if (!query()) break;
            if (status.checkPoint > lastCheckPoint) {
                lastProgress = Clock::now();
                lastCheckPoint = status.checkPoint;
            } else if (std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - lastProgress)
                           .count() > static_cast<long long>(status.waitHint)) {
                out.setFailure("Service is not responding");
                break;
            }
        }
    }

    errorText = out.ok() ? "No Error:3" : out.finished();
    return haveStatus ? status.currentState : 0;
}

bool StartStopSericeWait(bool start, const std::string& machine, const std::string& service, bool wait,
                         std::string& errorText, std::uint32_t* finalState) {
    if (finalState) *finalState = 0;
    const std::string machineName = trimBlanks(machine);
    if (machineName.empty()) {
        errorText = BlankMachineText;
        return false;
    }
    Outcome out("StartStopSericeWait");
    const std::string serviceName = trimBlanks(service);
    Handle manager = openManager(out, machineName);
    Handle serviceHandle = manager ? openService(out, manager, serviceName) : 0;
    if (serviceHandle) {
        // Only the request decides the outcome; the wait merely holds the return until the
        // service has settled, stalled or stopped answering.
        bool requested = false;
        std::uint32_t state = 0;
        out.attempt([&] {
            auto& scm = platform::serviceControl();
            if (start) {
                if (auto e = scm.StartService(serviceHandle)) return out.stepFailed("StartService", e);
            } else {
                auto r = scm.ControlService(serviceHandle, svc::ControlStop);
                if (!r.ok()) return out.stepFailed("ControlService", r.error);
            }
            requested = true;
            std::string waitText;
            if (wait)
                state = WaitForService(serviceHandle, start ? svc::StartPending : svc::StopPending, waitText);
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
                           const std::string& password, std::string& errorText, bool useDirectory,
                           std::string* keptAccount) {
    if (keptAccount) keptAccount->clear();
    const std::string machineName = trimBlanks(machine);
    if (machineName.empty()) {
        errorText = BlankMachineText;
        return false;
    }
    if (useDirectory) {
        DirectoryTestLookup();
        return false;
    }

    Outcome out("ChangeServicePassword");
    const std::string serviceName = trimBlanks(service);
    Handle manager = openManager(out, machineName);
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
            // As typed: blanks at either end are part of a Windows password.
            change.password = password;
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
                      std::string& errorText) {
    const std::string machine = trimBlanks(machineTyped);
    const std::string service = trimBlanks(serviceTyped);
    if (machine.empty() || machine.find('<') != std::string::npos) {
        errorText = "Error: Invalid hostname";
        return false;
    }

    Handle manager = 0;
    std::string fault;
    try {
        auto& scm = platform::serviceControl();
        auto opened = scm.OpenSCManager(machine, svc::ScManagerEnumerateService);
        if (opened.ok()) {
            manager = opened.value;
            // Size probe over every Win32 service, then one buffer with a record to spare
            // for the active ones.
            auto probe = scm.EnumServicesStatus(manager, svc::ServiceWin32, svc::StateAll, 0);
            if (probe.error == platform::err::MoreData) {
                const auto entries = std::llround(probe.bytesNeeded / double(svc::EnumRecordSize) + 1);
                const auto bufferBytes = static_cast<std::uint32_t>(entries * svc::EnumRecordSize);
                auto active =
                    scm.EnumServicesStatus(manager, svc::ServiceWin32, svc::StateActive, bufferBytes);
                if (active.error == platform::err::Success) {
                    // The key name itself: a name that is merely part of another service's
                    // name or display name is a different service. Letter case does not count,
                    // as the service manager itself ignores it.
                    const bool running =
                        std::any_of(active.entries.begin(), active.entries.end(), [&](const auto& entry) {
                            return sameServiceName(TrimAtNul(entry.serviceName), service);
                        });
                    const Handle done = manager;
                    manager = 0;
                    scm.CloseServiceHandle(done);
                    return running;
                }
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
    errorText = "::" + fault;
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
