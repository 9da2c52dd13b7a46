#include "batch/BatchRun.h"

#include "batch/ResultsFile.h"
#include "common/AppEnv.h"
#include "common/Dialogs.h"
#include "common/Names.h"
#include "platform/ServiceControl.h"
#include "services/modServices.h"

#include "Version.h"

#include <optional>
#include <stdexcept>

namespace vantrel {

namespace {

const std::string Failed = ":>> FAILED <<:";

// Whether a start or stop whose request was accepted has got where it was asked to go. Without
// the wait the service may still be on its way; after the wait it must have arrived.
bool arrived(bool start, bool waited, std::uint32_t state) {
    namespace svc = platform::svc;
    if (start) return state == svc::Running || (!waited && state == svc::StartPending);
    return state == svc::Stopped || (!waited && state == svc::StopPending);
}

std::string notArrivedText(bool start, std::uint32_t state) {
    return std::string(start ? "Error::Service is not running after the start"
                             : "Error::Service has not stopped after the stop") +
           " (" + ServiceStateName(state) + ")";
}

class Run {
  public:
    explicit Run(BatchHost& host) : host_(host) {}
    void execute();

  private:
    // Each returns false when the run has to stop (the window is closing).
    bool eachMachine();
    bool machine(int index);
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
    BatchInputs in_;
    bool wait_ = false;
    std::optional<ResultsFile> file_;
    std::string error_;
};

void Run::execute() {
    bool busy = false;
    try {
        in_ = host_.inputs();
        // Read once and trimmed once: what is checked is exactly what every machine gets.
        in_.service = trimBlanks(in_.service);
        in_.account = trimBlanks(in_.account);
        in_.password = trimBlanks(in_.password);
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
        if (isUpdate) file_.emplace(programDirectory(), resultsFileName(now()));

        host_.beginBusy("Executing please wait...");
        busy = true;
        wait_ = host_.waitForService();
        const bool completed = turn() && eachMachine();

        if (completed && file_) {
            const std::string path = file_->path();
            file_->close();
            host_.paneLine("Saved results to file --> " + path);
            dialogs().message(Icon::Information, "Saved Results...", "Saved Results to File: " + path);
        }
        file_.reset();
        host_.endBusy();
    } catch (const std::exception& e) {
        file_.reset();
        showErrorBox(e.what(), "Could not load all components");
        if (busy) host_.endBusy();
    }
}

bool Run::eachMachine() {
    // The count is read again at every turn: the user may add or remove entries meanwhile.
    for (int i = 0; i < host_.clientCount(); ++i) {
        if (!turn()) return false;
        if (i >= host_.clientCount() || !host_.clientTicked(i)) continue;
        if (!machine(i)) return false;
    }
    return true;
}

bool Run::machine(int index) {
    MachineResult r;
    r.machine = host_.clientText(index);
    const std::string& m = r.machine;
    // Each machine's line carries its own outcome only.
    error_.clear();

    // To every platform call the empty name means this computer: a blank entry is refused
    // before anything, Osprel included, is asked to act.
    if (isBlankName(m)) {
        host_.paneLine(m + Failed + " the machine name is empty; nothing was done");
        if (file_) {
            r.updated = "False";
            r.error = BlankMachineText;
            file_->write(r);
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
            host_.paneLine(m + Failed + " the Logon as a service right was not granted to " + in_.account);
    }

    host_.highlightClient(index, m);
    if (!progress(m + ":" + in_.action + "ing...please wait")) return false;
    if (!turn()) return false;

    if (in_.action == "start") return start(m);
    if (in_.action == "stop") return stop(m);
    if (in_.action == "update") return update(r);
    return true;
}

bool Run::start(const std::string& m) {
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

bool Run::startOrStop(bool start, const std::string& m, bool wait) {
    std::uint32_t state = 0;
    if (!StartStopSericeWait(start, m, in_.service, wait, error_, &state)) return false;
    if (arrived(start, wait, state)) return true;
    error_ = notArrivedText(start, state);
    return false;
}

bool Run::stop(const std::string& m) {
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

bool Run::update(MachineResult& r) {
    const std::string& m = r.machine;
    const bool useDirectory = host_.useDirectory();
    if (!progress(m + ":" + " updating account and/or password..")) return false;
    if (ChangeServicePassword(m, in_.service, in_.account, in_.password, error_, useDirectory)) {
        r.updated = "True";
        host_.paneLine(m + ": Success.  Updated service " + in_.service);
    } else {
        host_.paneLine(m + Failed + " unable to update service...");
        r.updated = "False";
        error_ = "Update Failed: " + error_ + ";";
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
                error_ = "Restart Failed: " + error_;
            }
        }
    }
    r.error = error_;
    file_->write(r);
    return true;
}

} // namespace

void runBatch(BatchHost& host) {
    Run(host).execute();
}

} // namespace vantrel
