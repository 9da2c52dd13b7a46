// The Execute button end to end: the real main window on a simulated network, the real
// Osprel as a child process, the results file and the network read back afterwards.
#include "batch/ResultsFile.h"
#include "batch/RunSettings.h"
#include "batch/SurveyFile.h"
#include "clients/ClientList.h"
#include "clients/RunMarks.h"
#include "common/AppEnv.h"
#include "common/Dialogs.h"
#include "common/MainWindow.h"
#include "platform/ErrorText.h"
#include "platform/Platform.h"
#include "platform/sim/SimNetwork.h"
#include "services/modServices.h"
#include "shell/frmMain.h"
#include "shell/frmProgress.h"

#include "Fixture.h"
#include "Scripts.h"
#include "Version.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDir>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QMenu>
#include <QPlainTextEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QTemporaryDir>
#include <QtTest>

#include <algorithm>
#include <csignal>
#include <functional>
#include <memory>

using namespace batchtest;

namespace {

// A domain that gives every logon check the same answer: for the answers no simulated
// account gives.
struct FixedLogon : platform::Logon {
    std::uint32_t answer = 0;
    std::uint32_t CheckNetworkLogon(const std::string&, const std::string&, const std::string&) override {
        return answer;
    }
};

// The boxes, and what the progress window's Stop offered when each came.
struct RunBoxes : vantrel::ScriptedDialogs {
    std::function<void()> atMessage;
    vantrel::Answer message(vantrel::Icon icon, const std::string& title, const std::string& text,
                            vantrel::Buttons buttons) override {
        if (atMessage) atMessage();
        return ScriptedDialogs::message(icon, title, text, buttons);
    }
};

// Pane lines, oldest first, as SetMsg stacks them (newest on top).
QString pane(const QStringList& oldestFirst) {
    QString text;
    for (const QString& line : oldestFirst)
        text = line + "\r\n" + text;
    return text;
}

} // namespace

class tst_BatchRun : public QObject {
    Q_OBJECT

    QTemporaryDir tmp;
    QString db;
    QString progDir; // holds a link to the real Osprel; its name has a blank
    RunBoxes boxes;
    std::unique_ptr<frmMain> w;
    QStringList progressTexts; // every label the progress window showed at a yield
    QStringList positions;     // "Machine n of N", at a yield or a highlight
    QList<int> bars;           // the progress bar's value with each of them

    void notePosition() {
        if (!w || !w->hasProgress() || !w->progress()->positionLbl->isVisible()) return;
        const QString text = w->progress()->positionLbl->text();
        if (positions.isEmpty() || positions.last() != text) {
            positions << text;
            bars << w->progress()->progressBar->value();
        }
    }
    // The run's marks, one letter an entry: F failed, N not tried, - none.
    QString marks() {
        QString out;
        for (int i = 0; i < w->clients->count(); ++i) {
            const auto mark = w->runMarks->markAt(i);
            out += mark == vantrel::RunMarks::Mark::Failed         ? 'F'
                   : mark == vantrel::RunMarks::Mark::NotTried     ? 'N'
                   : mark == vantrel::RunMarks::Mark::OtherAccount ? 'O'
                                                                   : '-';
        }
        return out;
    }

    QJsonObject dumped(const QString& name) {
        const auto doc =
            QJsonDocument::fromJson(QByteArray::fromStdString(platform::sim::dumpNetwork(db.toStdString())));
        for (const auto& m : doc.object().value("machines").toArray())
            if (m.toObject().value("name").toString() == name) return m.toObject();
        return {};
    }
    QJsonObject service(const QString& name) {
        const auto services = dumped(name).value("services").toArray();
        return services.isEmpty() ? QJsonObject() : services.first().toObject();
    }
    QStringList rights(const QString& name, const QString& account) {
        for (const auto& r : dumped(name).value("rights").toArray())
            if (r.toObject().value("account").toString().compare(account, Qt::CaseInsensitive) == 0)
                return r.toObject().value("rights").toVariant().toStringList();
        return {};
    }

    QStringList resultsFiles() {
        return QDir(QString::fromStdString(vantrel::programDirectory()))
            .entryList({"_results*.csv"}, QDir::Files, QDir::Name);
    }
    QString resultsPath(int i = 0) {
        return QString::fromStdString(vantrel::programDirectory()) + "/" + resultsFiles().value(i);
    }
    QStringList runLogs() {
        return QDir(QString::fromStdString(vantrel::programDirectory()))
            .entryList({"_run*.log"}, QDir::Files, QDir::Name);
    }
    // A run log's lines without their date and time, each of which is checked.
    static QStringList logLines(const QString& path) {
        QStringList lines;
        const QRegularExpression stamped("^\\d{4}-\\d\\d-\\d\\d \\d\\d:\\d\\d:\\d\\d  ");
        for (const QString& line : QString::fromUtf8(readAll(path)).split("\r\n", Qt::SkipEmptyParts)) {
            if (!stamped.match(line).hasMatch()) return {"not stamped: " + line};
            lines << line.mid(21);
        }
        return lines;
    }

    QStringList boxTexts() {
        QStringList texts;
        for (const auto& b : boxes.shown)
            texts << QString::fromStdString(b.text);
        return texts;
    }

    void fill(const QStringList& names, bool ticked = true) {
        for (const auto& n : names)
            w->clients->append(n, ticked);
    }
    void setInputs(const QString& action, const QString& account = Account,
                   const QString& password = Password, const QString& service = "Albd") {
        w->actionTypeCombo->setCurrentText(action);
        w->serviceNameCombo->setCurrentText(service);
        w->serviceAccountTxt->setText(account);
        w->passwdTxt->setText(password);
    }
    void execute() { QTest::mouseClick(w->executeBut, Qt::LeftButton); }
    QList<QByteArray> sortedRows() {
        QList<QByteArray> rows = readAll(resultsPath()).split('\n');
        std::sort(rows.begin(), rows.end());
        return rows;
    }

    // Nothing a person or another process could read holds the password.
    void checkNoPassword() {
        QVERIFY(!w->textMsg->toPlainText().contains(Password));
        QVERIFY(!progressTexts.join("\n").contains(Password));
        for (int i = 0; i < resultsFiles().size(); ++i)
            QVERIFY(!readAll(resultsPath(i)).contains(Password.toUtf8()));
        for (const QString& log : runLogs())
            QVERIFY(!readAll(progDir + "/" + log).contains(Password.toUtf8()));
    }

    void prepare(const QString& json) {
        boxes.clear();
        progressTexts.clear();
        positions.clear();
        bars.clear();
        boxes.atMessage = nullptr;
        vantrel::setProgramDirectory(progDir.toStdString());
        for (const auto& f : resultsFiles() + runLogs())
            QFile::remove(progDir + "/" + f);
        platform::sim::loadNetwork(db.toStdString(), json.toStdString());
        vantrel::setMachinesAtOnce(1);
        w = simtest::openMainWindow();
        connect(w->clients, &vantrel::ClientList::currentSet, this, [this] { notePosition(); });
    }

  private slots:
    void initTestCase() {
        QVERIFY(tmp.isValid());
        qputenv("XDG_CONFIG_HOME", tmp.filePath("config").toUtf8());
        db = tmp.filePath("net.db");
        qputenv("SIMNET_DB", db.toUtf8()); // Osprel, a child process, must see the same network
        platform::sim::useDatabase(db.toStdString());
        progDir = tmp.filePath("prog dir");
        QVERIFY(QDir().mkpath(progDir));
        const QString osprel = qEnvironmentVariable("VANTREL_BIN_DIR") + "/Osprel";
        QVERIFY2(QFile::exists(osprel), qPrintable(osprel));
        QVERIFY(QFile::link(osprel, progDir + "/Osprel"));
        QGuiApplication::setQuitOnLastWindowClosed(false); // the window is closed on purpose below
        vantrel::setDialogs(&boxes);
        vantrel::setPauseUnitMicroseconds(1); // the wait limit is 1.2 s
        vantrel::setClock([] { return std::chrono::system_clock::from_time_t(1796627733); });
        vantrel::setYieldFunction([this] {
            if (w && w->hasProgress()) {
                const QString label = w->progress()->progressLbl->text();
                if (progressTexts.isEmpty() || progressTexts.last() != label) progressTexts << label;
                notePosition();
            }
            QCoreApplication::processEvents();
        });
    }

    void init() { prepare(network()); }
    void cleanup() { w.reset(); }

