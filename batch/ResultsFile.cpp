#include "batch/ResultsFile.h"

#include "common/Names.h"
#include "platform/NewFile.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <ctime>
#include <fcntl.h>
#include <stdexcept>
#ifdef _WIN32
#include <filesystem>
#include <io.h>
#include <sys/stat.h>
#else
#include <unistd.h>
#endif

namespace vantrel {

std::string localTimeText(std::chrono::system_clock::time_point when, const char* format) {
    const std::time_t t = std::chrono::system_clock::to_time_t(when);
    std::tm local{};
#ifdef _WIN32
    localtime_s(&local, &t);
#else
    localtime_r(&t, &local);
#endif
    char text[32];
    std::strftime(text, sizeof text, format, &local);
    return text;
}

std::string resultsFileName(std::chrono::system_clock::time_point when) {
    return "_results" + localTimeText(when, "%m%Y_%H%M%S") + ".csv";
}

std::string csvField(const std::string& text) {
    if (text.find_first_of(",\"\r\n") == std::string::npos) return text;
    std::string out = "\"";
    for (char c : text) {
        if (c == '"') out += '"';
        out += c;
    }
    out += '"';
    return out;
}

std::string resultsLine(const MachineResult& r) {
    const auto field = [](const std::string& text) { return csvField(visibleText(text)); };
    return field(r.machine) + "," + field(r.stopped) + "," + field(r.updated) + "," + field(r.restarted) +
           "," + field(r.error);
}

namespace {

std::string joinPath(const std::string& dir, const std::string& name) {
    if (dir.empty()) return name;
#ifdef _WIN32
    // The path is shown to the user: in Windows' own spelling.
    if (dir.back() == '\\' || dir.back() == '/') return dir + name;
    return dir + "\\" + name;
#else
    return dir.back() == '/' ? dir + name : dir + "/" + name;
#endif
}

#ifdef _WIN32
// The C runtime's descriptors, with the path (UTF-8 here) passed on as UTF-16 and bytes
// written as they are.
std::filesystem::path nativePath(const std::string& path) {
    return std::filesystem::path(std::u8string(path.begin(), path.end()));
}
int removeFile(const std::string& path) {
    return ::_wunlink(nativePath(path).c_str());
}
long long writeSome(int fd, const char* data, std::size_t size) {
    return ::_write(fd, data, static_cast<unsigned>(std::min<std::size_t>(size, 1u << 30)));
}
int syncData(int fd) {
    return ::_commit(fd);
}
int closeFile(int fd) {
    return ::_close(fd);
}
#else
long long writeSome(int fd, const char* data, std::size_t size) {
    return ::write(fd, data, size);
}
int syncData(int fd) {
    return ::fdatasync(fd);
}
int closeFile(int fd) {
    return ::close(fd);
}
int removeFile(const std::string& path) {
    return ::unlink(path.c_str());
}
#endif

[[noreturn]] void fail(const std::string& what, const std::string& path, int err) {
    throw std::runtime_error(what + " " + path + ": " + std::strerror(err));
}

std::string takenText(const std::string& directory, const std::string& name, bool exact) {
    return exact
               ? "The results file " + joinPath(directory, name) + " already exists; it is never overwritten"
               : "Could not create the results file: every name for " + name + " is taken";
}

} // namespace

ResultsFile::ResultsFile(const std::string& directory, const std::string& name, bool exact,
                         const std::string& header) {
    constexpr int StagingTries = 10000;
    const int MaxTries = exact ? 1 : StagingTries;
    // A file that cannot be finished is closed and removed: never an empty results file.
    auto abandon = [this](const std::string& file, const std::string& message) {
        closeFile(fd_);
        fd_ = -1;
        removeFile(file);
        throw std::runtime_error(message);
    };
#ifdef _WIN32
    // An open file cannot be unlinked here, so the file is made under its own name at once.
    // O_EXCL makes "never overwrite" hold even against another run starting in the same second.
    for (int n = 1; n <= MaxTries; ++n) {
        std::string candidate = joinPath(directory, n == 1 ? name : platform::numberedName(name, n));
        int fd = platform::createNewFile(candidate);
        if (fd >= 0) {
            fd_ = fd;
            path_ = candidate;
            break;
        }
        if (errno != EEXIST) fail("Could not create the results file", candidate, errno);
    }
    if (fd_ < 0) throw std::runtime_error(takenText(directory, name, exact));
    try {
        writeLine(header);
    } catch (const std::exception& e) {
        abandon(path_, e.what());
    }
#else
    // The header is written to a hidden file first, which is then linked under the results
    // name: a run killed at any moment leaves either no results file or one with its header,
    // and link(), unlike rename(), never replaces a file already there.
    std::string staging;
    for (int n = 0; n < StagingTries && fd_ < 0; ++n) {
        staging =
            joinPath(directory, ".results-" + std::to_string(::getpid()) + "-" + std::to_string(n) + ".tmp");
        fd_ = platform::createNewFile(staging);
        if (fd_ < 0 && errno != EEXIST)
            fail("Could not create the results file", joinPath(directory, name), errno);
    }
    if (fd_ < 0) fail("Could not create the results file", joinPath(directory, name), EEXIST);
    path_ = staging;
    try {
        writeLine(header);
    } catch (const std::exception& e) {
        abandon(staging, e.what());
    }
    for (int n = 1; n <= MaxTries && path_ == staging; ++n) {
        const std::string candidate = joinPath(directory, n == 1 ? name : platform::numberedName(name, n));
        if (::link(staging.c_str(), candidate.c_str()) == 0)
            path_ = candidate;
        else if (errno != EEXIST)
            abandon(staging, "Could not create the results file " + candidate + ": " + std::strerror(errno));
    }
    if (path_ == staging) abandon(staging, takenText(directory, name, exact));
    removeFile(staging);
#endif
}

ResultsFile::~ResultsFile() {
    if (fd_ >= 0) closeFile(fd_);
}

void ResultsFile::writeLine(const std::string& line) {
    if (fd_ < 0) throw std::runtime_error("The results file " + path_ + " is closed");
    std::string data = line + "\r\n";
    const char* p = data.data();
    std::size_t left = data.size();
    while (left > 0) {
        const long long n = writeSome(fd_, p, left);
        if (n < 0) {
            if (errno == EINTR) continue;
            fail("Could not write the results file", path_, errno);
        }
        p += n;
        left -= static_cast<std::size_t>(n);
    }
    // Unbuffered writes already survive the program being killed; the sync makes the line
    // survive the machine going down too.
    if (syncData(fd_) != 0 && errno != EINVAL && errno != EROFS)
        fail("Could not write the results file", path_, errno);
}

void ResultsFile::close() {
    if (fd_ < 0) return;
    int fd = fd_;
    fd_ = -1;
    if (closeFile(fd) != 0 && errno != EINTR) fail("Could not close the results file", path_, errno);
}

} // namespace vantrel
