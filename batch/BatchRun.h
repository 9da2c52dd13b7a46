#pragma once
// The batch run over the ticked machines of the client list: update the service's logon
// account (with stop, restart and the logon-as-a-service right), start or stop it, or survey
// it (read what it is now, changing nothing).
// The window hands itself in through BatchHost, which is asked afresh at every step, so
// whatever the user changes during the run is seen at the next machine and nothing stale is
// ever held. The host is only ever called on the window's thread: with several machines at
// once, machine work runs on worker threads and its calls are handed over to that thread.
#include "batch/RunAndWait.h"
#include "batch/RunLog.h"
#include "platform/Password.h"

#include <string>
#include <vector>

namespace vantrel {

// How the start of Osprel for one machine ended.
struct OsprelEnd {
    RunOutcome outcome = RunOutcome::Finished;
    int exitStatus = 0; // when it ended by itself; -1 when it ended abnormally
};

// Where the results file of an update goes.
struct ResultsTarget {
    std::string directory;
    std::string name;
    bool exact = false; // true: this name or none (an existing file is refused); false: numbered when taken
};

// The run's questions to a person; each is worded in the text that goes with it.
enum class RunQuestion {
    UncheckedPassword, // the domain controller cannot be reached to check the password
    AfterLogonFailure, // the service did not start with the new account: go on with the others?
};

// How a ticked entry's turn ended, for the front end's list.
struct MachineEnd {
    enum class How { Done, Failed, NotTried };
    int index = -1; // the entry's place when the run took it; the list may have changed since
    std::string machine;
    How how = How::Done;
    std::string reason; // Failed: the failing step and why; NotTried: why not
    // A survey: the account the service was read to log on as, when that is not the account
    // the run was given (letter case aside); empty otherwise.
    std::string otherAccount;
};

struct BatchInputs {
    std::string action; // "update", "start", "stop" or "survey"
    std::string service;
    std::string account;
    // Held by the host until the run has ended; none for "start" and "stop".
    const platform::Password* password = nullptr;
};

class BatchHost {
  public:
    virtual ~BatchHost() = default;

    virtual BatchInputs inputs() = 0;
    virtual bool waitForService() = 0;
    // How many machines may be in their sequence at the same time; read once, at the start.
    virtual int machinesAtOnce() = 0;

    // The client list, read at the moment of the call.
    virtual int clientCount() = 0;
    virtual bool clientTicked(int index) = 0;
    virtual std::string clientText(int index) = 0;
    // Highlights the entry at `index` when it still holds `machine`.
    virtual void highlightClient(int index, const std::string& machine) = 0;

    // The per-machine check boxes.
    virtual bool grantLogonRight() = 0;
    virtual bool useDirectory() = 0;
    virtual bool stopAndRestart() = 0;

    // Outputs. A pane line goes to the run log, when the run keeps one, and is shown
    // (showLine). progressLine also gives the event loop a turn; progressText only shows the
    // line (for lines handed over from worker threads, which must not start a nested turn).
    void paneLine(const std::string& line) {
        logLine(line);
        showLine(line);
    }
    void logLine(const std::string& line) {
        if (log_) log_->line(line);
    }
    // The run's log while it runs (not owned); nullptr for none.
    void setLog(RunLog* log) { log_ = log; }
    virtual void showLine(const std::string& line) = 0;
    virtual void progressLine(const std::string& line) = 0;
    virtual void progressText(const std::string& line) { progressLine(line); }
    virtual void yield() = 0;
    // Where the run is, e.g. "Machine 3 of 40, 2 in flight" (in flight only with several at
    // once), and its numbers n and N; given when a machine starts and, with several at once,
    // when one ends.
    virtual void runPosition(const std::string& text, int n, int total) {
        (void)text;
        (void)n;
        (void)total;
    }
    // Hourglass and progress window on; off again.
    virtual void beginBusy(const std::string& progressText) = 0;
    virtual void endBusy() = 0;

    // Starts Osprel for `machine` and `account` and returns when it has ended (or was ended
    // by a stop).
    virtual OsprelEnd grantWithOsprel(const std::string& machine, const std::string& account) = 0;

    // The window's answers by default: a Yes/No box whose default is No; true to go on.
    virtual bool goOn(RunQuestion question, const std::string& text);
    // The window's rule by default: the results folder, the dated name, numbered when taken.
    virtual ResultsTarget resultsTarget();
    // Where a survey's file goes: by default as resultsTarget, under the survey's dated name.
    virtual ResultsTarget surveyTarget();
    // Whether start and stop leave a results file too (same columns, N/A where one does not
    // apply), as an unattended run must; the window keeps one for updates only.
    virtual bool resultsOfEveryAction() { return false; }
    // Every ticked entry's end, in list order, once the run is over and before its closing
    // lines and boxes.
    virtual void machinesEnded(const std::vector<MachineEnd>& ends) { (void)ends; }
    // Where the run's log goes; by default the results folder, named by the clock.
    virtual LogTarget logTarget() { return defaultLogTarget(); }
    // The pane's summary line (already in the log), and the results file when the run saved one.
    virtual void summaryLine(const std::string& line, const std::string& resultsPath) {
        (void)resultsPath;
        showLine(line);
    }
    // The pane's last line, naming the saved results file.
    virtual void resultsSaved(const std::string& line) { paneLine(line); }

    // True once the user has asked the run to stop (Stop, or a close of the window): no
    // further machine starts, and a machine in flight that has not reached its change yet is
    // left as it is; one past it finishes its sequence.
    virtual bool stopRequested() = 0;
    // The same, for a wait that asks many times a second: it may learn of a stop a few tens
    // of milliseconds late.
    virtual bool stopRequestedWhileWaiting() { return stopRequested(); }

  private:
    RunLog* log_ = nullptr;
};

// How a run ended, for a front end that answers for it (the console program's exit status).
struct BatchReport {
    enum class End {
        Refused,  // before any machine: an input, the password or the results file
        Finished, // every ticked machine had its turn
        Halted,   // stopped after a logon failure
        Stopped,  // stopped on request
        Faulted,  // an unexpected fault ended the run
    } end = End::Refused;
    int failed = 0;
    int notTried = 0;
};

// The run behind the Execute button, called on the window's thread. Returns when the run has
// ended.
BatchReport runBatch(BatchHost& host);

} // namespace vantrel