    // The main job: new account and password, then stop and restart. Without the logon
    // right the restart fails on the logon check; with the box ticked Osprel grants it first.
    // The change is read back: a service manager that answers it but keeps the old account
    // fails the update.
    void updateWithStopAndRestart_data() {
        QTest::addColumn<bool>("grant");
        QTest::addColumn<bool>("kept");
        QTest::newRow("account lacks the right") << false << true;
        QTest::newRow("Osprel grants the right") << true << true;
        QTest::newRow("the change is not kept") << true << false;
    }
    void updateWithStopAndRestart() {
        QFETCH(bool, grant);
        QFETCH(bool, kept);
        if (!kept)
            prepare(QString(network()).replace(albd("running", "auto"),
                                               albd("running", "auto", 0, R"(, "config_not_kept": true)")));
        fill({"WS001"});
        setInputs("update");
        w->cbEnableLogonAsService->setChecked(grant);
        Qt::CursorShape during = Qt::ArrowCursor;
        connect(w->clients, &vantrel::ClientList::currentSet, this,
                [&](int) { during = w->cursor().shape(); });
        // Once every machine is done there is nothing to stop: not behind the closing box.
        bool stopOffered = true;
        boxes.atMessage = [&] { stopOffered = w->progress()->stopBut->isEnabled(); };
        execute();
        QVERIFY(!stopOffered);
        QCOMPARE(during, Qt::WaitCursor);
        QCOMPARE(w->cursor().shape(), Qt::ArrowCursor);

        QCOMPARE(resultsFiles().size(), 1);
        const QString path = resultsPath();
        QVERIFY(path.endsWith(QString::fromStdString(vantrel::resultsFileName(vantrel::now()))));
        const QByteArray line =
            !kept   ? "WS001,True,False,True,Update Failed: the service manager still reports CORP\\svc_old;"
            : grant ? "WS001,True,True,True,No Error:4"
                    : "WS001,True,True,False,Restart Failed: Error::Service did not start due to "
                      "logon failure.  Check password and/or account name::1069::"
                      "StartStopSericeWait:StartService::";
        QCOMPARE(readAll(path), Header + line + "\r\n");

        QStringList lines;
        if (grant)
            lines << "WS001: Enabling Logon as a service right..."
                  << "WS001: the Logon as a service right was granted to " + Account;
        lines << (kept ? "WS001: Success.  Updated service Albd"
                       : "WS001:>> FAILED <<: unable to update service: the service manager still reports "
                         "CORP\\svc_old")
              << "WS001: stopped service"
              << (grant ? "WS001: started/restarted service"
                        : "WS001:>> FAILED <<::Could not start/restart service")
              << "Run log --> " + progDir + "/" + runLogs().value(0)
              << (!kept ? "Run summary: 1 machine done, 0 updated, 1 restarted, 1 failed (WS001), 0 not tried"
                  : grant
                      ? "Run summary: 1 machine done, 1 updated, 1 restarted, 0 failed, 0 not tried"
                      : "Run summary: 1 machine done, 1 updated, 0 restarted, 1 failed (WS001), 0 not tried")
              << Saved + path; // the run's last line
        QCOMPARE(w->textMsg->toPlainText(), pane(lines).replace("\r\n", "\n"));

        QStringList steps = {"Executing please wait..."};
        if (grant) steps << "WS001: Enabling Logon as a service right...";
        steps << "WS001:updateing...please wait"
              << "WS001: updating account and/or password.."
              << "WS001: trying to STOP service..."
              << "WS001: trying to START service...";
        QCOMPARE(progressTexts, steps);
        QCOMPARE(boxTexts(), QStringList{"Saved Results to File: " + path});
        QCOMPARE(boxes.shown.back().title, std::string("Saved Results..."));
        QVERIFY(!w->progress()->isVisible());
        QCOMPARE(w->clients->current(), 0);

        const QJsonObject albd = service("WS001");
        QCOMPARE(albd.value("account").toString(), kept ? Account : "CORP\\svc_old");
        QCOMPARE(albd.value("password").toString(), kept ? Password : "0ld!pass");
        QCOMPARE(albd.value("state").toString(), grant ? "running" : "stopped");
        QCOMPARE(rights("WS001", Account).contains("SeServiceLogonRight"), grant);
        checkNoPassword();
    }

    // Names are trimmed once, by one rule, for every step (Osprel included), and a service
    // name matches whatever its letter case. A blank entry reaches no platform call (to each
    // the empty name means this computer). An Osprel that fails is reported; the run goes on.
    // A machine that does not answer the change is not asked to stop and start as well.
    // At one at a time it follows the documented steps: no stop, a start is tried. The failed
    // grant leads its row, whatever failed after it.
    void blankEntriesAndTrimmedNames_data() {
        QTest::addColumn<int>("atOnce");
        QTest::addColumn<QByteArray>("unanswered");
        QTest::addColumn<QString>("line");
        const QByteArray rpc =
            "Error::RPC Server is unavailable. The client may not be accessible. Try pinging "
            "the client.::1722::";
        QTest::newRow("one at a time")
            << 1
            << "WS005,N/A,False,False,Logon Right Failed: Osprel exit status 1;Restart Failed: " + rpc +
                   "StartStopSericeWait:OpenSCManager::"
            << "WS005:>> FAILED <<::Could not start/restart service";
        QTest::newRow("four at once")
            << 4
            << "WS005,N/A,False,False,Logon Right Failed: Osprel exit status 1;Update Failed: " + rpc +
                   "ChangeServicePassword:OpenSCManager::;Restart Failed: not tried as the machine did not "
                   "answer"
            << "WS005:>> FAILED <<::Could not start/restart service: the machine did not answer";
    }
    void blankEntriesAndTrimmedNames() {
        QFETCH(int, atOnce);
        QFETCH(QByteArray, unanswered);
        QFETCH(QString, line);
        vantrel::setMachinesAtOnce(atOnce);
        fill({"", "WS001 ", "   ", "WS005"});
        setInputs("update", " CORP\\svc_new ", Password, " albd ");
        w->cbEnableLogonAsService->setChecked(true);
        execute();
        const QByteArray blank = ",N/A,False,N/A,Error: the machine name is empty\r";
        QList<QByteArray> expected = {"",
                                      Header.chopped(1),
                                      blank,
                                      "   " + blank,
                                      "WS001 ,True,True,True,No Error:4\r",
                                      unanswered + "\r"};
        std::sort(expected.begin(), expected.end());
        QCOMPARE(sortedRows(), expected);
        const QStringList lines = w->textMsg->toPlainText().split("\n");
        const QString empty = ":>> FAILED <<: the machine name is empty; nothing was done";
        QCOMPARE(lines.count(empty) + lines.count("   " + empty), 2);
        QVERIFY(lines.contains("WS005:>> FAILED <<: the Logon as a service right could not be granted to "
                               "CORP\\svc_new (Osprel exit status 1)"));
        QVERIFY(lines.contains(line));
        QCOMPARE(lines.filter("right could not be granted").size(), 1);
        // Blank entries count as failed machines: named by their text, however blank.
        QVERIFY2(lines[1].startsWith("Run summary: 4 machines done, 1 updated, 1 restarted, 3 failed (") &&
                     lines[1].endsWith("), 0 not tried") && lines[1].contains("WS005"),
                 qPrintable(lines[1]));
        QCOMPARE(lines.filter("Enabling Logon").size(), 2);
        QCOMPARE(service("WS001").value("state").toString(), "running");
        QCOMPARE(service("WS001").value("account").toString(), Account);
        QVERIFY(rights("WS001", Account).contains("SeServiceLogonRight"));
    }

    // A name holding a NUL reaches no machine: Windows would cut it at the NUL (to WS002 here,
    // and Osprel would get it cut too). Every step on it fails with 123. The NUL shows as "\0"
    // in the results file and the pane, never as a raw byte.
    void nulInNameReachesNoMachine() {
        fill({QString("WS002") + QChar(u'\0') + "x"});
        setInputs("update");
        w->cbEnableLogonAsService->setChecked(true);
        execute();
        QCOMPARE(service("WS002").value("account").toString(), "CORP\\svc_old");
        QVERIFY(!rights("WS002", Account).contains("SeServiceLogonRight"));
        const QList<QByteArray> rows = readAll(resultsPath()).split('\n');
        QCOMPARE(rows.size(), 3);
        QVERIFY2(rows[1].startsWith("WS002\\0x,") && rows[1].contains(",False,") &&
                     rows[1].contains("Error Code = 123"),
                 rows[1]);
        QVERIFY(!readAll(resultsPath()).contains('\0'));
        const QString pane = w->textMsg->toPlainText();
        QVERIFY(!pane.contains(QChar(u'\0')));
        QVERIFY(
            pane.contains("WS002\\0x:>> FAILED <<: the Logon as a service right could not be granted to " +
                          Account + " (the machine name holds a NUL character)"));
    }

