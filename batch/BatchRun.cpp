#include "batch/BatchRun.h"

#include "batch/ResultsFile.h"
#include "batch/RunAndWait.h"
#include "common/AppEnv.h"
#include "common/Dialogs.h"
#include "common/Names.h"
#include "platform/Platform.h"
#include "platform/ServiceControl.h"
#include "services/modErrorCodes.h"
#include "services/modServices.h"

#include "Version.h"

#include <QCoreApplication>
#include <QEventLoop>
#include <QObject>
#include <QThread>

#include <algorithm>
#include <cctype>
#include <deque>
#include <exception>
#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <stdexcept>
#include <thread>
#include <type_traits>

namespace vantrel {

namespace {

const std::string Failed = ":>> FAILED <<:";

// The results file of a run. With several machines at once, rows come from several threads.
class Results {
  public:
    void open(const std::string& directory, const std::string& name) { file_.emplace(directory, name); }
    bool isOpen() const { return file_.has_value(); }
    void write(const MachineResult& r) {
        std::lock_guard<std::mutex> lock(mutex_);
        if (file_) file_->write(r);
    }
    // Closes the file and gives its path.
    std::string close() {
        std::lock_guard<std::mutex> lock(mutex_);
        const std::string path = file_->path();
        file_->close();
        file_.reset();
        return path;
    }
    void drop() {
        std::lock_guard<std::mutex> lock(mutex_);
        file_.reset();
    }

  private:
    std::mutex mutex_;
    std::optional<ResultsFile> file_;
};

// Whether a start or stop whose request was accepted has got where it was asked to go. Without
// the wait the service may still be on its way; after the wait it must have arrived.
bool arrived(bool start, bool waited, std::uint32_t state) {
    namespace svc = platform::svc;
    if (start) return state == svc::Running || (!waited && state == svc::StartPending);
    return state == svc::Stopped || (!waited && state == svc::StopPending);
}

// Whether a procedure's error text names this Windows error number.
bool failedWith(const std::string& errorText, std::uint32_t code) {
    return errorText.find("::" + std::to_string(code) + "::") != std::string::npos;
}

// Whether a procedure's error text says the machine did not answer at all: no route to it, or
// no RPC server behind its name.
bool machineDidNotAnswer(const std::string& errorText) {
    return failedWith(errorText, platform::err::BadNetPath) ||
           failedWith(errorText, platform::err::RpcServerUnavailable);
}

std::string notArrivedText(bool start, std::uint32_t state) {
    return std::string(start ? "Error::Service is not running after the start"
                             : "Error::Service has not stopped after the stop") +
           " (" + ServiceStateName(state) + ")";
}

// How one machine's sequence ended.
struct MachineOutcome {
    bool carryOn = true;      // false: the window is closing, start no further machine
    bool logonFailed = false; // the restart failed with 1069 after the account was changed
    std::string machine;
    std::string fault; // an unexpected fault on a worker thread, to be reported by the run
};

// One machine's sequence: logon right, then the action. The same code runs on the window's
// thread (one machine at a time) and on worker threads (several at once); only the host
// differs.
class Sequence {
  public:
    Sequence(BatchHost& host, const BatchInputs& in, bool wait, Results& results)
        : host_(host), in_(in), wait_(wait), results_(results) {}

    MachineOutcome run(int index, const std::string& machine);

  private:
    // Each returns false when the run has to stop (the window is closing).
    bool start(const std::string& m);
    bool stop(const std::string& m);
    bool update(MachineResult& r);
    // StartStopSericeWait, and then whether the service got there: on false, error_ says why.
    bool startOrStop(bool start, const std::string& m, bool wait);

    // A progress message is a yield point; so is a bare turn of the event loop.
    bool progress(const std::string& text) {
        host_.progressLine(text);
        return !host_.stopRequested();
    }
    bool turn() {
        host_.yield();
        return !host_.stopRequested();
    }

