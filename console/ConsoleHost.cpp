#include "console/ConsoleHost.h"

#include "batch/ResultsFile.h"
#include "batch/RunSettings.h"
#include "batch/SurveyFile.h"
#include "common/AppEnv.h"
#include "common/Names.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>

#include <cstdio>
#include <iostream>
#ifdef _WIN32
#include <io.h>
#else
#include <unistd.h>
#endif

namespace vantrel::console {

std::string oneLine(const std::string& text) {
    std::string line;
    for (char c : text) {
        if (c == '\r') continue;
        line += c == '\n' ? ' ' : c;
    }
    return line;
}

Terminal::Terminal() {
#ifdef _WIN32
    errIsTerminal_ = _isatty(_fileno(stderr));
#else
    errIsTerminal_ = ::isatty(STDERR_FILENO);
#endif
}

void Terminal::out(const std::string& line) {
    clearProgress();
    std::cout << visibleText(line) << '\n' << std::flush;
}

void Terminal::err(const std::string& line) {
    clearProgress();
    std::cerr << visibleText(line) << '\n' << std::flush;
}

// Cut to a usual terminal's width so the line never wraps, and padded with blanks over the
// last one: "\r" alone moves back on every console, where escape sequences may not.
constexpr std::size_t ProgressWidth = 79;

void Terminal::progress(const std::string& line) {
    if (!errIsTerminal_) return;
    std::string shown = visibleText(line).substr(0, ProgressWidth);
    shown.resize(ProgressWidth, ' ');
    std::cerr << '\r' << shown << std::flush;
    progressShown_ = true;
}

void Terminal::clearProgress() {
    if (!progressShown_) return;
    std::cerr << '\r' << std::string(ProgressWidth, ' ') << '\r' << std::flush;
    progressShown_ = false;
}

Answer ConsoleDialogs::message(Icon icon, const std::string& title, const std::string& text,
                               Buttons buttons) {
    if (icon != Icon::Information) {
        ++failures_;
        t_.err("vantrel-run: " + title + ": " + oneLine(text));
    }
    return buttons == Buttons::Ok ? Answer::Ok : Answer::No;
}

ConsoleHost::ConsoleHost(const Options& o, const platform::Password& password, const ClientNames& machines,
                         Terminal& t, const std::atomic<bool>& stop)
    : o_(o), password_(password), machines_(machines), t_(t), stop_(stop) {}

int ConsoleHost::machinesAtOnce() {
    return o_.machinesAtOnce ? *o_.machinesAtOnce : vantrel::machinesAtOnce();
}

void ConsoleHost::progressLine(const std::string& line) {
    t_.progress("[" + std::to_string(started_) + "/" + std::to_string(machines_.count()) + "] " + line);
}

void ConsoleHost::yield() {
    QCoreApplication::processEvents();
}

OsprelEnd ConsoleHost::grantWithOsprel(const std::string& machine, const std::string& account) {
    OsprelEnd end;
    // Blocking: there is no window to keep turning, and the wait looks at the stop a few times
    // a second, where an event loop would only be woken by a close the console never gets.
    end.outcome = RunAndWaitBlocking(
        osprelProgram(), osprelArguments(QString::fromStdString(machine), QString::fromStdString(account)),
        [this] { return stopRequested(); }, &end.exitStatus);
    return end;
}

bool ConsoleHost::goOn(RunQuestion question, const std::string& text) {
    const bool yes =
        question == RunQuestion::UncheckedPassword ? o_.skipLogonCheck : o_.goOnAfterLogonFailure;
    const char* option =
        question == RunQuestion::UncheckedPassword ? "--skip-logon-check" : "--on-logon-failure go-on";
    t_.err("vantrel-run: " + oneLine(text) + (yes ? " Yes, as " : " No: not without ") + option + ".");
    return yes;
}

ResultsTarget ConsoleHost::resultsTarget() {
    if (o_.resultsFile.empty()) return {QDir::currentPath().toStdString(), resultsFileName(now()), false};
    const QFileInfo file(QString::fromStdString(o_.resultsFile));
    return {file.absolutePath().toStdString(), file.fileName().toStdString(), true};
}

LogTarget ConsoleHost::logTarget() {
    if (o_.logFile.empty()) {
        const std::string folder =
            o_.resultsFile.empty()
                ? QDir::currentPath().toStdString()
                : QFileInfo(QString::fromStdString(o_.resultsFile)).absolutePath().toStdString();
        return {folder, runLogFileName(now()), false};
    }
    const QFileInfo file(QString::fromStdString(o_.logFile));
    return {file.absolutePath().toStdString(), file.fileName().toStdString(), true};
}

ResultsTarget ConsoleHost::surveyTarget() {
    if (o_.resultsFile.empty()) return {QDir::currentPath().toStdString(), surveyFileName(now()), false};
    return resultsTarget();
}

void ConsoleHost::summaryLine(const std::string& line, const std::string& resultsPath) {
    t_.out(resultsPath.empty() ? line : line + ", results in " + resultsPath);
}

} // namespace vantrel::console
