// vantrel-run end to end on a simulated network: its exit statuses, its refusals before any
// machine, and where the password may and may not appear. Its rows are compared with the
// window's in tst_batchrun, on the same fixture.
#include "platform/sim/SimNetwork.h"

#include "Fixture.h"
#include "Scripts.h"

#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QStringEncoder>
#include <QTemporaryDir>
#include <QtTest>

#include <sys/stat.h>

using namespace batchtest;

class tst_VantrelRun : public QObject {
    Q_OBJECT

    QTemporaryDir tmp;
    QString db;
    QString work; // the console's working folder: its results files go there

    std::string dump() { return platform::sim::dumpNetwork(db.toStdString()); }

    // Every file under `dir` that holds the password, but for the network's own store and
    // programs (the simulated network's demonstration holds the same password).
    QStringList filesHoldingPassword(const QString& dir) {
        QStringList found;
        QDirIterator it(dir, QDir::Files | QDir::Hidden, QDirIterator::Subdirectories);
        while (it.hasNext()) {
            const QString path = it.next();
            if (path.startsWith(db) || QFileInfo(path).isExecutable()) continue;
            if (readAll(path).contains(Password.toUtf8())) found << path;
        }
        return found;
    }

  private slots:
    void initTestCase() {
        QVERIFY(tmp.isValid());
        qputenv("XDG_CONFIG_HOME", tmp.filePath("config").toUtf8());
        db = tmp.filePath("net.db");
        qputenv("SIMNET_DB", db.toUtf8());
        work = tmp.filePath("work");
    }
    void init() {
        QDir(work).removeRecursively();
        QVERIFY(QDir().mkpath(work));
    }

