// The remote and local registry through the platform interface only.
#include "common/SimFixture.h"
#include "common/TestHelpers.h"
#include "platform/Platform.h"

#include <QtTest>

#include <unistd.h>

using namespace platform;

namespace {

using simtest::hostName;

std::string network(bool withLocalMachine) {
    auto desc = nlohmann::json::parse(R"({"machines": [
      {"name": "WS001", "registry": [
        {"root": "HKLM", "key": "SOFTWARE\\Vt", "values": [
          {"name": "", "type": "REG_SZ", "data": "default"},
          {"name": "Text", "type": "REG_SZ", "data": "abc"},
          {"name": "Number", "type": "REG_DWORD", "data": 258},
          {"name": "Blob", "type": "REG_BINARY", "data": "00ff10"},
          {"name": "List", "type": "REG_MULTI_SZ", "data": ["a", "bc"]}]},
        {"root": "HKLM", "key": "SOFTWARE\\Vt\\Order\\beta"},
        {"root": "HKLM", "key": "SOFTWARE\\Vt\\Order\\Alpha"},
        {"root": "HKLM", "key": "SOFTWARE\\Vt\\Order\\_under"},
        {"root": "HKLM", "key": "SOFTWARE\\Vt\\Order\\Zulu\\deep"},
        {"root": "HKLM", "key": "SOFTWARE\\Vt\\Locked", "denied": true,
         "values": [{"name": "Text", "type": "REG_SZ", "data": "secret"}]},
        {"root": "HKU", "key": "S-1-5-18\\Software"},
        {"root": "HKCU", "key": "Software\\Vt"}]},
      {"name": "WS002", "reachable": false},
      {"name": "WS003", "admin": false}]})");
    if (withLocalMachine)
        desc["machines"].push_back(
            {{"name", hostName()},
             {"registry",
              {{{"root", "HKCU"},
                {"key", "Software\\Vt"},
                {"values", {{{"name", "Text"}, {"type", "REG_SZ"}, {"data", "local"}}}}}}}});
    return desc.dump();
}

// A connected root of WS001's HKLM, closed at the end of the test.
struct Connected {
    Handle root = 0;
    Connected() { root = registry().RegConnectRegistry("\\\\WS001", reg::LocalMachine).value; }
    ~Connected() { registry().RegCloseKey(root); }
    Handle open(const std::string& path, std::uint32_t access = reg::KeyReadWriteLink) {
        auto k = registry().RegOpenKeyEx(root, path, 0, access);
        return k.ok() ? k.value : 0;
    }
};

std::vector<std::uint8_t> sz(const std::string& s) {
    std::vector<std::uint8_t> v(s.begin(), s.end());
    v.push_back(0);
    return v;
}

} // namespace

class tst_PlatformRegistry : public QObject {
    Q_OBJECT
    std::unique_ptr<simtest::SimNetworkFile> net;

  private slots:
    void init() {
        net = std::make_unique<simtest::SimNetworkFile>(network(false));
        QVERIFY2(net->isValid(), net->error().c_str());
    }
    void cleanup() { net.reset(); }

    void connect_data() {
        QTest::addColumn<QString>("machine");
        QTest::addColumn<qulonglong>("root");
        QTest::addColumn<uint>("error");
        QTest::newRow("HKLM") << "\\\\WS001" << qulonglong(reg::LocalMachine) << 0u;
        QTest::newRow("HKU") << "\\\\WS001" << qulonglong(reg::Users) << 0u;
        QTest::newRow("bare name") << "WS001" << qulonglong(reg::LocalMachine) << 0u;
        QTest::newRow("HKCU is not remote") << "\\\\WS001" << qulonglong(reg::CurrentUser) << 6u;
        QTest::newRow("HKCR is not remote") << "\\\\WS001" << qulonglong(reg::ClassesRoot) << 6u;
        QTest::newRow("unreachable") << "\\\\WS002" << qulonglong(reg::LocalMachine) << 53u;
        QTest::newRow("not in the network") << "\\\\NOWHERE" << qulonglong(reg::LocalMachine) << 53u;
        QTest::newRow("no administrator") << "\\\\WS003" << qulonglong(reg::LocalMachine) << 5u;
    }
    void connect() {
        QFETCH(QString, machine);
        QFETCH(qulonglong, root);
        QFETCH(uint, error);
        auto c = registry().RegConnectRegistry(machine.toStdString(), root);
        QCOMPARE(c.error, error);
        if (c.ok()) QCOMPARE(registry().RegCloseKey(c.value), 0u);
    }

