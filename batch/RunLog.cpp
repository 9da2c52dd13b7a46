#include "batch/RunLog.h"

#include "batch/OwnerOnlyFile.h"
#include "batch/ResultsFile.h"
#include "common/AppEnv.h"

#include <QDir>

namespace vantrel {

std::string runLogFileName(std::chrono::system_clock::time_point when) {
    return "_run" + localTimeText(when, "%m%Y_%H%M%S") + ".log";
}

LogTarget defaultLogTarget() {
    return {resultsDirectory(), runLogFileName(now()), false};
}

RunLog::RunLog(const LogTarget& target)
    : file_(createOwnerOnlyFile(target.directory, target.name, target.exact, "the run log")) {}

void RunLog::line(const std::string& text) {
    // Unbuffered, each line is in the file once written, should the program die; no sync to
    // the disk per line, which would slow a run of thousands of machines to a crawl.
    const std::string whole = localTimeText(now(), "%Y-%m-%d %H:%M:%S") + "  " + text + "\r\n";
    std::lock_guard<std::mutex> lock(mutex_);
    if (!error_.empty()) return;
    if (file_->write(whole.data(), static_cast<qint64>(whole.size())) != static_cast<qint64>(whole.size()))
        error_ = file_->errorString().toStdString();
}

std::string RunLog::path() const {
    return QDir::toNativeSeparators(file_->fileName()).toStdString();
}

std::string RunLog::error() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return error_;
}

} // namespace vantrel
