// Figures for a whole site: by default 10,000 machines of the fleet's mix (20 ms per remote
// call, stops and starts of 500 ms, every 20th machine dead with a 5 s time-out), updated with
// stop and restart, each start and stop waited for, 64 at once:
//  1. unattended: `vantrel-run update --restart --wait --machines-at-once N` as its own
//     process; wall time against the run's physical limit, CPU time (simulation included)
//     and peak memory of that process, rows written;
//  2. through the window (offscreen, in a process of its own): wall time, the event loop's
//     longest gap, how long "Machine n of N" went without moving once the canary had widened, the
//     list's marks after the run, peak memory.
// The limit is the machines' own time over the machines at once: a live machine needs at least
// its stop and its start and six remote calls, a dead one its time-out. The remote calls one
// live machine's sequence really makes (its waits included) are counted first, and the time it
// takes alone.
// Usage: bench_site [machines] [at-once]              both figures
//        bench_site --console|--window [machines] [at-once]
// (vantrel-run is taken from ../bin beside this program, or from $VANTREL_BIN_DIR)
#include "batch/RunSettings.h"
#include "clients/ClientList.h"
#include "clients/RunMarks.h"
#include "common/AppEnv.h"
#include "common/Dialogs.h"
#include "platform/sim/SimNetwork.h"
#include "shell/frmMain.h"
#include "shell/frmProgress.h"

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QTemporaryDir>
#include <QTimer>

#include <sqlite3.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <string>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

namespace {

constexpr int LatencyMs = 20;
constexpr int StopStartMs = 500;
constexpr int TimeoutMs = 5000;
constexpr int NeededCalls = 6;

bool dead(int i) {
    return i % 20 == 0;
}

QString machineName(int i) {
    return QString("BM%1").arg(i, 5, 10, QChar('0'));
}

// `callLimit` > 0 makes every machine count its remote calls down from there.
std::string site(int machines, int callLimit = 0) {
    QString json =
        R"({"domains": [{"name": "CORP", "sid": "S-1-5-21-1-2-3", "controller": "DC01", "accounts": [
        {"name": "svc_new", "rid": 1105, "use": "user", "password": "N3w!pass"}]}], "machines": [
        {"name": "DC01", "domain": "CORP", "latency_ms": 20})";
    const QString limit = callLimit > 0 ? QString(R"("unreachable_after_calls": %1, )").arg(callLimit) : "";
    for (int i = 1; i <= machines; ++i) {
        json += QString(R"(,{"name": "%1", "domain": "CORP", "latency_ms": %2, "timeout_ms": %3, %4
            "reachable": %5, "services": [{"name": "Albd", "start": "auto", "state": "running",
            "account": "CORP\\svc_old", "password": "0ld!pass", "start_ms": %6, "stop_ms": %6,
            "wait_hint_ms": 3000}], "rights": [{"account": "CORP\\svc_new", "rights": ["SeServiceLogonRight"]}]})")
                    .arg(machineName(i))
                    .arg(LatencyMs)
                    .arg(TimeoutMs)
                    .arg(limit)
                    .arg(dead(i) ? "false" : "true")
                    .arg(StopStartMs);
    }
    return (json + "]}").toStdString();
}

double seconds(const timeval& t) {
    return double(t.tv_sec) + double(t.tv_usec) / 1e6;
}

struct Child {
    double wall = 0;
    double cpu = 0;
    long maxRssKb = 0;
    int status = -1;
};

