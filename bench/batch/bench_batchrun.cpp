// Figures for the batch run:
//  1. an update with stop and restart over 1,000 ticked machines, zero latency, no waiting
//     for the service (target under 15 s), once without and once with Osprel granting the
//     logon right on every machine;
//  2. the longest the event loop goes without a turn during those runs (target under 100 ms);
//  3. Vantrel's own CPU time while it waits for a process that sleeps 2 s (target under 50 ms);
//  4. a fleet: 1,000 machines with 20 ms per call, stops and starts of 500 ms waited for, 50 of
//     them unreachable with a 5 s time-out; one at a time (first 100 machines, scaled), 32 and
//     64 at once (target at 32: at most 60 s, at least 20 times faster than one at a time, the
//     longest event-loop gap at most 100 ms), with the process's CPU time.
// Usage: bench_batchrun [machines]        figures 1 to 4
//        bench_batchrun --fleet [machines] figure 4 alone
// (Osprel is taken from ../bin beside this program, or from $VANTREL_BIN_DIR)
#include "batch/RunAndWait.h"
#include "clients/ClientList.h"
#include "common/AppEnv.h"
#include "common/Dialogs.h"
#include "platform/sim/SimNetwork.h"
#include "batch/RunSettings.h"
#include "shell/frmMain.h"
#include "shell/frmProgress.h"

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QLineEdit>
#include <QTemporaryDir>
#include <QTimer>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>

namespace {

QString network(int machines, bool granted) {
    QString json =
        R"({"domains": [{"name": "CORP", "sid": "S-1-5-21-1-2-3", "controller": "DC01", "accounts": [
        {"name": "svc_old", "rid": 1100, "use": "user", "password": "0ld!pass"},
        {"name": "svc_new", "rid": 1105, "use": "user", "password": "N3w!pass"}]}], "machines": [
        {"name": "DC01", "domain": "CORP"})";
    const QString rights =
        granted ? R"([{"account": "CORP\\svc_new", "rights": ["SeServiceLogonRight"]}])" : "[]";
    for (int i = 1; i <= machines; ++i) {
        json += QString(R"(,{"name": "BM%1", "domain": "CORP", "latency_ms": 0, "services": [{"name": "Albd",
            "start": "auto", "state": "running", "account": "CORP\\svc_old", "password": "0ld!pass",
            "start_ms": 0, "stop_ms": 0, "wait_hint_ms": 3000}], "rights": %2})")
                    .arg(i, 4, 10, QChar('0'))
                    .arg(rights);
    }
    return json + "]}";
}

double cpuSeconds() {
    timespec ts{};
    clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &ts);
    return double(ts.tv_sec) + double(ts.tv_nsec) / 1e9;
}

// Records the longest stretch between two firings of a short timer: how long the window
// went without handling events.
class GapMeter {
  public:
    GapMeter() {
        QObject::connect(&timer_, &QTimer::timeout, [this] {
            const qint64 now = clock_.nsecsElapsed();
            if (last_ >= 0 && now - last_ > maxGap_) maxGap_ = now - last_;
            last_ = now;
        });
    }
    void start() {
        maxGap_ = 0;
        last_ = -1;
        clock_.start();
        timer_.start(2);
    }
    double stopMs() {
        timer_.stop();
        return double(maxGap_) / 1e6;
    }

  private:
    QTimer timer_;
    QElapsedTimer clock_;
    qint64 last_ = -1;
    qint64 maxGap_ = 0;
};

// Every 20th machine is unreachable and makes each call wait 5 s for its time-out.
QString fleet(int machines) {
    QString json =
        R"({"domains": [{"name": "CORP", "sid": "S-1-5-21-1-2-3", "controller": "DC01", "accounts": [
        {"name": "svc_new", "rid": 1105, "use": "user", "password": "N3w!pass"}]}], "machines": [
        {"name": "DC01", "domain": "CORP", "latency_ms": 20})";
    for (int i = 1; i <= machines; ++i) {
        json += QString(R"(,{"name": "BM%1", "domain": "CORP", "latency_ms": 20, "timeout_ms": 5000,
            "reachable": %2, "services": [{"name": "Albd", "start": "auto", "state": "running",
            "account": "CORP\\svc_old", "password": "0ld!pass", "start_ms": 500, "stop_ms": 500,
            "wait_hint_ms": 3000}], "rights": [{"account": "CORP\\svc_new", "rights": ["SeServiceLogonRight"]}]})")
                    .arg(i, 4, 10, QChar('0'))
                    .arg(i % 20 == 0 ? "false" : "true");
    }
    return json + "]}";
}

struct RunFigures {
    double seconds = 0;
    double maxGapMs = 0;
    double cpuSeconds = 0;
    int lines = 0;
    int restarted = 0;
};

