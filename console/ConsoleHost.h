#pragma once
// The batch run's host on a console: the answers come from the command line, the pane lines
// go to standard output, and what would be a box goes to standard error.
#include "batch/BatchRun.h"
#include "clients/ClientNames.h"
#include "common/Dialogs.h"
#include "console/Options.h"

#include <atomic>
#include <string>

namespace vantrel::console {

// Standard output and error as the run writes them: whole lines, each at once, and on a
// terminal one progress line on standard error that other lines never break into.
class Terminal {
  public:
    Terminal();
    void out(const std::string& line);
    void err(const std::string& line);
    // Shown only when standard error is a terminal, over the last progress line.
    void progress(const std::string& line);
    void clearProgress();

  private:
    bool errIsTerminal_ = false;
    bool progressShown_ = false;
};

// Boxes as lines on standard error: a box tells of something that failed (the saved-results
// box excepted, which the pane already says). A question gets its safe answer, No.
class ConsoleDialogs : public Dialogs {
  public:
    explicit ConsoleDialogs(Terminal& t) : t_(t) {}
    Answer message(Icon icon, const std::string& title, const std::string& text, Buttons buttons) override;
    std::optional<std::string> input(const std::string&, const std::string&, const std::string&) override {
        return std::nullopt;
    }
    std::optional<std::string> openFile(const std::string&, const std::string&, const std::string&,
                                        const std::string&) override {
        return std::nullopt;
    }
    std::optional<int> number(const std::string&, const std::string&, int, int, int) override {
        return std::nullopt;
    }
    // How many failures were told so far.
    int failures() const { return failures_; }

  private:
    Terminal& t_;
    int failures_ = 0;
};

class ConsoleHost : public BatchHost {
  public:
    ConsoleHost(const Options& o, const platform::Password& password, const ClientNames& machines,
                Terminal& t, const std::atomic<bool>& stop);

    BatchInputs inputs() override { return {o_.action, o_.service, o_.account, &password_}; }
    bool waitForService() override { return o_.wait; }
    int machinesAtOnce() override;
    int clientCount() override { return machines_.count(); }
    bool clientTicked(int) override { return true; }
    std::string clientText(int index) override { return machines_.text(index).toStdString(); }
    void highlightClient(int, const std::string&) override { ++started_; }
    bool grantLogonRight() override { return o_.grantRight; }
    // The window's "Use Active Directory" box has no option: its lookup is a test against one
    // fixed directory entry, and it changes no machine.
    bool useDirectory() override { return false; }
    bool stopAndRestart() override { return o_.restart; }
    void showLine(const std::string& line) override { t_.out(line); }
    void progressLine(const std::string& line) override;
    void yield() override;
    void beginBusy(const std::string&) override {}
    void endBusy() override { t_.clearProgress(); }
    OsprelEnd grantWithOsprel(const std::string& machine, const std::string& account) override;
    bool stopRequested() override { return stop_; }
    bool goOn(RunQuestion question, const std::string& text) override;
    ResultsTarget resultsTarget() override;
    LogTarget logTarget() override;
    ResultsTarget surveyTarget() override;
    bool resultsOfEveryAction() override { return true; }
    void summaryLine(const std::string& line, const std::string& resultsPath) override;
    // The summary, the last line, names the file already.
    void resultsSaved(const std::string&) override {}

  private:
    const Options& o_;
    const platform::Password& password_;
    const ClientNames& machines_;
    Terminal& t_;
    const std::atomic<bool>& stop_;
    int started_ = 0;
};

// One line of a box's or question's text: its line breaks become blanks.
std::string oneLine(const std::string& text);

} // namespace vantrel::console
