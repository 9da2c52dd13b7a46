// Runs Osprel's logic in-process against the simulated network, through an LSA that records
// (and can fail) the calls: what reaches the LSA, in which order, what a mid-run failure
// leaves behind, and that no argument vector however odd ends in anything but 0 or 1.
#include "RightsNetwork.h"

#include "platform/Platform.h"
#include "rights/Osprel.h"

#include <QRandomGenerator>
#include <QtTest>

#include <cstdio>
#include <cstdlib>
#include <functional>

namespace {

// Passes every call on to the simulated network and notes it; the n-th LsaAddAccountRights
// (from 0) can be made to fail with a chosen status instead.
class RecordingLsa : public platform::Lsa {
  public:
    explicit RecordingLsa(platform::Lsa& real) : real_(real) {}

    QStringList calls;
    int failingAdd = -1;
    std::uint32_t failStatus = platform::ntstatus::AccessDenied;
    std::function<void(platform::LsaLookup&)> alterLookup;
    int opened = 0;
    int closed = 0;

    platform::Result<platform::Handle> LsaOpenPolicy(const std::u16string& systemName,
                                                     std::uint32_t access) override {
        calls << QString("open %1 %2").arg(QString::fromStdU16String(systemName)).arg(access, 0, 16);
        auto result = real_.LsaOpenPolicy(systemName, access);
        if (result.ok()) ++opened;
        return result;
    }
    platform::LsaLookup LsaLookupNames(platform::Handle policy,
                                       const std::vector<std::u16string>& names) override {
        QStringList list;
        for (const auto& n : names)
            list << QString::fromStdU16String(n);
        calls << QString("lookup %1 [%2]").arg(names.size()).arg(list.join('|'));
        platform::LsaLookup lookup = real_.LsaLookupNames(policy, names);
        if (alterLookup) alterLookup(lookup);
        return lookup;
    }
    std::uint32_t LsaAddAccountRights(platform::Handle policy, const platform::Sid& account,
                                      const std::vector<std::u16string>& rights) override {
        QStringList list;
        for (const auto& r : rights)
            list << QString::fromStdU16String(r);
        calls << QString("add %1 [%2]")
                     .arg(QString::fromStdString(platform::sidToString(account)), list.join('|'));
        if (adds_++ == failingAdd) return failStatus;
        return real_.LsaAddAccountRights(policy, account, rights);
    }
    platform::Result<std::vector<std::u16string>>
    LsaEnumerateAccountRights(platform::Handle policy, const platform::Sid& account) override {
        return real_.LsaEnumerateAccountRights(policy, account);
    }
    std::uint32_t LsaClose(platform::Handle policy) override {
        calls << "close";
        ++closed;
        return real_.LsaClose(policy);
    }
    std::uint32_t LsaNtStatusToWinError(std::uint32_t status) override {
        return real_.LsaNtStatusToWinError(status);
    }

  private:
    platform::Lsa& real_;
    int adds_ = 0;
};

struct Outcome {
    int code = -1;
    QByteArray output;
};

// Runs osprelMain on byte strings exactly as given (argv[0] included), capturing its output.
Outcome runOsprel(const QList<QByteArray>& args) {
    std::vector<QByteArray> storage(args.begin(), args.end());
    std::vector<char*> argv;
    for (auto& a : storage)
        argv.push_back(a.data());
    argv.push_back(nullptr);
    char* buffer = nullptr;
    std::size_t size = 0;
    std::FILE* out = open_memstream(&buffer, &size);
    Outcome outcome;
    outcome.code = osprelMain(static_cast<int>(storage.size()), argv.data(), out);
    std::fclose(out);
    outcome.output = QByteArray(buffer, static_cast<qsizetype>(size));
    std::free(buffer);
    return outcome;
}

const QString CorpSid = QString::fromLatin1(rightstest::CorpSid);

} // namespace

class tst_OsprelInProcess : public QObject {
    Q_OBJECT

    simtest::SimNetworkFile net{rightstest::NetworkJson};
    std::unique_ptr<RecordingLsa> lsa;

  private slots:
    void initTestCase() { QVERIFY2(net.isValid(), net.error().c_str()); }

    void init() {
        QVERIFY(net.load(rightstest::NetworkJson));
        platform::setLsa(nullptr);
        lsa = std::make_unique<RecordingLsa>(platform::lsa());
        platform::setLsa(lsa.get());
    }

    void cleanup() { platform::setLsa(nullptr); }

