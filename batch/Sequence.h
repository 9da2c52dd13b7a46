#pragma once
// One machine's sequence: logon right, then the action (update: change, stop, restart). The
// same code runs on the window's thread (one machine at a time) and on worker threads
// (several at once); only the host differs.
#include "batch/BatchRun.h"
#include "batch/ResultsFile.h"
#include "batch/SurveyFile.h"

#include <mutex>
#include <optional>
#include <string>

namespace vantrel {

// The results file of a run. With several machines at once, rows come from several threads.
class Results {
  public:
    void open(const ResultsTarget& to, const std::string& header = ResultsHeader) {
        file_.emplace(to.directory, to.name, to.exact, header);
    }
    bool isOpen() const { return file_.has_value(); }
    void write(const MachineResult& r) { writeLine(resultsLine(r)); }
    void writeLine(const std::string& line) {
        std::lock_guard<std::mutex> lock(mutex_);
        if (file_) file_->writeLine(line);
    }
    // Closes the file and gives its path.
    std::string close() {
        std::lock_guard<std::mutex> lock(mutex_);
        const std::string path = file_->path();
        file_->close();
        file_.reset();
        return path;
    }
    void drop() {
        std::lock_guard<std::mutex> lock(mutex_);
        file_.reset();
    }

  private:
    std::mutex mutex_;
    std::optional<ResultsFile> file_;
};

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
    std::string fault;        // an unexpected fault on a worker thread, to be reported by the run
    std::string logsOnAs;     // a survey: the logon account read, when it could be
};

// A survey's row for a machine that was not tried.
inline SurveyRow notTriedSurveyRow(const std::string& machine, const std::string& service,
                                   const std::string& why) {
    return {machine, service, "", "", "", "", "Not tried: " + why};
}

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
    // start and stop give false when the action failed.
    bool start(const std::string& m);
    bool stop(const std::string& m);
    void update(MachineResult& r, MachineOutcome& outcome);
    void survey(const std::string& m, MachineOutcome& outcome);
    // StartStopSericeWait, and then whether the service got there: on false, error_ says why.
    bool startOrStop(bool start, const std::string& m, bool wait);
    void grantRight(const std::string& m);

    // A failed step's text becomes the row's error; a later failure replaces it with its own,
    // a later success leaves it.
    void failed(const std::string& text) {
        rowError_ = text;
        failed_ = true;
    }

    BatchHost& host_;
    const BatchInputs& in_;
    const bool wait_;
    Results& results_;
    ChangeGate& gate_;
    const bool skipUnanswered_;
    std::string error_; // the text the service procedures leave
    std::string rowError_;
    bool failed_ = false;
};

} // namespace vantrel
