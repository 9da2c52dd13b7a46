#include "batch/BatchRun.h"

#include "batch/Schedule.h"
#include "batch/SurveyFile.h"
#include "batch/WindowThread.h"
#include "common/AppEnv.h"
#include "common/Dialogs.h"
#include "common/Names.h"
#include "platform/Platform.h"
#include "platform/ServiceControl.h"
#include "services/ServiceSurvey.h"
#include "services/modErrorCodes.h"

#include "Version.h"

#include <algorithm>
#include <cctype>
#include <exception>
#include <optional>
#include <vector>

namespace vantrel {

namespace {

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

// The pane's last line: what the run did, machine by machine counted.
std::string summaryLine(const std::vector<MachineOutcome>& outcomes, bool isUpdate) {
    int done = 0, updated = 0, restarted = 0, notTried = 0;
    std::vector<std::string> failed;
    for (const MachineOutcome& o : outcomes) {
        if (!o.notTried.empty()) {
            ++notTried;
            continue;
        }
        ++done;
        updated += o.updated;
        restarted += o.restarted;
        if (o.failed) failed.push_back(o.machine);
    }
    std::string line = "Run summary: " + machinesText(done) + " done";
    if (isUpdate)
        line += ", " + std::to_string(updated) + " updated, " + std::to_string(restarted) + " restarted";
    line += ", " + std::to_string(failed.size()) + " failed";
    constexpr std::size_t Named = 10;
    if (!failed.empty()) {
        line += " (";
        for (std::size_t i = 0; i < failed.size() && i < Named; ++i)
            line += (i ? ", " : "") + failed[i];
        if (failed.size() > Named) line += " and " + std::to_string(failed.size() - Named) + " more";
        line += ")";
    }
    return line + ", " + std::to_string(notTried) + " not tried";
}

class Run {
  public:
    explicit Run(BatchHost& host) : host_(host) {}
    BatchReport execute();

  private:
    bool accountAccepted();
    // After a machine whose restart failed on the new account's logon: true to go on.
    bool goOnAfterLogonFailure(const MachineOutcome& outcome, int untouched);