    // Start and stop need no account; each outcome has its own pane line, nothing is written
    // to a results file. A state that could not be read is a failure with its reason, never
    // "not running".
    void startAndStop_data() {
        QTest::addColumn<QString>("action");
        QTest::addColumn<QString>("host");
        QTest::addColumn<QStringList>("lines");
        QTest::addColumn<QString>("state");
        const QString failedStart = ":>> FAILED <<: Could not start/restart service: ";
        const QString unread = ":>> FAILED <<: Could not read the state of the service: Error::";
        const QString missing =
            unread + "Specified service does not exist.::1060::IsServiceRunning:EnumServicesStatus::";
        const QString unreachable = unread +
                                    "RPC Server is unavailable. The client may not be accessible. Try "
                                    "pinging the client.::1722::IsServiceRunning:OpenSCManager::";
        QTest::newRow("start running")
            << "start"
            << "WS001" << QStringList{"WS001: Service is already active"} << "running";
        QTest::newRow("start stopped")
            << "start"
            << "WS002" << QStringList{"WS002: started/restarted service"} << "running";
        QTest::newRow("start disabled")
            << "start"
            << "WS003"
            << QStringList{"WS003" + failedStart +
                           "Error::Service cannot be started.  Ensure that it is not "
                           "disabled::1058::StartStopSericeWait:StartService::"}
            << "stopped";
        QTest::newRow("start missing") << "start"
                                       << "WS004" << QStringList{"WS004" + missing} << "";
        QTest::newRow("start unreachable") << "start"
                                           << "WS005" << QStringList{"WS005" + unreachable} << "running";
        QTest::newRow("stop running")
            << "stop"
            << "WS001" << QStringList{"machine: WS001,Albd", "WS001: stopped service"} << "stopped";
        const QStringList notRunning[] = {{"WS002", "stopped", ": Service is not running"},
                                          {"WS003", "stopped", ": Service is not running"},
                                          {"WS004", "", missing},
                                          {"WS005", "running", unreachable}};
        for (const auto& row : notRunning) {
            const QString h = row[0];
            QTest::addRow("stop %s", qPrintable(h))
                << "stop" << h << QStringList{"machine: " + h + ",Albd", h + row[2]} << row[1];
        }
    }
    void startAndStop() {
        QFETCH(QString, action);
        QFETCH(QString, host);
        QFETCH(QStringList, lines);
        QFETCH(QString, state);
        fill({host});
        setInputs(action, "", "");
        execute();
        const bool failed = lines.last().contains("FAILED");
        QCOMPARE(runLogs().size(), 1); // start and stop keep their log too
        lines << "Run log --> " + progDir + "/" + runLogs()[0]
              << "Run summary: 1 machine done, " + QString(failed ? "1 failed (" + host + ")" : "0 failed") +
                     ", 0 not tried";
        QCOMPARE(w->textMsg->toPlainText(), pane(lines).replace("\r\n", "\n"));
        QCOMPARE(service(host).value("state").toString(), state);
        QVERIFY(resultsFiles().isEmpty());
        QVERIFY(boxes.shown.empty());
        QCOMPARE(progressTexts.value(1), host + ":" + action + "ing...please wait");
    }

    // With the wait box ticked the run stays with a machine until its service has stopped or
    // started. An update's restart waits for the stop whatever the box says; the service runs
    // again at the end, or the row says why not. Waits are bounded (the endless stop runs into
    // the wait limit, 1.2 s at the test's pause unit). A Stop during the wait ends it once the
    // service has overrun its own estimate, and the row says where the service was left.
    void waitForService_data() {
        QTest::addColumn<QString>("action");
        QTest::addColumn<QString>("host");
        QTest::addColumn<bool>("wait");
        QTest::addColumn<int>("stopMs");
        QTest::addColumn<QString>("state");
        QTest::addColumn<QString>("line");
        QTest::addColumn<QByteArray>("row");
        QTest::addColumn<bool>("stop"); // Stop pressed as the wait begins (WS006's estimate: 100 ms)
        QTest::addColumn<int>("atOnce");
        QTest::newRow("stop, wait") << "stop"
                                    << "WS006" << true << 500 << "stopped"
                                    << "WS006: stopped service" << QByteArray() << false << 1;
        QTest::newRow("stop, no wait") << "stop"
                                       << "WS006" << false << 600000 << "stop_pending"
                                       << "WS006: stopped service" << QByteArray() << false << 1;
        QTest::newRow("start that hangs")
            << "start"
            << "WS007" << true << 0 << "start_pending"
            << "WS007:>> FAILED <<: Could not start/restart service: Error::Service is not running after the "
               "start (start pending)"
            << QByteArray() << false << 1;
        QTest::newRow("restart, no wait") << "update"
                                          << "WS006" << false << 300 << "running"
                                          << "WS006: started/restarted service"
                                          << QByteArray("WS006,True,True,True,No Error:4") << false << 1;
        QTest::newRow("restart after an endless stop")
            << "update"
            << "WS006" << false << 600000 << "stop_pending"
            << "WS006:>> FAILED <<::Could not start/restart service: it has not stopped"
            << QByteArray("WS006,False,True,False,Stop Failed: Error::Service has not stopped after the stop "
                          "(stop pending);Restart Failed: not started as the service has not stopped")
            << false << 1;
        // The same Stop at one at a time and with the wait on a worker of two at once.
        for (const int atOnce : {1, 2})
            QTest::newRow(atOnce == 1 ? "Stop during an endless stop"
                                      : "Stop during an endless stop, two at once")
                << "update"
                << "WS006" << false << 600000 << "stop_pending"
                << "WS006:>> FAILED <<::Could not start/restart service: it has not stopped"
                << QByteArray(
                       "WS006,False,True,False,Stop Failed: Error::the run was stopped while the service was "
                       "stopping (stop pending);Restart Failed: not started as the service has not stopped")
                << true << atOnce;
        QTest::newRow("restart that hangs")
            << "update"
            << "WS007" << true << 0 << "start_pending"
            << "WS007:>> FAILED <<::Could not start/restart service"
            << QByteArray(
                   "WS007,N/A,True,False,Restart Failed: Error::Service is not running after the start "
                   "(start pending)")
            << false << 1;
    }
    void waitForService() {
        QFETCH(QString, action);
        QFETCH(QString, host);
        QFETCH(bool, wait);
        QFETCH(int, stopMs);
        QFETCH(QString, state);
        QFETCH(QString, line);
        QFETCH(QByteArray, row);
        QFETCH(bool, stop);
        QFETCH(int, atOnce);
        QString json = network(stopMs);
        // Pressed at the window's first turn once the stop is on its way, whether the wait is
        // notified or polled.
        QTimer pressStop;
        if (stop) {
            const auto hint = json.indexOf("\"wait_hint_ms\": 3000", json.indexOf("\"WS006\""));
            json.replace(hint, 20, "\"wait_hint_ms\": 100 ");
            QObject::connect(&pressStop, &QTimer::timeout, [this] {
                if (w->progress()->progressLbl->text().contains("trying to STOP") &&
                    !w->progress()->stopRequested())
                    QTest::mouseClick(w->progress()->stopBut, Qt::LeftButton);
            });
            pressStop.start(1);
        }
        prepare(json);
        vantrel::setMachinesAtOnce(atOnce); // two: the wait is a worker's, the Stop the window's
        fill({host});
        setInputs(action, "CORP\\svc_old", "0ld!pass"); // an account that may log on
        w->checkboxStopStartService->setChecked(true);
        w->checkboxWaitForService->setChecked(wait);
        execute();
        pressStop.stop();
        QCOMPARE(service(host).value("state").toString(), state);
        QVERIFY2(w->textMsg->toPlainText().split("\n").contains(line), qPrintable(w->textMsg->toPlainText()));
        if (!row.isEmpty()) QCOMPARE(readAll(resultsPath()), Header + row + "\r\n");
    }

