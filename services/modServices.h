#pragma once
// Acting on one named service of one machine through its service control manager.
// Plain C++: results are a Boolean plus an error text; nothing here shows a box except
// DirectoryTestLookup.
#include "platform/Password.h"
#include "platform/Types.h"

#include <chrono>
#include <cstdint>
#include <functional>
#include <optional>
#include <string>

namespace platform {
struct ServiceStatus;
}

namespace vantrel {

// While one lives, the procedures below that this thread calls on its machine and service keep
// that machine's service manager and service open instead of opening and closing their own, and
// a state just read (after a wait) answers the next IsServiceRunning without asking again: one
// machine's update, stop and start then cost the remote calls they need and no more. The
// handles are closed when it ends.
class ServiceSession {
  public:
    ServiceSession(const std::string& machine, const std::string& service);
    ~ServiceSession();
    ServiceSession(const ServiceSession&) = delete;
    ServiceSession& operator=(const ServiceSession&) = delete;

    const std::string machine; // as machineName gives it
    const std::string service; // trimmed
    platform::Handle manager = 0;
    platform::Handle serviceHandle = 0;
    std::optional<std::uint32_t> knownState;

  private:
    ServiceSession* outer_;
};

// Machine names are taken as machineName gives them, service and account names trimmed of
// leading and trailing blanks (trimBlanks); the password is used as given (blanks are part of
// a Windows password). A machine name that is empty so is refused before any platform call:
// to the service manager the empty name means this computer, never what the caller meant.
// IsServiceRunning: whether the service is active (any state but stopped). False also when
// its state could not be read (the error text then says why, and `stateRead` receives false):
// an unreachable machine, a refusal, a service the machine does not have.
bool IsServiceRunning(const std::string& machine, const std::string& service, std::string& errorText,
                      bool* stateRead = nullptr);
// `finalState`, when given, receives the service's state once the call is done: after the wait
// when there was one, else as queried right after the request; 0 when it could not be read or
// the request failed. It does not change the result, which rests on the request alone.
// `stopRequested`, when given, may end the wait (see WaitForService); `waitStopped` then
// receives true (the service is still on its way: `finalState` says where).
bool StartStopSericeWait(bool start, const std::string& machine, const std::string& service, bool wait,
                         std::string& errorText, std::uint32_t* finalState = nullptr,
                         const std::function<bool()>& stopRequested = {}, bool* waitStopped = nullptr);
// `keptAccount`, when given, receives the account the service manager still reports after a
// change it answered with success, when that is the account from before and not the one asked
// for (letter case aside): the change was not kept. Empty otherwise.
bool ChangeServicePassword(const std::string& machine, const std::string& service, const std::string& account,
                           const platform::Password& password, std::string& errorText, bool useDirectory,
                           std::string* keptAccount = nullptr);

// The error text of a start, stop or change refused because the machine name is blank.
inline constexpr const char* BlankMachineText = "Error: the machine name is empty";

// How long WaitForService waits at most, in pause units of real time (a steady clock): two
// minutes at the default unit. A service that keeps reporting progress without ever leaving
// its pending state would otherwise hold the run (and, before this cap, the window) for ever.
inline constexpr long long WaitForServiceLimitUnits = 1200000;
inline constexpr const char* WaitLimitText = "Service is still pending after the 120-second wait limit";
// The wait's text when a stop of the run ended it.
inline constexpr const char* WaitStoppedText = "the run was stopped during the wait";
// Waits through the service manager's notification where it offers one (ending the moment the
// state changes), else by polling in pauses. `stopRequested`, when given, is asked during the
// wait; once it answers true and the service has been pending longer than its own wait hint,
// the wait ends (WaitStoppedText). `known`, when given, is the status the caller has just read
// (a stop's answer), which the wait then does not ask for again.
std::uint32_t WaitForService(platform::Handle service, std::uint32_t pendingState, std::string& errorText,
                             const std::function<bool()>& stopRequested = {},
                             const platform::ServiceStatus* known = nullptr);
// Sleeps `units` pause units (a tenth of a millisecond each unless a test changed the unit), giving
// the event loop a turn (yieldEvents) at least every 50 ms, so the window repaints and a
// close is seen during long waits. Returns false, early, once `stopRequested` answers true.
bool Pause(long long units, const std::function<bool()>& stopRequested = {});
// "running", "stop pending" ...; "unknown" for 0 and anything else.
std::string ServiceStateName(std::uint32_t state);
// Test seam: called with the unit count of every Pause before it sleeps; empty removes it.
void setPauseObserver(std::function<void(long long units)> observer);
// Test seam: the steady clock the wait limit is counted on; empty restores the real one.
void setWaitClock(std::function<std::chrono::steady_clock::time_point()> clock);
std::string TrimAtNul(const std::string& text);
void DirectoryTestLookup();

} // namespace vantrel
