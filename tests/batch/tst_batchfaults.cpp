// The results file tells the truth when machines fail in the middle of their sequence and
// when the program itself is killed mid-run. Each machine of the network becomes
// unreachable after a different number of calls, so a fault strikes at every step of the
// update (Osprel's grant, the lock, the change, the stop, the waits, the start); the rows
// are then checked against what the network really holds.
#include "batch/RunSettings.h"
#include "clients/ClientList.h"
#include "clients/RunMarks.h"
#include "common/AppEnv.h"
#include "common/Dialogs.h"
#include "common/MainWindow.h"
#include "common/Names.h"
#include "platform/sim/SimNetwork.h"
#include "shell/frmMain.h"

#include "Fixture.h"
#include "Scripts.h"

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QDir>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QProcess>
#include <QPushButton>
#include <QRandomGenerator>
#include <QTemporaryDir>
#include <QtTest>

#include <nlohmann/json.hpp>
#include <sqlite3.h>

#include <csignal>
#include <map>

using nlohmann::json;

namespace {

const std::string NewAccount = "CORP\\svc_new";
const std::string NewPassword = "N3w!pass";
const QByteArray Header = "MACHINE,STOPPED,UPDATED,RESTARTED,ERROR MESSAGE\r\n";
const char* ChildVariable = "VANTREL_FAULTS_CHILD";

json domain() {
    return json::parse(R"({"name": "CORP", "sid": "S-1-5-21-1-2-3", "controller": "DC01", "accounts": [
        {"name": "svc_old", "rid": 1100, "use": "user", "password": "0ld!pass"},
        {"name": "svc_new", "rid": 1105, "use": "user", "password": "N3w!pass"}]})");
}

json albdMachine(const std::string& name, const std::string& state, int stopMs, int startMs) {
    json service = {
        {"name", "Albd"},         {"start", "auto"},     {"state", state},    {"account", "CORP\\svc_old"},
        {"password", "0ld!pass"}, {"start_ms", startMs}, {"stop_ms", stopMs}, {"wait_hint_ms", 40}};
    return {{"name", name}, {"domain", "CORP"}, {"services", json::array({service})}};
}

// RFC 4180 fields of one line (without its CR LF); false when the line is malformed.
bool splitCsv(const QByteArray& line, QList<QByteArray>& fields) {
    fields.clear();
    QByteArray field;
    bool quoted = false, wasQuoted = false;
    for (qsizetype i = 0; i < line.size(); ++i) {
        const char c = line[i];
        if (quoted) {
            if (c != '"') {
                field += c;
            } else if (i + 1 < line.size() && line[i + 1] == '"') {
                field += '"';
                ++i;
            } else {
                quoted = false;
            }
        } else if (c == ',') {
            fields << field;
            field.clear();
            wasQuoted = false;
        } else if (c == '"' && field.isEmpty() && !wasQuoted) {
            quoted = wasQuoted = true;
        } else {
            field += c;
        }
    }
    fields << field;
    return !quoted;
}

// The data rows of a results file, each split into its five fields; an empty list and a
// failure message when the file is not a header followed by whole, well-formed lines.
QList<QList<QByteArray>> readRows(const QString& path, QString& problem) {
    const QByteArray text = batchtest::readAll(path);
    QList<QList<QByteArray>> rows;
    if (!text.startsWith(Header)) {
        problem = "no header: " + QString::fromUtf8(text.left(80));
        return {};
    }
    if (!text.endsWith("\r\n")) {
        problem = "a partial last line: " + QString::fromUtf8(text.right(80));
        return {};
    }
    QList<QByteArray> lines = text.mid(Header.size()).split('\n');
    lines.removeLast(); // after the final LF
    for (QByteArray line : lines) {
        if (!line.endsWith('\r')) {
            problem = "a bare LF in " + QString::fromUtf8(line);
            return {};
        }
        line.chop(1);
        QList<QByteArray> fields;
        if (!splitCsv(line, fields) || fields.size() != 5) {
            problem = "a malformed line: " + QString::fromUtf8(line);
            return {};
        }
        rows << fields;
    }
    return rows;
}

int lockCount(const std::string& db) {
    sqlite3* h = nullptr;
    int count = -1;
    if (sqlite3_open_v2(db.c_str(), &h, SQLITE_OPEN_READONLY, nullptr) == SQLITE_OK) {
        sqlite3_stmt* st = nullptr;
        if (sqlite3_prepare_v2(h, "SELECT count(*) FROM scm_locks", -1, &st, nullptr) == SQLITE_OK &&
            sqlite3_step(st) == SQLITE_ROW)
            count = sqlite3_column_int(st, 0);
        sqlite3_finalize(st);
    }
    sqlite3_close(h);
    return count;
}