    BatchHost& host_;
    BatchInputs in_;
    bool wait_ = false;
    int atOnce_ = 1;
    Results results_;
    std::optional<RunLog> log_;
    bool passwordProved_ = false; // the domain accepted the account's password before the run
    BatchReport report_;
};

BatchReport Run::execute() {
    bool busy = false;
    try {
        in_ = host_.inputs();
        // Read once and trimmed once: what is checked is exactly what every machine gets. The
        // password stays as typed: blanks at either end are part of a Windows password.
        in_.service = trimBlanks(in_.service);
        in_.account = trimBlanks(in_.account);
        const bool isUpdate = in_.action == "update";
        const bool isSurvey = in_.action == "survey";
        if (isSurvey) {
            // Read-only: no password is wanted, and the account box's placeholder asks about
            // each service's own account.
            in_.password = nullptr;
            if (in_.account.find('<') != std::string::npos) in_.account.clear();
            if (in_.service.empty()) {
                dialogs().message(Icon::Exclamation, VANTREL_APP_TITLE, "Must enter a service name");
                return report_;
            }
        }
        if (isUpdate &&
            (in_.service.empty() || in_.account.empty() || in_.account.find('<') != std::string::npos ||
             !in_.password || in_.password->empty())) {
            dialogs().message(Icon::Exclamation, VANTREL_APP_TITLE,
                              "Must enter values service name, account and password");
            return report_;
        }
        // Windows would end the password at the NUL and set what comes before it everywhere.
        if (isUpdate && in_.password->holdsNul()) {
            dialogs().message(Icon::Exclamation, VANTREL_APP_TITLE,
                              "The password holds a NUL character, which Windows cannot take.\r\nNo machine "
                              "was changed.");
            return report_;
        }
        if (host_.clientCount() < 1) {
            dialogs().message(Icon::Exclamation, VANTREL_APP_TITLE, "No clients in the Client list");
            return report_;
        }
        // The log from the first line the run may write; the logon check's refusal included.
        log_.emplace(host_.logTarget());
        host_.setLog(&*log_);
        host_.logLine(std::string(VANTREL_APP_TITLE " ") + VANTREL_VERSION_STRING + ": " + in_.action +
                      " of service " + in_.service +
                      (isUpdate ? " with account " + in_.account : std::string()));
        if (isUpdate && (!accountAccepted() || host_.stopRequested())) return report_;
        if (isSurvey)
            results_.openSurvey(host_.surveyTarget(), in_.service);
        else if (isUpdate || host_.resultsOfEveryAction())
            results_.open(host_.resultsTarget());

        host_.beginBusy("Executing please wait...");
        busy = true;
        wait_ = host_.waitForService();
        atOnce_ = std::clamp(host_.machinesAtOnce(), 1, 64);
        host_.yield();
        Schedule schedule(host_, in_, wait_, results_, [this](const MachineOutcome& outcome, int untouched) {
            return goOnAfterLogonFailure(outcome, untouched);
        });
        std::vector<MachineOutcome> outcomes = schedule.run(atOnce_);
        // In list order, whatever order they ended in.
        std::stable_sort(outcomes.begin(), outcomes.end(),
                         [](const MachineOutcome& a, const MachineOutcome& b) { return a.index < b.index; });

        const auto halted = std::count_if(outcomes.begin(), outcomes.end(),
                                          [](const MachineOutcome& o) { return o.notTried == HaltedText; });
        report_.end = halted > 0 ? BatchReport::End::Halted : BatchReport::End::Finished;
        for (const MachineOutcome& o : outcomes) {
            if (o.notTried == RunStoppedText) report_.end = BatchReport::End::Stopped;
            report_.notTried += !o.notTried.empty();
            report_.failed += o.notTried.empty() && o.failed;
        }
        std::vector<MachineEnd> ends;
        ends.reserve(outcomes.size());
        for (const MachineOutcome& o : outcomes) {
            // Only an account the run was given can be another's: with none, nothing is.
            const bool otherAccount = isSurvey && !in_.account.empty() && !o.logsOnAs.empty() &&
                                      !SameAccount(o.logsOnAs, in_.account);
            ends.push_back({o.index, o.machine,
                            !o.notTried.empty() ? MachineEnd::How::NotTried
                            : o.failed          ? MachineEnd::How::Failed
                                                : MachineEnd::How::Done,
                            !o.notTried.empty() ? o.notTried : o.reason,
                            otherAccount ? o.logsOnAs : std::string()});
        }
        host_.machinesEnded(ends);
        if (halted > 0)
            host_.paneLine("Run stopped after a logon failure: " + machinesText(static_cast<int>(halted)) +
                           " left untouched");
        // A stop or a close saves the results as the end of a run does: every ticked machine
        // has its row.
        host_.paneLine("Run log --> " + log_->path());
        // The summary goes just before the saved file's line, the run's last.
        const std::string path = results_.isOpen() ? results_.close() : std::string();
        const std::string summary = summaryLine(outcomes, isUpdate);
        host_.logLine(summary);
        host_.summaryLine(summary, path);
        if (!path.empty() && isSurvey) {
            host_.resultsSaved("Saved survey to file --> " + path);
            dialogs().message(Icon::Information, "Saved Survey...", "Saved Survey to File: " + path);
        } else if (!path.empty()) {
            host_.resultsSaved("Saved results to file --> " + path);
            dialogs().message(Icon::Information, "Saved Results...", "Saved Results to File: " + path);
        }
        if (const std::string error = log_->error(); !error.empty())
            host_.showLine("The run log " + log_->path() + " is incomplete: " + error);
        host_.endBusy();
    } catch (const std::exception& e) {
        host_.logLine(std::string("Error::") + e.what());
        results_.drop();
        showErrorBox(e.what(), "Could not load all components");
        report_.end = busy ? BatchReport::End::Faulted : BatchReport::End::Refused;
        if (busy) host_.endBusy();
    }
    return report_;
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

    const std::uint32_t code = offWindowThread([&] {
        const platform::Password::Clear password = in_.password->reveal();
        return platform::logon().CheckNetworkLogon(domain, user, password.text());
    });
    passwordProved_ = code == platform::err::Success;
    if (code == platform::err::Success) return true;
    const std::string number = std::to_string(code);
    bool proven = false;
    const std::string answer = logonRefusal(code, &proven);
    passwordProved_ = proven;
    if (proven) {
        host_.paneLine("The domain accepted the password of " + account + " but answered: " + answer +
                       " (Windows error " + number + "); the run goes on");
        return true;
    }
    if (code == platform::err::NoLogonServers) {
        return host_.goOn(RunQuestion::UncheckedPassword,
                          "The domain controller of " + domainShown + " cannot be reached (Windows error " +
                              number + "), so the password of " + account +
                              " could not be checked.\r\nGo on without the check?");
    }
    const std::string refusal =
        "The domain refused the logon of " + account + ": " + answer + " (Windows error " + number + ").";
    host_.logLine(refusal + " No machine was changed.");
    dialogs().message(Icon::Exclamation, VANTREL_APP_TITLE, refusal + "\r\nNo machine was changed.");
    return false;
}

bool Run::goOnAfterLogonFailure(const MachineOutcome& outcome, int untouched) {
    // What most likely went wrong, from what the run knows.
    std::string cause;
    if (passwordProved_)
        cause += "The domain accepted the password of " + in_.account +
                 " before the run: the likely cause is that the account lacks the right to log on as a "
                 "service on " +
                 outcome.machine + ".\r\n";
    if (!host_.grantLogonRight()) cause += "\"Set Logon as a Service Right\" is not ticked.\r\n";
    return host_.goOn(RunQuestion::AfterLogonFailure,
                      outcome.machine + ": the service did not start with the new account: " +
                          ServiceErrorText(static_cast<std::int32_t>(platform::err::ServiceLogonFailed)) +
                          ".\r\n" + cause + "The same is likely on every other machine. " +
                          machinesText(untouched) + " not touched yet.\r\nGo on with them?");
}

} // namespace

bool BatchHost::goOn(RunQuestion question, const std::string& text) {
    const Icon icon = question == RunQuestion::UncheckedPassword ? Icon::Exclamation : Icon::Question;
    return dialogs().message(icon, VANTREL_APP_TITLE, text, Buttons::YesNoDefaultNo) == Answer::Yes;
}

ResultsTarget BatchHost::resultsTarget() {
    return {resultsDirectory(), resultsFileName(now()), false};
}

ResultsTarget BatchHost::surveyTarget() {
    ResultsTarget target = resultsTarget();
    if (!target.exact) target.name = surveyFileName(now());
    return target;
}

BatchReport runBatch(BatchHost& host) {
    // The log is the run's own: it goes with the run, whichever way the run ends.
    struct Unlog {
        BatchHost& host;
        ~Unlog() { host.setLog(nullptr); }
    } unlog{host};
    return Run(host).execute();
}

} // namespace vantrel
