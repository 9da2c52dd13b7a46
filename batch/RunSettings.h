#pragma once
// The program's stored settings. The run's: how many machines are worked on at once, key
// run/machinesAtOnce, so that an administrator can preset it; the window's size beside it. Kept
// per user: in Halcyra/Vantrel.conf of the user's configuration folder, or on Windows in the
// registry.
#include <QSettings>
#include <QString>

namespace vantrel {

inline constexpr int MinMachinesAtOnce = 1;
inline constexpr int MaxMachinesAtOnce = 64;

// <configuration folder>/Halcyra/Vantrel.conf ($XDG_CONFIG_HOME, default ~/.config, on Linux);
// on Windows the registry key HKEY_CURRENT_USER\Software\Halcyra\Vantrel.
QString settingsFilePath();
// The store itself, for the other settings of the program.
QSettings programSettings();

// The stored value brought into 1..64; 1 when it is missing or not a number.
int machinesAtOnce();
// Stores `count` brought into 1..64; false when the file could not be written.
bool setMachinesAtOnce(int count);

} // namespace vantrel
