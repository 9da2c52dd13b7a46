#include "batch/Sequence.h"

#include "common/Names.h"
#include "platform/Platform.h"
#include "platform/ServiceControl.h"
#include "services/ServiceSurvey.h"
#include "services/modErrorCodes.h"
#include "services/modServices.h"

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

// A wait that a stop of the run ended: the service was still on its way.
std::string stoppedWhileText(bool start, std::uint32_t state) {
    return std::string("Error::the run was stopped while the service was ") +
           (start ? "starting" : "stopping") + " (" + ServiceStateName(state) + ")";
}

} // namespace

MachineOutcome Sequence::run(int index, const std::string& machine) {
    // Each machine's line carries its own outcome only.
    error_.clear();
    rowError_.clear();
    reason_.clear();
    grantReason_.clear();
    grantError_.clear();
    failed_ = false;
    MachineOutcome outcome;
    outcome.index = index;
    outcome.machine = machine;
    MachineResult r;
    r.machine = machine;
    const std::string& m = r.machine;
    const bool isUpdate = in_.action == "update";
    const bool isSurvey = in_.action == "survey";

    // To every platform call the empty name means this computer: a blank entry is refused
    // before anything, Osprel included, is asked to act.
    if (machineName(m).empty()) {
        host_.paneLine(m + Failed + " the machine name is empty; nothing was done");
        outcome.failed = true;
        outcome.reason = "the machine name is empty";
        if (isUpdate) r.updated = "False";
        r.error = BlankMachineText;
        results_.write(r);
        return outcome;
    }

    // A survey changes nothing, rights included.
    if (!isSurvey && host_.grantLogonRight()) {
        partialRow(r, interruptedText("granting the logon right", "as it was"));
        grantRight(m);
    }
    // Not changed yet: ended here, the machine is as it was.
    partialRow(r, "Not tried: " + std::string(RunStoppedText));

    host_.highlightClient(index, m);
    host_.progressLine(m + ":" + in_.action + "ing...please wait");
    host_.yield();

    if (isSurvey) {
        survey(m, outcome);
        return outcome;
    }
    if (auto why = gate_.holdBack(host_, index)) {
        outcome.notTried = *why;
        results_.write(notTriedRow(m, *why));
        return outcome;
    }
    // The machine's service manager and service are opened once for all its steps.
    ServiceSession session(m, in_.service);
    if (isUpdate) {
        update(r, outcome);
        outcome.reason = reasonText();
        return outcome;
    }
    const bool isStart = in_.action == "start";
    partialRow(r, isStart ? interruptedText("starting the service", "stopped or starting")
                          : interruptedText("stopping the service", "running or stopping"));
    const std::optional<bool> done = isStart ? start(m) : stop(m);
    (isStart ? r.restarted : r.stopped) = !done ? "N/A" : *done ? "True" : "False";
    outcome.failed = !done.value_or(false) || !grantError_.empty();
    r.error = grantError_ + (done && *done && grantError_.empty() ? error_ : rowError_);
    results_.write(r);
    outcome.reason = reasonText();
    return outcome;
}

void Sequence::grantRight(const std::string& m) {
    const std::string text = m + ": Enabling Logon as a service right...";
    host_.progressLine(text);
    host_.paneLine(text);
    host_.yield();
    const OsprelEnd end = host_.grantWithOsprel(machineName(m), in_.account);
    std::string reason;
    switch (end.outcome) {
    case RunOutcome::Finished:
        host_.paneLine(m + ": the Logon as a service right was granted to " + in_.account);
        return;
    case RunOutcome::FailedOnExit:
        reason = end.exitStatus < 0 ? std::string("Osprel ended abnormally")
                                    : "Osprel exit status " + std::to_string(end.exitStatus);
        break;
    case RunOutcome::FailedToStart:
        reason = "Osprel could not be started";
        break;
    case RunOutcome::NotStarted: // a name Windows would cut short: Osprel would reach another machine
        reason = "the machine name holds a NUL character";
        break;
    case RunOutcome::Stopped: // the machine goes no further: its row says why
        return;
    }
    host_.paneLine(m + Failed + " the Logon as a service right could not be granted to " + in_.account +
                   " (" + reason + ")");
    // A grant asked for and not done fails the machine, whatever its later steps do; the
    // sequence itself goes on.
    grantError_ = "Logon Right Failed: " + reason + ";";
    grantReason_ = "Logon right failed: " + reason;
}

// nullopt: the service's state could not be read (error_ and rowError_ say why).
std::optional<bool> Sequence::start(const std::string& m) {
    host_.progressLine(m + ":" + " trying to START service...");
    bool read = false;
    if (IsServiceRunning(m, in_.service, error_, &read)) {
        host_.paneLine(m + ": Service is already active");
    } else if (!read) {
        return stateUnread(m);
    } else if (startOrStop(true, m, wait_)) {
        host_.paneLine(m + ": started/restarted service");
    } else {
        host_.paneLine(m + Failed + " Could not start/restart service: " + error_);
        rowError_ = "Start Failed: " + error_ + ";";
        because("Start", error_);
        return false;
    }
    return true;
}

std::nullopt_t Sequence::stateUnread(const std::string& m) {
    host_.paneLine(m + Failed + " Could not read the state of the service: " + error_);
    rowError_ = "Query Failed: " + error_ + ";";
    because("Query", error_);
    return std::nullopt;
}

bool Sequence::startOrStop(bool start, const std::string& m, bool wait) {
    std::uint32_t state = 0;
    bool cut = false;
    if (!StartStopSericeWait(start, m, in_.service, wait, error_, &state, stopCheck(), &cut)) return false;
    if (cut) {
        error_ = stoppedWhileText(start, state);
        return false;
    }
    if (arrived(start, wait, state)) return true;
    error_ = notArrivedText(start, state);
    return false;
}