// One update run with stop and restart over `machines` ticked machines of the loaded network.
RunFigures updateRun(int machines, bool grant, bool wait) {
    frmMain w;
    w.Form_Load();
    w.show();
    for (int i = 1; i <= machines; ++i)
        w.clients->append(QString("BM%1").arg(i, 4, 10, QChar('0')), true);
    w.actionTypeCombo->setCurrentText("update");
    w.serviceAccountTxt->setText("CORP\\svc_new");
    w.passwdTxt->setText("N3w!pass");
    w.checkboxStopStartService->setChecked(true);
    w.checkboxWaitForService->setChecked(wait);
    w.cbEnableLogonAsService->setChecked(grant);

    GapMeter gaps;
    QElapsedTimer clock;
    const double cpuBefore = cpuSeconds();
    gaps.start();
    clock.start();
    w.executeBut_Click();
    RunFigures f;
    f.seconds = double(clock.nsecsElapsed()) / 1e9;
    f.maxGapMs = gaps.stopMs();
    f.cpuSeconds = cpuSeconds() - cpuBefore;

    const QDir dir(QString::fromStdString(vantrel::programDirectory()));
    for (const QString& name : dir.entryList({"_results*.csv"})) {
        QFile file(dir.filePath(name));
        if (!file.open(QIODevice::ReadOnly)) continue;
        const QList<QByteArray> rows = file.readAll().split('\n');
        for (const QByteArray& row : rows) {
            if (!row.startsWith("BM")) continue;
            ++f.lines;
            if (row.split(',').value(3) == "True") ++f.restarted;
        }
        file.remove();
    }
    return f;
}

} // namespace

void fleetFigures(const QString& db, int machines) {
    const std::string json = fleet(machines).toStdString();
    const int sample = std::min(100, machines);
    std::printf("fleet of %d machines, 20 ms per call, 500 ms stops and starts (waited for), every 20th "
                "unreachable (5 s time-out):\n",
                machines);
    double oneAtATime = 0;
    for (int atOnce : {1, 32, 64}) {
        platform::sim::loadNetwork(db.toStdString(), json);
        vantrel::setMachinesAtOnce(atOnce);
        const int ran = atOnce == 1 ? sample : machines;
        const RunFigures f = updateRun(ran, false, true);
        const double whole = f.seconds * machines / ran;
        if (atOnce == 1) oneAtATime = whole;
        const std::string measured =
            ran == machines
                ? std::string()
                : QString(" (%1 machines in %2 s, scaled)").arg(ran).arg(f.seconds, 0, 'f', 1).toStdString();
        std::printf(
            "  %2d at once: %.1f s%s, %.1f times faster than one at a time; results lines %d, restarted %d; "
            "longest event-loop gap %.1f ms; CPU time %.2f s\n",
            atOnce, whole, measured.c_str(), oneAtATime / whole, f.lines, f.restarted, f.maxGapMs,
            f.cpuSeconds * machines / ran);
        std::fflush(stdout);
    }
    vantrel::setMachinesAtOnce(1);
}

int main(int argc, char** argv) {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    QApplication::setQuitOnLastWindowClosed(false);
    const bool fleetOnly = argc > 1 && std::strcmp(argv[1], "--fleet") == 0;
    const int countArg = fleetOnly ? 2 : 1;
    const int machines = argc > countArg ? std::max(1, std::atoi(argv[countArg])) : 1000;

    QTemporaryDir tmp;
    const QString db = tmp.filePath("net.db");
    qputenv("SIMNET_DB", db.toUtf8());
    platform::sim::useDatabase(db.toStdString());
    const QString binDir = qEnvironmentVariableIsEmpty("VANTREL_BIN_DIR")
                               ? QCoreApplication::applicationDirPath() + "/../bin"
                               : qEnvironmentVariable("VANTREL_BIN_DIR");
    const QString progDir = tmp.filePath("prog");
    QDir().mkpath(progDir);
    if (!QFile::link(QFileInfo(binDir + "/Osprel").absoluteFilePath(), progDir + "/Osprel")) {
        std::fprintf(stderr, "cannot link Osprel from %s\n", qPrintable(binDir));
        return 1;
    }
    vantrel::setProgramDirectory(progDir.toStdString());
    vantrel::ScriptedDialogs boxes;
    vantrel::setDialogs(&boxes);
    vantrel::setYieldFunction([] { QCoreApplication::processEvents(); });
    // The setting lives in the bench's own folder, not the user's.
    qputenv("XDG_CONFIG_HOME", tmp.filePath("config").toUtf8());
    vantrel::setMachinesAtOnce(1);

    if (fleetOnly) {
        fleetFigures(db, machines);
        return 0;
    }
    for (bool grant : {false, true}) {
        platform::sim::loadNetwork(db.toStdString(), network(machines, !grant).toStdString());
        const RunFigures f = updateRun(machines, grant, false);
        std::printf("update + stop/restart, %d machines, no wait%s: %.2f s (%.2f ms per machine); "
                    "results lines %d, restarted %d; longest event-loop gap %.1f ms\n",
                    machines, grant ? ", granting the right with Osprel" : "", f.seconds,
                    f.seconds * 1000.0 / machines, f.lines, f.restarted, f.maxGapMs);
    }

    // Once bare, once with the progress window up as during a run (its bar ticks every 10 ms,
    // which is most of what the window does while it waits).
    for (bool withProgress : {false, true}) {
        frmMain w;
        w.show();
        if (withProgress) w.progress()->start_progress("Executing please wait...");
        const double before = cpuSeconds();
        QElapsedTimer clock;
        clock.start();
        const auto outcome = vantrel::RunAndWait("/bin/sleep", {"2"}, {&w});
        const double wall = double(clock.nsecsElapsed()) / 1e9;
        const double cpu = cpuSeconds() - before;
        if (withProgress) w.progress()->stop_progress();
        std::printf("waiting for a process that sleeps 2 s (%s, %.2f s)%s: Vantrel's own CPU time %.1f ms\n",
                    outcome == vantrel::RunOutcome::Finished ? "finished" : "NOT finished", wall,
                    withProgress ? ", progress window shown" : "", cpu * 1000.0);
    }
    fleetFigures(db, machines);
    return 0;
}
