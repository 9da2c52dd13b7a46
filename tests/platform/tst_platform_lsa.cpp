// The simulated LSA across several domains, the rights it keeps in its network file, and the
// SID helpers. The Windows behaviour of one machine is in the conformance suite.
#include "common/SimFixture.h"
#include "platform/Platform.h"

#include <QtTest>

using namespace platform;

namespace {

const char* const Network = R"({
  "domains": [
    {"name": "CORP", "sid": "S-1-5-21-10-20-30", "controller": "DC01", "accounts": [
      {"name": "svc", "rid": 1105},
      {"name": "team", "rid": 1201, "use": "group"},
      {"name": "local", "rid": 1202, "use": "alias"},
      {"name": "known", "rid": 1203, "use": "well_known"},
      {"name": "gone", "rid": 1300, "use": "deleted"},
      {"name": "bad", "rid": 1301, "use": "invalid"}]},
    {"name": "FAR", "sid": "S-1-0x010000000000-21-7", "accounts": [{"name": "svc", "rid": 1000}]}],
  "machines": [
    {"name": "WS001", "domain": "CORP"},
    {"name": "WS002", "domain": "CORP", "reachable": false},
    {"name": "WS003", "domain": "CORP", "admin": false},
    {"name": "WS004", "domain": "CORP"}]})";

struct Policy {
    Handle handle = 0;
    explicit Policy(const char16_t* machine) {
        handle = lsa().LsaOpenPolicy(machine, lsaconst::PolicyAccessForRights).value;
    }
    ~Policy() {
        if (handle) lsa().LsaClose(handle);
    }
};

QString sidOf(const LsaLookup& r, std::size_t i) {
    const auto& t = r.sids[i];
    if (t.domainIndex < 0) return {};
    Sid sid = r.domains[t.domainIndex].sid;
    if (t.use != lsaconst::SidTypeDomain) sid.subAuthorities.push_back(t.relativeId);
    return QString::fromStdString(sidToString(sid));
}

} // namespace

class tst_PlatformLsa : public QObject {
    Q_OBJECT
    std::unique_ptr<simtest::SimNetworkFile> net;

  private slots:
    void init() {
        net = std::make_unique<simtest::SimNetworkFile>(Network);
        QVERIFY2(net->isValid(), net->error().c_str());
    }
    void cleanup() { net.reset(); }

    // Names of a domain other than the machine's, one with a 48-bit identifier authority.
    void lookupUses_data() {
        QTest::addColumn<QString>("name");
        QTest::addColumn<uint>("use");
        QTest::addColumn<QString>("domain");
        QTest::addColumn<QString>("sid");
        QTest::newRow("other domain") << "FAR\\svc" << 1u << "FAR"
                                      << "S-1-0x010000000000-21-7-1000";
        QTest::newRow("name of another domain") << "FAR" << 3u << "FAR"
                                                << "S-1-0x010000000000-21-7";
        QTest::newRow("unknown domain") << "NOWHERE\\svc" << 8u << ""
                                        << "";
    }
    void lookupUses() {
        QFETCH(QString, name);
        QFETCH(uint, use);
        QFETCH(QString, domain);
        QFETCH(QString, sid);
        Policy p(u"\\\\WS001");
        auto r = lsa().LsaLookupNames(p.handle, {name.toStdU16String()});
        QCOMPARE(r.status, use == 8 ? 0xC0000073u : 0u);
        QCOMPARE(r.sids.size(), 1u);
        QCOMPARE(r.sids[0].use, use);
        if (use == 8) {
            QCOMPARE(r.sids[0].domainIndex, -1);
            return;
        }
        QCOMPARE(QString::fromStdU16String(r.domains[r.sids[0].domainIndex].name), domain);
        QCOMPARE(sidOf(r, 0), sid);
    }

