#include "batch/Sequence.h"

#include "common/Names.h"
#include "platform/Platform.h"
#include "platform/ServiceControl.h"
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

} // namespace

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

} // namespace vantrel
