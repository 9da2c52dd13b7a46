#pragma once
// The run's one stored setting: how many machines are worked on at once. Kept per user in
// Halcyra/Vantrel.conf of the user's configuration folder, group [run], so that an
// administrator can preset it.
#include <QString>

namespace vantrel {

inline constexpr int MinMachinesAtOnce = 1;
inline constexpr int MaxMachinesAtOnce = 64;

// <configuration folder>/Halcyra/Vantrel.conf ($XDG_CONFIG_HOME, default ~/.config, on Linux).
QString settingsFilePath();

// The stored value brought into 1..64; 1 when it is missing or not a number.
int machinesAtOnce();
// Stores `count` brought into 1..64; false when the file could not be written.
bool setMachinesAtOnce(int count);

} // namespace vantrel