    void addRights() {
        Policy p(u"\\\\WS001");
        Sid svc;
        QVERIFY(parseSid("S-1-5-21-10-20-30-1105", svc));
        QCOMPARE(lsa().LsaAddAccountRights(p.handle, svc, {u"SeServiceLogonRight", u"seshutdownprivilege"}),
                 0u);
        // Adding again is harmless; an unknown name adds nothing at all.
        QCOMPARE(lsa().LsaAddAccountRights(p.handle, svc, {u"SeServiceLogonRight"}), 0u);
        QCOMPARE(lsa().LsaAddAccountRights(p.handle, svc, {u"SeBackupPrivilege", u"SeNoSuchRight"}),
                 0xC0000060u);
        Sid stranger;
        QVERIFY(parseSid("S-1-5-21-9-9-9-500", stranger));
        QCOMPARE(lsa().LsaAddAccountRights(p.handle, stranger, {u"SeBatchLogonRight"}), 0u);

        auto rights = net->machine("WS001")["rights"];
        QCOMPARE(rights.size(), 2u);
        QCOMPARE(rights[0]["account"], "CORP\\svc");
        QCOMPARE(rights[0]["rights"], nlohmann::json({"SeServiceLogonRight", "SeShutdownPrivilege"}));
        QCOMPARE(rights[1]["account"], "S-1-5-21-9-9-9-500");
        // Rights are per machine.
        QVERIFY(net->machine("WS004")["rights"].empty());
        // And they load back as they were dumped.
        QVERIFY(net->load(net->dump().dump()));
        QCOMPARE(net->machine("WS001")["rights"], rights);
    }

    void sidText_data() {
        QTest::addColumn<QString>("text");
        QTest::addColumn<bool>("valid");
        QTest::addColumn<QString>("canonical");
        QTest::newRow("domain account") << "S-1-5-21-1-2-3-1105" << true << "S-1-5-21-1-2-3-1105";
        QTest::newRow("no sub-authority") << "S-1-5" << true << "S-1-5";
        QTest::newRow("largest 32-bit authority") << "S-1-4294967295-1" << true << "S-1-4294967295-1";
        QTest::newRow("48-bit authority in decimal") << "S-1-4294967296-1" << true << "S-1-0x000100000000-1";
        QTest::newRow("hexadecimal authority") << "S-1-0x010000000000-21" << true << "S-1-0x010000000000-21";
        QTest::newRow("small hexadecimal authority") << "S-1-0x5-32" << true << "S-1-5-32";
        QTest::newRow("revision 2") << "S-2-5-32" << false << "";
        QTest::newRow("sub-authority too big") << "S-1-5-4294967296" << false << "";
        QTest::newRow("empty part") << "S-1-5--32" << false << "";
        QTest::newRow("sixteen sub-authorities")
            << "S-1-5-1-2-3-4-5-6-7-8-9-10-11-12-13-14-15-16" << false << "";
        QTest::newRow("letters") << "S-1-5-x" << false << "";
        QTest::newRow("no authority") << "S-1" << false << "";
    }
    void sidText() {
        QFETCH(QString, text);
        QFETCH(bool, valid);
        QFETCH(QString, canonical);
        Sid sid;
        QCOMPARE(parseSid(text.toStdString(), sid), valid);
        if (valid) QCOMPARE(QString::fromStdString(sidToString(sid)), canonical);
    }

    void sidCalls() {
        Sid sid = InitializeSid({0, 0, 0, 0, 0, 5}, 2);
        QCOMPARE(GetSidSubAuthorityCount(sid), std::uint8_t(2));
        GetSidSubAuthority(sid, 0) = 32;
        GetSidSubAuthority(sid, 1) = 544;
        QCOMPARE(sidToString(sid), std::string("S-1-5-32-544"));
        QCOMPARE(GetSidIdentifierAuthority(sid)[5], std::uint8_t(5));
        QCOMPARE(GetSidSubAuthorityCount(InitializeSid({}, 20)), std::uint8_t(15));
    }
};

QTEST_GUILESS_MAIN(tst_PlatformLsa)
#include "tst_platform_lsa.moc"
