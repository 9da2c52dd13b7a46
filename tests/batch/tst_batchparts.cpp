// The pieces of the batch run that stand alone: the results file, starting a helper program
// without a shell, the worker threads and the rule for entries naming the same machine.
#include "batch/ResultsFile.h"
#include "batch/RunAndWait.h"
#include "batch/RunLog.h"
#include "batch/Schedule.h"
#include "batch/WorkerThreads.h"
#include "common/AppEnv.h"
#include "common/Dialogs.h"

#include "Scripts.h"

#include <QDir>
#include <QFile>
#include <QGuiApplication>
#include <QTemporaryDir>
#include <QTimer>
#include <QtTest>

#include <atomic>
#include <csignal>
#include <cstdlib>
#include <ctime>
#include <mutex>
#include <set>
#include <thread>
#ifndef Q_OS_WIN
#include <sys/resource.h>
#endif

using batchtest::readAll;
using batchtest::writeScript;

namespace {

std::chrono::system_clock::time_point utc(int y, int mo, int d, int h, int mi, int s) {
    std::tm t{};
    t.tm_year = y - 1900;
    t.tm_mon = mo - 1;
    t.tm_mday = d;
    t.tm_hour = h;
    t.tm_min = mi;
    t.tm_sec = s;
    return std::chrono::system_clock::from_time_t(timegm(&t));
}

} // namespace

class tst_BatchParts : public QObject {
    Q_OBJECT

    vantrel::ScriptedDialogs boxes;

  private slots:
    void initTestCase() {
        QGuiApplication::setQuitOnLastWindowClosed(false);
        qputenv("TZ", "UTC");
        tzset();
        vantrel::setDialogs(&boxes);
    }
    void init() { boxes.clear(); }

    void fileName_data() {
        QTest::addColumn<qint64>("when");
        QTest::addColumn<QString>("name");
        auto secs = [](auto tp) {
            return qint64(std::chrono::duration_cast<std::chrono::seconds>(tp.time_since_epoch()).count());
        };
        QTest::newRow("morning") << secs(utc(2026, 12, 7, 7, 15, 33)) << "_results122026_071533.csv";
        QTest::newRow("midnight") << secs(utc(2027, 1, 1, 0, 0, 0)) << "_results012027_000000.csv";
        QTest::newRow("evening") << secs(utc(2026, 9, 30, 23, 59, 59)) << "_results092026_235959.csv";
    }
    void fileName() {
        QFETCH(qint64, when);
        QFETCH(QString, name);
        auto tp = std::chrono::system_clock::time_point(std::chrono::seconds(when));
        QCOMPARE(QString::fromStdString(vantrel::resultsFileName(tp)), name);
    }

    void quoting_data() {
        QTest::addColumn<QString>("field");
        QTest::addColumn<QString>("written");
        QTest::newRow("plain") << "WS001"
                               << "WS001";
        QTest::newRow("error text")
            << "Error::Specified service does not exist.::1060::ChangeServicePassword:OpenService::"
            << "Error::Specified service does not exist.::1060::ChangeServicePassword:OpenService::";
        QTest::newRow("empty") << ""
                               << "";
        QTest::newRow("comma") << "a,b"
                               << "\"a,b\"";
        QTest::newRow("quotes") << "say \"hi\""
                                << "\"say \"\"hi\"\"\"";
        QTest::newRow("cr") << "a\rb"
                            << "\"a\rb\"";
        QTest::newRow("lf") << "a\nb"
                            << "\"a\nb\"";
        QTest::newRow("blank and semicolon") << "Update Failed: ;"
                                             << "Update Failed: ;";
    }
    void quoting() {
        QFETCH(QString, field);
        QFETCH(QString, written);
        QCOMPARE(QString::fromStdString(vantrel::csvField(field.toStdString())), written);
    }

