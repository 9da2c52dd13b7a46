#pragma once
// Every modal box the program shows goes through one Dialogs object, so tests can script
// the answers and read back what a person would have seen. Plain C++: the service and
// registry procedures use it without pulling in widgets.
#include <deque>
#include <optional>
#include <string>
#include <vector>

namespace vantrel {

enum class Icon { None, Critical, Exclamation, Information, Question };
// YesNo answers Yes on Enter; YesNoDefaultNo answers No, for questions where going on is the risk.
// YesNoNoToAllDefaultNo adds "No to All": No for this question and the same one still to come.
enum class Buttons { Ok, YesNo, YesNoDefaultNo, YesNoNoToAllDefaultNo };
enum class Answer { Ok, Yes, No, Cancel, NoToAll };

struct ShownBox {
    enum class Kind { Message, Input, OpenFile, Number } kind = Kind::Message;
    Icon icon = Icon::None;
    Buttons buttons = Buttons::Ok;
    std::string title;
    std::string text;         // message text, input prompt, or the file dialog's filter
    std::string defaultValue; // input or number default, or the file dialog's initial file name
    std::string folder;       // file dialog only
};

class Dialogs {
  public:
    virtual ~Dialogs() = default;
    virtual Answer message(Icon icon, const std::string& title, const std::string& text,
                           Buttons buttons = Buttons::Ok) = 0;
    // An input box; nullopt when the user cancels.
    virtual std::optional<std::string> input(const std::string& prompt, const std::string& title,
                                             const std::string& defaultValue = {}) = 0;
    // A file-open dialog; nullopt when the user cancels.
    virtual std::optional<std::string> openFile(const std::string& title, const std::string& folder,
                                                const std::string& fileName, const std::string& filter) = 0;
    // A whole number from `minimum` to `maximum`, starting at `value`; nullopt when cancelled.
    virtual std::optional<int> number(const std::string& prompt, const std::string& title, int value,
                                      int minimum, int maximum) = 0;
};

// The installed dialogs. Until something is installed, a scripted instance answers (OK/No/cancel),
// so plain C++ code never blocks.
Dialogs& dialogs();
// Installs d (not owned); nullptr restores the default scripted instance.
void setDialogs(Dialogs* d);
// Installs d for the calling thread only, ahead of the one above (not owned; nullptr removes
// it): machine work on a worker thread hands its boxes to the window's thread this way.
void setThreadDialogs(Dialogs* d);

// Records every box and answers from queues; used by tests and as the headless default.
class ScriptedDialogs : public Dialogs {
  public:
    std::vector<ShownBox> shown;
    std::deque<Answer> answers;                    // for message boxes; empty: Ok, or No for Yes/No
    std::deque<std::optional<std::string>> inputs; // empty: cancel
    std::deque<std::optional<std::string>> files;  // empty: cancel
    std::deque<std::optional<int>> numbers;        // empty: cancel

    Answer message(Icon icon, const std::string& title, const std::string& text, Buttons buttons) override;
    std::optional<std::string> input(const std::string& prompt, const std::string& title,
                                     const std::string& defaultValue) override;
    std::optional<std::string> openFile(const std::string& title, const std::string& folder,
                                        const std::string& fileName, const std::string& filter) override;
    std::optional<int> number(const std::string& prompt, const std::string& title, int value, int minimum,
                              int maximum) override;
    void clear() {
        shown.clear();
        answers.clear();
        inputs.clear();
        files.clear();
        numbers.clear();
    }
};

// The standard error box: critical icon, OK, title "Error...", and three lines joined by CR LF:
// "Error::" + description, context (a procedure name with "()" or a short phrase), and the
// bug-report line.
void showErrorBox(const std::string& description, const std::string& context);
// The bug-report line of the standard error box.
std::string reportBugsLine();

} // namespace vantrel
