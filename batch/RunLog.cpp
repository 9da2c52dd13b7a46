#include "batch/RunLog.h"

#include "batch/OwnerOnlyFile.h"
#include "common/AppEnv.h"

#include <QDir>

#include <ctime>

namespace vantrel {

namespace {

std::tm localTime(std::chrono::system_clock::time_point when) {
    const std::time_t t = std::chrono::system_clock::to_time_t(when);
    std::tm local{};
#ifdef _WIN32
    localtime_s(&local, &t);
#else
    localtime_r(&t, &local);
#endif
    return local;
}

std::string stamp(std::chrono::system_clock::time_point when, const char* format) {
    const std::tm local = localTime(when);
    char text[32];
    std::strftime(text, sizeof text, format, &local);
    return text;
}

} // namespace

std::string runLogFileName(std::chrono::system_clock::time_point when) {
    return "_run" + stamp(when, "%m%Y_%H%M%S") + ".log";
}

LogTarget defaultLogTarget() {
    return {resultsDirectory(), runLogFileName(now()), false};
}

RunLog::RunLog(const LogTarget& target)
    : file_(createOwnerOnlyFile(target.directory, target.name, target.exact, "the run log")) {}

void RunLog::line(const std::string& text) {
    // Unbuffered, each line is in the file once written, should the program die; no sync to
    // the disk per line, which would slow a run of thousands of machines to a crawl.
    const std::string whole = stamp(now(), "%Y-%m-%d %H:%M:%S") + "  " + text + "\r\n";
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