    // Each exit status, and the refusals that leave the network exactly as it was.
    void exitStatus_data() {
        QTest::addColumn<QStringList>("args");
        QTest::addColumn<QByteArray>("input");
        QTest::addColumn<bool>("controller");
        QTest::addColumn<int>("fileMode"); // the password from a file of this mode; 0: standard input
        QTest::addColumn<int>("status");
        QTest::addColumn<QString>("said"); // on standard error; empty: nothing at all
        QTest::addColumn<int>("done");     // machines done, as the summary line counts them
        const QStringList update = {"update", "--account", Account, "--restart", "--grant-right"};
        const QByteArray typed = Password.toUtf8() + "\r\n";
        QTest::newRow("every machine succeeds")
            << update + QStringList{"--hosts", "hosts.txt", "WS101"} << typed << true << 0 << 0 << "" << 2;
        QTest::newRow("a machine fails")
            << update + QStringList{"WS101", "WS004"} << typed << true << 0 << 1 << "" << 2;
        QTest::newRow("start, one fails")
            << QStringList{"start", "WS002", "WS003"} << QByteArray() << true << 0 << 1 << "" << 2;
        QTest::newRow("wrong password") << update + QStringList{"WS101"} << QByteArray("N3w!pas\n") << true
                                        << 0 << 2 << "Windows error 1326" << 0;
        QTest::newRow("no password") << update + QStringList{"WS101"} << QByteArray("\n") << true << 0 << 2
                                     << "Must enter values" << 0;
        QTest::newRow("controller unreachable") << update + QStringList{"WS101"} << typed << false << 0 << 2
                                                << "not without --skip-logon-check" << 0;
        QTest::newRow("controller unreachable, skipped")
            << update + QStringList{"--skip-logon-check", "WS101"} << typed << false << 0 << 0
            << "Yes, as --skip-logon-check" << 1;
        QTest::newRow("logon failure stops")
            << QStringList{"update", "--account", Account, "--restart", "--machines-at-once=2",
                           "WS101",  "WS102",     "WS103"}
            << typed << true << 0 << 3 << "not without --on-logon-failure go-on" << 1;
        QTest::newRow("logon failure, go on")
            << QStringList{"update", "--account", Account, "--restart", "--on-logon-failure",
                           "go-on",  "WS101",     "WS102"}
            << typed << true << 0 << 1 << "Yes, as --on-logon-failure go-on" << 2;
        QTest::newRow("password file of its owner alone")
            << update + QStringList{"WS101"} << QByteArray() << true << 0600 << 0 << "" << 1;
        QTest::newRow("world-readable password file")
            << update + QStringList{"WS101"} << QByteArray() << true << 0644 << 2 << "permissions 0644" << 0;
        QTest::newRow("group-readable password file")
            << update + QStringList{"WS101"} << QByteArray() << true << 0640 << 2 << "permissions 0640" << 0;
        QTest::newRow("results file exists") << update + QStringList{"--results", "taken.csv", "WS101"}
                                             << typed << true << 0 << 2 << "already exists" << 0;
        QTest::newRow("missing host file") << update + QStringList{"--hosts", "none.txt"} << typed << true
                                           << 0 << 2 << "File does not exist --> none.txt" << 0;
        QTest::newRow("wrong option") << QStringList{"update", "--pasword-stdin", "WS101"} << typed << true
                                      << 0 << 2 << "unknown option --pasword-stdin" << 0;
        QTest::newRow("password as an argument") << update + QStringList{"--password", Password, "WS101"}
                                                 << typed << true << 0 << 2 << "Usage: vantrel-run" << 0;
        QTest::newRow("no machines") << update << typed << true << 0 << 2 << "no machines given" << 0;
        QTest::newRow("survey, every machine read")
            << QStringList{"survey", "--results", "s.csv", "WS001", "WS003"} << QByteArray() << true << 0 << 0
            << "" << 2;
        QTest::newRow("survey, one not read") << QStringList{"survey", "--account", Account, "WS001", "WS005"}
                                              << QByteArray() << true << 0 << 1 << "" << 2;
        QTest::newRow("survey with a password") << QStringList{"survey", "--password-stdin", "WS001"} << typed
                                                << true << 0 << 2 << "survey changes nothing" << 0;
    }
    void exitStatus() {
        QFETCH(QStringList, args);
        QFETCH(QByteArray, input);
        QFETCH(bool, controller);
        QFETCH(int, fileMode);
        QFETCH(int, status);
        QFETCH(QString, said);
        QFETCH(int, done);
        platform::sim::loadNetwork(db.toStdString(), network(0, 3, controller).toStdString());
        QFile(work + "/taken.csv").open(QIODevice::WriteOnly);
        // UTF-16 with its mark, a name given as an argument too in other letter case: the
        // window's host-file rules, and its list's duplicate rule across the sources.
        QFile hosts(work + "/hosts.txt");
        QVERIFY(hosts.open(QIODevice::WriteOnly));
        QStringEncoder utf16(QStringConverter::Utf16LE, QStringConverter::Flag::WriteBom);
        hosts.write(utf16(QStringLiteral("ws101\r\nWS002\r\n")));
        hosts.close();
        if (args.first() == "update" && !args.contains("--password")) {
            if (fileMode == 0) {
                args << "--password-stdin";
            } else {
                QFile secret(work + "/secret");
                QVERIFY(secret.open(QIODevice::WriteOnly));
                secret.write(Password.toUtf8() + "\n");
                secret.close();
                QCOMPARE(::chmod(QFile::encodeName(secret.fileName()).constData(), fileMode), 0);
                args << "--password-file" << secret.fileName();
            }
        }
        const std::string before = dump();

        const ConsoleRun run = runConsole(args, input, work);
        QVERIFY2(run.status == status, run.out + run.err);
        if (said.isEmpty())
            QVERIFY2(run.err.isEmpty(), run.err);
        else
            QVERIFY2(run.err.contains(said.toUtf8()), run.err);
        if (status == 2) {
            QCOMPARE(dump(), before);
            QVERIFY(run.out.isEmpty());
        } else {
            // The last line sums the run up; an update names its results file there.
            const QByteArray last = run.out.trimmed().split('\n').last();
            QVERIFY2(last.startsWith("Run summary: " + QByteArray::number(done) +
                                     (done == 1 ? " machine done" : " machines done")),
                     last);
            if (args.first() == "update") {
                const QStringList csv = QDir(work).entryList({"_results*.csv"});
                QCOMPARE(csv.size(), 1);
                QVERIFY2(last.endsWith(", results in " + QDir(work).filePath(csv.first()).toUtf8()), last);
            }
            if (args.first() == "survey") {
                // One line a machine, and the survey changes nothing.
                QCOMPARE(run.out.count("\n"), done + 2);
                QCOMPARE(dump(), before);
                const QStringList csv =
                    QDir(work).entryList({args.contains("s.csv") ? "s.csv" : "_survey*.csv"});
                QCOMPARE(csv.size(), 1);
                QCOMPARE(readAll(work + "/" + csv.first()).count("\r\n"), done + 1);
            }
        }
        QVERIFY(!run.out.contains(Password.toUtf8()));
        QVERIFY(!run.err.contains(Password.toUtf8()));
        QCOMPARE(filesHoldingPassword(tmp.path()), fileMode ? QStringList{work + "/secret"} : QStringList{});
    }