    BatchHost& host_;
    const BatchInputs& in_;
    const bool wait_;
    Results& results_;
    std::string error_;
    bool logonFailed_ = false;
};

MachineOutcome Sequence::run(int index, const std::string& machine) {
    // Each machine's line carries its own outcome only.
    error_.clear();
    logonFailed_ = false;
    MachineOutcome outcome;
    outcome.machine = machine;
    outcome.carryOn = [&] {
        MachineResult r;
        r.machine = machine;
        const std::string& m = r.machine;

        // To every platform call the empty name means this computer: a blank entry is refused
        // before anything, Osprel included, is asked to act.
        if (isBlankName(m)) {
            host_.paneLine(m + Failed + " the machine name is empty; nothing was done");
            if (in_.action == "update") {
                r.updated = "False";
                r.error = BlankMachineText;
                results_.write(r);
            }
            return true;
        }

        if (host_.grantLogonRight()) {
            const std::string text = m + ": Enabling Logon as a service right...";
            if (!progress(text)) return false;
            host_.paneLine(text);
            if (!turn()) return false;
            const bool granted = host_.grantWithOsprel(trimBlanks(m), in_.account);
            if (host_.stopRequested()) return false;
            if (!granted)
                host_.paneLine(m + Failed + " the Logon as a service right was not granted to " +
                               in_.account);
        }

        host_.highlightClient(index, m);
        if (!progress(m + ":" + in_.action + "ing...please wait")) return false;
        if (!turn()) return false;

        if (in_.action == "start") return start(m);
        if (in_.action == "stop") return stop(m);
        if (in_.action == "update") return update(r);
        return true;
    }();
    outcome.logonFailed = logonFailed_;
    return outcome;
}

bool Sequence::start(const std::string& m) {
    if (!progress(m + ":" + " trying to START service...")) return false;
    if (IsServiceRunning(m, in_.service, error_)) {
        host_.paneLine(m + ": Service is already active");
    } else if (startOrStop(true, m, wait_)) {
        host_.paneLine(m + ": started/restarted service");
    } else {
        host_.paneLine(m + Failed + " Could not start/restart service");
    }
    return true;
}

bool Sequence::startOrStop(bool start, const std::string& m, bool wait) {
    std::uint32_t state = 0;
    if (!StartStopSericeWait(start, m, in_.service, wait, error_, &state)) return false;
    if (arrived(start, wait, state)) return true;
    error_ = notArrivedText(start, state);
    return false;
}

bool Sequence::stop(const std::string& m) {
    host_.paneLine("machine: " + m + "," + in_.service);
    if (!progress(m + ":" + " trying to STOP service...")) return false;
    if (!IsServiceRunning(m, in_.service, error_)) {
        host_.paneLine(m + ": Service is not running");
    } else if (startOrStop(false, m, wait_)) {
        host_.paneLine(m + ": stopped service");
    } else {
        host_.paneLine(m + Failed + " Could not stop service");
    }
    return true;
}

bool Sequence::update(MachineResult& r) {
    const std::string& m = r.machine;
    const bool useDirectory = host_.useDirectory();
    if (!progress(m + ":" + " updating account and/or password..")) return false;
    bool answered = true;
    if (ChangeServicePassword(m, in_.service, in_.account, in_.password, error_, useDirectory)) {
        r.updated = "True";
        host_.paneLine(m + ": Success.  Updated service " + in_.service);
    } else {
        host_.paneLine(m + Failed + " unable to update service...");
        r.updated = "False";
        answered = !machineDidNotAnswer(error_);
        error_ = "Update Failed: " + error_ + ";";
    }

    // A machine that did not answer the change has been left as it was; asking it to stop
    // and start as well would only wait out three more time-outs (the two running checks and
    // the start) for the same answer.
    if (host_.stopAndRestart() && !answered) {
        host_.paneLine(m + Failed + ":Could not start/restart service: the machine did not answer");
        r.restarted = "False";
        error_ += "Restart Failed: not tried as the machine did not answer";
        r.error = error_;
        results_.write(r);
        return true;
    }

    // From here on a close waits: stopping between the stop and the restart would leave the
    // service stopped. The progress lines still give the window its turns.
    if (host_.stopAndRestart()) {
        host_.progressLine(m + ":" + " trying to STOP service...");
        bool stillStopping = false;
        if (IsServiceRunning(m, in_.service, error_)) {
            // Always waited for, bounded by the wait limit: a service still stop pending looks
            // active, and would be neither started nor reported.
            std::uint32_t state = 0;
            const bool requested = StartStopSericeWait(false, m, in_.service, true, error_, &state);
            if (requested && state == platform::svc::Stopped) {
                r.stopped = "True";
                host_.paneLine(m + ": stopped service");
            } else {
                if (requested) {
                    error_ = notArrivedText(false, state);
                    stillStopping = true;
                }
                host_.paneLine(m + Failed + " unable to stop service...");
                r.stopped = "False";
                error_ = "Stop Failed: " + error_ + ";";
            }
        }
        host_.progressLine(m + ":" + " trying to START service...");
        if (stillStopping) {
            host_.paneLine(m + Failed + ":Could not start/restart service: it has not stopped");
            r.restarted = "False";
            error_ += "Restart Failed: not started as the service has not stopped";
        } else if (!IsServiceRunning(m, in_.service, error_)) {
            if (startOrStop(true, m, wait_)) {
                r.restarted = "True";
                host_.paneLine(m + ": started/restarted service");
            } else {
                host_.paneLine(m + Failed + ":Could not start/restart service");
                r.restarted = "False";
                // The new account could not log on: the same is likely on every machine.
                if (r.updated == "True" && failedWith(error_, platform::err::ServiceLogonFailed))
                    logonFailed_ = true;
                error_ = "Restart Failed: " + error_;
            }
        }
    }
    r.error = error_;
    results_.write(r);
    return true;
}

// Runs `call` on the window's thread and waits for it. Worker threads only.
template <class F> auto onWindowThread(QObject* windowObject, F&& call) {
    using R = std::invoke_result_t<F&>;
    if constexpr (std::is_void_v<R>) {
        QMetaObject::invokeMethod(
            windowObject, [&] { call(); }, Qt::BlockingQueuedConnection);
    } else {
        R result{};
        QMetaObject::invokeMethod(
            windowObject, [&] { result = call(); }, Qt::BlockingQueuedConnection);
        return result;
    }
}

// The window's host as a worker thread sees it: every question and every line is handed to
// the window's thread and waited for, so the controls are only touched there and each
// machine's lines keep their order. Osprel is started and waited for on the worker itself.
class WorkerHost : public BatchHost {
  public:
    WorkerHost(BatchHost& window, QObject* windowObject) : w_(window), o_(windowObject) {}

