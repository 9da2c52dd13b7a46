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

#include <nlohmann/json.hpp>

#include <csignal>
#include <fcntl.h>
#include <grp.h>
#include <map>
#include <optional>
#include <sys/stat.h>
#include <sys/wait.h>
#include <termios.h>
#include <unistd.h>

using namespace batchtest;

class tst_VantrelRun : public QObject {
    Q_OBJECT

    QTemporaryDir tmp;
    std::optional<QTemporaryDir> promptBin_; // vantrel-run where nobody can run it
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

    // vantrel-run at the password prompt of a terminal of its own: `session` is the session's
    // leader, which holds the terminal open and reports the program's end; `program` runs in
    // a process group of its own in the foreground, as a shell's job (a session leader's own
    // group is orphaned, and there Ctrl+Z is ignored).
    struct Prompt {
        int terminal = -1; // the pty's master side
        pid_t session = -1;
        pid_t program = -1;
        int report = -1; // from the leader: the program's id, then its wait status
        int hold = -1;   // to the leader: closing it lets the leader go
        QByteArray shown;

        ~Prompt() {
            if (program > 0) ::kill(program, SIGKILL);
            if (hold >= 0) ::close(hold);
            if (session > 0) ::waitpid(session, nullptr, 0);
            for (int fd : {terminal, report})
                if (fd >= 0) ::close(fd);
        }
        bool echoing() const {
            termios t{};
            return ::tcgetattr(terminal, &t) == 0 && (t.c_lflag & ECHO);
        }
        // Whether the terminal has shown `text` `times` times so far.
        bool showed(const QByteArray& text, int times = 1) {
            char buffer[512];
            for (ssize_t n; (n = ::read(terminal, buffer, sizeof buffer)) > 0;)
                shown.append(buffer, n);
            return shown.count(text) >= times;
        }
        char state() const {
            QFile stat(QString("/proc/%1/stat").arg(program));
            if (!stat.open(QIODevice::ReadOnly)) return 0;
            const QByteArray line = stat.readAll();
            const qsizetype end = line.lastIndexOf(')');
            return end > 0 && end + 2 < line.size() ? line[end + 2] : 0;
        }
    };