// Runs a program to its end with stdout to `out`; its own resource use, as wait4 reports it.
Child runChild(const std::vector<std::string>& args, const std::string& out) {
    std::vector<char*> argv;
    for (const std::string& a : args)
        argv.push_back(const_cast<char*>(a.c_str()));
    argv.push_back(nullptr);
    QElapsedTimer clock;
    clock.start();
    const pid_t pid = fork();
    if (pid == 0) {
        const int fd = open(out.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
        if (fd >= 0) dup2(fd, 1);
        execv(argv[0], argv.data());
        _exit(127);
    }
    Child c;
    rusage ru{};
    int status = 0;
    if (pid > 0 && wait4(pid, &status, 0, &ru) == pid) {
        c.wall = double(clock.nsecsElapsed()) / 1e9;
        c.cpu = seconds(ru.ru_utime) + seconds(ru.ru_stime);
        c.maxRssKb = ru.ru_maxrss;
        c.status = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    }
    return c;
}

struct Rows {
    int lines = 0, updated = 0, restarted = 0;
};

Rows countRows(const QString& path) {
    Rows r;
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) return r;
    for (const QByteArray& row : file.readAll().split('\n')) {
        if (!row.startsWith("BM")) continue;
        const QList<QByteArray> f = row.split(',');
        ++r.lines;
        if (f.value(1) == "True") ++r.updated;
        if (f.value(3) == "True") ++r.restarted;
    }
    return r;
}

struct Paths {
    std::string runner, self, db, dir;
};

std::vector<std::string> runArgs(const Paths& p, int atOnce, const std::string& hosts,
                                 const std::string& results) {
    return {p.runner,
            "update",
            "--restart",
            "--wait",
            "--machines-at-once",
            std::to_string(atOnce),
            "--account",
            "CORP\\svc_new",
            "--password-file",
            p.dir + "/password",
            "--hosts",
            hosts,
            "--results",
            results};
}

void writeHosts(const std::string& path, int machines) {
    QFile h(QString::fromStdString(path));
    if (!h.open(QIODevice::WriteOnly)) return;
    for (int i = 1; i <= machines; ++i)
        h.write(machineName(i).toUtf8() + "\n");
}

struct OneMachine {
    int calls = -1;
    double seconds = 0; // its sequence alone: two machines' run less one machine's
};

// One live machine's sequence: the remote calls it makes (its call count spent, read from the
// file) and how long it takes.
OneMachine oneLiveMachine(const Paths& p) {
    constexpr int Budget = 100000;
    const std::string hosts = p.dir + "/one.txt", results = p.dir + "/one.csv";
    OneMachine one;
    double wall[2] = {};
    for (int machines : {2, 1}) {
        platform::sim::loadNetwork(p.db, site(machines, Budget));
        writeHosts(hosts, machines);
        QFile::remove(QString::fromStdString(results));
        wall[machines - 1] = runChild(runArgs(p, 1, hosts, results), p.dir + "/one.out").wall;
    }
    one.seconds = wall[1] - wall[0];
    sqlite3* db = nullptr;
    int left = -1;
    if (sqlite3_open_v2(p.db.c_str(), &db, SQLITE_OPEN_READONLY, nullptr) == SQLITE_OK) {
        sqlite3_stmt* q = nullptr;
        if (sqlite3_prepare_v2(db, "SELECT calls_left FROM machines WHERE name = 'BM00001'", -1, &q,
                               nullptr) == SQLITE_OK &&
            sqlite3_step(q) == SQLITE_ROW)
            left = sqlite3_column_int(q, 0);
        sqlite3_finalize(q);
    }
    sqlite3_close(db);
    one.calls = left < 0 ? -1 : Budget - left;
    return one;
}

double limitSeconds(int machines, int atOnce) {
    int deadOnes = 0;
    for (int i = 1; i <= machines; ++i)
        if (dead(i)) ++deadOnes;
    const double live = (2.0 * StopStartMs + NeededCalls * LatencyMs) / 1000.0;
    return ((machines - deadOnes) * live + deadOnes * TimeoutMs / 1000.0) / atOnce;
}