    void rejectedInputs_data() {
        QTest::addColumn<QString>("action");
        QTest::addColumn<QString>("serviceName");
        QTest::addColumn<QString>("account");
        QTest::addColumn<QString>("password");
        QTest::addColumn<bool>("withClients");
        QTest::addColumn<QString>("message");
        const QString must = "Must enter values service name, account and password";
        QTest::newRow("no service") << "update"
                                    << "" << Account << Password << true << must;
        QTest::newRow("no account") << "update"
                                    << "Albd"
                                    << "" << Password << true << must;
        QTest::newRow("account of blanks") << "update"
                                           << "Albd"
                                           << "   " << Password << true << must;
        // Blanks are a password like any other: checked as typed, and refused by the domain.
        QTest::newRow("password of blanks")
            << "update"
            << " Albd " << Account << "  " << true
            << "The domain refused the logon of CORP\\svc_new: unknown account or wrong password (Windows "
               "error 1326).\r\nNo machine was changed.";
        QTest::newRow("service of blanks") << "update"
                                           << "  " << Account << Password << true << must;
        QTest::newRow("account box untouched") << "update"
                                               << "Albd"
                                               << "<Domain\\LoginName>" << Password << true << must;
        QTest::newRow("account with <") << "update"
                                        << "Albd"
                                        << "CORP\\<svc" << Password << true << must;
        QTest::newRow("no password") << "update"
                                     << "Albd" << Account << "" << true << must;
        // Windows would take it cut at the NUL; a local account has no domain check to stop it.
        QTest::newRow("password holding a NUL")
            << "update"
            << "Albd"
            << ".\\svc_local" << QString("N3w") + QChar(0) + "pass" << true
            << "The password holds a NUL character, which Windows cannot take.\r\nNo machine was changed.";
        QTest::newRow("update, empty list")
            << "update"
            << "Albd" << Account << Password << false << "No clients in the Client list";
        QTest::newRow("start, empty list") << "start"
                                           << "Albd"
                                           << ""
                                           << "" << false << "No clients in the Client list";
    }
    void rejectedInputs() {
        QFETCH(QString, action);
        QFETCH(QString, serviceName);
        QFETCH(QString, account);
        QFETCH(QString, password);
        QFETCH(bool, withClients);
        QFETCH(QString, message);
        if (withClients) fill({"WS001"});
        setInputs(action, account, password, serviceName);
        execute();
        QCOMPARE(boxTexts(), QStringList{message});
        QCOMPARE(boxes.shown.front().icon, vantrel::Icon::Exclamation);
        QVERIFY(resultsFiles().isEmpty());
        QVERIFY(w->textMsg->toPlainText().isEmpty());
        QVERIFY(!w->hasProgress() || !w->progress()->isVisible());
        QCOMPARE(service("WS001").value("account").toString(), "CORP\\svc_old");
    }

    // A results file that cannot be created ends the run with the fault box, before any
    // machine is touched.
    void uncreatableResultsFile() {
        QTemporaryDir gone;
        vantrel::setProgramDirectory((gone.path() + "/missing").toStdString());
        fill({"WS001"});
        setInputs("update");
        execute();
        QCOMPARE(boxes.shown.size(), size_t(1));
        const QStringList lines = QString::fromStdString(boxes.shown[0].text).split("\r\n");
        QCOMPARE(lines.size(), 3);
        QVERIFY(lines[0].startsWith("Error::") && lines[0].contains("missing"));
        QCOMPARE(lines[1], "Could not load all components");
        QCOMPARE(boxes.shown[0].title, std::string("Error..."));
        QCOMPARE(service("WS001").value("account").toString(), "CORP\\svc_old");
        QVERIFY(!w->hasProgress() || !w->progress()->isVisible());
    }

    // Nothing ticked: only the header, and the closing message all the same. A second run
    // in the same second gets a file of its own.
    void uncheckedListAndNoOverwrite() {
        fill({"WS001", "WS002"}, false);
        setInputs("update");
        execute();
        execute();
        const QStringList files = resultsFiles();
        QCOMPARE(files.size(), 2);
        QVERIFY(files[1].endsWith("_2.csv") || files[0].endsWith("_2.csv"));
        for (int i = 0; i < 2; ++i)
            QCOMPARE(readAll(resultsPath(i)), Header);
        QCOMPARE(boxes.shown.size(), size_t(2));
        const QStringList lines = w->textMsg->toPlainText().split('\n');
        QCOMPARE(lines[1], "Run summary: 0 machines done, 0 updated, 0 restarted, 0 failed, 0 not tried");
        QVERIFY(lines[0].startsWith(Saved + progDir + "/_results"));
        QCOMPARE(service("WS001").value("account").toString(), "CORP\\svc_old");
    }

    // The directory test replaces the change on every machine; each machine's error column
    // holds its own outcome only, and the boxes are re-read at each machine.
    void directoryModeAndFreshErrorText() {
        fill({"WS004", "WS001", "WS002"});
        setInputs("update");
        // WS001 is also stopped and restarted: a failed update followed by a good stop and restart
        // keeps the update's failure, never "No Error".
        connect(w->clients, &vantrel::ClientList::currentSet, this, [this](int index) {
            w->checkboxUseActiveDirectory->setChecked(index >= 1);
            w->checkboxStopStartService->setChecked(index == 1);
        });
        execute();
        QCOMPARE(readAll(resultsPath()),
                 Header +
                     "WS004,N/A,False,N/A,Update Failed: Error::Specified service does not exist.::1060::"
                     "ChangeServicePassword:OpenService::;\r\n"
                     "WS001,True,False,True,Update Failed: ;\r\n"
                     "WS002,N/A,False,N/A,Update Failed: ;\r\n");
        QCOMPARE(boxes.shown.size(), size_t(3)); // one directory test box per machine, then the saved box
        QCOMPARE(service("WS001").value("account").toString(), "CORP\\svc_old");
        QCOMPARE(service("WS002").value("account").toString(), "CORP\\svc_old");
    }

    // Osprel gets an argument list: blanks in its folder and in the account, quotes, commas
    // and shell characters in machine names reach it one argument each and run nothing.
    // The same names are quoted in the results file.
    void argumentListAndQuoting() {
        prepare(network(0, 0, false));
        QTemporaryDir fake;
        const QString dir = fake.filePath("fake osprel");
        QVERIFY(QDir().mkpath(dir));
        const QString log = dir + "/args.log";
        writeScript(dir + "/Osprel",
                    "printf '%s|' \"$@\" >> \"" + log.toUtf8() + "\"; echo >> \"" + log.toUtf8() + "\"\n");
        vantrel::setProgramDirectory(dir.toStdString());
        const QString odd = "WS,\"9\"";
        const QString shelly = "x;touch pwned $(touch pwned2)";
        fill({odd, shelly, "WS001"});
        setInputs("update", "CORP\\svc new");
        boxes.answers.push_back(vantrel::Answer::Yes); // no such account: go on unchecked
        w->cbEnableLogonAsService->setChecked(true);
        w->checkboxStopStartService->setChecked(false);
        execute();
        QCOMPARE(readAll(log), ("\\\\" + odd +
                                "|-u|CORP\\svc new|-p|SeServiceLogonRight|\n"
                                "\\\\" +
                                shelly +
                                "|-u|CORP\\svc new|-p|SeServiceLogonRight|\n"
                                "\\\\WS001|-u|CORP\\svc new|-p|SeServiceLogonRight|\n")
                                   .toUtf8());
        QVERIFY(QDir(dir).entryList({"pwned*"}).isEmpty() && QDir().entryList({"pwned*"}).isEmpty());
        const QList<QByteArray> rows = readAll(resultsPath()).split('\n');
        QCOMPARE(rows.size(), 5);
        QVERIFY2(rows[1].startsWith("\"WS,\"\"9\"\"\",N/A,False,N/A,Update Failed: Error::RPC Server"),
                 rows[1]);
        QVERIFY2(rows[2].startsWith(shelly.toUtf8() + ",N/A,False,N/A,"), rows[2]);
        QCOMPARE(rows[3],
                 "WS001,N/A,False,N/A,Update Failed: Error::Account name and/or password is invalid.::1057::"
                 "ChangeServicePassword:ChangeServiceConfig::;\r");
        checkNoPassword();
    }

    // An Osprel that cannot be started: the fault box, and the run goes on with the update; the
    // machine fails all the same, as the right it was to get is not granted.
    void missingOsprel() {
        QTemporaryDir empty;
        vantrel::setProgramDirectory(empty.path().toStdString());
        fill({"WS001"});
        setInputs("update");
        w->cbEnableLogonAsService->setChecked(true);
        w->checkboxStopStartService->setChecked(false);
        execute();
        QCOMPARE(boxes.shown.size(), size_t(2));
        QCOMPARE(boxes.shown[0].icon, vantrel::Icon::Critical);
        const QString fault = QString::fromStdString(boxes.shown[0].text);
        QVERIFY2(fault.startsWith("ERROR: ") &&
                     fault.endsWith("\r\nCould not execute --> " + empty.path() +
                                    "/Osprel \\\\WS001 -u CORP\\svc_new -p SeServiceLogonRight"),
                 qPrintable(fault));
        QCOMPARE(readAll(resultsPath()),
                 Header + "WS001,N/A,True,N/A,Logon Right Failed: Osprel could not be started;\r\n");
        QCOMPARE(marks(), "F");
    }

