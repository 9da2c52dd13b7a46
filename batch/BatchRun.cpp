#include "batch/BatchRun.h"

#include "batch/ResultsFile.h"
#include "common/AppEnv.h"
#include "common/Dialogs.h"
#include "services/modServices.h"

#include "Version.h"

#include <optional>
#include <stdexcept>

namespace vantrel {

namespace {

const std::string Failed = ":>> FAILED <<:";

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

    if (host_.grantLogonRight()) {
        const std::string text = m + ": Enabling Logon as a service right...";
        if (!progress(text)) return false;
        host_.paneLine(text);
        if (!turn()) return false;
        host_.grantWithOsprel(m, host_.osprelAccount());
        if (host_.stopRequested()) return false;
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
    } else if (StartStopSericeWait(true, m, in_.service, wait_, error_)) {
        host_.paneLine(m + ": started/restarted service");
    } else {
        host_.paneLine(m + Failed + " Could not start/restart service");
    }
    return true;
}

bool Run::stop(const std::string& m) {
    host_.paneLine("machine: " + m + "," + in_.service);
    if (!progress(m + ":" + " trying to STOP service...")) return false;
    if (!IsServiceRunning(m, in_.service, error_)) {
        host_.paneLine(m + ": Service is not running");
    } else if (StartStopSericeWait(false, m, in_.service, wait_, error_)) {
        host_.paneLine(m + ": stopped service");
    } else {
        host_.paneLine(m + Failed + " Could not stop service");
    }
    return true;
}

bool Run::update(MachineResult& r) {
    const std::string& m = r.machine;
    // Once the account may have been changed, the machine's line is written even when the
    // run stops before its last step: the file must show what was done to each machine.
    auto record = [&] {
        r.error = error_;
        file_->write(r);
    };

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

    if (host_.stopAndRestart()) {
        if (!progress(m + ":" + " trying to STOP service...")) {
            record();
            return false;
        }
        if (IsServiceRunning(m, in_.service, error_)) {
            if (StartStopSericeWait(false, m, in_.service, wait_, error_)) {
                r.stopped = "True";
                host_.paneLine(m + ": stopped service");
            } else {
                host_.paneLine(m + Failed + " unable to stop service...");
                r.stopped = "False";
                error_ = "Stop Failed: " + error_ + ";";
            }
        }
        if (!progress(m + ":" + " trying to START service...")) {
            record();
            return false;
        }
        if (!IsServiceRunning(m, in_.service, error_)) {
            if (StartStopSericeWait(true, m, in_.service, wait_, error_)) {
                r.restarted = "True";
                host_.paneLine(m + ": started/restarted service");
            } else {
                host_.paneLine(m + Failed + ":Could not start/restart service");
                r.restarted = "False";
                error_ = "Restart Failed: " + error_;
            }
        }
    }
    record();
    return true;
}

} // namespace

void runBatch(BatchHost& host) {
    Run(host).execute();
}

} // namespace vantrel
