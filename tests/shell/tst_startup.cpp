// Start-up and the end of the program: the previous-instance test, the two refusals, the
// window title, closing (also while a long command runs) and the file-filter conversion of the
// real dialogs.
#include "Version.h"
#include "common/Dialogs.h"
#include "shell/QtDialogs.h"
#include "shell/frmMain.h"
#include "shell/frmProgress.h"
#include "shell/frmQuery.h"
#include "shell/modMain.h"

#include <QApplication>
#include <QFile>
#include <QProcess>
#include <QSysInfo>
#include <QTemporaryDir>
#include <QTimer>
#include <QtTest>

#include <memory>
#include <unistd.h>

namespace {

int mainWindowsAlive() {
    int n = 0;
    for (QWidget* top : QApplication::topLevelWidgets())
        if (qobject_cast<frmMain*>(top)) ++n;
    return n;
}

} // namespace

class tst_Startup : public QObject {
    Q_OBJECT

    vantrel::ScriptedDialogs boxes;

  private slots:
    void initTestCase() { vantrel::setDialogs(&boxes); }
    void cleanupTestCase() { vantrel::setDialogs(nullptr); }
    void init() { boxes.clear(); }

    void instanceScan_data() {
        QTest::addColumn<QString>("target"); // what the other process's exe link points to
        QTest::addColumn<bool>("sameUser");
        QTest::addColumn<bool>("counted");
        QTest::newRow("same program") << QStringLiteral("/opt/vantrel/Vantrel") << true << true;
        QTest::newRow("same name elsewhere") << QStringLiteral("/home/a/build/bin/Vantrel") << true << true;
        QTest::newRow("rebuilt since it started")
            << QStringLiteral("/opt/vantrel/Vantrel (deleted)") << true << true;
        QTest::newRow("another program") << QStringLiteral("/usr/bin/bash") << true << false;
        QTest::newRow("name as a prefix") << QStringLiteral("/opt/vantrel/Vantrel2") << true << false;
        QTest::newRow("other user") << QStringLiteral("/opt/vantrel/Vantrel") << false << false;
    }
    void instanceScan() {
        QFETCH(QString, target);
        QFETCH(bool, sameUser);
        QFETCH(bool, counted);
        QTemporaryDir proc;
        QVERIFY(proc.isValid());
        // This process itself, a kernel thread without an exe link, and a non-process entry.
        QVERIFY(QDir(proc.path()).mkpath(QStringLiteral("100")));
        QVERIFY(
            QFile::link(QStringLiteral("/opt/vantrel/Vantrel"), proc.filePath(QStringLiteral("100/exe"))));
        QVERIFY(QDir(proc.path()).mkpath(QStringLiteral("2")));
        QVERIFY(QDir(proc.path()).mkpath(QStringLiteral("sys")));
        QVERIFY(
            QFile::link(QStringLiteral("/opt/vantrel/Vantrel"), proc.filePath(QStringLiteral("sys/exe"))));
        const uid_t me = ::getuid();
        QVERIFY(!vantrel::otherInstanceRunning(proc.path(), QStringLiteral("Vantrel"), me, 100));

        QVERIFY(QDir(proc.path()).mkpath(QStringLiteral("4242")));
        QVERIFY(QFile::link(target, proc.filePath(QStringLiteral("4242/exe"))));
        QCOMPARE(vantrel::otherInstanceRunning(proc.path(), QStringLiteral("Vantrel"), sameUser ? me : me + 1,
                                               100),
                 counted);
    }

    void runningProgramIsSeen() {
        const QString exe = qEnvironmentVariable("VANTREL_BIN_DIR") + QStringLiteral("/Vantrel");
        if (!QFile::exists(exe)) QSKIP("the Vantrel executable is not built");
        const QString name = QStringLiteral("Vantrel");
        // Nothing of ours runs yet (a copy the user left running would make this meaningless).
        if (vantrel::otherInstanceRunning(QStringLiteral("/proc"), name, ::getuid(), ::getpid()))
            QSKIP("a Vantrel of this user is already running");

        QProcess first;
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
        first.setProcessEnvironment(env);
        first.start(exe, {});
        QVERIFY(first.waitForStarted());
        QTRY_VERIFY_WITH_TIMEOUT(
            vantrel::otherInstanceRunning(QStringLiteral("/proc"), name, ::getuid(), ::getpid()), 20000);
        // The copy itself does not count itself.
        QVERIFY(!vantrel::otherInstanceRunning(QStringLiteral("/proc"), name, ::getuid(),
                                               pid_t(first.processId())));
        QCOMPARE(first.state(), QProcess::Running); // the first copy starts and stays up

        first.kill();
        QVERIFY(first.waitForFinished());
        QTRY_VERIFY_WITH_TIMEOUT(
            !vantrel::otherInstanceRunning(QStringLiteral("/proc"), name, ::getuid(), ::getpid()), 20000);
    }

