#include "shell/modMain.h"

#include "Version.h"
#include "common/Dialogs.h"
#include "shell/FormKit.h"
#include "shell/frmMain.h"

#include <QComboBox>
#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QStandardPaths>

#include <exception>
#include <memory>
#ifdef _WIN32
#include "platform/Process.h"
#else
#include <sys/stat.h>
#include <unistd.h>
#endif

namespace vantrel {

#ifdef _WIN32
namespace {

QString ownExecutableName() {
    return QFileInfo(QCoreApplication::applicationFilePath()).fileName();
}

// The temporary folder is the user's own on Windows, so the name needs no user number.
QString lockFileName() {
    return ownExecutableName() + QStringLiteral(".lock");
}

} // namespace

bool anotherInstanceRunning() {
    return platform::otherInstanceRunning();
}
#else
namespace {

// The file name of a process's executable: the target of its exe link, without the marker
// the kernel adds when the file was replaced or removed since the process started.
QString executableName(const QString& exeLink) {
    QString target = QFile::symLinkTarget(exeLink);
    if (target.isEmpty()) return {};
    const QLatin1String deleted(" (deleted)");
    if (target.endsWith(deleted)) target.chop(deleted.size());
    return QFileInfo(target).fileName();
}

// The program a process runs. A copy of this program is not dumpable (it may hold a password),
// which hides its exe link even from its own user; its first argument names it then.
QString runningName(const QString& dir) {
    const QString name = executableName(dir + QStringLiteral("/exe"));
    if (!name.isEmpty()) return name;
    QFile cmdline(dir + QStringLiteral("/cmdline"));
    if (!cmdline.open(QIODevice::ReadOnly)) return {};
    const QByteArray arguments = cmdline.readAll();
    return QFileInfo(QFile::decodeName(arguments.left(arguments.indexOf('\0')))).fileName();
}

QString ownExecutableName() {
    const QString name = executableName(QStringLiteral("/proc/self/exe"));
    return name.isEmpty() ? QFileInfo(QCoreApplication::applicationFilePath()).fileName() : name;
}

QString lockFileName() {
    return ownExecutableName() + QStringLiteral("-%1.lock").arg(::getuid());
}

} // namespace

bool otherInstanceRunning(const QString& procRoot, const QString& exeName, uid_t uid, pid_t self) {
    const QDir root(procRoot);
    const QStringList entries = root.entryList(QDir::Dirs | QDir::NoDotAndDotDot);
    for (const QString& entry : entries) {
        bool numeric = false;
        const qint64 pid = entry.toLongLong(&numeric);
        if (!numeric || pid == self) continue;
        const QString dir = root.filePath(entry);
        struct stat info {};
        if (::stat(QFile::encodeName(dir).constData(), &info) != 0 || info.st_uid != uid) continue;
        if (runningName(dir) == exeName) return true;
    }
    return false;
}

bool anotherInstanceRunning() {
    return otherInstanceRunning(QStringLiteral("/proc"), ownExecutableName(), ::getuid(), ::getpid());
}
#endif

InstanceLock::InstanceLock(const QString& path) : lock_(path) {
    // Held for the whole life of the copy: only a copy that is gone leaves a stale lock.
    lock_.setStaleLockTime(0);
}

InstanceLock::Holder InstanceLock::check() {
    if (lock_.isLocked() || lock_.tryLock(0)) return Holder::ThisCopy;
    return lock_.error() == QLockFile::LockFailedError ? Holder::AnotherCopy : Holder::Unknown;
}

QString instanceLockPath() {
    const auto where = qEnvironmentVariableIsEmpty("XDG_RUNTIME_DIR") ? QStandardPaths::TempLocation
                                                                      : QStandardPaths::RuntimeLocation;
    return QDir(QStandardPaths::writableLocation(where)).filePath(lockFileName());
}

bool anotherCopyRunning() {
    static InstanceLock lock(instanceLockPath());
    switch (lock.check()) {
    case InstanceLock::Holder::ThisCopy:
        return false;
    case InstanceLock::Holder::AnotherCopy:
        return true;
    case InstanceLock::Holder::Unknown:
        break;
    }
    return anotherInstanceRunning();
}

QString versionText() {
    return QStringLiteral("%1.%2.%3")
        .arg(VANTREL_VERSION_MAJOR)
        .arg(VANTREL_VERSION_MINOR)
        .arg(VANTREL_VERSION_PATCH);
}

frmMain* Main(const std::function<bool()>& anotherInstance) {
    std::unique_ptr<frmMain> window;
    bool shown = false;
    try {
        if (anotherInstance()) {
            dialogs().message(Icon::Exclamation, VANTREL_APP_TITLE, VANTREL_APP_TITLE " is already running");
            return nullptr;
        }

        window = std::make_unique<frmMain>();
        window->Form_Load();
        window->setWindowTitle(window->windowTitle() + QStringLiteral(" - ") + versionText());

        // Two copies started together both pass the first test; the second look catches it.
        if (anotherInstance()) {
            const QString exe = QFileInfo(QCoreApplication::applicationFilePath()).completeBaseName();
            dialogs().message(Icon::Exclamation, "Already running...",
                              exe.toStdString() + " is already Running...");
            return nullptr; // the window goes without being shown
        }

        form::centreOnScreen(window.get());
        window->searchCriteriaCombo->setFocus(Qt::OtherFocusReason);
        window->show();
        shown = true;
        window->activateWindow();
        return window.release();
    } catch (const std::exception& e) {
        showErrorBox(e.what(), "Main()");
    } catch (...) {
        showErrorBox("Unexpected fault", "Main()");
    }
    // A fault after the window was shown leaves it running; before that, the program ends.
    return shown ? window.release() : nullptr;
}

} // namespace vantrel