    // SIGTERM (or Ctrl+C) is the window's Stop: the machine past its change finishes its
    // sequence, every other one gets its "Not tried" row, and the run ends with 1.
    void stopOnSignal() {
        platform::sim::loadNetwork(db.toStdString(), network(1500, 2).toStdString());
        QProcess p;
        p.setWorkingDirectory(work);
        p.start(qEnvironmentVariable("VANTREL_BIN_DIR") + "/vantrel-run",
                {"update", "--account", Account, "--password-stdin", "--restart", "--grant-right", "--wait",
                 "--results", "r.csv", "WS006", "WS101", "WS102"});
        p.write(Password.toUtf8() + "\n");
        p.closeWriteChannel();
        QByteArray out;
        QTRY_VERIFY_WITH_TIMEOUT((out += p.readAllStandardOutput()).contains("WS006: Success."), 60000);
        p.terminate();
        QVERIFY(p.waitForFinished(60000));
        QCOMPARE(p.exitCode(), 1);
        QCOMPARE(readAll(work + "/r.csv"), Header + "WS006,True,True,True,No Error:4\r\n"
                                                    "WS101,N/A,N/A,N/A,Not tried: the run was stopped\r\n"
                                                    "WS102,N/A,N/A,N/A,Not tried: the run was stopped\r\n");
        out += p.readAllStandardOutput();
        QVERIFY2(out.contains("Run summary: 1 machine done, 1 updated, 1 restarted, 0 failed, 2 not tried"),
                 out);
    }

    // The password reaches the network's store and nothing else: not Osprel's arguments or
    // environment, not the output, not a file of the console's.
    void passwordReachesOnlyTheNetwork() {
        platform::sim::loadNetwork(db.toStdString(), network(0, 2).toStdString());
        const QString prog = tmp.filePath("prog");
        QVERIFY(QDir().mkpath(prog));
        const QString console = prog + "/vantrel-run";
        QVERIFY(QFile::copy(qEnvironmentVariable("VANTREL_BIN_DIR") + "/vantrel-run", console));
        QVERIFY(QFile::setPermissions(console, QFile::ReadOwner | QFile::ExeOwner));
        // Osprel's stand-in keeps its arguments and environment, then grants nothing.
        writeScript(prog + "/Osprel", "printf '%s\\n' \"$@\" >> \"" + prog.toUtf8() +
                                          "/osprel-seen\"\nenv >> \"" + prog.toUtf8() +
                                          "/osprel-seen\"\nexit 0\n");

        const ConsoleRun run = runConsole({"update", "--account", Account, "--password-stdin",
                                           "--grant-right", "--machines-at-once", "2", "WS101", "WS102"},
                                          Password.toUtf8() + "\n", work, console);
        QCOMPARE(run.status, 0);
        const QByteArray seen = readAll(prog + "/osprel-seen");
        QCOMPARE(seen.count("\\\\WS10"), 2); // both machines asked Osprel
        QVERIFY(!seen.contains(Password.toUtf8()));
        QCOMPARE(filesHoldingPassword(tmp.path()), QStringList{});
        QVERIFY(QByteArray::fromStdString(dump()).contains(Password.toUtf8()));
    }
};

QTEST_GUILESS_MAIN(tst_VantrelRun)
#include "tst_vantrelrun.moc"