    BatchInputs inputs() override {
        return onWindowThread(o_, [&] { return w_.inputs(); });
    }
    bool waitForService() override {
        return onWindowThread(o_, [&] { return w_.waitForService(); });
    }
    int machinesAtOnce() override {
        return onWindowThread(o_, [&] { return w_.machinesAtOnce(); });
    }
    int clientCount() override {
        return onWindowThread(o_, [&] { return w_.clientCount(); });
    }
    bool clientTicked(int index) override {
        return onWindowThread(o_, [&] { return w_.clientTicked(index); });
    }
    std::string clientText(int index) override {
        return onWindowThread(o_, [&] { return w_.clientText(index); });
    }
    void highlightClient(int index, const std::string& machine) override {
        onWindowThread(o_, [&] { w_.highlightClient(index, machine); });
    }
    bool grantLogonRight() override {
        return onWindowThread(o_, [&] { return w_.grantLogonRight(); });
    }
    bool useDirectory() override {
        return onWindowThread(o_, [&] { return w_.useDirectory(); });
    }
    bool stopAndRestart() override {
        return onWindowThread(o_, [&] { return w_.stopAndRestart(); });
    }
    void paneLine(const std::string& line) override {
        onWindowThread(o_, [&] { w_.paneLine(line); });
    }
    void progressLine(const std::string& line) override {
        onWindowThread(o_, [&] { w_.progressText(line); });
    }
    void yield() override {} // the window's thread keeps turning by itself
    void beginBusy(const std::string& text) override {
        onWindowThread(o_, [&] { w_.beginBusy(text); });
    }
    void endBusy() override {
        onWindowThread(o_, [&] { w_.endBusy(); });
    }
    bool grantWithOsprel(const std::string& machine, const std::string& account) override {
        return RunAndWaitBlocking(
                   osprelProgram(),
                   osprelArguments(QString::fromStdString(machine), QString::fromStdString(account)),
                   [this] { return stopRequested(); }) == RunOutcome::Finished;
    }
    bool stopRequested() override {
        return onWindowThread(o_, [&] { return w_.stopRequested(); });
    }