// One run through the main window over the machines given, as a person would start it:
// account, password, stop and restart, wait ticked, the logon right as asked. The window is
// kept for what it shows afterwards.
std::unique_ptr<frmMain> runThroughWindow(const QString& action, const QStringList& machines, bool grant) {
    auto w = simtest::openMainWindow();
    for (const auto& m : machines)
        w->clients->append(m, true);
    w->actionTypeCombo->setCurrentText(action);
    w->serviceNameCombo->setCurrentText("Albd");
    w->serviceAccountTxt->setText(QString::fromStdString(NewAccount));
    w->passwdTxt->setText(QString::fromStdString(NewPassword));
    w->cbEnableLogonAsService->setChecked(grant);
    w->checkboxStopStartService->setChecked(true);
    w->checkboxWaitForService->setChecked(true);
    QTest::mouseClick(w->executeBut, Qt::LeftButton);
    return w;
}

void runUpdate(const QStringList& machines, bool grant) {
    runThroughWindow("update", machines, grant);
}

// What a run through either front end left behind.
struct RunSeen {
    QString resultsPath; // empty: no results file
    QString summary;     // the "Run summary:" line
    QString marks;       // the window's list: F failed, N not tried, - done
    int status = -1;     // vantrel-run's exit status
};

RunSeen runInWindow(const QString& action, const QStringList& machines, bool grant, const QString& folder) {
    RunSeen seen;
    const auto w = runThroughWindow(action, machines, grant);
    const QStringList files = QDir(folder).entryList({"_results*.csv"}, QDir::Files);
    if (!files.isEmpty()) seen.resultsPath = folder + "/" + files.first();
    const QStringList pane = w->textMsg->toPlainText().split('\n');
    seen.summary = pane.filter(QRegularExpression("^Run summary: ")).value(0);
    for (int i = 0; i < w->clients->count(); ++i) {
        const auto mark = w->runMarks->markAt(i);
        seen.marks += mark == vantrel::RunMarks::Mark::Failed     ? 'F'
                      : mark == vantrel::RunMarks::Mark::NotTried ? 'N'
                                                                  : '-';
    }
    return seen;
}

RunSeen runInConsole(const QString& action, const QStringList& machines, bool grant, const QString& folder) {
    RunSeen seen;
    seen.resultsPath = folder + "/r.csv";
    QStringList args = {action, "--wait", "--results", seen.resultsPath};
    if (action == "update")
        args << "--account" << QString::fromStdString(NewAccount) << "--password-stdin"
             << "--restart";
    if (grant) args << "--grant-right";
    const batchtest::ConsoleRun run = batchtest::runConsole(
        args + machines, QByteArray::fromStdString(NewPassword) + "\n", folder, folder + "/vantrel-run");
    seen.status = run.status;
    seen.summary =
        QString::fromUtf8(run.out).split('\n').filter(QRegularExpression("^Run summary: ")).value(0);
    return seen;
}

QStringList machineNames(int count) {
    QStringList names;
    for (int i = 0; i < count; ++i)
        names << QString("WS%1").arg(i, 3, 10, QChar('0'));
    return names;
}

} // namespace

class tst_BatchFaults : public QObject {
    Q_OBJECT

    QTemporaryDir tmp;
    QString progDir;
    std::string db;
    vantrel::ScriptedDialogs boxes;

    QStringList resultsFiles() { return QDir(progDir).entryList({"_results*.csv"}, QDir::Files, QDir::Name); }
    void clearResults() {
        for (const auto& f : resultsFiles())
            QFile::remove(progDir + "/" + f);
    }
    json machinesOf(const json& network) {
        json byName = json::object();
        for (const auto& m : network["machines"])
            byName[m["name"].get<std::string>()] = m;
        return byName;
    }

  private slots:
    void initTestCase() {
        QVERIFY(tmp.isValid());
        // Machines at once is a per-user setting: this test keeps its own.
        qputenv("XDG_CONFIG_HOME", tmp.filePath("config").toUtf8());
        db = tmp.filePath("net.db").toStdString();
        qputenv("SIMNET_DB", QByteArray::fromStdString(db)); // Osprel and the child runs share it
        platform::sim::useDatabase(db);
        progDir = tmp.filePath("prog");
        QVERIFY(QDir().mkpath(progDir));
        const QString osprel = qEnvironmentVariable("VANTREL_BIN_DIR") + "/Osprel";
        QVERIFY2(QFile::exists(osprel), qPrintable(osprel));
        QVERIFY(QFile::link(osprel, progDir + "/Osprel"));
        vantrel::setProgramDirectory(progDir.toStdString());
        vantrel::setDialogs(&boxes);
        vantrel::setPauseUnitMicroseconds(10);
        vantrel::setYieldFunction([] { QCoreApplication::processEvents(); });
    }

