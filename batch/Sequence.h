#pragma once
// One machine's sequence: logon right, then the action (update: change, stop, restart). The
// same code runs on the window's thread (one machine at a time) and on worker threads
// (several at once); only the host differs.
#include "batch/BatchRun.h"
#include "batch/ResultsFile.h"
#include "batch/SurveyFile.h"
#include "services/modErrorCodes.h"

#include <functional>
#include <map>
#include <mutex>
#include <optional>
#include <set>
#include <string>
#include <vector>

namespace vantrel {

// The results file of a run. With several machines at once, rows come from several threads.
// It also knows, for a run that must end at once, where each machine in flight is.
class Results {
  public:
    void open(const ResultsTarget& to);
    // A survey's file: every row, a not-tried or interrupted one too, in the survey's columns.
    void openSurvey(const ResultsTarget& to, const std::string& service);
    bool isOpen() const {
        std::lock_guard<std::mutex> lock(mutex_);
        return file_.has_value();
    }
    // A machine's row; once it is written the machine is no longer in flight.
    void write(const MachineResult& r);
    void write(const SurveyRow& r);
    // The row `partial` stands for while its machine is in flight: what is known so far, and
    // in its error column the step it is in and what state that may leave the service in.
    void inFlight(const MachineResult& partial);
    // Closes the file and gives its path.
    std::string close();
    void drop();
    // Ends the file now, from any thread: the machines in flight get their rows as last told,
    // and each of `ticked` without a row its "Not tried" row. Later rows are dropped. Gives
    // the file's path, empty when there was none.
    std::string abandon(const std::vector<std::string>& ticked);
    ~Results();

  private:
    mutable std::mutex mutex_;
    std::optional<ResultsFile> file_;
    std::map<std::string, MachineResult> inFlight_; // by the entry's text
    std::set<std::string> written_;
    std::optional<std::string> survey_; // a survey's service: rows go in its columns

    // The line of `r` in this file's columns.
    std::string lineOf(const MachineResult& r) const;
    void written(const std::string& machine, const std::string& line);
};

// The run whose results file is open, if any: for a front end that must end the process at
// once (a second stop signal). See Results::abandon.
std::string abandonCurrentRun(const std::vector<std::string>& ticked);

// A machine in flight when the run was ended at once.
inline std::string interruptedText(const std::string& step, const std::string& state) {
    return "Interrupted while " + step + ": the service may be " + state + "; check the machine";
}

// Why a ticked machine was never changed.
inline constexpr const char* RunStoppedText = "the run was stopped";
inline constexpr const char* HaltedText = "the run stopped after a logon failure";

// The row of a machine that was not tried: nothing about it is known.
inline MachineResult notTriedRow(const std::string& machine, const std::string& why) {
    return {machine, "N/A", "N/A", "N/A", "Not tried: " + why};
}

// How one machine's sequence ended.
struct MachineOutcome {
    int index = -1;
    std::string machine;
    std::string notTried; // why the machine was left as it was; empty once its action began
    bool failed = false;  // a step failed
    bool updated = false;
    bool restarted = false;
    bool proved = false;      // updated and running again: the new account works here
    bool logonFailed = false; // the restart failed with 1069 after the account was changed
    std::string reason;       // a failed machine's first failing step and why, as a person reads it
    std::string fault;        // an unexpected fault on a worker thread, to be reported by the run
    std::string logsOnAs;     // a survey: the logon account read, when it could be
};

// What a sequence asks just before it changes anything on its machine, and what it reports
// when the new account could not log on. Called from any thread.
class ChangeGate {
  public:
    virtual ~ChangeGate() = default;
    // Why the machine is to be left as it is, or nothing to go on. Waits while the question
    // after a logon failure is open.
    virtual std::optional<std::string> holdBack(BatchHost& host, int index) = 0;
    // The service did not start with the new account (1069): hold every other machine at its
    // change until the question has been answered.
    virtual void logonFailed() = 0;
};

class Sequence {
  public:
    // `skipUnanswered`: a machine that did not answer the change is not also asked to stop
    // and start (with several at once; one at a time follows the documented steps).
    Sequence(BatchHost& host, const BatchInputs& in, bool wait, Results& results, ChangeGate& gate,
             bool skipUnanswered)
        : host_(host), in_(in), wait_(wait), results_(results), gate_(gate), skipUnanswered_(skipUnanswered) {
    }

    MachineOutcome run(int index, const std::string& machine);

  private:
    // start and stop give false when the action failed, nothing when the service's state could
    // not be read.
    std::optional<bool> start(const std::string& m);
    std::optional<bool> stop(const std::string& m);
    std::nullopt_t stateUnread(const std::string& m);
    void update(MachineResult& r, MachineOutcome& outcome);
    void survey(const std::string& m, MachineOutcome& outcome);
    // StartStopSericeWait, and then whether the service got there: on false, error_ says why.
    bool startOrStop(bool start, const std::string& m, bool wait);
    void grantRight(const std::string& m);
    // What the machine's row says should the run be ended at once from here on.
    void partialRow(MachineResult r, const std::string& error) {
        r.error = grantError_ + error;
        results_.inFlight(r);
    }
    // A stop of the run ends a service wait at once: the row then says where the service was.
    std::function<bool()> stopCheck() {
        return [this] { return host_.stopRequestedWhileWaiting(); };
    }

    // A failed step's text becomes the row's error; a later failure replaces it with its own,
    // a later success leaves it.
    void failed(const std::string& text) {
        rowError_ = text;
        failed_ = true;
    }
    std::string reasonText() const {
        return grantReason_.empty() || reason_.empty() ? grantReason_ + reason_
                                                       : grantReason_ + "; " + reason_;
    }
    // The first failing step is the machine's reason; what fails after it mostly follows from it.
    void because(const char* step, const std::string& errorText) {
        if (reason_.empty()) reason_ = std::string(step) + " failed: " + ServiceFailureReason(errorText);
    }

    BatchHost& host_;
    const BatchInputs& in_;
    const bool wait_;
    Results& results_;
    ChangeGate& gate_;
    const bool skipUnanswered_;
    std::string error_; // the text the service procedures leave
    std::string rowError_;
    std::string reason_;      // the first failing service step
    std::string grantReason_; // the logon right not granted, which comes before it
    std::string grantError_;  // a grant asked for and not done: kept ahead of any later text
    bool failed_ = false;
};

} // namespace vantrel
