#include "batch/RunAndWait.h"

#include "common/AppEnv.h"
#include "common/Dialogs.h"

#include "Version.h"

#include <QEvent>
#include <QEventLoop>
#include <QProcess>
#include <QTimer>

#include <algorithm>

#ifdef Q_OS_WIN
#include <windows.h>
#endif

namespace vantrel {

namespace {

// Wakes the wait when the watched window is asked to close, or sets a property (a Stop button
// marks its window so). The check runs just after the event has been handled, once the window
// has recorded the request.
class CloseWatcher : public QObject {
  public:
    CloseWatcher(QEventLoop& loop, const std::function<bool()>& stopRequested, bool& stopped)
        : loop_(loop), stopRequested_(stopRequested), stopped_(stopped) {}

  protected:
    bool eventFilter(QObject*, QEvent* event) override {
        if (event->type() == QEvent::Close || event->type() == QEvent::DynamicPropertyChange) {
            QTimer::singleShot(0, this, [this] {
                if (stopRequested_ && stopRequested_()) {
                    stopped_ = true;
                    loop_.quit();
                }
            });
        }
        return false;
    }

  private:
    QEventLoop& loop_;
    const std::function<bool()>& stopRequested_;
    bool& stopped_;
};

void prepare(QProcess& process, const QString& program, const QStringList& arguments) {
    process.setProgram(program);
    process.setArguments(arguments);
    process.setStandardInputFile(QProcess::nullDevice());
    process.setStandardOutputFile(QProcess::nullDevice());
    process.setStandardErrorFile(QProcess::nullDevice());
#ifdef Q_OS_WIN
    // Osprel is a console program: without this a console window would flash up per machine.
    process.setCreateProcessArgumentsModifier(
        [](QProcess::CreateProcessArguments* args) { args->flags |= CREATE_NO_WINDOW; });
#endif
}

RunOutcome howItEnded(const QProcess& process, int* exitStatus) {
    const bool normal = process.exitStatus() == QProcess::NormalExit;
    if (exitStatus) *exitStatus = normal ? process.exitCode() : -1;
    return normal && process.exitCode() == 0 ? RunOutcome::Finished : RunOutcome::FailedOnExit;
}

void showStartFailure(const QString& reason, const QString& program, const QStringList& arguments) {
    dialogs().message(Icon::Critical, VANTREL_APP_TITLE,
                      "ERROR: " + reason.toStdString() + "\r\n" + "Could not execute --> " +
                          displayCommandLine(program, arguments).toStdString());
}

// A program gets each argument cut at its first NUL: Osprel's \\ + NUL + WS001 would be
// \\ alone, its own computer.
bool holdsNul(const QStringList& arguments) {
    return std::any_of(arguments.begin(), arguments.end(),
                       [](const QString& a) { return a.contains(QChar(u'\0')); });
}

} // namespace

QString displayCommandLine(const QString& program, const QStringList& arguments) {
    auto shown = [](const QString& s) {
        return s.isEmpty() || s.contains(QLatin1Char(' ')) ? QLatin1Char('"') + s + QLatin1Char('"') : s;
    };
    QString line = shown(program);
    for (const QString& a : arguments)
        line += QLatin1Char(' ') + shown(a);
    return line;
}

RunOutcome RunAndWait(const QString& program, const QStringList& arguments,
                      std::initializer_list<QObject*> closeWatch, const std::function<bool()>& stopRequested,
                      int* exitStatus) {
    if (stopRequested && stopRequested()) return RunOutcome::Stopped;
    if (holdsNul(arguments)) return RunOutcome::NotStarted;

    QProcess process;
    prepare(process, program, arguments);

    QEventLoop loop;
    bool ended = false;
    bool failedToStart = false;
    bool stopped = false;
    QString reason;
    QObject::connect(&process, &QProcess::finished, &loop, [&] {
        ended = true;
        loop.quit();
    });
    QObject::connect(&process, &QProcess::errorOccurred, &loop, [&](QProcess::ProcessError error) {
        // A crash is followed by finished(); only a failed start ends the wait here.
        if (error != QProcess::FailedToStart) return;
        failedToStart = true;
        reason = process.errorString();
        loop.quit();
    });
    CloseWatcher watcher(loop, stopRequested, stopped);
    for (QObject* watched : closeWatch)
        if (watched) watched->installEventFilter(&watcher);

    process.start();
    // A failed start may be reported from inside start(); quit() before exec() would be lost.
    if (!failedToStart && !ended) loop.exec();

    for (QObject* watched : closeWatch)
        if (watched) watched->removeEventFilter(&watcher);

    if (failedToStart) {
        showStartFailure(reason, program, arguments);
        return RunOutcome::FailedToStart;
    }
    if (process.state() != QProcess::NotRunning) {
        // Left the wait early: a stop was requested, or the application is quitting and took
        // every event loop down with it. Either way the helper must not outlive us unreaped.
        process.kill();
        process.waitForFinished(-1);
        return RunOutcome::Stopped;
    }
    if (stopped && !ended) return RunOutcome::Stopped;
    return howItEnded(process, exitStatus);
}

RunOutcome RunAndWaitBlocking(const QString& program, const QStringList& arguments,
                              const std::function<bool()>& stopRequested, int* exitStatus) {
    if (stopRequested && stopRequested()) return RunOutcome::Stopped;
    if (holdsNul(arguments)) return RunOutcome::NotStarted;
    QProcess process;
    prepare(process, program, arguments);
    process.start();
    if (!process.waitForStarted(-1)) {
        showStartFailure(process.errorString(), program, arguments);
        return RunOutcome::FailedToStart;
    }
    // Slices of a blocking wait, not a poll: the thread sleeps until the process ends or the
    // slice is over, and a close of the window is seen within one slice.
    constexpr int SliceMs = 100;
    while (!process.waitForFinished(SliceMs)) {
        if (process.state() == QProcess::NotRunning) break;
        if (stopRequested && stopRequested()) {
            process.kill();
            process.waitForFinished(-1);
            return RunOutcome::Stopped;
        }
    }
    return howItEnded(process, exitStatus);
}

QString osprelProgram() {
    return QString::fromStdString(programDirectory()) + QStringLiteral("/Osprel");
}

QStringList osprelArguments(const QString& machine, const QString& account) {
    return {QStringLiteral("\\\\") + machine, QStringLiteral("-u"), account, QStringLiteral("-p"),
            QStringLiteral("SeServiceLogonRight")};
}

} // namespace vantrel