    // Whatever the user does to the list during the run: each finished machine's line is on
    // disk already, a second click starts nothing, and only entries ticked at their turn run;
    // the progress window counts them.
    void listChangedDuringRun() {
        fill({"WS001", "WS002"});
        fill({"WS003"}, false);
        fill({"WS004", "WS006"});
        setInputs("update");
        w->checkboxStopStartService->setChecked(false);
        QList<QByteArray> onDisk;
        connect(w->clients, &vantrel::ClientList::currentSet, this, [&](int) {
            onDisk << readAll(resultsPath());
            if (onDisk.size() != 1) return;
            execute();                         // the guard makes this a no-op
            w->clients->setTicked(1, false);   // WS002 is skipped
            w->clients->setTicked(2, true);    // WS003 runs
            w->clients->removeAt(3);           // WS004 goes; WS006 moves up
            w->clients->append("WS005", true); // new last entries still run
            w->clients->append("DC01", true);
        });
        execute();
        QCOMPARE(resultsFiles().size(), 1);
        QCOMPARE(onDisk.size(), 5);
        QCOMPARE(onDisk[0], Header);
        QCOMPARE(onDisk[1], Header + "WS001,N/A,True,N/A,No Error:6\r\n");
        const QByteArray all = readAll(resultsPath());
        QVERIFY(all.startsWith(Header +
                               "WS001,N/A,True,N/A,No Error:6\r\nWS003,N/A,True,N/A,No Error:6\r\n"
                               "WS006,N/A,True,N/A,No Error:6\r\nWS005,N/A,False,N/A,Update Failed: "));
        QVERIFY(all.endsWith(
            "\r\nDC01,N/A,False,N/A,Update Failed: Error::Specified service does not exist.::1060::"
            "ChangeServicePassword:OpenService::;\r\n"));
        QCOMPARE(all.count('\n'), 6);
        const QString text = w->textMsg->toPlainText();
        QVERIFY(!text.contains("WS002") && !text.contains("WS004"));
        // N follows the list once its length has changed.
        QCOMPARE(positions, (QStringList{"Machine 1 of 4", "Machine 2 of 5", "Machine 3 of 5",
                                         "Machine 4 of 5", "Machine 5 of 5"}));
        QCOMPARE(service("WS002").value("account").toString(), "CORP\\svc_old");
        QCOMPARE(service("WS004").value("account").toString(), QString());
        QCOMPARE(boxes.shown.size(), size_t(1));
    }

    // Closing the window mid-run, pressing Stop or closing the progress window: no further
    // machine starts, the machine under way finishes, and every ticked machine has its row
    // (one never changed says why); the results are saved as at the end of a run; a close
    // then closes the window. Rows: between machines, while Osprel is still running (it is
    // killed and reaped, not left behind), and between a machine's stop and restart (the
    // restart is done first: the run never leaves a service stopped).
    void closeDuringRun_data() {
        QTest::addColumn<QString>("when");
        QTest::addColumn<QByteArray>("written");
        QTest::addColumn<int>("atOnce");
        QTest::addColumn<QString>("how"); // "close", "stop", "escape" or "progress" (its close box)
        QTest::newRow("between machines")
            << "machines" << QByteArray("WS001,N/A,True,N/A,No Error:6\r\n") << 1 << "close";
        QTest::newRow("while Osprel runs") << "Osprel" << QByteArray() << 1 << "close";
        QTest::newRow("between stop and restart")
            << "restart" << QByteArray("WS001,True,True,True,No Error:4\r\n") << 1 << "close";
        // The close comes with the first machine's highlight, before any machine has changed.
        QTest::newRow("three at once, between steps") << "machines" << QByteArray() << 3 << "close";
        QTest::newRow("three at once, while Osprel runs") << "Osprel" << QByteArray() << 3 << "close";
        QTest::newRow("Stop, between machines")
            << "machines" << QByteArray("WS001,N/A,True,N/A,No Error:6\r\n") << 1 << "stop";
        QTest::newRow("Stop, while Osprel runs") << "Osprel" << QByteArray() << 1 << "stop";
        QTest::newRow("Stop, three at once, while Osprel runs") << "Osprel" << QByteArray() << 3 << "stop";
        QTest::newRow("Escape in the progress window, between machines")
            << "machines" << QByteArray("WS001,N/A,True,N/A,No Error:6\r\n") << 1 << "escape";
        QTest::newRow("progress window closed, between stop and restart")
            << "restart" << QByteArray("WS001,True,True,True,No Error:4\r\n") << 1 << "progress";
    }
    void closeDuringRun() {
        QFETCH(QString, when);
        QFETCH(QByteArray, written);
        QFETCH(int, atOnce);
        QFETCH(QString, how);
        const bool duringOsprel = when == "Osprel";
        const bool restart = when == "restart";
        prepare(network(0, 3));
        vantrel::setMachinesAtOnce(atOnce);
        auto stopNow = [this, how] {
            if (how == "close")
                w->close();
            else if (how == "stop")
                QTest::mouseClick(w->progress()->stopBut, Qt::LeftButton);
            else if (how == "escape")
                QTest::keyClick(w->progress(), Qt::Key_Escape);
            else
                w->progress()->close();
        };
        QTemporaryDir fake;
        const QString pidFile = fake.filePath("pid");
        QTimer poll;
        if (duringOsprel) {
            batchtest::writeHangingScript(fake.path(), "Osprel");
            vantrel::setProgramDirectory(fake.path().toStdString());
            w->cbEnableLogonAsService->setChecked(true);
            connect(&poll, &QTimer::timeout, this, [&] {
                if (QFile::exists(pidFile)) stopNow();
            });
            poll.start(5);
        } else if (restart) {
            connect(w->textMsg, &QPlainTextEdit::textChanged, this, [&] {
                if (w->textMsg->toPlainText().startsWith("WS001: stopped service")) stopNow();
            });
        } else {
            // Several at once: the first machine to be highlighted, before any has finished.
            connect(w->clients, &vantrel::ClientList::currentSet, this, [&, atOnce](int index) {
                if (index == 1 || atOnce > 1) stopNow();
            });
        }
        const QStringList names = {"WS001", "WS002", "WS003", "WS101", "WS102", "WS103"};
        fill(names);
        setInputs("update", restart ? "CORP\\svc_old" : Account, restart ? "0ld!pass" : Password);
        w->checkboxStopStartService->setChecked(restart);
        execute();
        poll.stop();

        QByteArray rows = Header + written;
        for (const QString& name : names)
            if (!written.startsWith(name.toUtf8()))
                rows += name.toUtf8() + ",N/A,N/A,N/A,Not tried: the run was stopped\r\n";
        const QString path =
            QString::fromStdString(vantrel::programDirectory()) + "/" + resultsFiles().value(0);
        QCOMPARE(readAll(path), rows);
        QCOMPARE(service("WS001").value("state").toString(), "running");
        for (const char* untouched : {"WS002", "WS101", "WS102", "WS103"})
            QCOMPARE(service(untouched).value("account").toString(), "CORP\\svc_old");
        QCOMPARE(boxTexts(), QStringList{"Saved Results to File: " + path});
        const QStringList lines = w->textMsg->toPlainText().split('\n');
        QCOMPARE(lines[1], QString("Run summary: %1 done, %2 updated, %3 restarted, 0 failed, %4 not tried")
                               .arg(written.isEmpty() ? "0 machines" : "1 machine")
                               .arg(written.isEmpty() ? 0 : 1)
                               .arg(restart ? 1 : 0)
                               .arg(written.isEmpty() ? 6 : 5));
        QCOMPARE(lines[0], Saved + path);
        QVERIFY(!w->longCommandRunning());
        const QDir fds("/proc/self/fd");
        for (const auto& fd : fds.entryInfoList(QDir::Files | QDir::System | QDir::NoDotAndDotDot))
            QVERIFY(fd.symLinkTarget() != QFileInfo(path).canonicalFilePath());
        if (duringOsprel) {
            QCOMPARE(::kill(readAll(pidFile).trimmed().toInt(), 0), -1);
            QVERIFY(!QFile::exists(fake.filePath("finished")));
        }
        QVERIFY(!w->progress()->isVisible());
        if (how == "close")
            QTRY_VERIFY(!w->isVisible());
        else
            QVERIFY(w->isVisible());
    }

