// vantrel-run: the window's batch run from the command line, for a scheduler or a password
// vault's rotation hook. It asks the same core the same questions and answers them from its
// options, each with the safe default.
#include "batch/BatchRun.h"
#include "batch/Schedule.h"
#include "batch/Sequence.h"
#include "clients/ClearCaseLists.h"
#include "clients/ClientNames.h"
#include "clients/Discovery.h"
#include "clients/HostFiles.h"
#include "common/Dialogs.h"
#include "common/Names.h"
#include "console/ConsoleHost.h"
#include "console/Options.h"
#include "console/Secret.h"

#include <QCoreApplication>
#include <QStringList>

#include <atomic>
#include <cerrno>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <iostream>
#include <set>
#include <thread>
#include <vector>

#ifndef _WIN32
#include <unistd.h>
#endif

using namespace vantrel;
using namespace vantrel::console;

namespace {

enum Exit { AllSucceeded = 0, SomeFailed = 1, Refused = 2, HaltedOnLogon = 3 };

std::atomic<bool> stopAsked{false};
std::atomic<int> stopSignals{0};
std::vector<std::string> tickedMachines; // set before the handlers, read by endNow
#ifndef _WIN32
int endNowPipe[2] = {-1, -1};
#endif

// Ends the run at once: machines in flight get a row that says where they were, those not
// reached their "Not tried" row; the process then ends without waiting for calls that may
// take their time-out to return.
[[noreturn]] void endNow() {
    const std::string path = abandonCurrentRun(tickedMachines);
    const std::string line = "Run ended at once on a second stop signal" +
                             (path.empty() ? std::string() : ", results in " + path) + "\n";
    std::fwrite(line.data(), 1, line.size(), stdout);
    std::fflush(stdout);
    std::_Exit(SomeFailed);
}

// The first Ctrl+C, SIGTERM or SIGHUP (a dropped session) asks the run to stop as the window's
// Stop does: no further machine starts, those in flight finish, the results are saved. A
// second one ends the run at once (endNow).
extern "C" void onStopSignal(int signal) {
    stopAsked = true;
#ifdef _WIN32
    std::signal(signal, onStopSignal); // reset to the default on every delivery
    // Windows runs the handler on a thread of its own.
    if (++stopSignals == 2) endNow();
#else
    (void)signal;
    if (++stopSignals == 2) {
        const char byte = 1;
        [[maybe_unused]] const auto written = ::write(endNowPipe[1], &byte, 1);
    }
#endif
}

void handleStopSignals(const NameList& machines) {
    for (int i = 0; i < machines.count(); ++i)
        tickedMachines.push_back(machines.text(i).toStdString());
#ifndef _WIN32
    // A closed standard output (a pipe whose reader has gone) must not end the run: lines
    // that cannot be written are dropped.
    std::signal(SIGPIPE, SIG_IGN);
    // endNow waits on a thread of its own: little may be done inside a handler.
    if (::pipe(endNowPipe) == 0) {
        std::thread([] {
            char byte = 0;
            while (::read(endNowPipe[0], &byte, 1) < 0 && errno == EINTR) {
            }
            endNow();
        }).detach();
    }
    std::signal(SIGHUP, onStopSignal);
#endif
    std::signal(SIGINT, onStopSignal);
    std::signal(SIGTERM, onStopSignal);
}

// The machines, from every source given, into one list that drops duplicates as the window's
// list does. False (after saying why) when a source failed: an unattended run never goes on
// with part of its list.
bool gatherMachines(const Options& o, NameList& list, ConsoleDialogs& boxes, Terminal& t) {
    for (const std::string& name : o.machines) {
        if (name.empty()) continue; // as the window's Add takes no empty name
        const QString entry = QString::fromStdString(name);
        if (list.is_dup_list(entry)) continue;
        if (!list.append(entry, true)) {
            reportClientListFull("vantrel-run");
            return false;
        }
    }
    if (!o.hostsFile.empty() && !ReadHostFile(QString::fromStdString(o.hostsFile), list)) return false;
    if (!o.licenceServer.empty()) {
        const QString server = QString::fromStdString(trimBlanks(o.licenceServer));
        if (!GetClearCaseClients(server, list)) {
            if (boxes.failures() == 0) t.err("vantrel-run: " + server.toStdString() + " listed no clients");
            return false;
        }
    }
    if (!o.network.empty()) {
        // The browser's list as the window takes it, then merged by the duplicate rule.
        NameList found;
        SearchNetwork(found, CriteriaToServerType(QString::fromStdString(o.network)));
        for (int i = 0; i < found.count(); ++i) {
            if (list.is_dup_list(found.text(i))) continue;
            if (!list.append(found.text(i), true)) {
                reportClientListFull("SearchNetwork()");
                return false;
            }
        }
    }
    if (boxes.failures() != 0) return false;
    // Entries that name one machine in other spellings ("\\\\WS001", " WS001 ", "ws001") are
    // worked on once, at the first one's place, as the list's duplicate rule intends.
    std::set<std::string> seen;
    for (int i = 0; i < list.count();) {
        if (seen.insert(machineKey(list.text(i).toStdString())).second)
            ++i;
        else
            list.removeAt(i);
    }
    return true;
}

} // namespace

int main(int argc, char** argv) {
    platform::keepSecretsInProcess();
    QCoreApplication app(argc, argv);
    QStringList arguments = QCoreApplication::arguments();
    arguments.removeFirst();
    std::vector<std::string> args;
    for (const QString& a : arguments)
        args.push_back(a.toStdString());

    const Options o = parseOptions(args);
    if (o.help) {
        std::cout << usageText();
        return AllSucceeded;
    }
    if (!o.error.empty()) {
        std::cerr << "vantrel-run: " << o.error << "\n\n" << usageText();
        return Refused;
    }

    Terminal terminal;
    ConsoleDialogs boxes(terminal);
    setDialogs(&boxes);

    Secret secret;
    if (o.passwordStdin) secret = passwordFromStdin();
    if (!o.passwordFile.empty()) secret = passwordFromFile(o.passwordFile);
    if (!secret.refusal.empty()) {
        terminal.err("vantrel-run: " + secret.refusal);
        return Refused;
    }

    NameList machines;
    if (!gatherMachines(o, machines, boxes, terminal)) return Refused;

    handleStopSignals(machines);
    ConsoleHost host(o, secret.password, machines, terminal, stopAsked);
    const BatchReport report = runBatch(host);
    switch (report.end) {
    case BatchReport::End::Refused:
        return Refused;
    case BatchReport::End::Halted:
        return HaltedOnLogon;
    case BatchReport::End::Finished:
        return report.failed == 0 && report.notTried == 0 ? AllSucceeded : SomeFailed;
    case BatchReport::End::Stopped:
    case BatchReport::End::Faulted:
        break;
    }
    return SomeFailed;
}