    void open_data() {
        QTest::addColumn<QString>("path");
        QTest::addColumn<uint>("error");
        QTest::newRow("existing") << "SOFTWARE\\Vt" << 0u;
        QTest::newRow("other letter case") << "software\\VT" << 0u;
        QTest::newRow("implied parent") << "SOFTWARE\\Vt\\Order\\Zulu" << 0u;
        QTest::newRow("trailing backslash") << "SOFTWARE\\Vt\\" << 0u;
        QTest::newRow("missing") << "SOFTWARE\\Nothing" << 2u;
        QTest::newRow("doubled backslash") << "SOFTWARE\\\\Vt" << 2u;
        QTest::newRow("leading backslash") << "\\SOFTWARE\\Vt" << 2u;
        QTest::newRow("denied") << "SOFTWARE\\Vt\\Locked" << 5u;
        QTest::newRow("below a denied key") << "SOFTWARE\\Vt\\Locked\\Inner" << 2u;
    }
    void open() {
        QFETCH(QString, path);
        QFETCH(uint, error);
        Connected c;
        auto ex = registry().RegOpenKeyEx(c.root, path.toStdString(), 0, reg::KeyReadWriteLink);
        QCOMPARE(ex.error, error);
        if (ex.ok()) registry().RegCloseKey(ex.value);
        auto widest = registry().RegOpenKey(c.root, path.toStdString());
        QCOMPARE(widest.error, error);
        if (widest.ok()) registry().RegCloseKey(widest.value);
    }

    void queryValue_data() {
        QTest::addColumn<QString>("name");
        QTest::addColumn<uint>("buffer");
        QTest::addColumn<uint>("error");
        QTest::addColumn<uint>("type");
        QTest::addColumn<QByteArray>("data");
        QTest::newRow("string") << "Text" << 1024u << 0u << 1u << QByteArray("abc", 4);
        QTest::newRow("name in other case") << "TEXT" << 1024u << 0u << 1u << QByteArray("abc", 4);
        QTest::newRow("default value") << "" << 1024u << 0u << 1u << QByteArray("default", 8);
        QTest::newRow("exactly fits") << "Text" << 4u << 0u << 1u << QByteArray("abc", 4);
        QTest::newRow("one byte short") << "Text" << 3u << 234u << 1u << QByteArray();
        QTest::newRow("dword") << "Number" << 1024u << 0u << 4u << QByteArray("\x02\x01\x00\x00", 4);
        QTest::newRow("binary") << "Blob" << 1024u << 0u << 3u << QByteArray("\x00\xff\x10", 3);
        QTest::newRow("multi string") << "List" << 1024u << 0u << 7u << QByteArray("a\0bc\0\0", 6);
        QTest::newRow("missing") << "Nothing" << 1024u << 2u << 0u << QByteArray();
    }
    void queryValue() {
        QFETCH(QString, name);
        QFETCH(uint, buffer);
        QFETCH(uint, error);
        QFETCH(uint, type);
        QFETCH(QByteArray, data);
        Connected c;
        Handle k = c.open("SOFTWARE\\Vt");
        QVERIFY(k);
        auto r = registry().RegQueryValueEx(k, name.toStdString(), buffer);
        QCOMPARE(r.error, error);
        QCOMPARE(r.type, type);
        QCOMPARE(QByteArray(reinterpret_cast<const char*>(r.data.data()), int(r.data.size())), data);
        if (error == 234) QCOMPARE(r.size, 4u);
        registry().RegCloseKey(k);
    }

    void setValueReplacesTypeAndCreates() {
        Connected c;
        Handle k = c.open("SOFTWARE\\Vt");
        QCOMPARE(registry().RegSetValueEx(k, "number", reg::Sz, sz("5")), 0u);
        QCOMPARE(registry().RegSetValueEx(k, "Fresh", reg::Sz, sz("new")), 0u);
        auto r = registry().RegQueryValueEx(k, "Number", 1024);
        QCOMPARE(r.type, reg::Sz);
        QCOMPARE(r.data, sz("5"));
        QCOMPARE(registry().RegQueryValueEx(k, "fresh", 1024).data, sz("new"));
        registry().RegCloseKey(k);
        // Others see it: the dump shows the value under its first spelling, now a string.
        auto values = net->machine("WS001")["registry"][0]["values"];
        QCOMPARE(values[2]["name"], "Number");
        QCOMPARE(values[2]["type"], "REG_SZ");
        QCOMPARE(values[2]["data"], "5");
    }