    // Starts vantrel-run reading its password from a new terminal. As the superuser, which
    // may read any process, the program runs as nobody: whether other users' tools could get
    // at its memory then shows in the owner of its /proc files.
    bool startAtPrompt(Prompt& p) {
        p.terminal = ::posix_openpt(O_RDWR | O_NOCTTY);
        if (p.terminal < 0 || ::grantpt(p.terminal) != 0 || ::unlockpt(p.terminal) != 0) return false;
        const QByteArray slave = ::ptsname(p.terminal);
        ::fcntl(p.terminal, F_SETFL, O_NONBLOCK);
        int report[2], hold[2];
        if (::pipe2(report, O_CLOEXEC) != 0 || ::pipe2(hold, O_CLOEXEC) != 0) return false;
        const bool root = ::geteuid() == 0;
        QByteArray program = QFile::encodeName(qEnvironmentVariable("VANTREL_BIN_DIR") + "/vantrel-run");
        if (root) {
            // The checkout may lie where nobody cannot enter (root's home, a mktemp folder): the
            // program runs from a scratch folder of its own that nobody can reach.
            if (!promptBin_) {
                promptBin_.emplace(
                    QStringLiteral("/tmp/vantrel-prompt-XXXXXX")); // $TMPDIR may be root's alone
                const QString copy = promptBin_->filePath("vantrel-run");
                if (!promptBin_->isValid() || !QFile::copy(QFile::decodeName(program), copy) ||
                    ::chmod(QFile::encodeName(promptBin_->path()).constData(), 0755) != 0 ||
                    ::chmod(QFile::encodeName(copy).constData(), 0755) != 0)
                    return false;
            }
            program = QFile::encodeName(promptBin_->filePath("vantrel-run"));
        }
        const char* argv[] = {program.constData(), "update", "--account", "CORP\\svc_new",
                              "--password-stdin",  "WS101",  nullptr};
        p.session = ::fork();
        if (p.session == 0) {
            ::close(hold[1]);
            ::setsid();
            const int tty = ::open(slave.constData(), O_RDWR);
            const pid_t child = ::fork();
            if (child == 0) {
                ::setpgid(0, 0);
                ::signal(SIGTTOU, SIG_IGN);
                ::tcsetpgrp(tty, ::getpid());
                ::signal(SIGTTOU, SIG_DFL);
                sigset_t none;
                sigemptyset(&none);
                ::sigprocmask(SIG_SETMASK, &none, nullptr);
                for (int fd : {0, 1, 2})
                    ::dup2(tty, fd);
                if (root && (::setgroups(0, nullptr) != 0 || ::setgid(65534) != 0 || ::setuid(65534) != 0))
                    ::_exit(126);
                ::execv(argv[0], const_cast<char**>(argv));
                ::_exit(127);
            }
            ::setpgid(child, child);
            [[maybe_unused]] ssize_t n = ::write(report[1], &child, sizeof child);
            int status = 0;
            ::waitpid(child, &status, 0);
            n = ::write(report[1], &status, sizeof status);
            char c;
            n = ::read(hold[0], &c, 1);
            ::_exit(0);
        }
        ::close(report[1]);
        ::close(hold[0]);
        p.report = report[0];
        p.hold = hold[1];
        if (p.session < 0 || ::read(p.report, &p.program, sizeof p.program) != sizeof p.program) return false;
        ::fcntl(p.report, F_SETFL, O_NONBLOCK);
        return true;
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
        // The password from a file of this mode, holding the input or else the password (a FIFO
        // or a folder by their type bits); 0: from standard input.
        QTest::addColumn<int>("fileMode");
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
        QTest::newRow("FIFO with no writer") << update + QStringList{"WS101"} << QByteArray() << true
                                             << int(S_IFIFO | 0600) << 2 << "it is not a plain file" << 0;
        QTest::newRow("folder as the password file")
            << update + QStringList{"WS101"} << QByteArray() << true << int(S_IFDIR | 0700) << 2
            << "it is not a plain file" << 0;
        // A password is never cut: 1024 bytes after the mark and before CR LF are the most.
        const QByteArray longest = "\xEF\xBB\xBF" + QByteArray(1024, 'p') + "\r\n";
        QTest::newRow("longest password line")
            << update + QStringList{"WS101"} << longest << true << 0 << 2 << "Windows error 1326" << 0;
        QTest::newRow("password line too long") << update + QStringList{"WS101"} << QByteArray(1025, 'p')
                                                << true << 0 << 2 << "longer than 1024 bytes" << 0;
        QTest::newRow("password file line too long")
            << update + QStringList{"WS101"} << QByteArray(100000, 'p') + "\n"
            << true << 0600 << 2 << "longer than 1024 bytes" << 0;
        // Refused before any machine, though a local account has no domain check.
        QTest::newRow("password holding a NUL")
            << QStringList{"update", "--account", ".\\svc_local", "WS101"} << QByteArray("N3w\0pass\n", 9)
            << true << 0 << 2 << "holds a NUL character" << 0;
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
            const QString secret = work + "/secret";
            const QByteArray path = QFile::encodeName(secret);
            if (fileMode == 0) {
                args << "--password-stdin";
            } else if (S_ISFIFO(fileMode)) {
                QCOMPARE(::mkfifo(path.constData(), fileMode & 07777), 0);
            } else if (S_ISDIR(fileMode)) {
                QCOMPARE(::mkdir(path.constData(), fileMode & 07777), 0);
            } else {
                QFile file(secret);
                QVERIFY(file.open(QIODevice::WriteOnly));
                file.write(input.isEmpty() ? Password.toUtf8() + "\n" : input);
                file.close();
                QCOMPARE(::chmod(path.constData(), fileMode), 0);
            }
            if (fileMode) args << "--password-file" << secret;
        }
        const std::string before = dump();