void consoleFigures(const Paths& p, int machines, int atOnce) {
    platform::sim::loadNetwork(p.db, site(machines));
    const std::string hosts = p.dir + "/hosts.txt", results = p.dir + "/site.csv";
    writeHosts(hosts, machines);
    QFile::remove(QString::fromStdString(results));
    const Child c = runChild(runArgs(p, atOnce, hosts, results), p.dir + "/site.out");
    const Rows r = countRows(QString::fromStdString(results));
    const double limit = limitSeconds(machines, atOnce);
    std::printf("  unattended (vantrel-run): %.1f s, %.3f times the limit; rows %d, updated %d, restarted %d "
                "(exit status %d); CPU time %.2f s; peak memory %.1f MB\n",
                c.wall, c.wall / limit, r.lines, r.updated, r.restarted, c.status, c.cpu,
                c.maxRssKb / 1024.0);
    std::fflush(stdout);
}

void windowFigures(const Paths& p, int machines, int atOnce, double limit) {
    platform::sim::loadNetwork(p.db, site(machines));
    const std::string out = p.dir + "/window.out";
    const Child c = runChild(
        {p.self, "--window-child", std::to_string(machines), std::to_string(atOnce), p.db, p.dir}, out);
    QFile f(QString::fromStdString(out));
    QByteArray line = f.open(QIODevice::ReadOnly) ? f.readAll().trimmed() : QByteArray("(no figures)");
    std::printf("  through the window: %.1f s with start-up, %.3f times the limit; %s; CPU time %.2f s; peak "
                "memory %.1f MB\n",
                c.wall, c.wall / limit, line.constData(), c.cpu, c.maxRssKb / 1024.0);
    std::fflush(stdout);
}

// The window's run, inside the child process.
int windowChild(int argc, char** argv) {
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    QApplication::setQuitOnLastWindowClosed(false);
    const int machines = std::atoi(argv[2]);
    const int atOnce = std::atoi(argv[3]);
    const QString dir = QString::fromLocal8Bit(argv[5]);
    platform::sim::useDatabase(argv[4]);
    QDir().mkpath(dir + "/prog");
    vantrel::setProgramDirectory((dir + "/prog").toStdString());
    vantrel::ScriptedDialogs boxes;
    vantrel::setDialogs(&boxes);
    vantrel::setYieldFunction([] { QCoreApplication::processEvents(); });
    qputenv("XDG_CONFIG_HOME", (dir + "/config").toUtf8());

    frmMain w;
    w.Form_Load();
    w.show();
    for (int i = 1; i <= machines; ++i)
        w.clients->append(machineName(i), true);
    w.actionTypeCombo->setCurrentText("update");
    w.serviceAccountTxt->setText("CORP\\svc_new");
    w.passwdTxt->setText("N3w!pass");
    w.checkboxStopStartService->setChecked(true);
    w.checkboxWaitForService->setChecked(true);
    w.cbEnableLogonAsService->setChecked(false);
    vantrel::setMachinesAtOnce(atOnce);

    // One probe every 2 ms: the longest stretch between two of its turns is the event loop's
    // longest gap; "Machine n of N" is read at each turn.
    QElapsedTimer clock;
    QTimer probe;
    qint64 last = -1, maxGap = 0, maxGapAt = 0, lastMove = -1, maxStill = 0;
    int longGaps = 0; // over 50 ms
    QString shown, lastShown;
    QObject::connect(&probe, &QTimer::timeout, [&] {
        const qint64 now = clock.nsecsElapsed();
        if (last >= 0 && now - last > 50'000'000) ++longGaps;
        if (last >= 0 && now - last > maxGap) {
            maxGap = now - last;
            maxGapAt = last;
        }
        last = now;
        const QString text = w.progress()->positionLbl->text();
        if (text == shown) return;
        // Once the canary has widened to all at once and until the last has started, the
        // display should move with every start and end.
        if (lastMove >= 0) maxStill = std::max(maxStill, now - lastMove);
        const int n = text.section(' ', 1, 1).toInt();
        const bool moving = text.startsWith("Machine ") && n > 2 * atOnce && n < machines;
        lastMove = moving ? now : -1;
        if (!text.isEmpty()) lastShown = text;
        shown = text;
    });
    clock.start();
    probe.start(2);
    w.executeBut_Click();
    probe.stop();
    const double wall = double(clock.nsecsElapsed()) / 1e9;

    int failedMarks = 0, untriedMarks = 0;
    for (int i = 0; i < machines; ++i) {
        const auto mark = w.runMarks->markAt(i);
        if (mark == vantrel::RunMarks::Mark::Failed) ++failedMarks;
        if (mark == vantrel::RunMarks::Mark::NotTried) ++untriedMarks;
    }
    Rows r;
    for (const QString& name : QDir(dir + "/prog").entryList({"_results*.csv"})) {
        const Rows one = countRows(dir + "/prog/" + name);
        r.lines += one.lines;
        r.updated += one.updated;
        r.restarted += one.restarted;
    }
    std::printf(
        "run %.1f s; longest event-loop gap %.1f ms (from %.2f s), %d over 50 ms; \"Machine n of N\" still "
        "at most %.0f ms "
        "once the "
        "canary had widened, last shown \"%s\"; marks: %d failed, %d not tried; rows %d, updated %d, "
        "restarted %d\n",
        wall, double(maxGap) / 1e6, double(maxGapAt) / 1e9, longGaps, double(maxStill) / 1e6,
        qPrintable(lastShown), failedMarks, untriedMarks, r.lines, r.updated, r.restarted);
    return 0;
}

} // namespace

