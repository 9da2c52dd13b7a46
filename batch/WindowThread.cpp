#include "batch/WindowThread.h"

#include "batch/RunAndWait.h"

namespace vantrel {

BatchInputs WorkerHost::inputs() {
    return onWindowThread(o_, [&] { return w_.inputs(); });
}
bool WorkerHost::waitForService() {
    return onWindowThread(o_, [&] { return w_.waitForService(); });
}
int WorkerHost::machinesAtOnce() {
    return onWindowThread(o_, [&] { return w_.machinesAtOnce(); });
}
int WorkerHost::clientCount() {
    return onWindowThread(o_, [&] { return w_.clientCount(); });
}
bool WorkerHost::clientTicked(int index) {
    return onWindowThread(o_, [&] { return w_.clientTicked(index); });
}
std::string WorkerHost::clientText(int index) {
    return onWindowThread(o_, [&] { return w_.clientText(index); });
}
// What only shows is not waited for: with dozens of machines at once the window's thread would
// otherwise hold every worker up once per line.
void WorkerHost::highlightClient(int index, const std::string& machine) {
    toWindowThread(o_, [w = &w_, index, machine] { w->highlightClient(index, machine); });
}
bool WorkerHost::grantLogonRight() {
    return onWindowThread(o_, [&] { return w_.grantLogonRight(); });
}
bool WorkerHost::useDirectory() {
    return onWindowThread(o_, [&] { return w_.useDirectory(); });
}
bool WorkerHost::stopAndRestart() {
    return onWindowThread(o_, [&] { return w_.stopAndRestart(); });
}
void WorkerHost::showLine(const std::string& line) {
    toWindowThread(o_, [w = &w_, line] { w->paneLine(line); });
}
void WorkerHost::progressLine(const std::string& line) {
    toWindowThread(o_, [w = &w_, line] { w->progressText(line); });
}
void WorkerHost::beginBusy(const std::string& text) {
    onWindowThread(o_, [&] { w_.beginBusy(text); });
}
void WorkerHost::endBusy() {
    onWindowThread(o_, [&] { w_.endBusy(); });
}
OsprelEnd WorkerHost::grantWithOsprel(const std::string& machine, const std::string& account) {
    OsprelEnd end;
    end.outcome = RunAndWaitBlocking(
        osprelProgram(), osprelArguments(QString::fromStdString(machine), QString::fromStdString(account)),
        [this] { return stopRequestedWhileWaiting(); }, &end.exitStatus);
    return end;
}
bool WorkerHost::stopRequested() {
    return onWindowThread(o_, [&] { return w_.stopRequested(); });
}
bool WorkerHost::stopRequestedWhileWaiting() {
    return stopSeen_ ? stopSeen_->load(std::memory_order_relaxed) : stopRequested();
}

Answer WorkerDialogs::message(Icon icon, const std::string& title, const std::string& text, Buttons buttons) {
    return ask([&] { return dialogs().message(icon, title, text, buttons); });
}
std::optional<std::string> WorkerDialogs::input(const std::string& prompt, const std::string& title,
                                                const std::string& defaultValue) {
    return ask([&] { return dialogs().input(prompt, title, defaultValue); });
}
std::optional<std::string> WorkerDialogs::openFile(const std::string& title, const std::string& folder,
                                                   const std::string& fileName, const std::string& filter) {
    return ask([&] { return dialogs().openFile(title, folder, fileName, filter); });
}
std::optional<int> WorkerDialogs::number(const std::string& prompt, const std::string& title, int value,
                                         int minimum, int maximum) {
    return ask([&] { return dialogs().number(prompt, title, value, minimum, maximum); });
}

void WorkerDialogs::serve() {
    for (;;) {
        std::function<void()> box;
        {
            std::lock_guard<std::mutex> lock(mutex_);
            if (waiting_.empty()) return;
            box = std::move(waiting_.front());
            waiting_.pop_front();
        }
        box();
    }
}

bool WorkerDialogs::waiting() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return !waiting_.empty();
}

} // namespace vantrel