    // Header, CR LF endings, and a taken name never overwritten.
    void fileNeverOverwritten() {
        QTemporaryDir dir;
        const std::string d = dir.path().toStdString();
        QFile taken(dir.filePath("_results.csv"));
        QVERIFY(taken.open(QIODevice::WriteOnly));
        taken.write("keep me");
        taken.close();

        vantrel::ResultsFile second(d, "_results.csv");
        vantrel::ResultsFile third(d, "_results.csv");
        QCOMPARE(QString::fromStdString(second.path()), dir.filePath("_results_2.csv"));
        QCOMPARE(QString::fromStdString(third.path()), dir.filePath("_results_3.csv"));
        second.write({"WS,1", "N/A", "True", "N/A", "No Error:6"});
        // Each line is on disk as soon as it is written, before the file is closed.
        QCOMPARE(
            readAll(dir.filePath("_results_2.csv")),
            QByteArray(
                "MACHINE,STOPPED,UPDATED,RESTARTED,ERROR MESSAGE\r\n\"WS,1\",N/A,True,N/A,No Error:6\r\n"));
        QCOMPARE(readAll(dir.filePath("_results.csv")), QByteArray("keep me"));

        // The run log takes the same numbering, and no one else may read it.
        QFile loggedBefore(dir.filePath("_run.log"));
        QVERIFY(loggedBefore.open(QIODevice::WriteOnly));
        loggedBefore.close();
        const vantrel::RunLog log({d, "_run.log", false});
        QCOMPARE(QString::fromStdString(log.path()), QDir::toNativeSeparators(dir.filePath("_run_2.log")));
#ifndef Q_OS_WIN // Windows keeps this in the file's access list, which these bits do not show
        QCOMPARE(QFile::permissions(dir.filePath("_run_2.log")) &
                     (QFile::ReadGroup | QFile::ReadOther | QFile::WriteGroup | QFile::WriteOther),
                 QFile::Permissions());
#endif
        QVERIFY_THROWS_EXCEPTION(std::runtime_error, vantrel::RunLog({d, "_run.log", true}));
    }

#ifndef Q_OS_WIN
    // A header that cannot be written (here: past the file size limit) leaves no file at all,
    // neither the results file nor its staging file.
    void headerNotWritten() {
        QTemporaryDir dir;
        rlimit old{};
        QVERIFY(getrlimit(RLIMIT_FSIZE, &old) == 0);
        rlimit small = old;
        small.rlim_cur = 10;
        const auto oldSignal = std::signal(SIGXFSZ, SIG_IGN);
        QVERIFY(setrlimit(RLIMIT_FSIZE, &small) == 0);
        bool thrown = false;
        try {
            vantrel::ResultsFile file(dir.path().toStdString(), "_results.csv");
        } catch (const std::runtime_error& e) {
            thrown = QString(e.what()).startsWith("Could not write the results file");
        }
        setrlimit(RLIMIT_FSIZE, &old);
        std::signal(SIGXFSZ, oldSignal);
        QVERIFY(thrown);
        QCOMPARE(QDir(dir.path()).entryList(QDir::Files | QDir::Hidden), QStringList());
    }
#endif

    // A helper whose arguments hold a NUL is not started: it would get them cut short.
    void argumentWithNulNotStarted() {
        QTemporaryDir dir;
        const QString flag = dir.filePath("ran");
        const QString program = writeScript(dir.filePath("helper"), "touch \"" + flag.toUtf8() + "\"\n");
        const QStringList arguments{"\\\\" + QString(QChar(u'\0')) + "WS001"};
        QCOMPARE(vantrel::RunAndWait(program, arguments), vantrel::RunOutcome::NotStarted);
        QCOMPARE(vantrel::RunAndWaitBlocking(program, arguments), vantrel::RunOutcome::NotStarted);
        QVERIFY(!QFile::exists(flag));
        QCOMPARE(vantrel::RunAndWait(program, {"\\\\WS001"}), vantrel::RunOutcome::Finished);
        QVERIFY(QFile::exists(flag));
    }

