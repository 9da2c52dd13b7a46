// The simulated registry's own rules: the paths it refuses and the order it lists subkeys in
// (which Windows leaves open), what a dump keeps, machines going down and the local registry.
// The Windows behaviour itself is in the conformance suite.
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

    // Windows documents neither; the simulation refuses both (Wine opens the first and gives
    // 161 for the second).
    void open_data() {
        QTest::addColumn<QString>("path");
        QTest::addColumn<uint>("error");
        QTest::newRow("doubled backslash") << "SOFTWARE\\\\Vt" << 2u;
        QTest::newRow("leading backslash") << "\\SOFTWARE\\Vt" << 2u;
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

    // The dump shows a rewritten value under its first spelling, with its new type.
    void setValueInDump() {
        Connected c;
        Handle k = c.open("SOFTWARE\\Vt");
        QCOMPARE(registry().RegSetValueEx(k, "number", reg::Sz, sz("5")), 0u);
        registry().RegCloseKey(k);
        auto values = net->machine("WS001")["registry"][0]["values"];
        QCOMPARE(values[2]["name"], "Number");
        QCOMPARE(values[2]["type"], "REG_SZ");
        QCOMPARE(values[2]["data"], "5");
    }

    void subkeysInUpperCaseNameOrder() {
        Connected c;
        Handle k = c.open("SOFTWARE\\Vt\\Order");
        QStringList names;
        RegSubkeyName n;
        for (std::uint32_t i = 0; (n = registry().RegEnumKeyEx(k, i, 255)).error == 0; ++i)
            names << QString::fromStdString(n.name);
        QCOMPARE(n.error, 259u);
        // Upper-case order, as Windows keeps it, puts the underscore after the letters.
        QCOMPARE(names, (QStringList{"Alpha", "beta", "Zulu", "_under"}));
        registry().RegCloseKey(k);
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
};

QTEST_GUILESS_MAIN(tst_PlatformRegistry)
#include "tst_platform_registry.moc"
