// Runs the built Osprel as a process against a simulated network and compares its whole
// standard output and exit code; then checks that the rights it grants are really held.
#include "RightsNetwork.h"

#include "platform/Platform.h"

#include <QProcess>
#include <QtTest>

using rightstest::column;

namespace {

const QByteArray Stars(64, '*');
const QByteArray Usage = Stars + "\n" +
                         "Usage: Osprel computername [-u username ...] [-p privilege ...]\n"
                         "    - Assigns named privileges to accounts on the given machine.\n"
                         "      where <privilege> is,\n"
                         "\n"
                         "\t\t\tSeServiceLogonRight - logon as a service\n"
                         "\t\t\tSeShutdownPrivilege - shutdown the system\n"
                         "\t\t\tSeInteractiveLogonRight - logon on locally\n"
                         "\t\t\tetc... (refer to Microsoft for more info)\n" +
                         Stars + "\n";
const QByteArray Granted = "0 [00000000h], gle = 0\n";
const QByteArray Skipped = "no SID, skipped\n";
const QByteArray SvcSid = "[" + rightstest::CorpSid + "-1105]";

QByteArray sidLine(const QByteArray& name, const QByteArray& sid) {
    return column(name) + sid + "\n";
}
QByteArray noteLine(const QByteArray& name, const char* note) {
    return column(name) + note + "\n";
}

QStringList repeated(const QString& text, int times) {
    QStringList list;
    for (int i = 0; i < times; ++i)
        list << text;
    return list;
}

struct Run {
    QByteArray output;
    int exitCode = -1;
};

} // namespace

class tst_Osprel : public QObject {
    Q_OBJECT

    simtest::SimNetworkFile net{rightstest::NetworkJson};
    QString program;

    Run osprel(const QStringList& args) {
        QProcess process;
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert("SIMNET_DB", QString::fromStdString(net.path()));
        process.setProcessEnvironment(env);
        process.start(program, args);
        if (!process.waitForFinished(60000)) {
            process.kill();
            process.waitForFinished();
        }
        Run run;
        run.output = process.readAllStandardOutput();
        run.exitCode = process.exitStatus() == QProcess::NormalExit ? process.exitCode() : -1;
        return run;
    }

    std::uint32_t startAlbd(const std::string& machine) {
        auto& scm = platform::serviceControl();
        const auto manager = scm.OpenSCManager(machine, platform::svc::ScManagerAllAccess);
        if (!manager.ok()) return manager.error;
        const auto service = scm.OpenService(manager.value, "Albd", platform::svc::ServiceAllAccess);
        std::uint32_t result = service.error;
        if (service.ok()) {
            result = scm.StartService(service.value);
            scm.CloseServiceHandle(service.value);
        }
        scm.CloseServiceHandle(manager.value);
        return result;
    }

  private slots:
    void initTestCase() {
        QVERIFY2(net.isValid(), net.error().c_str());
        program = qEnvironmentVariable("VANTREL_BIN_DIR") + "/Osprel";
        QVERIFY2(QFileInfo(program).isExecutable(), qPrintable(program));
    }

    void init() { QVERIFY(net.load(rightstest::NetworkJson)); }