    // Faults at every step: each row agrees with the network it describes, one machine at a
    // time and several at once.
    void rowsMatchTheNetwork_data() {
        QTest::addColumn<bool>("grant");
        QTest::addColumn<int>("atOnce");
        QTest::newRow("account already holds the right") << false << 1;
        QTest::newRow("Osprel grants the right") << true << 1;
        QTest::newRow("eight at once, account already holds the right") << false << 8;
        QTest::newRow("eight at once, Osprel grants the right") << true << 8;
    }
    void rowsMatchTheNetwork() {
        QFETCH(bool, grant);
        QFETCH(int, atOnce);
        QVERIFY(vantrel::setMachinesAtOnce(atOnce));
        // Enough strike points to pass the whole sequence of one machine, for a service
        // that runs, one that is stopped and one whose stop stays pending for a while.
        const int strikes = 40;
        json network = {{"domains", json::array({domain()})}, {"machines", json::array()}};
        network["machines"].push_back({{"name", "DC01"}, {"domain", "CORP"}});
        QStringList names;
        int n = 0;
        for (const auto& [state, stopMs] : {std::pair{"running", 0}, {"stopped", 0}, {"running", 30}}) {
            for (int k = 0; k <= strikes; ++k) {
                const std::string name = "F" + std::to_string(n++);
                json m = albdMachine(name, state, stopMs, 0);
                if (k < strikes) m["unreachable_after_calls"] = k; // the last one never fails
                if (!grant)
                    m["rights"] =
                        json::array({{{"account", NewAccount}, {"rights", {"SeServiceLogonRight"}}}});
                network["machines"].push_back(m);
                names << QString::fromStdString(name);
            }
        }
        platform::sim::loadNetwork(db, network.dump());
        clearResults();
        boxes.clear();
        runUpdate(names, grant);
        QVERIFY(vantrel::setMachinesAtOnce(1));
        QCOMPARE(resultsFiles().size(), 1);

        QString problem;
        const auto rows = readRows(progDir + "/" + resultsFiles().first(), problem);
        QVERIFY2(problem.isEmpty(), qPrintable(problem));
        QCOMPARE(rows.size(), names.size());
        const json after = machinesOf(json::parse(platform::sim::dumpNetwork(db)));
        int failedRows = 0;
        for (const auto& row : rows) {
            const std::string name = row[0].toStdString();
            const json& albd = after[name]["services"][0];
            const bool changed = albd["account"] == NewAccount && albd["password"] == NewPassword;
            const std::string state = albd["state"];
            const QByteArray error = row[4];
            const QString where = QString::fromStdString(name) + " " + row.join(',') + " state " +
                                  QString::fromStdString(state);
            QVERIFY2(!error.startsWith("Not tried"), qPrintable(where));
            QVERIFY2((row[2] == "True") == changed, qPrintable(where));
            if (row[3] == "True") QVERIFY2(state == "running" && changed, qPrintable(where));
            if (error.startsWith("No Error")) {
                QVERIFY2(row[1] != "False" && row[2] == "True" && row[3] != "False", qPrintable(where));
                QVERIFY2(state == "running", qPrintable(where));
            } else {
                ++failedRows;
            }
            // A service the run stopped and could not start again says so.
            if (row[1] == "True" && state != "running")
                QVERIFY2(row[3] == "False" && error.contains("Restart"), qPrintable(where));
        }
        // Each variant's sequence is longer than seven calls, so at least that many of its
        // machines were struck before their sequence was done.
        QVERIFY2(failedRows >= 3 * 7, qPrintable(QString::number(failedRows)));
        QCOMPARE(lockCount(db), 0);
    }

