#pragma once
// Starting a helper program and waiting for it without freezing the window.
#include <QString>
#include <QStringList>

#include <functional>
#include <initializer_list>

class QObject;

namespace vantrel {

enum class RunOutcome {
    Finished,      // the process ran and has ended with exit code 0 (its output is not looked at)
    FailedOnExit,  // the process ran and has ended with another exit code, or crashed
    FailedToStart, // the fault box has been shown
    Stopped,       // the wait was given up because a stop was requested; the process was ended
    NotStarted,    // an argument holds U+0000: the process would get it cut short there
};

// Starts `program` with `arguments` as a separate, hidden process: an argument list handed
// straight to the process, never a shell, so blanks and shell characters stay inside their
// argument. Input, output and error go to the null device. Returns once the process has
// ended; meanwhile the event loop runs (event driven: nothing polls).
//
// Stopping: `stopRequested`, when given, is asked before the start and whenever one of
// `closeWatch` receives a close event or has a dynamic property set. When it answers true the process is
// killed and reaped at once, so closing the window is never held up by a slow or hung helper and leaves no
// zombie behind. A killed Osprel has granted the right or not; the grant is a single call, never half done.
//
// A program that cannot be started shows a critical box "ERROR: " + reason + CR LF +
// "Could not execute --> " + the command line.
//
// `exitStatus`, when given, receives the exit code of a process that ended by itself (-1 when
// it crashed).
RunOutcome RunAndWait(const QString& program, const QStringList& arguments,
                      std::initializer_list<QObject*> closeWatch = {},
                      const std::function<bool()>& stopRequested = {}, int* exitStatus = nullptr);

// The same for a worker thread, which has no window to keep responsive: it blocks until the
// process has ended, looking at `stopRequested` a few times a second (a stop kills it).
RunOutcome RunAndWaitBlocking(const QString& program, const QStringList& arguments,
                              const std::function<bool()>& stopRequested = {}, int* exitStatus = nullptr);

// The command line as shown to a person (arguments holding blanks in double quotes).
QString displayCommandLine(const QString& program, const QStringList& arguments);

// Osprel in the program directory, and its arguments for granting the logon-as-a-service
// right to `account` on `machine`.
QString osprelProgram();
QStringList osprelArguments(const QString& machine, const QString& account);

} // namespace vantrel
