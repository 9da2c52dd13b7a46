#pragma once
// The run log: every line a run puts into the message pane, with its date and time, kept in a
// file beside the results files, since the pane holds only the last few thousand characters.
// One file per run; lines from any thread.
#include <QFile>

#include <chrono>
#include <memory>
#include <mutex>
#include <string>

namespace vantrel {

// "_run" + MMYYYY + "_" + HHMMSS + ".log", local time, like the results file's name.
std::string runLogFileName(std::chrono::system_clock::time_point when);

// Where a run's log goes.
struct LogTarget {
    std::string directory;
    std::string name;
    bool exact = false; // true: this name or none; false: numbered when taken
};

// The log of a run in the results folder, named by the clock now.
LogTarget defaultLogTarget();

class RunLog {
  public:
    // Creates the file (owner-only, never replacing one). Throws std::runtime_error with a
    // readable description when it cannot.
    explicit RunLog(const LogTarget& target);

    // "YYYY-MM-DD HH:MM:SS  " + text, ended by CR LF. A line that cannot be written ends the
    // writing; error() says why.
    void line(const std::string& text);
    // The full path, in the system's spelling.
    std::string path() const;
    std::string error() const;

  private:
    mutable std::mutex mutex_;
    std::unique_ptr<QFile> file_;
    std::string error_;
};

} // namespace vantrel
