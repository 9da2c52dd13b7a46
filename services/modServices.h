#pragma once
// Acting on one named service of one machine through its service control manager.
// Plain C++: results are a Boolean plus an error text; nothing here shows a box except
// DirectoryTestLookup.
#include "platform/Types.h"

#include <cstdint>
#include <functional>
#include <string>

namespace vantrel {

bool IsServiceRunning(const std::string& machine, const std::string& service, std::string& errorText);
bool StartStopSericeWait(bool start, const std::string& machine, const std::string& service, bool wait,
                         std::string& errorText);
bool ChangeServicePassword(const std::string& machine, const std::string& service, const std::string& account,
                           const std::string& password, std::string& errorText, bool useDirectory);
std::uint32_t WaitForService(platform::Handle service, std::uint32_t pendingState, std::string& errorText);
// Sleeps `units` pause units (one millisecond each unless a test shortened the unit).
void Pause(long long units);
// Test seam: called with the unit count of every Pause before it sleeps; empty removes it.
void setPauseObserver(std::function<void(long long units)> observer);
std::string TrimAtNul(const std::string& text);
void DirectoryTestLookup();

} // namespace vantrel