    void accessMaskIsEnforced() {
        Connected c;
        Handle readOnly = c.open("SOFTWARE\\Vt", 0x20019); // KEY_READ
        QVERIFY(readOnly);
        QCOMPARE(registry().RegSetValueEx(readOnly, "Text", reg::Sz, sz("x")), 5u);
        QCOMPARE(registry().RegQueryValueEx(readOnly, "Text", 1024).error, 0u);
        registry().RegCloseKey(readOnly);
        Handle writeOnly = c.open("SOFTWARE\\Vt", 0x20006); // KEY_WRITE
        QCOMPARE(registry().RegQueryValueEx(writeOnly, "Text", 1024).error, 5u);
        QCOMPARE(registry().RegEnumKeyEx(writeOnly, 0, 255).error, 5u);
        registry().RegCloseKey(writeOnly);
    }

    void subkeysInUpperCaseNameOrder() {
        Connected c;
        Handle k = c.open("SOFTWARE\\Vt\\Order");
        QStringList names;
        RegSubkeyName n;
        for (std::uint32_t i = 0; (n = registry().RegEnumKeyEx(k, i, 255)).error == 0; ++i)
            names << QString::fromStdString(n.name);
        QCOMPARE(n.error, 259u);
        // Upper-case order puts the underscore after the letters.
        QCOMPARE(names, (QStringList{"Alpha", "beta", "Zulu", "_under"}));
        auto tight = registry().RegEnumKeyEx(k, 0, 5);
        QCOMPARE(tight.error, 234u);
        QCOMPARE(registry().RegEnumKeyEx(k, 0, 6).name, std::string("Alpha"));
        registry().RegCloseKey(k);
    }

    void deleteKeys() {
        Connected c;
        QCOMPARE(registry().RegDeleteKey(c.root, "SOFTWARE\\Vt\\Order\\Zulu"), 5u); // still has a subkey
        QCOMPARE(registry().RegDeleteKey(c.root, "SOFTWARE\\Vt\\Locked"), 5u);
        QCOMPARE(registry().RegDeleteKey(c.root, "SOFTWARE\\Vt\\Order\\Gone"), 2u);
        Handle deep = c.open("SOFTWARE\\Vt\\Order\\Zulu\\deep");
        QCOMPARE(registry().RegDeleteKey(deep, ""), 0u);
        // The handle outlives its key; using it tells the key is gone.
        QCOMPARE(registry().RegQueryValueEx(deep, "x", 10).error, 1018u);
        QCOMPARE(registry().RegCloseKey(deep), 0u);
        QCOMPARE(registry().RegDeleteKey(c.root, "software\\vt\\order\\zulu"), 0u);
        QCOMPARE(c.open("SOFTWARE\\Vt\\Order\\Zulu"), Handle(0));
        QCOMPARE(registry().RegDeleteKey(c.root, ""), 5u);
    }

    void machineGoesDownWhileKeyIsOpen() {
        Connected c;
        Handle k = c.open("SOFTWARE\\Vt");
        auto desc = nlohmann::json::parse(network(false));
        desc["machines"][0]["reachable"] = false;
        QVERIFY(net->load(desc.dump()));
        QVERIFY(registry().RegQueryValueEx(k, "Text", 1024).error != 0);
        registry().RegCloseKey(k);
    }

    void localRegistry() {
        // Without a machine named like this computer, every local open fails with 2.
        QCOMPARE(registry().RegOpenKeyEx(reg::CurrentUser, "Software\\Vt", 0, reg::KeyReadWriteLink).error,
                 2u);
        auto conn = registry().RegConnectRegistry("", reg::CurrentUser);
        QCOMPARE(conn.error, 0u);
        QCOMPARE(registry().RegOpenKey(conn.value, "Software\\Vt").error, 2u);

        QVERIFY(net->load(network(true)));
        auto k = registry().RegOpenKeyEx(reg::CurrentUser, "Software\\Vt", 0, reg::KeyReadWriteLink);
        QCOMPARE(k.error, 0u);
        QCOMPARE(registry().RegQueryValueEx(k.value, "Text", 1024).data, sz("local"));
        registry().RegCloseKey(k.value);
        // The predefined roots need no closing, and closing them does no harm.
        QCOMPARE(registry().RegCloseKey(reg::CurrentUser), 0u);
    }

    void invalidHandles() {
        QCOMPARE(registry().RegOpenKeyEx(0x1234, "SOFTWARE", 0, reg::KeyReadWriteLink).error, 6u);
        QCOMPARE(registry().RegCloseKey(0x1234), 6u);
        QCOMPARE(registry().RegSetValueEx(0, "x", reg::Sz, sz("x")), 6u);
    }
};

QTEST_GUILESS_MAIN(tst_PlatformRegistry)
#include "tst_platform_registry.moc"