    void refusedAtFirstCheck() {
        int checks = 0;
        frmMain* w = vantrel::Main([&] {
            ++checks;
            return true;
        });
        QVERIFY(!w);
        QCOMPARE(checks, 1);
        QCOMPARE(mainWindowsAlive(), 0); // no window was created
        QCOMPARE(boxes.shown.size(), size_t(1));
        const auto& box = boxes.shown.front();
        QCOMPARE(box.icon, vantrel::Icon::Exclamation);
        QCOMPARE(box.buttons, vantrel::Buttons::Ok);
        QCOMPARE(box.title, std::string("Vantrel"));
        QCOMPARE(box.text, std::string("Vantrel is already running"));
    }

    void refusedAtSecondCheck() {
        int checks = 0;
        frmMain* w = vantrel::Main([&] { return ++checks == 2; });
        QVERIFY(!w);
        QCOMPARE(checks, 2);
        QCOMPARE(mainWindowsAlive(), 0); // built, never shown, and gone
        QCOMPARE(boxes.shown.size(), size_t(1));
        const auto& box = boxes.shown.front();
        QCOMPARE(box.icon, vantrel::Icon::Exclamation);
        QCOMPARE(box.title, std::string("Already running..."));
        const QString exe = QFileInfo(QCoreApplication::applicationFilePath()).completeBaseName();
        QCOMPARE(QString::fromStdString(box.text), exe + QStringLiteral(" is already Running..."));
    }

    // Two copies started at the same moment each see the other in the process list; the lock
    // lets exactly one run, whatever order their checks come in. A dead copy's lock is taken.
    void twoCopiesAtOnce() {
        QTemporaryDir dir;
        QVERIFY(dir.isValid());
        const QString path = dir.filePath(QStringLiteral("Vantrel.lock"));
        using Holder = vantrel::InstanceLock::Holder;
        vantrel::InstanceLock first(path), second(path);
        QCOMPARE(first.check(), Holder::ThisCopy);
        QCOMPARE(second.check(), Holder::AnotherCopy);
        QCOMPARE(first.check(), Holder::ThisCopy);
        QCOMPARE(second.check(), Holder::AnotherCopy);

        std::unique_ptr<frmMain> running(vantrel::Main([&] { return first.check() != Holder::ThisCopy; }));
        QVERIFY(running);
        QVERIFY(!vantrel::Main([&] { return second.check() != Holder::ThisCopy; }));
        QCOMPARE(boxes.shown.size(), size_t(1));
        QCOMPARE(boxes.shown[0].text, std::string("Vantrel is already running"));

        {
            vantrel::InstanceLock elsewhere(dir.filePath(QStringLiteral("none/x.lock")));
            QCOMPARE(elsewhere.check(), Holder::Unknown);
        }

        // A copy that died left its lock: pid 2^31-2 runs nowhere.
        const QString stale = dir.filePath(QStringLiteral("stale.lock"));
        QFile file(stale);
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.write("2147483646\nVantrel\n" + QSysInfo::machineHostName().toUtf8() + "\n");
        file.close();
        vantrel::InstanceLock after(stale);
        QCOMPARE(after.check(), Holder::ThisCopy);
    }

    void startsWithVersionInTitle() {
        std::unique_ptr<frmMain> w(vantrel::Main([] { return false; }));
        QVERIFY(w);
        QVERIFY(w->isVisible());
        QVERIFY(boxes.shown.empty());
        QCOMPARE(vantrel::versionText(), QStringLiteral(VANTREL_VERSION_STRING));
        QCOMPARE(w->windowTitle(),
                 QStringLiteral("Vantrel - " VANTREL_WEB_ADDRESS " - " VANTREL_VERSION_STRING));
    }

    void closingUnloadsEveryWindow() {
        std::unique_ptr<frmMain> w(vantrel::Main([] { return false; }));
        QVERIFY(w);
        w->progress()->start_progress(QStringLiteral("Getting information..."));
        w->progress()->stop_progress();
        w->query()->SetText(QStringLiteral("WS001:Build=7\r\n"), true);
        w->query()->show();
        QPointer<frmQuery> summary = w->query();
        QPointer<frmProgress> progress = w->progress();

        QVERIFY(w->close());
        QVERIFY(!w->isVisible());
        QVERIFY(summary.isNull());
        QVERIFY(progress.isNull());
        QVERIFY(!w->hasQuery());
        QVERIFY(!w->hasProgress());
        for (QWidget* top : QApplication::topLevelWidgets())
            QVERIFY2(!top->isVisible(), qPrintable(top->objectName()));
    }

