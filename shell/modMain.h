#pragma once
// Start-up: refuse a second copy of the program, build and load the main window, put the
// version into its title, check again, and show it.
#include <QString>

#include <functional>
#include <sys/types.h>

class frmMain;

namespace vantrel {

// Whether a process other than `self`, owned by `uid`, runs an executable whose file name is
// `exeName`, judged from a /proc-style tree at `procRoot`. Processes that cannot be read are
// not counted.
bool otherInstanceRunning(const QString& procRoot, const QString& exeName, uid_t uid, pid_t self);
// The previous-instance test: another process of this user running this program's executable.
bool anotherInstanceRunning();

// "1.0.6": the program's version triple from the build.
QString versionText();

// The start-up procedure. Returns the shown main window (the caller runs the event loop and
// owns the window), or nullptr when start-up refused or failed before the window was shown.
frmMain* Main(const std::function<bool()>& anotherInstance = anotherInstanceRunning);

} // namespace vantrel
