#pragma once
// The results file of an update run: one CSV line per ticked machine, written to disk as soon
// as that machine is done, so a run that dies halfway still leaves every finished machine.
#include <chrono>
#include <string>

namespace vantrel {

// `when` in local time, as std::strftime writes it with `format` (at most 31 characters).
std::string localTimeText(std::chrono::system_clock::time_point when, const char* format);

// "_results" + MMYYYY + "_" + HHMMSS + ".csv", local time.
std::string resultsFileName(std::chrono::system_clock::time_point when);

// One CSV field: left alone unless it holds a comma, a double quote, CR or LF; then it is
// wrapped in double quotes with inner quotes doubled. Machine names from host files can hold
// anything, and a bare comma would shift every later column.
std::string csvField(const std::string& text);

inline constexpr const char* ResultsHeader = "MACHINE,STOPPED,UPDATED,RESTARTED,ERROR MESSAGE";

// What the run records for one machine.
struct MachineResult {
    std::string machine;
    std::string stopped = "N/A";
    std::string updated = "N/A";
    std::string restarted = "N/A";
    std::string error;
};

// The line of one machine, without the line end.
std::string resultsLine(const MachineResult& r);

class ResultsFile {
  public:
    // Creates `name` in `directory` and writes `header`. An existing file is never replaced:
    // when the name is taken, "_2", "_3" ... go before ".csv", or with `exact` the file is
    // refused. Throws std::runtime_error with a readable description when no file can be
    // created or written.
    ResultsFile(const std::string& directory, const std::string& name, bool exact = false,
                const std::string& header = ResultsHeader);
    ~ResultsFile();
    ResultsFile(const ResultsFile&) = delete;
    ResultsFile& operator=(const ResultsFile&) = delete;

    // Writes one line ended by CR LF and hands it to the disk before returning.
    void writeLine(const std::string& line);
    void write(const MachineResult& r) { writeLine(resultsLine(r)); }
    void close();
    bool isOpen() const { return fd_ >= 0; }
    // The full path of the file actually created.
    const std::string& path() const { return path_; }

  private:
    int fd_ = -1;
    std::string path_;
};

} // namespace vantrel