    void callsReachingTheLsa_data() {
        QTest::addColumn<QList<QByteArray>>("args");
        QTest::addColumn<QStringList>("calls");

        const QString open = "open \\\\WS001 a0000810";
        QTest::newRow("names converted, computer name unchanged")
            << QList<QByteArray>{"Osprel",
                                 "\\\\WS001",
                                 "-u",
                                 "CORP\\J\xc3\xbcrgen",
                                 "nobody",
                                 "-p",
                                 "SeServiceLogonRight",
                                 "SeShutdownPrivilege"}
            << QStringList{open, QString::fromUtf8("lookup 2 [CORP\\J\xc3\xbcrgen|nobody]"),
                           "add " + CorpSid + "-1106 [SeServiceLogonRight|SeShutdownPrivilege]", "close"};
        QTest::newRow("lookup even without accounts")
            << QList<QByteArray>{"Osprel", "\\\\WS001", "-p", "SeServiceLogonRight"}
            << QStringList{open, "lookup 0 []", "close"};
        QTest::newRow("invalid bytes become replacement characters")
            << QList<QByteArray>{"Osprel",       "\\\\WS001", "-u", "a\xff\xc3",
                                 "\xed\xa0\x80", "svc_albd",  "-p", "x"}
            << QStringList{open, QString::fromUtf16(u"lookup 3 [a\uFFFD\uFFFD|\uFFFD\uFFFD\uFFFD|svc_albd]"),
                           "add " + CorpSid + "-1105 [x]", "close"};
        QTest::newRow("policy closed after a failed lookup")
            << QList<QByteArray>{"Osprel", "\\\\WS001", "-u", "nobody", "-p", "x"}
            << QStringList{open, "lookup 1 [nobody]", "close"};
        QTest::newRow("no call for a command-line error")
            << QList<QByteArray>{"Osprel", "\\\\WS001", "-u", "svc_albd", "-z"} << QStringList{};
        QTest::newRow("no call for an empty computer name")
            << QList<QByteArray>{"Osprel", "", "-u", "svc_albd", "-p", "SeServiceLogonRight"}
            << QStringList{};
        QTest::newRow("nothing to close when the open fails")
            << QList<QByteArray>{"Osprel", "\\\\WS002", "-u", "svc_albd"}
            << QStringList{"open \\\\WS002 a0000810"};
    }

    void callsReachingTheLsa() {
        QFETCH(QList<QByteArray>, args);
        QFETCH(QStringList, calls);
        runOsprel(args);
        QCOMPARE(lsa->calls, calls);
    }

    // A failing grant ends the run there: accounts before it keep their rights, accounts after
    // it are never touched, and the policy is still closed.
    void failureStopsAtTheFailingAccount() {
        lsa->failingAdd = 1;
        const Outcome outcome = runOsprel({"Osprel", "\\\\WS001", "-u", "svc_albd", "CORP\\ccusers",
                                           "CORP\\ccadmins", "-p", "SeServiceLogonRight"});
        QCOMPARE(outcome.code, 1);
        QVERIFY2(outcome.output.endsWith(rightstest::column("CORP\\ccusers") +
                                         "3221225506 [c0000022h], gle = 5\n"
                                         "LAAR(): ntstatus 3221225506 [C0000022h], gle 5\n"),
                 outcome.output.constData());
        QCOMPARE(lsa->calls.filter("add ").size(), 2);
        QCOMPARE(lsa->closed, lsa->opened);
        QCOMPARE(rightstest::accountsHolding(net, "WS001", "SeServiceLogonRight"),
                 QStringList{"corp\\svc_albd"});
    }

    // A user, group, alias or well-known group the LSA names without a usable referenced
    // domain has no SID to build: it is reported and skipped, and the others still get theirs.
    void accountWithoutDomainIsSkipped_data() {
        QTest::addColumn<int>("domainIndex");
        QTest::newRow("no index") << -1;
        QTest::newRow("index past the list") << 99;
    }

    void accountWithoutDomainIsSkipped() {
        QFETCH(int, domainIndex);
        lsa->alterLookup = [domainIndex](platform::LsaLookup& lookup) {
            lookup.sids.at(0).domainIndex = domainIndex;
        };
        const Outcome outcome =
            runOsprel({"Osprel", "\\\\WS001", "-u", "svc_albd", "Everyone", "-p", "SeServiceLogonRight"});
        using rightstest::column;
        QCOMPARE(outcome.output, column("svc_albd") + "no domain\n" + column("Everyone") + "[S-1-1-0]\n\n" +
                                     column("svc_albd") + "no SID, skipped\n" + column("Everyone") +
                                     "0 [00000000h], gle = 0\n");
        QCOMPARE(outcome.code, 0);
        QCOMPARE(lsa->calls.filter("add ").size(), 1);
    }

