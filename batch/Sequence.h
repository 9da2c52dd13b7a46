#pragma once
// One machine's sequence: logon right, then the action (update: change, stop, restart). The
// same code runs on the window's thread (one machine at a time) and on worker threads
// (several at once); only the host differs.
#include "batch/BatchRun.h"
#include "batch/ResultsFile.h"

#include <mutex>
#include <optional>
#include <string>

namespace vantrel {

// The results file of a run. With several machines at once, rows come from several threads.
class Results {
  public:
    void open(const std::string& directory, const std::string& name) { file_.emplace(directory, name); }
    bool isOpen() const { return file_.has_value(); }
    void write(const MachineResult& r) {
        std::lock_guard<std::mutex> lock(mutex_);
        if (file_) file_->write(r);
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

// How one machine's sequence ended.
struct MachineOutcome {
    bool carryOn = true;      // false: the window is closing, start no further machine
    bool logonFailed = false; // the restart failed with 1069 after the account was changed
    std::string machine;
    std::string fault; // an unexpected fault on a worker thread, to be reported by the run
};

class Sequence {
  public:
    Sequence(BatchHost& host, const BatchInputs& in, bool wait, Results& results)
        : host_(host), in_(in), wait_(wait), results_(results) {}

    MachineOutcome run(int index, const std::string& machine);

  private:
    // Each returns false when the run has to stop (the window is closing).
    bool start(const std::string& m);
    bool stop(const std::string& m);
    bool update(MachineResult& r);
    // StartStopSericeWait, and then whether the service got there: on false, error_ says why.
    bool startOrStop(bool start, const std::string& m, bool wait);

    // A progress message is a yield point; so is a bare turn of the event loop.
    bool progress(const std::string& text) {
        host_.progressLine(text);
        return !host_.stopRequested();
    }
    bool turn() {
        host_.yield();
        return !host_.stopRequested();
    }

    BatchHost& host_;
    const BatchInputs& in_;
    const bool wait_;
    Results& results_;
    std::string error_;
    bool logonFailed_ = false;
};

} // namespace vantrel