    // The setting as stored per user: read clamped, offered in the dialog, stored clamped.
    void machinesAtOnceSetting_data() {
        QTest::addColumn<QByteArray>("stored");
        QTest::addColumn<int>("offered");
        QTest::addColumn<int>("answer"); // 0: cancel
        QTest::addColumn<int>("after");
        QTest::newRow("no file") << QByteArray() << 1 << 8 << 8;
        QTest::newRow("below range") << QByteArray("0") << 1 << 0 << 1;
        QTest::newRow("above range") << QByteArray("100") << 64 << 70 << 64;
        QTest::newRow("not a number") << QByteArray("many") << 1 << 0 << 1;
    }
    void machinesAtOnceSetting() {
        QFETCH(QByteArray, stored);
        QFETCH(int, offered);
        QFETCH(int, answer);
        QFETCH(int, after);
        const QString path = vantrel::settingsFilePath();
        QCOMPARE(path, tmp.filePath("config") + "/Halcyra/Vantrel.conf");
        QFile::remove(path);
        if (!stored.isNull()) {
            QFile f(path);
            QVERIFY(f.open(QIODevice::WriteOnly));
            f.write("[run]\nmachinesAtOnce=" + stored + "\n");
        }
        if (answer) boxes.numbers.push_back(answer);
        w->MachinesAtOnce->trigger();
        QCOMPARE(boxes.shown.size(), size_t(1));
        QCOMPARE(boxes.shown[0].kind, vantrel::ShownBox::Kind::Number);
        QCOMPARE(boxes.shown[0].defaultValue, std::to_string(offered));
        QCOMPARE(vantrel::machinesAtOnce(), after);
        if (answer) QVERIFY(readAll(path).contains("machinesAtOnce=" + QByteArray::number(after)));
    }

    // The new account and password are proved against the domain before any machine: a
    // refusal shows its reason and number and changes nothing anywhere; an unreachable
    // controller asks first (No unless answered); built-in accounts are not checked. An
    // answer given only to a proven password lets the run go on, saying so in the pane. The
    // password is checked and stored exactly as typed.
    void accountCheckedFirst_data() {
        QTest::addColumn<QString>("account");
        QTest::addColumn<QString>("password");
        QTest::addColumn<bool>("reachable");
        QTest::addColumn<bool>("goOn");
        QTest::addColumn<QString>("box");
        QTest::addColumn<bool>("runs");
        QTest::addColumn<uint>("answer");  // the domain's fixed answer; 0: the simulated domain's
        QTest::addColumn<QString>("line"); // the pane's first line when the run goes on
        QTest::newRow("user@domain, wrong password")
            << "svc_new@corp.example.com"
            << "N3w!pas" << true << false << "unknown account or wrong password (Windows error 1326)" << false
            << 0u << QString();
        QTest::newRow("password expired")
            << "CORP\\svc_exp" << Password << true << false << "the password has expired (Windows error 1330)"
            << false << 0u << QString();
        QTest::newRow("password expired, user@domain")
            << "svc_exp@CORP" << Password << true << false << "the password has expired (Windows error 1330)"
            << false << 0u << QString();
        QTest::newRow("must change") << Account << Password << true << false
                                     << "the password must be changed before the account can log on (Windows "
                                        "error 1907)"
                                     << false << 1907u << QString();
        QTest::newRow("account expired")
            << Account << Password << true << false << "the account has expired (Windows error 1793)" << false
            << 1793u << QString();
        const QString proven = "The domain accepted the password of %1 but answered: %2 (Windows error %3); "
                               "the run goes on";
        QTest::newRow("network logon not granted")
            << "CORP\\svc_net" << Password << true << false << "" << true << 0u
            << proven.arg("CORP\\svc_net", "the account is not granted this logon type here", "1385");
        QTest::newRow("not at this workstation")
            << Account << Password << true << false << "" << true << 1329u
            << proven.arg(Account, "the account may not log on at this workstation", "1329");
        QTest::newRow("outside logon hours")
            << Account << Password << true << false << "" << true << 1328u
            << proven.arg(Account, "the account may not log on at this time", "1328");
        QTest::newRow("blanks in the password")
            << "CORP\\svc_sp"
            << " N3w pass " << true << false << "" << true << 0u << QString();
        QTest::newRow("blanks dropped from the password")
            << "CORP\\svc_sp"
            << "N3w pass" << true << false << "unknown account or wrong password (Windows error 1326)"
            << false << 0u << QString();
        QTest::newRow("wrong password")
            << Account << "N3w!pas" << true << false
            << "unknown account or wrong password (Windows error 1326)" << false << 0u << QString();
        QTest::newRow("disabled") << "CORP\\svc_dis" << Password << true << false
                                  << "the account is disabled (Windows error 1331)" << false << 0u
                                  << QString();
        QTest::newRow("locked") << "CORP\\svc_lock" << Password << true << false
                                << "the account is locked out (Windows error 1909)" << false << 0u
                                << QString();
        QTest::newRow("no controller, default")
            << Account << Password << false << false << "cannot be reached (Windows error 1311)" << false
            << 0u << QString();
        QTest::newRow("no controller, go on")
            << Account << Password << false << true << "cannot be reached (Windows error 1311)" << true << 0u
            << QString();
        QTest::newRow("built-in") << "NT AUTHORITY\\LocalService"
                                  << "x" << false << false << "" << true << 0u << QString();
    }
    void accountCheckedFirst() {
        QFETCH(QString, account);
        QFETCH(QString, password);
        QFETCH(bool, reachable);
        QFETCH(bool, goOn);
        QFETCH(QString, box);
        QFETCH(bool, runs);
        QFETCH(uint, answer);
        QFETCH(QString, line);
        FixedLogon fixed;
        fixed.answer = answer;
        if (answer) platform::setLogon(&fixed);
        const auto restore = qScopeGuard([] { platform::setLogon(nullptr); });
        prepare(network(0, 0, reachable));
        if (goOn) boxes.answers.push_back(vantrel::Answer::Yes);
        fill({"WS001", "WS002"});
        setInputs("update", account, password);
        w->cbEnableLogonAsService->setChecked(true);
        const std::string before = platform::sim::dumpNetwork(db.toStdString());
        execute();
        if (box.isEmpty()) {
            QCOMPARE(boxTexts(), QStringList{"Saved Results to File: " + resultsPath()});
        } else {
            QVERIFY2(boxTexts().value(0).contains(box), qPrintable(boxTexts().value(0)));
            QVERIFY(boxTexts().value(0).contains(account));
            QCOMPARE(boxes.shown[0].buttons,
                     reachable ? vantrel::Buttons::Ok : vantrel::Buttons::YesNoDefaultNo);
        }
        QCOMPARE(resultsFiles().size(), runs ? 1 : 0);
        if (!runs) {
            QCOMPARE(boxes.shown.size(), size_t(1));
            QCOMPARE(platform::sim::dumpNetwork(db.toStdString()), before);
            QVERIFY(w->textMsg->toPlainText().isEmpty());
        } else {
            QCOMPARE(service("WS001").value("account").toString(), account);
            if (!account.startsWith("NT AUTHORITY"))
                QCOMPARE(service("WS001").value("password").toString(), password);
            const QStringList pane = w->textMsg->toPlainText().split("\n", Qt::SkipEmptyParts);
            QCOMPARE(pane.last() == line, !line.isEmpty());
        }
        checkNoPassword();
    }