    // Every action through either front end, on machines that fail in each way: every row,
    // the summary's count, the list's marks and the exit status say what the network holds
    // afterwards. BSL, written \\BSL as on Windows, lacks the right unless it is granted;
    // GOOD holds it already, so a grant that did not happen shows only in the row.
    void everyActionTellsTheTruth_data() {
        QTest::addColumn<QString>("action");
        QTest::addColumn<QString>("osprel"); // empty: no grant asked for
        QTest::addColumn<bool>("console");
        const std::pair<const char*, const char*> variants[] = {{"update", ""},        {"update", "real"},
                                                                {"update", "missing"}, {"update", "failing"},
                                                                {"start", ""},         {"stop", ""}};
        for (const bool console : {false, true})
            for (const auto& [action, osprel] : variants)
                QTest::addRow("%s, %s%s%s", console ? "vantrel-run" : "window", action,
                              *osprel ? ", Osprel " : "", osprel)
                    << action << osprel << console;
    }
    void everyActionTellsTheTruth() {
        QFETCH(QString, action);
        QFETCH(QString, osprel);
        QFETCH(bool, console);
        const bool grant = !osprel.isEmpty();
        const std::string before = action == "start" ? "stopped" : "running";
        json network = {{"domains", json::array({domain()})}, {"machines", json::array()}};
        network["machines"].push_back({{"name", "DC01"}, {"domain", "CORP"}});
        json good = albdMachine("GOOD", before, 0, 0);
        good["rights"] = json::array({{{"account", NewAccount}, {"rights", {"SeServiceLogonRight"}}}});
        json off = albdMachine("OFF", before, 0, 0);
        off["reachable"] = false;
        json refusing = albdMachine("NOADM", before, 0, 0);
        refusing["admin"] = false;
        for (const json& m : {good, off, refusing, albdMachine("BSL", before, 0, 0),
                              json{{"name", "NOSVC"}, {"domain", "CORP"}}})
            network["machines"].push_back(m);
        platform::sim::loadNetwork(db, network.dump());
        const QStringList entries = {"GOOD", "OFF", "NOADM", "NOSVC", "\\\\BSL"};

        const QString folder =
            tmp.filePath(QString("truth-%1").arg(QTest::currentDataTag()).replace(' ', '_'));
        QDir(folder).removeRecursively();
        QVERIFY(QDir().mkpath(folder));
        const QString bin = qEnvironmentVariable("VANTREL_BIN_DIR");
        if (osprel == "real") QVERIFY(QFile::link(bin + "/Osprel", folder + "/Osprel"));
        if (osprel == "failing") QVERIFY(!batchtest::writeScript(folder + "/Osprel", "exit 1\n").isEmpty());
        if (console) QVERIFY(QFile::copy(bin + "/vantrel-run", folder + "/vantrel-run"));
        QFile::setPermissions(folder + "/vantrel-run", QFile::ReadOwner | QFile::ExeOwner);
        vantrel::setProgramDirectory(folder.toStdString());
        boxes.clear();
        const RunSeen seen = console ? runInConsole(action, entries, grant, folder)
                                     : runInWindow(action, entries, grant, folder);
        vantrel::setProgramDirectory(progDir.toStdString());

        // What each machine holds now, and whether its action truly happened.
        const json after = machinesOf(json::parse(platform::sim::dumpNetwork(db)));
        const json given = machinesOf(network);
        QStringList failed;
        for (const QString& entry : entries) {
            const std::string name = vantrel::machineName(entry.toStdString());
            const bool answers = given[name].value("reachable", true) && given[name].value("admin", true);
            const json services = after[name].value("services", json::array());
            const bool serviceThere = answers && !services.empty();
            const std::string state = serviceThere ? services[0]["state"].get<std::string>() : "";
            const bool changed = serviceThere && services[0]["account"] == NewAccount;
            bool done = false;
            if (action == "start") done = state == "running";
            if (action == "stop") done = state == "stopped";
            if (action == "update")
                done = changed && state == "running" && osprel != "missing" && osprel != "failing";
            if (!done) failed << entry;
        }
        // BSL's right was granted exactly when Osprel could grant it.
        const auto holds = [&](const std::string& name) {
            for (const auto& r : after[name].value("rights", json::array()))
                if (r["account"] == NewAccount) return true;
            return false;
        };
        QCOMPARE(holds("BSL"), osprel == "real");

        QVERIFY2(seen.summary.contains(QString(", %1 failed").arg(failed.size())),
                 qPrintable(seen.summary + " / expected failed: " + failed.join(' ')));
        if (console) QCOMPARE(seen.status, failed.isEmpty() ? 0 : 1);
        if (!console) {
            QString expected;
            for (const QString& entry : entries)
                expected += failed.contains(entry) ? 'F' : '-';
            QCOMPARE(seen.marks, expected);
        }
        if (!console && action != "update") {
            QVERIFY(seen.resultsPath.isEmpty());
            return;
        }
        QString problem;
        const auto rows = readRows(seen.resultsPath, problem);
        QVERIFY2(problem.isEmpty(), qPrintable(problem));
        QCOMPARE(rows.size(), entries.size());
        for (const auto& row : rows) {
            const QString entry = QString::fromUtf8(row[0]);
            const QString where = row.join(',');
            QVERIFY2(entries.contains(entry), qPrintable(where));
            const bool rowFailed = row[4].contains("Failed") || row[4].startsWith("Error");
            QVERIFY2(rowFailed == failed.contains(entry), qPrintable(where));
            if (grant && osprel != "real")
                QVERIFY2(row[4].startsWith("Logon Right Failed: Osprel "), qPrintable(where));
            if (action == "update") {
                const json& albd =
                    after[vantrel::machineName(entry.toStdString())].value("services", json::array());
                QVERIFY2((row[2] == "True") == (!albd.empty() && albd[0]["account"] == NewAccount),
                         qPrintable(where));
            } else {
                QCOMPARE(row[2], QByteArray("N/A"));
            }
        }
    }