std::optional<bool> Sequence::stop(const std::string& m) {
    host_.paneLine("machine: " + m + "," + in_.service);
    host_.progressLine(m + ":" + " trying to STOP service...");
    bool read = false;
    if (IsServiceRunning(m, in_.service, error_, &read)) {
        if (!startOrStop(false, m, wait_)) {
            host_.paneLine(m + Failed + " Could not stop service: " + error_);
            rowError_ = "Stop Failed: " + error_ + ";";
            because("Stop", error_);
            return false;
        }
        host_.paneLine(m + ": stopped service");
    } else if (!read) {
        return stateUnread(m);
    } else {
        host_.paneLine(m + ": Service is not running");
    }
    return true;
}

void Sequence::survey(const std::string& m, MachineOutcome& outcome) {
    const ServiceSurvey s = SurveyService(m, in_.service, in_.account);
    results_.write(SurveyRow{m, in_.service, s.state, s.startType, s.account, s.logonRight, s.error});
    outcome.logsOnAs = s.account;
    outcome.failed = !s.error.empty();
    if (outcome.failed) {
        host_.paneLine(m + Failed + " could not read " + in_.service + ": " + s.error);
        return;
    }
    const std::string whose = in_.account.empty() ? s.account : in_.account;
    host_.paneLine(m + ": " + in_.service + " is " + s.state + ", starts " + s.startType + ", logs on as " +
                   s.account + "; logon right of " + whose + ": " + s.logonRight);
}

void Sequence::update(MachineResult& r, MachineOutcome& outcome) {
    const std::string& m = r.machine;
    const bool useDirectory = host_.useDirectory();
    host_.progressLine(m + ":" + " updating account and/or password..");
    partialRow(r, interruptedText("updating the account", "running with the old or the new account"));
    bool answered = true;
    std::string kept;
    if (!ChangeServicePassword(m, in_.service, in_.account, *in_.password, error_, useDirectory, &kept)) {
        host_.paneLine(m + Failed + " unable to update service...");
        r.updated = "False";
        answered = !machineDidNotAnswer(error_);
        because("Update", error_);
        failed("Update Failed: " + error_ + ";");
    } else if (!kept.empty()) {
        // The manager answered the change but kept the account it had.
        host_.paneLine(m + Failed + " unable to update service: the service manager still reports " + kept);
        r.updated = "False";
        failed("Update Failed: the service manager still reports " + kept + ";");
    } else {
        r.updated = "True";
        host_.paneLine(m + ": Success.  Updated service " + in_.service);
    }

    // The stop and restart always finish once begun: stopping in between would leave the
    // service stopped.
    const bool restart = host_.stopAndRestart();
    if (restart && !answered && skipUnanswered_) {
        // A machine that did not answer the change has been left as it was; asking it to stop
        // and start as well would only wait out three more time-outs for the same answer.
        host_.paneLine(m + Failed + ":Could not start/restart service: the machine did not answer");
        r.restarted = "False";
        rowError_ += "Restart Failed: not tried as the machine did not answer";
    } else if (restart) {
        host_.progressLine(m + ":" + " trying to STOP service...");
        partialRow(r, interruptedText("stopping the service", "running or stopping"));
        bool stillStopping = false;
        if (IsServiceRunning(m, in_.service, error_)) {
            // Always waited for, bounded by the wait limit: a service still stop pending looks
            // active, and would be neither started nor reported.
            std::uint32_t state = 0;
            bool cut = false;
            const bool requested =
                StartStopSericeWait(false, m, in_.service, true, error_, &state, stopCheck(), &cut);
            if (requested && state == platform::svc::Stopped) {
                r.stopped = "True";
                host_.paneLine(m + ": stopped service");
            } else {
                if (requested) {
                    error_ = cut ? stoppedWhileText(false, state) : notArrivedText(false, state);
                    stillStopping = true;
                }
                host_.paneLine(m + Failed + " unable to stop service...");
                r.stopped = "False";
                because("Stop", error_);
                failed("Stop Failed: " + error_ + ";");
            }
        }
        host_.progressLine(m + ":" + " trying to START service...");
        partialRow(r, interruptedText("starting the service", "stopped or starting"));
        if (stillStopping) {
            host_.paneLine(m + Failed + ":Could not start/restart service: it has not stopped");
            r.restarted = "False";
            rowError_ += "Restart Failed: not started as the service has not stopped";
        } else if (!IsServiceRunning(m, in_.service, error_)) {
            if (startOrStop(true, m, wait_)) {
                r.restarted = "True";
                host_.paneLine(m + ": started/restarted service");
            } else {
                host_.paneLine(m + Failed + ":Could not start/restart service");
                r.restarted = "False";
                // The new account could not log on: the same is likely on every machine.
                if (r.updated == "True" && failedWith(error_, platform::err::ServiceLogonFailed)) {
                    outcome.logonFailed = true;
                    gate_.logonFailed();
                }
                because("Restart", error_);
                failed("Restart Failed: " + error_);
            }
        }
    }
    r.error = grantError_ + (failed_ ? rowError_ : grantError_.empty() ? error_ : "");
    outcome.failed = failed_ || !grantError_.empty();
    outcome.updated = r.updated == "True";
    outcome.restarted = r.restarted == "True";
    outcome.proved = outcome.updated && !outcome.failed && (!restart || outcome.restarted);
    results_.write(r);
}

} // namespace vantrel