    // A restart that fails on the new account's logon asks once whether to go on while
    // machines remain untouched, naming the likely cause; the default stops, saves the results
    // and counts the rest. With several at once the first machine runs alone until one has
    // worked, so a fault that strikes every machine changes one before the question; machines
    // in flight wait at their change for the answer ("in flight": WS101 holds the right and
    // widens the run by one, WS102 fails, WS103 is still in Osprel, which grants nothing, and
    // WS104 and WS105 never start: each machine that works lets one more run at once).
    void haltOnLogonFailure_data() {
        QTest::addColumn<int>("atOnce");
        QTest::addColumn<bool>("goOn");
        QTest::addColumn<bool>("inFlight");
        QTest::addColumn<int>("failed");    // rows with the 1069
        QTest::addColumn<int>("untouched"); // as the question counts them
        QTest::newRow("default stops") << 1 << false << false << 1 << 4;
        QTest::newRow("go on") << 1 << true << false << 5 << 4;
        QTest::newRow("eight at once, default stops") << 8 << false << false << 1 << 4;
        QTest::newRow("eight at once, go on") << 8 << true << false << 5 << 4;
        QTest::newRow("eight at once, No with machines in flight") << 8 << false << true << 1 << 3;
    }
    void haltOnLogonFailure() {
        QFETCH(int, atOnce);
        QFETCH(bool, goOn);
        QFETCH(bool, inFlight);
        QFETCH(int, failed);
        QFETCH(int, untouched);
        QString json = network(0, 5);
        QTemporaryDir fake;
        if (inFlight) {
            json.insert(json.indexOf("\"rights\": [", json.indexOf("\"WS101\"")) + 11,
                        R"({"account": "CORP\\svc_new", "rights": ["SeServiceLogonRight"]},)");
            const QByteArray dir = fake.path().toUtf8();
            writeScript(fake.filePath("Osprel"), "case \"$1\" in *WS101|*WS102) exit 0;; esac\n"
                                                 "i=0; while [ $i -lt 3000 ] && ! grep -qs 1069 \"" +
                                                     dir +
                                                     "\"/_results*.csv; do sleep 0.01; i=$((i+1)); done\n"
                                                     "exit 1\n");
        }
        prepare(json);
        if (inFlight) vantrel::setProgramDirectory(fake.path().toStdString());
        vantrel::setMachinesAtOnce(atOnce);
        if (goOn) boxes.answers.push_back(vantrel::Answer::Yes);
        fill({"WS101", "WS102", "WS103", "WS104", "WS105"});
        setInputs("update"); // the account lacks the logon right: restarts fail with 1069
        w->cbEnableLogonAsService->setChecked(inFlight);
        execute();
        const QString path = resultsPath();
        QCOMPARE(boxTexts().size(), 2);
        const QString question = boxTexts()[0];
        QVERIFY2(
            question.contains("1069") &&
                question.contains(QString::number(untouched) + " machines not touched yet") &&
                question.contains("The domain accepted the password of CORP\\svc_new before the run: the "
                                  "likely cause is that the account lacks the right to log on as a service"),
            qPrintable(question));
        QCOMPARE(question.contains("\"Set Logon as a Service Right\" is not ticked"), !inFlight);
        QCOMPARE(boxes.shown[0].buttons, vantrel::Buttons::YesNoDefaultNo);
        QCOMPARE(boxTexts()[1], "Saved Results to File: " + path);
        const QByteArray all = readAll(path);
        QCOMPARE(all.count("1069::StartStopSericeWait"), failed);
        QCOMPARE(all.count('\n'), 6);
        const int notTried = goOn ? 0 : 5 - failed - inFlight;
        QCOMPARE(all.count(",N/A,N/A,N/A,Not tried: the run stopped after a logon failure\r\n"), notTried);
        const QStringList pane = w->textMsg->toPlainText().split('\n');
        QCOMPARE(pane.contains("Run stopped after a logon failure: " + QString::number(notTried) +
                               " machines left untouched"),
                 !goOn);
        QCOMPARE(pane[0], Saved + path);
        QVERIFY(pane[1].endsWith(", " + QString::number(notTried) + " not tried"));
        for (int i = 6 - notTried; i <= 5; ++i)
            QCOMPARE(service(QString("WS10%1").arg(i)).value("account").toString(), "CORP\\svc_old");
        if (inFlight) {
            QCOMPARE(pane.filter("could not be granted to CORP\\svc_new (Osprel exit status 1)").size(), 1);
            QVERIFY(all.contains("WS101,True,True,True,No Error:4\r\n"));
        }

        // Where the run was, machine by machine; with several at once, how many were in flight.
        const QRegularExpression position(atOnce == 1 ? "^Machine (\\d) of 5$"
                                                      : "^Machine (\\d) of 5, (\\d) in flight$");
        for (int i = 0; i < positions.size(); ++i) {
            const auto match = position.match(positions[i]);
            QVERIFY2(match.hasMatch(), qPrintable(positions[i]));
            if (atOnce == 1) QCOMPARE(match.captured(1).toInt(), i + 1);
        }
        QVERIFY(!positions.isEmpty());
        // The bar follows "Machine n of N".
        for (int i = 0; i < positions.size(); ++i)
            QCOMPARE(bars[i], positions[i].mid(8, 1).toInt() * 100 / 5);
        // Machines held at their change were started: they count, though not tried.
        QCOMPARE(positions.last().mid(8, 1).toInt(), inFlight ? 3 : 5 - notTried);

        // The list marks the machines that failed and those not tried until the next run, which
        // "Tick Only Failed Machines" makes a retry of exactly the failed ones.
        QString expected(5, '-');
        for (const QByteArray& row : all.split('\n'))
            if (row.startsWith("WS10") && !row.contains("No Error:4"))
                expected[row.mid(4, 1).toInt() - 1] = row.contains("Not tried") ? 'N' : 'F';
        QCOMPARE(marks(), expected);
        QVERIFY(expected.contains('F'));
        w->TickOnlyFailed->trigger();
        QStringList retried, marksDuring;
        for (int i = 0; i < 5; ++i)
            if (w->clients->ticked(i)) retried << w->clients->text(i);
        QCOMPARE(retried.size(), expected.count('F'));
        connect(w->clients, &vantrel::ClientList::currentSet, this, [&] { marksDuring << marks(); });
        execute();
        QVERIFY(!marksDuring.isEmpty());
        QCOMPARE(marksDuring.filter(QRegularExpression("[FN]")), QStringList());
        QStringList rows;
        for (const QByteArray& row : readAll(resultsPath(1)).split('\n'))
            if (row.startsWith("WS10")) rows << row.left(5);
        rows.sort();
        QCOMPARE(rows, retried);
        QVERIFY(marks().contains('F'));
    }

