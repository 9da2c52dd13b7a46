// vantrel-run: the window's batch run from the command line, for a scheduler or a password
// vault's rotation hook. It asks the same core the same questions and answers them from its
// options, each with the safe default.
#include "batch/BatchRun.h"
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
#include <csignal>
#include <iostream>

using namespace vantrel;
using namespace vantrel::console;

namespace {

enum Exit { AllSucceeded = 0, SomeFailed = 1, Refused = 2, HaltedOnLogon = 3 };

std::atomic<bool> stopAsked{false};

// The first Ctrl+C (or SIGTERM) asks the run to stop as the window's Stop does: no further
// machine starts, those in flight finish, the results are saved. A second one ends the program.
extern "C" void onStopSignal(int signal) {
    stopAsked = true;
    std::signal(signal, SIG_DFL);
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
    return boxes.failures() == 0;
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

    std::signal(SIGINT, onStopSignal);
    std::signal(SIGTERM, onStopSignal);
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