    // kill -9 at random moments of runs in a separate process: the file holds the header and
    // whole lines only, and the next run on the same machines succeeds.
    void killedRunsLeaveWholeLines() {
        const QStringList names = machineNames(8);
        json network = {{"domains", json::array({domain()})}, {"machines", json::array()}};
        network["machines"].push_back({{"name", "DC01"}, {"domain", "CORP"}});
        for (const auto& name : names)
            network["machines"].push_back(albdMachine(name.toStdString(), "running", 10, 10));
        QRandomGenerator random(20261207);
        qint64 fullRunMs = 0;
        auto child = [&](bool killIt) {
            QProcess p;
            QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
            env.insert(ChildVariable, progDir);
            env.insert("VANTREL_FAULTS_MACHINES", names.join(','));
            p.setProcessEnvironment(env);
            p.setProcessChannelMode(QProcess::ForwardedErrorChannel);
            QElapsedTimer clock;
            clock.start();
            p.start(QCoreApplication::applicationFilePath(), {});
            if (!p.waitForStarted(10000)) return false;
            if (killIt) {
                QThread::msleep(random.bounded(qMax<qint64>(fullRunMs, 200)));
                ::kill(static_cast<pid_t>(p.processId()), SIGKILL);
            }
            const bool ended = p.waitForFinished(120000);
            if (!killIt) fullRunMs = clock.elapsed();
            return ended && (killIt || (p.exitStatus() == QProcess::NormalExit && p.exitCode() == 0));
        };
        auto checkFiles = [&](bool allSucceeded) {
            for (const auto& f : resultsFiles()) {
                QString problem;
                const auto rows = readRows(progDir + "/" + f, problem);
                if (!problem.isEmpty()) return f + ": " + problem;
                for (const auto& row : rows) {
                    if (!names.contains(QString::fromUtf8(row[0]))) return f + ": unknown machine " + row[0];
                    if (allSucceeded && (row[2] != "True" || row[3] == "False"))
                        return f + ": failed row " + row.join(',');
                }
            }
            return QString();
        };

        for (int round = 0; round <= 20; ++round) {
            platform::sim::loadNetwork(db, network.dump());
            clearResults();
            const bool killIt = round > 0; // the first round measures a whole run
            QVERIFY(child(killIt));
            QString problem = checkFiles(false);
            QVERIFY2(problem.isEmpty(), qPrintable(QString("round %1: ").arg(round) + problem));
            if (!killIt) continue;
            clearResults();
            QVERIFY(child(false));
            QCOMPARE(resultsFiles().size(), 1);
            problem = checkFiles(true);
            QVERIFY2(problem.isEmpty(), qPrintable(QString("round %1, next run: ").arg(round) + problem));
            const json after = machinesOf(json::parse(platform::sim::dumpNetwork(db)));
            for (const auto& name : names) {
                const json& albd = after[name.toStdString()]["services"][0];
                QVERIFY2(albd["state"] == "running" && albd["account"] == NewAccount, qPrintable(name));
            }
        }
    }
};

// Run with VANTREL_FAULTS_CHILD set to a program folder, the executable is the killed
// program: one update run over VANTREL_FAULTS_MACHINES, then it ends.
int main(int argc, char** argv) {
    if (qEnvironmentVariableIsSet(ChildVariable)) {
        QApplication app(argc, argv);
        static vantrel::ScriptedDialogs boxes;
        vantrel::setDialogs(&boxes);
        vantrel::setProgramDirectory(qEnvironmentVariable(ChildVariable).toStdString());
        vantrel::setPauseUnitMicroseconds(100);
        vantrel::setYieldFunction([] { QCoreApplication::processEvents(); });
        runUpdate(qEnvironmentVariable("VANTREL_FAULTS_MACHINES").split(','), true);
        return 0;
    }
    QApplication app(argc, argv);
    tst_BatchFaults t;
    return QTest::qExec(&t, argc, argv);
}

#include "tst_batchfaults.moc"