    // Thousands of generated argument vectors: every one ends with 0 or 1, prints something,
    // and a success always passed the empty line between the two passes. Half are arbitrary
    // sequences of pieces; half are shaped like real command lines with odd names mixed in,
    // so the lookups and grants are reached too, not only the command-line errors.
    void generatedArguments() {
        const QList<QByteArray> computers = {
            "\\\\WS001", "\\\\WS001", "WS001", "\\\\WS002", "\\\\WS003",          "",
            "\\\\",      "-u",        "/",     "\xff\xfe",  QByteArray(300, 'c'), "\\\\NOWHERE"};
        const QList<QByteArray> switches = {"-u", "-U", "/u", "-user", "-p",    "/P",   "-privilege",
                                            "-",  "/",  "-x", "--",    "-\xff", "/\xc3"};
        const QList<QByteArray> names = {"",
                                         "svc_albd",
                                         "CORP\\svc_albd",
                                         "CORP\\J\xc3\xbcrgen",
                                         "CORP",
                                         "CORP\\oldsvc",
                                         "CORP\\broken",
                                         "Everyone",
                                         "BUILTIN\\Administrators",
                                         "FARAWAY\\remote",
                                         "nobody",
                                         "\xff",
                                         "\xc3\x28",
                                         "\xed\xa0\x80",
                                         "\xf4\x90\x80\x80",
                                         "\xe2\x82",
                                         "%s%n%x",
                                         QByteArray(255, 'n'),
                                         QByteArray(256, 'n'),
                                         QByteArray(100000, 'L'),
                                         QByteArray("\xf0\x9f\x94\x91").repeated(200)};
        const QList<QByteArray> rights = {"SeServiceLogonRight", "SeServiceLogonRight", "SeShutdownPrivilege",
                                          "SeShutdownPrivilege", "SeNoSuchRight",       ""};
        QRandomGenerator random(20240517);
        const auto pick = [&random](const QList<QByteArray>& from) {
            return from[random.bounded(from.size())];
        };
        const auto noise = [&random] {
            QByteArray bytes(random.bounded(40), '\0');
            for (char& c : bytes)
                c = static_cast<char>(random.bounded(1, 256));
            return bytes;
        };

        int successes = 0;
        int failures = 0;
        for (int round = 0; round < 3000; ++round) {
            QList<QByteArray> args{"Osprel"};
            if (round % 2 == 0) {
                const int count = random.bounded(round % 20 == 0 ? 80 : 12);
                if (count > 0) args << pick(computers);
                for (int i = 1; i < count; ++i) {
                    switch (random.bounded(4)) {
                    case 0:
                        args << pick(switches);
                        break;
                    case 1:
                        args << pick(rights);
                        break;
                    case 2:
                        args << noise();
                        break;
                    default:
                        args << pick(names);
                        break;
                    }
                }
            } else {
                args << pick(computers);
                const int segments = random.bounded(1, 5);
                for (int s = 0; s < segments; ++s) {
                    const bool accounts = s % 2 == 0;
                    args << (random.bounded(20) == 0 ? pick(switches) : accounts ? "-u" : "-p");
                    const int count = random.bounded(round % 40 == 1 ? 40 : 4);
                    for (int i = 0; i < count; ++i)
                        args << (random.bounded(10) == 0 ? noise() : accounts ? pick(names) : pick(rights));
                }
            }
            const Outcome outcome = runOsprel(args);
            if (outcome.code != 0 && outcome.code != 1)
                QFAIL(qPrintable(QString("exit %1").arg(outcome.code)));
            QVERIFY(!outcome.output.isEmpty());
            // A healthy network never makes the platform itself fail.
            QVERIFY2(!outcome.output.startsWith("Osprel: ") && !outcome.output.contains("\nOsprel: "),
                     outcome.output.left(500).constData());
            if (outcome.code == 0) {
                QVERIFY(outcome.output.startsWith('\n') || outcome.output.contains("\n\n"));
                ++successes;
            } else if (outcome.output.contains("LAAR()")) {
                ++failures;
            }
            QCOMPARE(lsa->closed, lsa->opened);
        }
        QVERIFY2(successes > 100 && failures > 20,
                 qPrintable(QString("%1 successes, %2 failed grants").arg(successes).arg(failures)));

        QCOMPARE(runOsprel({}).output.left(64), QByteArray(64, '*'));
    }
};

QTEST_GUILESS_MAIN(tst_OsprelInProcess)
#include "tst_osprel_inprocess.moc"
