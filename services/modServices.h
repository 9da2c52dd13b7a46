#pragma once
// Acting on one named service of one machine through its service control manager.
// Plain C++: results are a Boolean plus an error text; nothing here shows a box except
// DirectoryTestLookup.
#include "platform/Types.h"

#include <cstdint>
#include <functional>
#include <string>

namespace vantrel {

// Machine, service and account names are trimmed of leading and trailing blanks (trimBlanks)
// before use; the password is used as given (blanks are part of a Windows password). A machine name that is
// blank after trimming is refused before any platform call: to the service manager the empty name means this
// computer, never what the caller meant.
bool IsServiceRunning(const std::string& machine, const std::string& service, std::string& errorText);
// `finalState`, when given, receives the service's state once the call is done: after the wait
// when there was one, else as queried right after the request; 0 when it could not be read or
// the request failed. It does not change the result, which rests on the request alone.
bool StartStopSericeWait(bool start, const std::string& machine, const std::string& service, bool wait,
                         std::string& errorText, std::uint32_t* finalState = nullptr);
// `keptAccount`, when given, receives the account the service manager still reports after a
// change it answered with success, when that is the account from before and not the one asked
// for (letter case aside): the change was not kept. Empty otherwise.
bool ChangeServicePassword(const std::string& machine, const std::string& service, const std::string& account,
                           const std::string& password, std::string& errorText, bool useDirectory,
                           std::string* keptAccount = nullptr);

// The error text of a start, stop or change refused because the machine name is blank.
inline constexpr const char* BlankMachineText = "Error: the machine name is empty";

// The most WaitForService ever pauses in all, in pause units: two minutes at the default unit.
// A service that keeps reporting progress without ever leaving its pending state would
// otherwise hold the run (and, before this cap, the window) for ever.
inline constexpr long long WaitForServiceLimitUnits = 1200000;
inline constexpr const char* WaitLimitText = "Service is still pending after the 120-second wait limit";
std::uint32_t WaitForService(platform::Handle service, std::uint32_t pendingState, std::string& errorText);
// Sleeps `units` pause units (a tenth of a millisecond each unless a test changed the unit), giving
// the event loop a turn (yieldEvents) at least every 50 ms, so the window repaints and a
// close is seen during long waits.
void Pause(long long units);
// "running", "stop pending" ...; "unknown" for 0 and anything else.
std::string ServiceStateName(std::uint32_t state);
// Test seam: called with the unit count of every Pause before it sleeps; empty removes it.
void setPauseObserver(std::function<void(long long units)> observer);
std::string TrimAtNul(const std::string& text);
void DirectoryTestLookup();

} // namespace vantrel