    // Where the program keeps its files when it cannot write beside itself (the install test
    // runs a whole update there).
    void userDataFolder_data() {
        QTest::addColumn<QByteArray>("xdg");
        QTest::addColumn<QString>("below"); // the data folder below the temporary folder
        QTest::newRow("XDG data home") << QByteArray("/xdg") << "xdg/Halcyra/Vantrel";
        QTest::newRow("relative XDG value ignored")
            << QByteArray("xdg") << "home/.local/share/Halcyra/Vantrel";
        QTest::newRow("empty XDG value") << QByteArray() << "home/.local/share/Halcyra/Vantrel";
    }
    void userDataFolder() {
        QFETCH(QByteArray, xdg);
        QFETCH(QString, below);
        QTemporaryDir dir;
        const QByteArray oldHome = qgetenv("HOME"), oldXdg = qgetenv("XDG_DATA_HOME");
        qputenv("HOME", dir.filePath("home").toUtf8());
        qputenv("XDG_DATA_HOME", xdg.startsWith('/') ? dir.path().toUtf8() + xdg : xdg);
        QCOMPARE(QString::fromStdString(vantrel::userDataDirectory()), dir.filePath(below));
        // A writable folder, or one that is missing (a fault of its own), is kept.
        for (const QString& kept : {dir.path(), dir.filePath("missing")})
            QCOMPARE(QString::fromStdString(vantrel::writableDirectory(kept.toStdString())), kept);
        qputenv("HOME", oldHome);
        qputenv("XDG_DATA_HOME", oldXdg);
    }

    // The wait lets events run: the helper only ends once a timer of ours has fired.
    void eventsRunWhileWaiting() {
        QTemporaryDir dir;
        const QString flag = dir.filePath("flag");
        const QString program = writeScript(dir.filePath("waiter"), "i=0\nwhile [ ! -e \"" + flag.toUtf8() +
                                                                        "\" ] && [ $i -lt 3000 ]; do "
                                                                        "sleep 0.01; i=$((i+1)); done\n");
        QTimer::singleShot(20, [&] {
            QFile f(flag);
            QVERIFY(f.open(QIODevice::WriteOnly));
        });
        QCOMPARE(vantrel::RunAndWait(program, {}), vantrel::RunOutcome::Finished);
        QVERIFY(QFile::exists(flag));
    }

    // The exit status of a helper that ended by itself, from both waits.
    void exitStatus_data() {
        QTest::addColumn<QByteArray>("body");
        QTest::addColumn<int>("status");
        QTest::newRow("success") << QByteArray("exit 0\n") << 0;
        QTest::newRow("failure") << QByteArray("exit 3\n") << 3;
        QTest::newRow("killed") << QByteArray("kill -9 $$\n") << -1;
    }
    void exitStatus() {
        QFETCH(QByteArray, body);
        QFETCH(int, status);
        QTemporaryDir dir;
        const QString program = writeScript(dir.filePath("helper"), body);
        const auto expected = status == 0 ? vantrel::RunOutcome::Finished : vantrel::RunOutcome::FailedOnExit;
        int got = 99, blocking = 99;
        QCOMPARE(vantrel::RunAndWait(program, {}, {}, {}, &got), expected);
        QCOMPARE(vantrel::RunAndWaitBlocking(program, {}, {}, &blocking), expected);
        QCOMPARE(got, status);
        QCOMPARE(blocking, status);
    }

    // Many jobs on few threads: every job runs, on no more threads than allowed.
    void workerThreadsReused() {
        std::atomic<int> done{0};
        std::mutex mutex;
        std::set<std::thread::id> used;
        {
            vantrel::WorkerThreads threads(3);
            for (int i = 0; i < 40; ++i)
                threads.run([&] {
                    {
                        std::lock_guard<std::mutex> lock(mutex);
                        used.insert(std::this_thread::get_id());
                    }
                    ++done;
                });
            QVERIFY(threads.threadCount() <= 3);
        }
        QCOMPARE(done.load(), 40);
        QVERIFY(used.size() <= 3 && !used.count(std::this_thread::get_id()));
    }

    void sameMachine_data() {
        QTest::addColumn<QString>("a");
        QTest::addColumn<QString>("b");
        QTest::addColumn<bool>("same");
        QTest::newRow("blanks") << "WS101"
                                << " WS101 " << true;
        QTest::newRow("letter case") << "ws101"
                                     << "WS101" << true;
        QTest::newRow("leading backslashes") << "\\\\WS101"
                                             << "  \\\\ws101" << true;
        QTest::newRow("other machine") << "WS101"
                                       << "WS1010" << false;
        QTest::newRow("tab kept") << "WS101\t"
                                  << "WS101" << false;
    }
    void sameMachine() {
        QFETCH(QString, a);
        QFETCH(QString, b);
        QFETCH(bool, same);
        QCOMPARE(vantrel::machineKey(a.toStdString()) == vantrel::machineKey(b.toStdString()), same);
    }
};

QTEST_MAIN(tst_BatchParts)
#include "tst_batchparts.moc"