    void closeWaitsForLongCommand() {
        std::unique_ptr<frmMain> w(vantrel::Main([] { return false; }));
        QVERIFY(w);
        {
            frmMain::LongCommand guard(*w);
            QVERIFY(bool(guard));
            QVERIFY(w->longCommandRunning());
            {
                // A second command does not start meanwhile.
                frmMain::LongCommand second(*w);
                QVERIFY(!second);
            }
            QVERIFY(w->longCommandRunning());

            w->query()->show();
            QVERIFY(!w->close());
            QVERIFY(w->closeRequested());
            QVERIFY(w->isVisible());
            QVERIFY(w->hasQuery()); // the command may still use its windows
        }
        QVERIFY(!w->longCommandRunning());
        QTRY_VERIFY_WITH_TIMEOUT(!w->isVisible(), 5000);
        QVERIFY(!w->hasQuery());
    }

    void fileFilters_data() {
        QTest::addColumn<QString>("given");
        QTest::addColumn<QString>("qt");
        QTest::newRow("one pair") << "Text Files|*.txt"
                                  << "Text Files (*.txt)";
        QTest::newRow("two pairs") << "Host lists|*.txt;*.lst|All Files|*.*"
                                   << "Host lists (*.txt *.lst);;All Files (*)";
        // "*.*" must also show names without a dot, such as a file called hosts.
        QTest::newRow("all files shown in its name") << "All Files (*.*)|*.*"
                                                     << "All Files (*)";
        QTest::newRow("*.* among others") << "Lists|*.txt;*.*"
                                          << "Lists (*.txt *)";
        QTest::newRow("already shown") << "Text (*.txt)|*.txt"
                                       << "Text (*.txt)";
        QTest::newRow("qt form kept") << "Text (*.txt);;All (*)"
                                      << "Text (*.txt);;All (*)";
        QTest::newRow("empty") << ""
                               << "";
    }
    void fileFilters() {
        QFETCH(QString, given);
        QFETCH(QString, qt);
        QCOMPARE(QString::fromStdString(vantrel::qtFileFilter(given.toStdString())), qt);
    }

    void openFileSetup_data() {
        QTest::addColumn<QString>("fileName");
        QTest::addColumn<QString>("filter");
        QTest::addColumn<QString>("start");
        QTest::addColumn<QString>("qtFilter");
        QTest::addColumn<QString>("selected");
        const QString all = QStringLiteral("All Files (*.*)|*.*");
        QTest::newRow("plain name") << "hosts" << all << "/prog/hosts"
                                    << "All Files (*)"
                                    << "";
        QTest::newRow("no name") << "" << all << "/prog"
                                 << "All Files (*)"
                                 << "";
        // A wildcard name is a filter, never a literal name to open.
        QTest::newRow("wildcard becomes the filter") << "*.txt" << all << "/prog"
                                                     << "*.txt;;All Files (*)"
                                                     << "*.txt";
        QTest::newRow("wildcard of an existing entry") << "*.txt"
                                                       << "Text|*.txt|All Files (*.*)|*.*"
                                                       << "/prog"
                                                       << "Text (*.txt);;All Files (*)"
                                                       << "Text (*.txt)";
        QTest::newRow("question mark") << "host?.lst" << all << "/prog"
                                       << "host?.lst;;All Files (*)"
                                       << "host?.lst";
    }
    void openFileSetup() {
        QFETCH(QString, fileName);
        QFETCH(QString, filter);
        const vantrel::QtOpenFileSetup setup =
            vantrel::qtOpenFileSetup("/prog", fileName.toStdString(), filter.toStdString());
        QTEST(QString::fromStdString(setup.start), "start");
        QTEST(QString::fromStdString(setup.filter), "qtFilter");
        QTEST(QString::fromStdString(setup.selectedFilter), "selected");
    }

    // Last: it runs the program's event loop to its end.
    void closingEndsTheProgram() {
        std::unique_ptr<frmMain> w(vantrel::Main([] { return false; }));
        QVERIFY(w);
        w->query()->show();
        QVERIFY(QApplication::quitOnLastWindowClosed());
        bool ended = true;
        QTimer::singleShot(0, w.get(), [&] { w->close(); });
        // Should the program not end by itself, this stops the loop and fails the test.
        QTimer::singleShot(10000, qApp, [&] {
            ended = false;
            QCoreApplication::exit(1);
        });
        const int status = QApplication::exec();
        QVERIFY(ended);
        QCOMPARE(status, 0);
        QVERIFY(!w->hasQuery());
    }
};

QTEST_MAIN(tst_Startup)
#include "tst_startup.moc"