        // Whatever the umask, the results file is written by its owner alone.
        const mode_t umaskBefore = ::umask(0);
        const ConsoleRun run = runConsole(args, input, work);
        ::umask(umaskBefore);
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
                QCOMPARE(QFileInfo(QDir(work).filePath(csv.first())).permissions() &
                             (QFile::WriteGroup | QFile::WriteOther),
                         QFileDevice::Permissions());
                QVERIFY2(last.endsWith(", results in " + QDir(work).filePath(csv.first()).toUtf8()), last);
            }
            if (args.first() == "survey") {
                // One line a machine, the run log's line and the summary; the survey changes
                // nothing.
                QCOMPARE(run.out.count("\n"), done + 2);
                const QStringList logs = QDir(work).entryList({"_run*.log"});
                QCOMPARE(logs.size(), 1);
                QVERIFY2(run.out.contains("Run log --> " + QDir(work).filePath(logs.first()).toUtf8()),
                         run.out);
                QCOMPARE(dump(), before);
                const QStringList csv =
                    QDir(work).entryList({args.contains("s.csv") ? "s.csv" : "_survey*.csv"});
                QCOMPARE(csv.size(), 1);
                QCOMPARE(readAll(work + "/" + csv.first()).count("\r\n"), done + 1);
            }
        }
        QVERIFY(!run.out.contains(Password.toUtf8()));
        QVERIFY(!run.err.contains(Password.toUtf8()));
        QCOMPARE(filesHoldingPassword(tmp.path()), fileMode && !(fileMode & S_IFMT) && input.isEmpty()
                                                       ? QStringList{work + "/secret"}
                                                       : QStringList{});
    }

    // SIGTERM (or Ctrl+C) and SIGHUP (a dropped session) are the window's Stop: the machine
    // past its change finishes its sequence, every other one gets its "Not tried" row, and the
    // run ends with 1. A closed output ends nothing. A second SIGTERM ends the run at once, but
    // only once every machine has its row: the one mid-wait says what state it may be in.
    // Whatever the ending, each machine runs as it did or as the run left it, or its row says
    // which states it may be in. A stop ends a waiting Osprel at once.
    void stopOnSignal_data() {
        QTest::addColumn<QList<int>>("sent"); // signals, in order
        QTest::addColumn<bool>("closeOutput");
        QTest::addColumn<int>("stopMs"); // WS006's stop
        QTest::addColumn<int>("status");
        QTest::addColumn<int>("updated");
        QTest::addColumn<bool>("osprelHangs");
        QTest::newRow("SIGTERM") << QList<int>{SIGTERM} << false << 1500 << 1 << 1 << false;
        QTest::newRow("SIGHUP") << QList<int>{SIGHUP} << false << 1500 << 1 << 1 << false;
        QTest::newRow("output closed") << QList<int>{} << true << 1500 << 0 << 3 << false;
        QTest::newRow("SIGTERM twice mid-wait")
            << QList<int>{SIGTERM, SIGTERM} << false << 600000 << 1 << 1 << false;
        QTest::newRow("SIGTERM while Osprel hangs") << QList<int>{SIGTERM} << false << 1500 << 1 << 0 << true;
    }
    void stopOnSignal() {
        QFETCH(QList<int>, sent);
        QFETCH(bool, closeOutput);
        QFETCH(int, stopMs);
        QFETCH(int, status);
        QFETCH(int, updated);
        QFETCH(bool, osprelHangs);
        platform::sim::loadNetwork(db.toStdString(), network(stopMs, 2).toStdString());
        QTemporaryDir prog;
        QString program = qEnvironmentVariable("VANTREL_BIN_DIR") + "/vantrel-run";
        if (osprelHangs) {
            writeHangingScript(prog.path(), "Osprel");
            QVERIFY(QFile::copy(program, prog.filePath("vantrel-run")));
            QVERIFY(QFile::setPermissions(prog.filePath("vantrel-run"), QFile::ReadOwner | QFile::ExeOwner));
            program = prog.filePath("vantrel-run");
        }
        QProcess p;
        p.setWorkingDirectory(work);
        p.start(program, {"update", "--account", Account, "--password-stdin", "--restart", "--grant-right",
                          "--wait", "--results", "r.csv", "WS006", "WS101", "WS102"});
        p.write(Password.toUtf8() + "\n");
        p.closeWriteChannel();
        QByteArray out;
        if (closeOutput) {
            QTRY_VERIFY_WITH_TIMEOUT(!(out += p.readAllStandardOutput()).isEmpty(), 60000);
            p.closeReadChannel(QProcess::StandardOutput);
        } else if (osprelHangs) {
            QTRY_VERIFY_WITH_TIMEOUT(QFile::exists(prog.filePath("pid")), 60000);
        } else {
            QTRY_VERIFY_WITH_TIMEOUT((out += p.readAllStandardOutput()).contains("WS006: Success."), 60000);
            if (stopMs > 60000) // mid-wait: the stop has begun
                QTRY_VERIFY_WITH_TIMEOUT(dump().find("stop_pending") != std::string::npos, 60000);
        }
        for (const int signal : sent)
            QCOMPARE(::kill(static_cast<pid_t>(p.processId()), signal), 0);
        QVERIFY(p.waitForFinished(60000));
        QCOMPARE(p.exitStatus(), QProcess::NormalExit);
        QCOMPARE(p.exitCode(), status);
        if (osprelHangs) { // ended and reaped, not waited for
            QCOMPARE(::kill(readAll(prog.filePath("pid")).trimmed().toInt(), 0), -1);
            QVERIFY(!QFile::exists(prog.filePath("finished")));
        }

        const QList<QByteArray> rows = readAll(work + "/r.csv").split('\n');
        QCOMPARE(rows.value(0), Header.chopped(1));
        QCOMPARE(rows.size(), 5); // the header, three rows, the final line end
        const nlohmann::json after = nlohmann::json::parse(dump());
        int newAccount = 0;
        for (const QByteArray& row : rows.mid(1, 3)) {
            const QByteArray name = row.left(5);
            nlohmann::json albd;
            for (const auto& m : after["machines"])
                if (m["name"] == name.toStdString()) albd = m["services"][0];
            const std::string state = albd["state"];
            const bool changed = albd["account"] == Account.toStdString();
            newAccount += changed;
            if (row.contains("Not tried")) {
                QVERIFY2(state == "running" && !changed, row);
            } else if (row.contains("No Error")) {
                QVERIFY2(state == "running" && changed, row);
            } else {
                // Its state as the row words it.
                const std::map<std::string, const char*> words = {{"running", "running"},
                                                                  {"stop_pending", "stopping"},
                                                                  {"stopped", "stopped"},
                                                                  {"start_pending", "starting"}};
                QVERIFY2(row.contains("Interrupted while") || row.contains("the run was stopped while"), row);
                QVERIFY2(row.contains(words.at(state)), row + " " + QByteArray::fromStdString(state));
            }
        }
        QCOMPARE(newAccount, updated);
        if (!closeOutput && sent.size() == 1 && !osprelHangs) {
            out += p.readAllStandardOutput();
            QVERIFY2(
                out.contains("Run summary: 1 machine done, 1 updated, 1 restarted, 0 failed, 2 not tried"),
                out);
        }
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

    // At the prompt the password is typed without echo into a process that leaves no core file
    // and that no other user can trace; whatever signal ends or suspends the prompt gives the
    // terminal its echo back.
    void promptAtTerminal_data() {
        QTest::addColumn<int>("signal");
        QTest::newRow("Ctrl+C") << int(SIGINT);
        QTest::newRow("Ctrl+\\") << int(SIGQUIT);
        QTest::newRow("terminated") << int(SIGTERM);
        QTest::newRow("hung up") << int(SIGHUP);
        QTest::newRow("Ctrl+Z, continued, Ctrl+C") << int(SIGTSTP);
    }
    void promptAtTerminal() {
        QFETCH(int, signal);
        Prompt p;
        QVERIFY(startAtPrompt(p));
        QVERIFY2(QTest::qWaitFor([&] { return p.showed("Password: "); }, 60000), p.shown);
        QVERIFY(!p.echoing());
        struct stat proc {};
        QCOMPARE(::stat(QByteArray("/proc/" + QByteArray::number(p.program) + "/status").constData(), &proc),
                 0);
        QCOMPARE(proc.st_uid, uid_t(0)); // not dumpable: its /proc files are the superuser's

        ::kill(p.program, signal);
        int ending = signal;
        if (signal == SIGTSTP) {
            QVERIFY(QTest::qWaitFor([&] { return p.state() == 'T'; }, 60000));
            QVERIFY(p.echoing());
            ::kill(p.program, SIGCONT);
            QVERIFY2(QTest::qWaitFor([&] { return p.showed("Password: ", 2); }, 60000), p.shown);
            QVERIFY(!p.echoing());
            ending = SIGINT;
            ::kill(p.program, ending);
        }
        int status = 0;
        QVERIFY(QTest::qWaitFor([&] { return ::read(p.report, &status, sizeof status) == sizeof status; },
                                60000));
        p.program = -1;
        QVERIFY2(WIFSIGNALED(status) && WTERMSIG(status) == ending, QByteArray::number(status));
        QVERIFY(!WCOREDUMP(status));
        QVERIFY(p.echoing());
    }
};

QTEST_GUILESS_MAIN(tst_VantrelRun)
#include "tst_vantrelrun.moc"
