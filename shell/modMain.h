#pragma once
// Start-up: refuse a second copy of the program, build and load the main window, put the
// version into its title, check again, and show it.
#include <QLockFile>
#include <QString>

#include <functional>
#ifndef _WIN32
#include <sys/types.h>
#endif

class frmMain;

namespace vantrel {

#ifndef _WIN32
// Whether a process other than `self`, owned by `uid`, runs an executable whose file name is
// `exeName`, judged from a /proc-style tree at `procRoot`. Processes that cannot be read are
// not counted.
bool otherInstanceRunning(const QString& procRoot, const QString& exeName, uid_t uid, pid_t self);
#endif
// The previous-instance test: another process of this user running this program's executable.
bool anotherInstanceRunning();

// The lock every copy of the program contends for at start-up, so that of two copies started
// at the same moment exactly one runs (each would see the other in the process list). The
// copy that takes it keeps it until it ends; the lock of a copy that died is taken over.
class InstanceLock {
  public:
    enum class Holder { ThisCopy, AnotherCopy, Unknown };
    explicit InstanceLock(const QString& path);
    // Takes the lock when it is free. Unknown when no lock file can be made there.
    Holder check();

  private:
    QLockFile lock_;
};

// Where the program's lock lives: a file of this user's runtime (or temporary) folder, named
// after the executable.
QString instanceLockPath();

// The start-up check: the lock decides; the previous-instance test answers only when no lock
// can be made.
bool anotherCopyRunning();

// "1.0.6": the program's version triple from the build.
QString versionText();

// The start-up procedure. Returns the shown main window (the caller runs the event loop and
// owns the window), or nullptr when start-up refused or failed before the window was shown.
frmMain* Main(const std::function<bool()>& anotherInstance = anotherCopyRunning);

} // namespace vantrel