    void output_data() {
        QTest::addColumn<QStringList>("args");
        QTest::addColumn<QByteArray>("expected");
        QTest::addColumn<int>("exitCode");

        // Command-line errors name an unreachable machine: any LSA call would show as "LOP()".
        const QString down = "\\\\WS002";
        QTest::newRow("no arguments") << QStringList{} << Usage << 1;
        QTest::newRow("computer name only") << QStringList{down} << Usage << 1;
        QTest::newRow("name before any switch")
            << QStringList{down, "user1"}
            << QByteArray("'user1': use -u and -p to distinguish accounts from privileges.\n") << 1;
        QTest::newRow("illegal switch")
            << QStringList{down, "-x", "a"} << QByteArray("'-x': illegal switch.\n") << 1;
        QTest::newRow("lone dash after names")
            << QStringList{down, "-u", "a", "-"} << QByteArray("'-': illegal switch.\n") << 1;
        QTest::newRow("lone slash") << QStringList{down, "/"} << QByteArray("'/': illegal switch.\n") << 1;
        QTest::newRow("33 accounts") << QStringList{down, "-u"} + repeated("a", 33)
                                     << QByteArray("Sorry, only 32 account names allowed.\n") << 1;
        QTest::newRow("33 accounts across switches")
            << QStringList{down, "-u"} + repeated("a", 20) + QStringList{"-p", "x", "-u"} + repeated("b", 13)
            << QByteArray("Sorry, only 32 account names allowed.\n") << 1;
        QTest::newRow("33 privileges") << QStringList{down, "-p"} + repeated("x", 33)
                                       << QByteArray("Sorry, only 32 privileges allowed.\n") << 1;
        QTest::newRow("256-character account")
            << QStringList{down, "-u", QString(256, 'a')}
            << "'" + QByteArray(256, 'a') + "': account name longer than 255 characters.\n"
            << 1;
        QTest::newRow("256-character privilege")
            << QStringList{down, "-p", QString(256, 'p')}
            << "'" + QByteArray(256, 'p') + "': privilege name longer than 255 characters.\n"
            << 1;
        QTest::newRow("256-character computer name")
            << QStringList{QString(256, 'c'), "-u", "a"}
            << "'" + QByteArray(256, 'c') + "': computer name longer than 255 characters.\n"
            << 1;
        // Surrogate pairs count twice, as the LSA holds them.
        const QString emoji = QString::fromUtf8("\xf0\x9f\x94\x91");
        QTest::newRow("128 characters outside the BMP")
            << QStringList{down, "-u", emoji.repeated(128)}
            << "'" + emoji.repeated(128).toUtf8() + "': account name longer than 255 characters.\n"
            << 1;

        const QString ws = "\\\\WS001";
        QTest::newRow("user granted")
            << QStringList{ws, "-u", "CORP\\svc_albd", "-p", "SeServiceLogonRight"}
            << sidLine("CORP\\svc_albd", SvcSid) + "\n" + column("CORP\\svc_albd") + Granted << 0;
        QTest::newRow("long switches and slashes")
            << QStringList{ws, "/Users", "svc_albd", "-privilege", "SeServiceLogonRight"}
            << sidLine("svc_albd", SvcSid) + "\n" + column("svc_albd") + Granted << 0;
        QTest::newRow("switches alternate")
            << QStringList{ws,
                           "-u",
                           "svc_albd",
                           "-p",
                           "SeServiceLogonRight",
                           "-U",
                           "CORP\\ccusers",
                           "-P",
                           "SeShutdownPrivilege"}
            << sidLine("svc_albd", SvcSid) + sidLine("CORP\\ccusers", "[" + rightstest::CorpSid + "-1201]") +
                   "\n" + column("svc_albd") + Granted + column("CORP\\ccusers") + Granted
            << 0;
        QTest::newRow("groups, aliases and well-known groups")
            << QStringList{ws,
                           "-u",
                           "CORP\\ccusers",
                           "CORP\\ccadmins",
                           "BUILTIN\\Administrators",
                           "Administrators",
                           "Everyone",
                           "-p",
                           "SeShutdownPrivilege"}
            << sidLine("CORP\\ccusers", "[" + rightstest::CorpSid + "-1201]") +
                   sidLine("CORP\\ccadmins", "[" + rightstest::CorpSid + "-1202]") +
                   sidLine("BUILTIN\\Administrators", "[S-1-5-32-544]") +
                   sidLine("Administrators", "[S-1-5-32-544]") + sidLine("Everyone", "[S-1-1-0]") + "\n" +
                   column("CORP\\ccusers") + Granted + column("CORP\\ccadmins") + Granted +
                   column("BUILTIN\\Administrators") + Granted + column("Administrators") + Granted +
                   column("Everyone") + Granted
            << 0;
        QTest::newRow("authority beyond 32 bits")
            << QStringList{ws, "-u", "FARAWAY\\remote", "-p", "SeServiceLogonRight"}
            << sidLine("FARAWAY\\remote", "[S-1-0x010000000000-21-7-1000]") + "\n" +
                   column("FARAWAY\\remote") + Granted
            << 0;
        QTest::newRow("domain, deleted, invalid, unknown")
            << QStringList{ws,
                           "-u",
                           "CORP",
                           "CORP\\oldsvc",
                           "CORP\\broken",
                           "CORP\\nobody",
                           "svc_albd",
                           "-p",
                           "SeServiceLogonRight"}
            << "Some names were not mapped.\n" + noteLine("CORP", "domain") +
                   noteLine("CORP\\oldsvc", "deleted") + noteLine("CORP\\broken", "invalid") +
                   noteLine("CORP\\nobody", "unknown") + sidLine("svc_albd", SvcSid) + "\n" + column("CORP") +
                   Skipped + column("CORP\\oldsvc") + Skipped + column("CORP\\broken") + Skipped +
                   column("CORP\\nobody") + Skipped + column("svc_albd") + Granted
            << 0;
        QTest::newRow("none mapped") << QStringList{ws,       "-u",
                                                    "nobody", "CORP\\nobody",
                                                    "-p",     "SeServiceLogonRight"}
                                     << QByteArray("LLN(): ntstatus 3221225587 [C0000073h], gle 1332\n") << 1;
        QTest::newRow("unknown privilege stops at the first account")
            << QStringList{ws, "-u", "svc_albd", "Everyone", "-p", "SeServiceLogonRight", "SeNoSuchRight"}
            << sidLine("svc_albd", SvcSid) + sidLine("Everyone", "[S-1-1-0]") + "\n" + column("svc_albd") +
                   "3221225568 [c0000060h], gle = 1313\n" +
                   "LAAR(): ntstatus 3221225568 [C0000060h], gle 1313\n"
            << 1;
        QTest::newRow("unreachable machine")
            << QStringList{down, "-u", "svc_albd", "-p", "SeServiceLogonRight"}
            << QByteArray("LOP(): ntstatus 3221356567 [C0020017h], gle 1722\n") << 1;
        QTest::newRow("blank computer name")
            << QStringList{"\\\\ ", "-u", "svc_albd", "-p", "SeServiceLogonRight"}
            << QByteArray("'\\\\ ': computer name is empty.\n") << 1;
        QTest::newRow("computer name is not trimmed")
            << QStringList{" \\\\WS001", "-u", "svc_albd", "-p", "SeServiceLogonRight"}
            << QByteArray("LOP(): ntstatus 3221356567 [C0020017h], gle 1722\n") << 1;
        QTest::newRow("access refused")
            << QStringList{"\\\\WS003", "-u", "svc_albd", "-p", "SeServiceLogonRight"}
            << QByteArray("LOP(): ntstatus 3221225506 [C0000022h], gle 5\n") << 1;

        const QByteArray longUnknown = "CORP\\an_account_name_well_past_thirty_columns";
        const QByteArray longUser = "CORP\\albd_service_account_long_name";
        QTest::newRow("names cut to 30 columns")
            << QStringList{ws,
                           "-u",
                           QString::fromLatin1(longUnknown),
                           QString::fromLatin1(longUser),
                           "-p",
                           "SeServiceLogonRight"}
            << "Some names were not mapped.\n" + longUnknown.left(30) + " unknown\n" + longUser.left(30) +
                   " [" + rightstest::CorpSid + "-1107]\n\n" + longUnknown.left(30) + " " + Skipped +
                   longUser.left(30) + " " + Granted
            << 0;
        // Names reach the LSA as UTF-16; the column counts bytes of the text as typed.
        const QByteArray juergen = "CORP\\J\xc3\xbcrgen";
        QTest::newRow("non-ASCII account")
            << QStringList{ws, "-u", QString::fromUtf8(juergen), "-p", "SeServiceLogonRight"}
            << sidLine(juergen, "[" + rightstest::CorpSid + "-1106]") + "\n" + column(juergen) + Granted << 0;
        const QByteArray wide = QString(255, QChar(0xE9)).toUtf8();
        QTest::newRow("255 two-byte characters are accepted")
            << QStringList{ws, "-u", "svc_albd", QString::fromUtf8(wide), "-p", "SeServiceLogonRight"}
            << "Some names were not mapped.\n" + sidLine("svc_albd", SvcSid) + column(wide) + "unknown\n\n" +
                   column("svc_albd") + Granted + column(wide) + Skipped
            << 0;
        QTest::newRow("32 accounts") << QStringList{ws, "-u"} + repeated("svc_albd", 32) +
                                            QStringList{"-p", "SeServiceLogonRight"}
                                     << sidLine("svc_albd", SvcSid).repeated(32) + "\n" +
                                            (column("svc_albd") + Granted).repeated(32)
                                     << 0;
        QTest::newRow("32 privileges")
            << QStringList{ws, "-u", "svc_albd", "-p"} + repeated("SeServiceLogonRight", 16) +
                   repeated("SeShutdownPrivilege", 16)
            << sidLine("svc_albd", SvcSid) + "\n" + column("svc_albd") + Granted << 0;
    }

    void output() {
        QFETCH(QStringList, args);
        QFETCH(QByteArray, expected);
        QFETCH(int, exitCode);
        const Run run = osprel(args);
        QCOMPARE(run.output, expected);
        QCOMPARE(run.exitCode, exitCode);
    }

    // What Osprel reports as granted is held on that machine, and only there: the service
    // that could not log on before starts now.
    void grantedRightLetsTheServiceStart() {
        QCOMPARE(startAlbd("WS001"), platform::err::ServiceLogonFailed);

        const Run run = osprel({"\\\\WS001", "-u", "CORP\\svc_albd", "-p", "SeServiceLogonRight"});
        QCOMPARE(run.exitCode, 0);

        QCOMPARE(rightstest::accountsHolding(net, "WS001", "SeServiceLogonRight"),
                 QStringList{"corp\\svc_albd"});
        QCOMPARE(rightstest::accountsHolding(net, "DC01", "SeServiceLogonRight"), QStringList{});
        QCOMPARE(startAlbd("WS001"), platform::err::Success);
    }
};

QTEST_GUILESS_MAIN(tst_Osprel)
#include "tst_osprel.moc"