    // Several at once does what one at a time does: the same rows, the same pane lines, the
    // same network afterwards, Osprel started for every machine. Entries that name the same
    // machine run one after the other. Only a machine that does not answer (WS005) differs,
    // as documented: it is not asked to stop and start as well.
    void severalAtOnceSameOutcome_data() {
        QTest::addColumn<int>("atOnce");
        QTest::newRow("eight at once") << 8;
        QTest::newRow("four at once") << 4;
    }
    void severalAtOnceSameOutcome() {
        QFETCH(int, atOnce);
        // Window at 1, window at N, vantrel-run at N with the same names and inputs.
        QList<QByteArray> rows[3];
        QStringList lines[3];
        std::string dump[3];
        QString marked[2];
        QStringList names = {"WS001", "WS002", "WS003", "WS004", "WS005", "WS006"};
        for (int i = 1; i <= 8; ++i)
            names << QString("WS%1").arg(100 + i);
        names << "WS101 "
              << "ws102"
              << " \\\\WS103"
              << "WS101";
        const QString consoleDir = tmp.filePath("console");
        QVERIFY(QDir().mkpath(consoleDir));
        for (int run = 0; run < 3; ++run) {
            prepare(network(0, 8));
            QByteArray results;
            QStringList pane;
            if (run < 2) {
                vantrel::setMachinesAtOnce(run == 0 ? 1 : atOnce);
                fill(names);
                setInputs("update");
                w->cbEnableLogonAsService->setChecked(true);
                w->checkboxWaitForService->setChecked(true);
                execute();
                QCOMPARE(boxes.shown.size(), size_t(1));
                QVERIFY(!w->progress()->isVisible());
                results = readAll(resultsPath());
                pane = w->textMsg->toPlainText().split('\n', Qt::SkipEmptyParts);
                marked[run] = marks();
                // Each failed mark says why, with the system's words for the number; the run
                // log holds every line of the pane and those the pane let go, oldest first.
                for (const auto& [row, code] : {std::pair(2, 1058u), {3, 1060u}, {4, 1722u}}) {
                    const QString tip = w->clientList->item(row)->toolTip();
                    QVERIFY2(tip.contains(QString::fromStdString("error " + std::to_string(code) + ": " +
                                                                 platform::errorDescription(code))),
                             qPrintable(tip));
                }
                QCOMPARE(runLogs().size(), 1);
                const QString log = progDir + "/" + runLogs()[0];
                const QStringList logged = logLines(log);
                QCOMPARE(logged.value(0), "Vantrel " VANTREL_VERSION_STRING
                                          ": update of service Albd with account " +
                                              Account);
                QStringList shown = w->textMsg->toPlainText().split('\n', Qt::SkipEmptyParts);
                std::reverse(shown.begin(), shown.end());
                QVERIFY(logged.size() > shown.size());
                QCOMPARE(logged.mid(logged.size() - shown.size()), shown);
                QVERIFY(shown.contains("Run log --> " + log));
                checkNoPassword();
                int most = 0;
                for (int i = 0; i < positions.size(); ++i) {
                    const auto match =
                        QRegularExpression("^Machine (\\d+) of 18(, (\\d) in flight)?$").match(positions[i]);
                    QVERIFY2(match.hasMatch() && match.hasCaptured(2) == (run == 1),
                             qPrintable(positions[i]));
                    if (run == 0) QCOMPARE(match.captured(1).toInt(), i + 1);
                    most = std::max(most, match.captured(3).toInt());
                }
                QVERIFY(!positions.isEmpty() && positions.last().startsWith("Machine 18 of 18"));
                if (run == 1) QVERIFY(most > 1 && most <= atOnce);
            } else {
                const QString path = consoleDir + "/" + QString::number(atOnce) + ".csv";
                const QString log = consoleDir + "/" + QString::number(atOnce) + ".log";
                const ConsoleRun console =
                    runConsole(QStringList{"update", "--account", Account, "--password-stdin", "--restart",
                                           "--grant-right", "--wait", "--machines-at-once",
                                           QString::number(atOnce), "--results", path, "--log", log} +
                                   names,
                               Password.toUtf8() + "\n", consoleDir);
                QCOMPARE(console.status, 1); // WS003, WS004 and WS005 fail
                results = readAll(path);
                pane = QString::fromUtf8(console.out).split('\n', Qt::SkipEmptyParts);
                // The same log as the window's: what standard output says, line for line.
                const QStringList logged = logLines(log);
                QCOMPARE(logged.mid(1, pane.size() - 1), pane.mid(0, pane.size() - 1));
                QVERIFY(pane.last().startsWith(logged.last() + ", results in "));
                QVERIFY(pane.contains("Run log --> " + log));
                QVERIFY(!readAll(log).contains(Password.toUtf8()));
                QVERIFY(!console.out.contains(Password.toUtf8()) && !console.err.contains(Password.toUtf8()));
            }
            QVERIFY(results.startsWith(Header));
            QList<QByteArray> sorted = results.split('\n');
            std::sort(sorted.begin(), sorted.end());
            for (const QByteArray& row : sorted)
                if (!row.startsWith("WS005")) rows[run] << row;
            for (const QString& line : pane)
                if (!line.startsWith("WS005") && !line.startsWith(Saved) && !line.startsWith("Run summary") &&
                    !line.startsWith("Run log --> "))
                    lines[run] << line;
            lines[run].sort();
            dump[run] = platform::sim::dumpNetwork(db.toStdString());
        }
        QCOMPARE(rows[0].size(), 19);
        QCOMPARE(marked[0], "--FFF-------------");
        QCOMPARE(marked[1], marked[0]);
        QCOMPARE(rows[1], rows[0]);
        QCOMPARE(lines[1], lines[0]);
        QCOMPARE(dump[1], dump[0]);
        QCOMPARE(service("WS108").value("state").toString(), "running");
        QCOMPARE(rights("WS108", Account), QStringList{"SeServiceLogonRight"});
        QVERIFY(!rows[0].join().contains("1061") && !rows[0].join().contains("locked"));
        // The console's list drops the later entries that name a machine it holds already, in
        // any spelling (the test filled the window's list directly): one row and one copy of
        // each line of those entries go; the rest is the same.
        for (const QString& entry :
             {QString("WS101 "), QString("ws102"), QString(" \\\\WS103"), QString("WS101")}) {
            rows[0].removeAt(
                rows[0].indexOf(*std::find_if(rows[0].begin(), rows[0].end(), [&](const QByteArray& row) {
                    return row.startsWith(entry.toUtf8() + ",");
                })));
            QStringList own =
                lines[0].filter(QRegularExpression("^" + QRegularExpression::escape(entry) + ":"));
            own.removeDuplicates();
            for (const QString& line : own)
                lines[0].removeOne(line);
        }
        QCOMPARE(rows[2], rows[0]);
        QCOMPARE(lines[2], lines[0]);
        QCOMPARE(dump[2], dump[0]);
    }
    // A survey reads every ticked machine at the machines-at-once setting from the start (it
    // changes nothing, so nothing waits for a first machine to prove the change) and leaves
    // the network exactly as it was. Its rows say what each service is; the machines on
    // another account than the one typed are marked, ticked by the context menu, updated, and
    // the survey again shows them on the new account, all without retyping anything.
    void surveyTickUpdateSurvey() {
        const QString refused = QString(machine("WS006", albd("running", "auto")))
                                    .replace("\"reachable\": true", "\"reachable\": true, \"admin\": false");
        const QString onNew = QString(machine("WS007", albd("running", "auto")))
                                  .replace("svc_old", "svc_new")
                                  .replace("0ld!pass", Password);
        QString fleet = network();
        fleet.replace(QRegularExpression(R"(\{"name": "WS006".*"name": "DC01")",
                                         QRegularExpression::DotMatchesEverythingOption),
                      refused + "," + onNew + R"(,{"name": "DC01")");
        prepare(fleet);
        vantrel::setMachinesAtOnce(4);
        fill({"WS001", "WS002", "WS003", "WS004", "WS005", "WS006", "WS007"});
        setInputs("survey");
        QVERIFY(w->serviceAccountTxt->isEnabled());
        QVERIFY(!w->passwdTxt->isEnabled());
        QVERIFY(w->actionTypeCombo->toolTip().contains("survey"));
        const std::string before = platform::sim::dumpNetwork(db.toStdString());
        execute();
        QCOMPARE(platform::sim::dumpNetwork(db.toStdString()), before);
        QVERIFY2(positions.contains("Machine 4 of 7, 4 in flight"), qPrintable(positions.join('|')));

        const QString dir = QString::fromStdString(vantrel::programDirectory());
        const QStringList surveys = QDir(dir).entryList({"_survey*.csv"}, QDir::Files, QDir::Name);
        QCOMPARE(surveys, QStringList{QString::fromStdString(vantrel::surveyFileName(vantrel::now()))});
        QVERIFY(resultsFiles().isEmpty());
        const QByteArray missing =
            "Error::Specified service does not exist.::1060::SurveyService:OpenService";
        const QByteArray away = "Error::RPC Server is unavailable. The client may not be accessible. Try "
                                "pinging the client.::1722::SurveyService:OpenSCManager";
        const QByteArray denied = "Error::Unexpected Error.  Check Microsoft for related Error Code = "
                                  "5::SurveyService:OpenSCManager";
        // Rows go to disk as machines end: with four at once, not in list order.
        QList<QByteArray> rows = readAll(dir + "/" + surveys[0]).split('\n');
        std::sort(rows.begin() + 1, rows.end() - 1);
        QCOMPARE(rows.join('\n'),
                 "MACHINE,SERVICE,STATE,START TYPE,LOGON ACCOUNT,LOGON RIGHT,ERROR MESSAGE\r\n"
                 "WS001,Albd,Running,Auto,CORP\\svc_old,False,\r\n"
                 "WS002,Albd,Stopped,Demand,CORP\\svc_old,False,\r\n"
                 "WS003,Albd,Stopped,Disabled,CORP\\svc_old,False,\r\n"
                 "WS004,Albd,,,,False," +
                     missing +
                     "\r\n"
                     "WS005,Albd,,,,Unknown," +
                     away +
                     "\r\n"
                     "WS006,Albd,,,,Unknown," +
                     denied +
                     "\r\n"
                     "WS007,Albd,Running,Auto,CORP\\svc_new,True,\r\n");
        const QString text = w->textMsg->toPlainText();
        QVERIFY(text.contains("WS001: Albd is Running, starts Auto, logs on as CORP\\svc_old; logon right of "
                              "CORP\\svc_new: False"));
        QVERIFY(
            text.startsWith("Saved survey to file --> " + dir + "/" + surveys[0] +
                            "\nRun summary: 7 machines done, 3 failed (WS004, WS005, WS006), 0 not tried\n"));
        QCOMPARE(marks(), "OOOFFF-");
        QCOMPARE(w->clients->widget()->item(0)->toolTip(), "WS001: logs on as CORP\\svc_old");

        QVERIFY(w->TickOnlyOtherAccount->isEnabled());
        w->TickOnlyOtherAccount->trigger();
        QStringList ticked;
        for (int i = 0; i < w->clients->count(); ++i)
            if (w->clients->ticked(i)) ticked << w->clients->text(i);
        QCOMPARE(ticked, (QStringList{"WS001", "WS002", "WS003"}));

        w->actionTypeCombo->setCurrentText("update");
        w->cbEnableLogonAsService->setChecked(true);
        execute();
        QCOMPARE(resultsFiles().size(), 1);
        for (const char* h : {"WS001", "WS002", "WS003"})
            QCOMPARE(service(h).value("account").toString(), Account);

        w->selectAllBut->click();
        w->actionTypeCombo->setCurrentText("survey");
        execute();
        const QByteArray second =
            readAll(dir + "/" + QDir(dir).entryList({"_survey*.csv"}, QDir::Files, QDir::Name).value(1));
        QVERIFY(second.contains("WS001,Albd,Running,Auto,CORP\\svc_new,True,\r\n"));
        QVERIFY(second.contains("WS002,Albd,Running,Demand,CORP\\svc_new,True,\r\n"));
        QVERIFY(second.contains("WS003,Albd,Stopped,Disabled,CORP\\svc_new,True,\r\n"));
        QCOMPARE(marks(), "---FFF-");
        QVERIFY(!w->TickOnlyOtherAccount->isEnabled());
    }
};

QTEST_MAIN(tst_BatchRun)
#include "tst_batchrun.moc"