int main(int argc, char** argv) {
    if (argc > 1 && std::strcmp(argv[1], "--window-child") == 0 && argc > 5) return windowChild(argc, argv);
    QCoreApplication app(argc, argv);
    int arg = 1;
    bool console = true, window = true;
    if (argc > arg && std::strcmp(argv[arg], "--console") == 0)
        window = false, ++arg;
    else if (argc > arg && std::strcmp(argv[arg], "--window") == 0)
        console = false, ++arg;
    const int machines = argc > arg ? std::max(1, std::atoi(argv[arg])) : 10000;
    const int atOnce = argc > arg + 1 ? std::clamp(std::atoi(argv[arg + 1]), 1, 64) : 64;

    QTemporaryDir tmp;
    Paths p;
    p.dir = tmp.path().toStdString();
    p.db = p.dir + "/net.db";
    p.self = QCoreApplication::applicationFilePath().toStdString();
    const QString binDir = qEnvironmentVariableIsEmpty("VANTREL_BIN_DIR")
                               ? QCoreApplication::applicationDirPath() + "/../bin"
                               : qEnvironmentVariable("VANTREL_BIN_DIR");
    p.runner = QFileInfo(binDir + "/vantrel-run").absoluteFilePath().toStdString();
    if (!QFileInfo(QString::fromStdString(p.runner)).isExecutable()) {
        std::fprintf(stderr, "no vantrel-run in %s\n", qPrintable(binDir));
        return 1;
    }
    qputenv("SIMNET_DB", p.db.c_str());
    platform::sim::useDatabase(p.db);
    QFile pw(QString::fromStdString(p.dir + "/password"));
    if (!pw.open(QIODevice::WriteOnly)) return 1;
    pw.write("N3w!pass\n");
    pw.close();
    chmod((p.dir + "/password").c_str(), 0600);

    const OneMachine one = oneLiveMachine(p);
    const double limit = limitSeconds(machines, atOnce);
    std::printf(
        "site of %d machines, %d at once: %d ms per remote call, %d ms stops and starts (waited for), "
        "every 20th dead (%d s time-out); limit %.1f s (a live machine %.2f s: its stop, its start and "
        "%d remote calls)\n  one live machine alone: %d remote calls, %.2f s\n",
        machines, atOnce, LatencyMs, StopStartMs, TimeoutMs / 1000, limit,
        (2.0 * StopStartMs + NeededCalls * LatencyMs) / 1000.0, NeededCalls, one.calls, one.seconds);
    std::fflush(stdout);
    if (console) consoleFigures(p, machines, atOnce);
    if (window) windowFigures(p, machines, atOnce, limit);
    return 0;
}