  private:
    BatchHost& w_;
    QObject* o_;
};

// The boxes of a worker thread (a service procedure's, Osprel's start failure), shown from the
// window's thread; the worker waits for the answer.
class WorkerDialogs : public Dialogs {
  public:
    explicit WorkerDialogs(QObject* windowObject) : o_(windowObject) {}

    Answer message(Icon icon, const std::string& title, const std::string& text, Buttons buttons) override {
        return onWindowThread(o_, [&] { return dialogs().message(icon, title, text, buttons); });
    }
    std::optional<std::string> input(const std::string& prompt, const std::string& title,
                                     const std::string& defaultValue) override {
        return onWindowThread(o_, [&] { return dialogs().input(prompt, title, defaultValue); });
    }
    std::optional<std::string> openFile(const std::string& title, const std::string& folder,
                                        const std::string& fileName, const std::string& filter) override {
        return onWindowThread(o_, [&] { return dialogs().openFile(title, folder, fileName, filter); });
    }
    std::optional<int> number(const std::string& prompt, const std::string& title, int value, int minimum,
                              int maximum) override {
        return onWindowThread(o_, [&] { return dialogs().number(prompt, title, value, minimum, maximum); });
    }

  private:
    QObject* o_;
};

// Runs `call` on a thread of its own while the window's thread keeps turning, and gives its
// result: for single slow calls (a domain controller that does not answer for seconds).
template <class F> auto offWindowThread(F&& call) {
    using R = std::invoke_result_t<F&>;
    R result{};
    std::exception_ptr fault;
    bool done = false;
    QObject context;
    QEventLoop loop;
    std::thread worker([&] {
        try {
            result = call();
        } catch (...) {
            fault = std::current_exception();
        }
        QMetaObject::invokeMethod(
            &context,
            [&] {
                done = true;
                loop.quit();
            },
            Qt::QueuedConnection);
    });
    while (!done)
        loop.exec();
    worker.join();
    if (fault) std::rethrow_exception(fault);
    return result;
}

bool equalsIgnoringCase(const std::string& a, const char* b) {
    const std::string other(b);
    return a.size() == other.size() && std::equal(a.begin(), a.end(), other.begin(), [](char x, char y) {
               return std::tolower(static_cast<unsigned char>(x)) ==
                      std::tolower(static_cast<unsigned char>(y));
           });
}

// What a domain's answer to the check says. The first three answers are given only once the
// password is proven: they bar this kind of logon, never the service's own.
std::string logonRefusal(std::uint32_t code, bool* passwordProven = nullptr) {
    namespace err = platform::err;
    if (passwordProven)
        *passwordProven = code == err::LogonTypeNotGranted || code == err::InvalidWorkstation ||
                          code == err::InvalidLogonHours;
    switch (code) {
    case err::LogonTypeNotGranted:
        return "the account is not granted this logon type here";
    case err::InvalidWorkstation:
        return "the account may not log on at this workstation";
    case err::InvalidLogonHours:
        return "the account may not log on at this time";
    case err::LogonFailure:
        return "unknown account or wrong password";
    case err::AccountDisabled:
        return "the account is disabled";
    case err::AccountLockedOut:
        return "the account is locked out";
    case err::PasswordExpired:
        return "the password has expired";
    case err::PasswordMustChange:
        return "the password must be changed before the account can log on";
    case err::AccountExpired:
        return "the account has expired";
    default:
        return "the logon was refused";
    }
}

std::string machinesText(int count) {
    return std::to_string(count) + (count == 1 ? " machine" : " machines");
}

class Run {
  public:
    explicit Run(BatchHost& host) : host_(host) {}
    void execute();

  private:
    bool accountAccepted();
    // Each returns false when the run has to stop (the window is closing).
    bool oneAtATime();
    bool severalAtOnce();
    // After a machine whose restart failed on the new account's logon: true to go on.
    bool goOnAfterLogonFailure(const MachineOutcome& outcome, int nextIndex);
    int tickedFrom(int index);

    bool turn() {
        host_.yield();
        return !host_.stopRequested();
    }

