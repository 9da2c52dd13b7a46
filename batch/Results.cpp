#include "batch/Sequence.h"

namespace vantrel {

namespace {

// The run whose file is open. A front end may end the process from another thread while the
// run's own threads are still inside platform calls.
std::mutex currentMutex;
Results* current = nullptr;

} // namespace

void Results::open(const ResultsTarget& to) {
    {
        std::lock_guard<std::mutex> lock(mutex_);
        file_.emplace(to.directory, to.name, to.exact);
    }
    std::lock_guard<std::mutex> lock(currentMutex);
    current = this;
}

Results::~Results() {
    std::lock_guard<std::mutex> lock(currentMutex);
    if (current == this) current = nullptr;
}

void Results::openSurvey(const ResultsTarget& to, const std::string& service) {
    {
        std::lock_guard<std::mutex> lock(mutex_);
        file_.emplace(to.directory, to.name, to.exact, SurveyHeader);
        survey_ = service;
    }
    std::lock_guard<std::mutex> lock(currentMutex);
    current = this;
}

std::string Results::lineOf(const MachineResult& r) const {
    // A survey's machine that was not read: only why is known.
    return survey_ ? surveyLine({r.machine, *survey_, "", "", "", "", r.error}) : resultsLine(r);
}

void Results::written(const std::string& machine, const std::string& line) {
    inFlight_.erase(machine);
    written_.insert(machine);
    if (file_) file_->writeLine(line);
}

void Results::write(const MachineResult& r) {
    std::lock_guard<std::mutex> lock(mutex_);
    written(r.machine, lineOf(r));
}

void Results::write(const SurveyRow& r) {
    std::lock_guard<std::mutex> lock(mutex_);
    written(r.machine, surveyLine(r));
}

void Results::inFlight(const MachineResult& partial) {
    std::lock_guard<std::mutex> lock(mutex_);
    inFlight_[partial.machine] = partial;
}

std::string Results::close() {
    std::lock_guard<std::mutex> lock(mutex_);
    if (!file_) return {};
    const std::string path = file_->path();
    file_->close();
    file_.reset();
    return path;
}

void Results::drop() {
    std::lock_guard<std::mutex> lock(mutex_);
    file_.reset();
}

std::string Results::abandon(const std::vector<std::string>& ticked) {
    std::lock_guard<std::mutex> lock(mutex_);
    if (!file_) return {};
    for (const auto& [machine, row] : inFlight_) {
        file_->writeLine(lineOf(row));
        written_.insert(machine);
    }
    inFlight_.clear();
    for (const std::string& machine : ticked)
        if (written_.insert(machine).second) file_->writeLine(lineOf(notTriedRow(machine, RunStoppedText)));
    const std::string path = file_->path();
    file_->close();
    file_.reset();
    return path;
}

std::string abandonCurrentRun(const std::vector<std::string>& ticked) {
    std::lock_guard<std::mutex> lock(currentMutex);
    return current ? current->abandon(ticked) : std::string();
}

} // namespace vantrel
