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

void Results::write(const MachineResult& r) {
    std::lock_guard<std::mutex> lock(mutex_);
    inFlight_.erase(r.machine);
    written_.insert(r.machine);
    if (file_) file_->write(r);
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
        file_->write(row);
        written_.insert(machine);
    }
    inFlight_.clear();
    for (const std::string& machine : ticked)
        if (written_.insert(machine).second) file_->write(notTriedRow(machine, RunStoppedText));
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
