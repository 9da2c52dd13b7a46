#include "common/Dialogs.h"

#include "Version.h"

namespace vantrel {

namespace {
ScriptedDialogs& fallback() {
    static ScriptedDialogs d;
    return d;
}
Dialogs* installed = nullptr;
thread_local Dialogs* threadInstalled = nullptr;
} // namespace

Dialogs& dialogs() {
    if (threadInstalled) return *threadInstalled;
    return installed ? *installed : fallback();
}
void setDialogs(Dialogs* d) { installed = d; }
void setThreadDialogs(Dialogs* d) { threadInstalled = d; }

Answer ScriptedDialogs::message(Icon icon, const std::string& title, const std::string& text, Buttons buttons) {
    shown.push_back({ShownBox::Kind::Message, icon, buttons, title, text, {}, {}});
    if (!answers.empty()) {
        Answer a = answers.front();
        answers.pop_front();
        return a;
    }
    return buttons == Buttons::Ok ? Answer::Ok : Answer::No;
}

std::optional<std::string> ScriptedDialogs::input(const std::string& prompt, const std::string& title,
                                                  const std::string& defaultValue) {
    shown.push_back({ShownBox::Kind::Input, Icon::None, Buttons::Ok, title, prompt, defaultValue, {}});
    if (inputs.empty()) return std::nullopt;
    auto v = inputs.front();
    inputs.pop_front();
    return v;
}

std::optional<std::string> ScriptedDialogs::openFile(const std::string& title, const std::string& folder,
                                                     const std::string& fileName, const std::string& filter) {
    shown.push_back({ShownBox::Kind::OpenFile, Icon::None, Buttons::Ok, title, filter, fileName, folder});
    if (files.empty()) return std::nullopt;
    auto v = files.front();
    files.pop_front();
    return v;
}

std::optional<int> ScriptedDialogs::number(const std::string& prompt, const std::string& title, int value, int,
                                           int) {
    shown.push_back({ShownBox::Kind::Number, Icon::None, Buttons::Ok, title, prompt, std::to_string(value), {}});
    if (numbers.empty()) return std::nullopt;
    auto v = numbers.front();
    numbers.pop_front();
    return v;
}

std::string reportBugsLine() { return std::string("Report bugs to: ") + VANTREL_BUG_ADDRESS; }

void showErrorBox(const std::string& description, const std::string& context) {
    dialogs().message(Icon::Critical, "Error...", "Error::" + description + "\r\n" + context + "\r\n" + reportBugsLine(),
                      Buttons::Ok);
}

} // namespace vantrel