    BatchHost& host_;
    BatchInputs in_;
    bool wait_ = false;
    int atOnce_ = 1;
    Results results_;
    bool askedAboutLogon_ = false;
    bool halted_ = false;
    int untouched_ = 0;
};

void Run::execute() {
    bool busy = false;
    try {
        in_ = host_.inputs();
        // Read once and trimmed once: what is checked is exactly what every machine gets. The
        // password stays as typed: blanks at either end are part of a Windows password.
        in_.service = trimBlanks(in_.service);
        in_.account = trimBlanks(in_.account);
        const bool isUpdate = in_.action == "update";
        if (isUpdate && (in_.service.empty() || in_.account.empty() ||
                         in_.account.find('<') != std::string::npos || in_.password.empty())) {
            dialogs().message(Icon::Exclamation, VANTREL_APP_TITLE,
                              "Must enter values service name, account and password");
            return;
        }
        if (host_.clientCount() < 1) {
            dialogs().message(Icon::Exclamation, VANTREL_APP_TITLE, "No clients in the Client list");
            return;
        }
        if (isUpdate && (!accountAccepted() || host_.stopRequested())) return;
        if (isUpdate) results_.open(resultsDirectory(), resultsFileName(now()));

        host_.beginBusy("Executing please wait...");
        busy = true;
        wait_ = host_.waitForService();
        atOnce_ = std::clamp(host_.machinesAtOnce(), 1, 64);
        const bool completed = turn() && (atOnce_ == 1 ? oneAtATime() : severalAtOnce());

        if (halted_)
            host_.paneLine("Run stopped after a logon failure: " + machinesText(untouched_) +
                           " left untouched");
        if (completed && results_.isOpen()) {
            const std::string path = results_.close();
            host_.paneLine("Saved results to file --> " + path);
            dialogs().message(Icon::Information, "Saved Results...", "Saved Results to File: " + path);
        }
        results_.drop();
        host_.endBusy();
    } catch (const std::exception& e) {
        results_.drop();
        showErrorBox(e.what(), "Could not load all components");
        if (busy) host_.endBusy();
    }
}

// A new domain account is proved once against its domain before any machine is changed: a
// typing error would otherwise take the service down on every machine of the list.
bool Run::accountAccepted() {
    const std::string& account = in_.account;
    const auto slash = account.find('\\');
    const auto at = account.rfind('@');
    // A user written name@domain is handed over whole, without a domain, as Windows takes it.
    std::string domain, user = account, domainShown;
    if (slash != std::string::npos) {
        domain = domainShown = account.substr(0, slash);
        user = account.substr(slash + 1);
        // Built-in and local accounts have no domain controller to ask.
        if (domain == "." || equalsIgnoringCase(domain, "NT AUTHORITY") ||
            equalsIgnoringCase(domain, "NT SERVICE"))
            return true;
    } else if (at != std::string::npos) {
        domainShown = account.substr(at + 1);
    } else {
        return true; // LocalSystem: no password to prove
    }

    const std::string& password = in_.password;
    const std::uint32_t code =
        offWindowThread([&] { return platform::logon().CheckNetworkLogon(domain, user, password); });
    if (code == platform::err::Success) return true;
    const std::string number = std::to_string(code);
    bool proven = false;
    const std::string answer = logonRefusal(code, &proven);
    if (proven) {
        host_.paneLine("The domain accepted the password of " + account + " but answered: " + answer +
                       " (Windows error " + number + "); the run goes on");
        return true;
    }
    if (code == platform::err::NoLogonServers) {
        return dialogs().message(Icon::Exclamation, VANTREL_APP_TITLE,
                                 "The domain controller of " + domainShown +
                                     " cannot be reached (Windows error " + number +
                                     "), so the password of " + account +
                                     " could not be checked.\r\nGo on without the check?",
                                 Buttons::YesNoDefaultNo) == Answer::Yes;
    }
    dialogs().message(Icon::Exclamation, VANTREL_APP_TITLE,
                      "The domain refused the logon of " + account + ": " + answer + " (Windows error " +
                          number + ").\r\nNo machine was changed.");
    return false;
}

bool Run::oneAtATime() {
    Sequence sequence(host_, in_, wait_, results_);
    // The count is read again at every turn: the user may add or remove entries meanwhile.
    for (int i = 0; i < host_.clientCount(); ++i) {
        if (!turn()) return false;
        if (i >= host_.clientCount() || !host_.clientTicked(i)) continue;
        const MachineOutcome outcome = sequence.run(i, host_.clientText(i));
        if (!outcome.carryOn) return false;
        if (outcome.logonFailed && !goOnAfterLogonFailure(outcome, i + 1)) return true;
    }
    return true;
}

// Machines are started on worker threads in list order, never more than atOnce_ in their
// sequence; the window's thread reads the list, hands each machine's calls to the window and
// waits in its event loop, so it stays responsive. A close, a halt or a fault starts no
// further machine, and the run ends once those in flight have finished.
bool Run::severalAtOnce() {
    QObject context; // the workers' calls and their ends arrive through it
    WorkerDialogs workerBoxes(&context);
    QEventLoop wake;
    std::map<int, std::unique_ptr<QThread>> inFlight;
    std::deque<MachineOutcome> finished;
    bool closing = false;
    std::string fault;

    // Takes in the machines that have ended; false when no further machine may start.
    auto settle = [&](int nextIndex) {
        while (!finished.empty()) {
            const MachineOutcome outcome = finished.front();
            finished.pop_front();
            if (!outcome.fault.empty() && fault.empty()) fault = outcome.fault;
            if (!outcome.carryOn) closing = true;
            if (outcome.logonFailed && fault.empty() && !closing && !halted_ &&
                !goOnAfterLogonFailure(outcome, nextIndex))
                halted_ = true;
        }
        return fault.empty() && !closing && !halted_;
    };

    int next = 0;
    for (; next < host_.clientCount(); ++next) {
        if (!turn()) {
            closing = true;
            break;
        }
        if (next >= host_.clientCount() || !host_.clientTicked(next)) continue;
        while (inFlight.size() >= static_cast<std::size_t>(atOnce_))
            wake.exec();
        if (!settle(next)) break;
        // The list may have changed while the slots were full.
        if (next >= host_.clientCount() || !host_.clientTicked(next)) continue;

        const int index = next;
        const std::string machine = host_.clientText(index);
        // A QThread rather than a bare thread: Osprel's QProcess wants the thread's event dispatcher.
        QThread* worker = QThread::create([&, index, machine] {
            setThreadDialogs(&workerBoxes);
            WorkerHost host(host_, &context);
            MachineOutcome outcome;
            try {
                outcome = Sequence(host, in_, wait_, results_).run(index, machine);
            } catch (const std::exception& e) {
                outcome.fault = e.what();
            } catch (...) {
                outcome.fault = "Unknown error";
            }
            setThreadDialogs(nullptr);
            QMetaObject::invokeMethod(
                &context,
                [&, index, outcome] {
                    finished.push_back(outcome);
                    inFlight.at(index)->wait();
                    inFlight.erase(index);
                    wake.quit();
                },
                Qt::QueuedConnection);
        });
        inFlight.emplace(index, std::unique_ptr<QThread>(worker));
        worker->start();
    }
    while (!inFlight.empty())
        wake.exec();
    settle(next);
    if (!fault.empty()) throw std::runtime_error(fault);
    return !closing;
}

bool Run::goOnAfterLogonFailure(const MachineOutcome& outcome, int nextIndex) {
    if (askedAboutLogon_) return true;
    const int left = tickedFrom(nextIndex);
    if (left == 0) return true;
    askedAboutLogon_ = true;
    const Answer answer =
        dialogs().message(Icon::Question, VANTREL_APP_TITLE,
                          outcome.machine + ": the service did not start with the new account: " +
                              ServiceErrorText(static_cast<std::int32_t>(platform::err::ServiceLogonFailed)) +
                              ".\r\nThe same is likely on every other machine. " + machinesText(left) +
                              " not touched yet.\r\nGo on with them?",
                          Buttons::YesNoDefaultNo);
    if (answer == Answer::Yes) return true;
    // Counted after the answer: the list may have changed while the question was open.
    untouched_ = tickedFrom(nextIndex);
    halted_ = true;
    return false;
}

int Run::tickedFrom(int index) {
    int count = 0;
    for (int i = index; i < host_.clientCount(); ++i)
        if (host_.clientTicked(i)) ++count;
    return count;
}

} // namespace

void runBatch(BatchHost& host) {
    Run(host).execute();
}

} // namespace vantrel
