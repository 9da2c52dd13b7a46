// The remote registry procedures against the simulated network.
#include "RecordingRegistry.h"

#include "common/Dialogs.h"
#include "common/TestHelpers.h"
#include "platform/sim/SimNetwork.h"
#include "registry/RemoteRegistry.h"

#include <QTemporaryDir>
#include <QtTest>

#include <memory>
#include <unistd.h>

using namespace vantrel;

namespace {

using simtest::hostName;

// The keys every test machine holds; the local machine (named like this computer) holds the
// same ones with its own texts, so a fall-back to the local registry would show.
std::string registryJson(const std::string& text) {
    const std::string s1023(1023, 'x'), s1024(1024, 'y');
    return R"([
      {"root": "HKLM", "key": "SOFTWARE\\Vt\\Values", "values": [
        {"name": "", "type": "REG_SZ", "data": "default text"},
        {"name": "Text", "type": "REG_SZ", "data": ")" +
           text + R"("},
        {"name": "Dword0", "type": "REG_DWORD", "data": 0},
        {"name": "Dword26", "type": "REG_DWORD", "data": 26},
        {"name": "Dword256", "type": "REG_DWORD", "data": 256},
        {"name": "Dword65535", "type": "REG_DWORD", "data": 65535},
        {"name": "DwordMax", "type": "REG_DWORD", "data": 4294967295},
        {"name": "Long1023", "type": "REG_SZ", "data": ")" +
           s1023 + R"("},
        {"name": "Long1024", "type": "REG_SZ", "data": ")" +
           s1024 + R"("},
        {"name": "Blob", "type": "REG_BINARY", "data": "00ff10"},
        {"name": "Paths", "type": "REG_MULTI_SZ", "data": ["a", "b"]},
        {"name": "Expand", "type": "REG_EXPAND_SZ", "data": "%SystemRoot%\\x"}]},
      {"root": "HKLM", "key": "SOFTWARE\\Vt\\Locked", "denied": true,
       "values": [{"name": "Text", "type": "REG_SZ", "data": "secret"}]},
      {"root": "HKCU", "key": "Software\\Vt", "values": [{"name": "Text", "type": "REG_SZ", "data": "user"}]},
      {"root": "HKCR", "key": "Vt", "values": [{"name": "Text", "type": "REG_SZ", "data": "class"}]},
      {"root": "HKLM", "key": "SOFTWARE\\Vt\\Tree\\B\\B2"},
      {"root": "HKLM", "key": "SOFTWARE\\Vt\\Tree\\B\\B1"},
      {"root": "HKLM", "key": "SOFTWARE\\Vt\\Tree\\A\\A1\\deep"},
      {"root": "HKLM", "key": "SOFTWARE\\Vt\\Tree\\C"},
      {"root": "HKLM", "key": "SOFTWARE\\Vt\\Guarded\\A"},
      {"root": "HKLM", "key": "SOFTWARE\\Vt\\Guarded\\B\\Locked", "denied": true},
      {"root": "HKLM", "key": "SOFTWARE\\Vt\\Guarded\\C"}
    ])";
}

std::string networkJson() {
    return R"({"machines": [
      {"name": "WS001", "registry": )" +
           registryJson("remote") + R"(},
      {"name": "WS002", "reachable": false, "registry": )" +
           registryJson("unreachable") + R"(},
      {"name": "WS003", "admin": false, "registry": )" +
           registryJson("no admin") + R"(},
      {"name": ")" +
           hostName() + R"(", "registry": )" + registryJson("LOCAL") + R"(}
    ]})";
}

const std::uint32_t HKLM = 0x80000002;
const std::string Values = "SOFTWARE\\Vt\\Values";

// Straight to the backend, past the procedures under test.
bool keyExists(platform::Registry& reg, const std::string& machine, const std::string& path) {
    platform::Handle start = HKLM;
    platform::Handle conn = 0;
    if (!machine.empty()) {
        auto c = reg.RegConnectRegistry("\\\\" + machine, HKLM);
        if (!c.ok()) return false;
        start = conn = c.value;
    }
    auto k = reg.RegOpenKey(start, path);
    if (k.ok()) reg.RegCloseKey(k.value);
    if (conn) reg.RegCloseKey(conn);
    return k.ok();
}

platform::RegValueRead readRaw(platform::Registry& reg, const std::string& machine, const std::string& path,
                               const std::string& name) {
    platform::Handle start = HKLM;
    platform::Handle conn = 0;
    if (!machine.empty()) {
        auto c = reg.RegConnectRegistry("\\\\" + machine, HKLM);
        start = conn = c.value;
    }
    auto k = reg.RegOpenKeyEx(start, path, 0, platform::reg::KeyReadWriteLink);
    auto r = reg.RegQueryValueEx(k.value, name, 4096);
    reg.RegCloseKey(k.value);
    if (conn) reg.RegCloseKey(conn);
    return r;
}

} // namespace

class tst_RemoteRegistry : public QObject {
    Q_OBJECT

    QTemporaryDir dir;
    ScriptedDialogs boxes;
    std::unique_ptr<RecordingRegistry> rec;

    platform::Registry& backend() {
        platform::setRegistry(nullptr);
        auto& r = platform::registry();
        platform::setRegistry(rec.get());
        return r;
    }

  private slots:
    void initTestCase() {
        QVERIFY(dir.isValid());
        setDialogs(&boxes);
    }
    void init() {
        const std::string db = dir.filePath("net.db").toStdString();
        platform::sim::loadNetwork(db, networkJson());
        platform::sim::useDatabase(db);
        boxes.clear();
        platform::setRegistry(nullptr);
        rec = std::make_unique<RecordingRegistry>(platform::registry());
        platform::setRegistry(rec.get());
    }
    void cleanup() {
        platform::setRegistry(nullptr);
        // Whatever path a call took, every handle it got must be closed again.
        QVERIFY(rec->open.empty());
    }
    void cleanupTestCase() {
        setDialogs(nullptr);
        platform::sim::useDatabase({});
    }

    void rootNames_data() {
        QTest::addColumn<QString>("name");
        QTest::addColumn<quint32>("root");
        QTest::newRow("HKLM") << "HKLM" << quint32(0x80000002);
        QTest::newRow("HCU") << "HCU" << quint32(0x80000001);
        QTest::newRow("HCR") << "HCR" << quint32(0x80000000);
        QTest::newRow("lower case") << "hklm" << quint32(0);
        QTest::newRow("empty") << "" << quint32(0);
        QTest::newRow("platform spelling") << "HKEY_LOCAL_MACHINE" << quint32(0);
        QTest::newRow("blank after") << "HKLM " << quint32(0);
    }
    void rootNames() {
        QFETCH(QString, name);
        QFETCH(quint32, root);
        QCOMPARE(ToHKeyLong(name.toStdString()), root);
    }

    void readRendersValue_data() {
        QTest::addColumn<QString>("value");
        QTest::addColumn<QString>("expected");
        QTest::newRow("string") << "Text"
                                << "remote";
        QTest::newRow("default value") << ""
                                       << "default text";
        QTest::newRow("dword 0") << "Dword0"
                                 << "&h0";
        QTest::newRow("dword 26") << "Dword26"
                                  << "&h1A";
        QTest::newRow("dword 256, zero low byte") << "Dword256"
                                                  << "&h100";
        QTest::newRow("dword 65535") << "Dword65535"
                                     << "&hFFFF";
        QTest::newRow("dword max") << "DwordMax"
                                   << "&hFFFFFFFF";
        QTest::newRow("1023 characters fill the buffer") << "Long1023" << QString(1023, 'x');
        QTest::newRow("binary") << "Blob"
                                << "";
        QTest::newRow("multi-string") << "Paths"
                                      << "";
        QTest::newRow("expand-string") << "Expand"
                                       << "";
    }
    void readRendersValue() {
        QFETCH(QString, value);
        QFETCH(QString, expected);
        std::string out = "stale";
        QVERIFY(GetRemoteKeyValue(HKLM, Values, value.toStdString(), out, "\\\\WS001"));
        QCOMPARE(QString::fromStdString(out), expected);
        QCOMPARE(rec->connects.size(), size_t(1));
        QCOMPARE(rec->connects[0].machine, std::string("\\\\WS001"));
        QCOMPARE(rec->openAccess, std::vector<std::uint32_t>{0x2003F});
        QCOMPARE(rec->queryBuffers, std::vector<std::uint32_t>{1024});
        QVERIFY(boxes.shown.empty());
    }

    // Every way a read can miss: false, empty text, and never a box.
    void readFailsSilently_data() {
        QTest::addColumn<QString>("machine");
        QTest::addColumn<QString>("rootName");
        QTest::addColumn<QString>("key");
        QTest::addColumn<QString>("value");
        QTest::newRow("1024 characters") << "WS001"
                                         << "HKLM" << QString::fromStdString(Values) << "Long1024";
        QTest::newRow("missing value") << "WS001"
                                       << "HKLM" << QString::fromStdString(Values) << "Nope";
        QTest::newRow("missing key") << "WS001"
                                     << "HKLM"
                                     << "SOFTWARE\\Vt\\Nowhere"
                                     << "Text";
        QTest::newRow("placeholder key") << "WS001"
                                         << "HKLM"
                                         << "<enter_reg_key_to_query>"
                                         << "<subkey_value>";
        QTest::newRow("denied key") << "WS001"
                                    << "HKLM"
                                    << "SOFTWARE\\Vt\\Locked"
                                    << "Text";
        QTest::newRow("HCU refused remotely") << "WS001"
                                              << "HCU"
                                              << "Software\\Vt"
                                              << "Text";
        QTest::newRow("HCR refused remotely") << "WS001"
                                              << "HCR"
                                              << "Vt"
                                              << "Text";
        QTest::newRow("unknown root name") << "WS001"
                                           << "hklm" << QString::fromStdString(Values) << "Text";
        QTest::newRow("unreachable") << "WS002"
                                     << "HKLM" << QString::fromStdString(Values) << "Text";
        QTest::newRow("not on the network") << "WS999"
                                            << "HKLM" << QString::fromStdString(Values) << "Text";
        QTest::newRow("no admin rights") << "WS003"
                                         << "HKLM" << QString::fromStdString(Values) << "Text";
    }
    void readFailsSilently() {
        QFETCH(QString, machine);
        QFETCH(QString, rootName);
        QFETCH(QString, key);
        QFETCH(QString, value);
        std::string out = "stale";
        QVERIFY(!GetRemoteKeyValue(ToHKeyLong(rootName.toStdString()), key.toStdString(), value.toStdString(),
                                   out, "\\\\" + machine.toStdString()));
        QCOMPARE(out, std::string());
        QVERIFY(boxes.shown.empty());
    }

    void writeStoresString() {
        // Over a DWORD: the value stays a DWORD, its four bytes low first.
        RegistryWrite write;
        QVERIFY(SetRemoteKeyValue(HKLM, Values, "Dword26", "5", "\\\\WS001", nullptr, &write));
        QCOMPARE(write.type, platform::reg::Dword);
        QCOMPARE(rec->writes.back(), (std::vector<std::uint8_t>{5, 0, 0, 0}));
        QCOMPARE(rec->openAccess, std::vector<std::uint32_t>{0x2003F});
        auto raw = readRaw(backend(), "WS001", Values, "Dword26");
        QCOMPARE(raw.type, platform::reg::Dword);
        std::string out;
        QVERIFY(GetRemoteKeyValue(HKLM, Values, "Dword26", out, "\\\\WS001"));
        QCOMPARE(out, std::string("&h5"));

        // A new value, and the empty text: just the zero byte.
        QVERIFY(SetRemoteKeyValue(HKLM, Values, "Fresh", "", "\\\\WS001"));
        QCOMPARE(rec->writes.back(), std::vector<std::uint8_t>{0});
        QVERIFY(GetRemoteKeyValue(HKLM, Values, "Fresh", out, "\\\\WS001"));
        QCOMPARE(out, std::string());
        QVERIFY(boxes.shown.empty());
    }

    // The write and the delete tell why their key could not be opened; nothing changes.
    void openFailureShowsStatus_data() {
        QTest::addColumn<bool>("remove");
        QTest::addColumn<QString>("machine");
        QTest::addColumn<QString>("rootName");
        QTest::addColumn<QString>("key");
        QTest::addColumn<int>("status");
        for (bool remove : {false, true}) {
            const char* op = remove ? "delete: " : "write: ";
            auto row = [&](const char* name) -> QTestData& {
                return QTest::newRow((std::string(op) + name).c_str()) << remove;
            };
            row("missing key") << "WS001"
                               << "HKLM"
                               << "SOFTWARE\\Vt\\Nowhere" << 2;
            row("denied key") << "WS001"
                              << "HKLM"
                              << "SOFTWARE\\Vt\\Locked" << 5;
            row("HCU refused remotely") << "WS001"
                                        << "HCU"
                                        << "Software\\Vt" << 6;
            row("HCR refused remotely") << "WS001"
                                        << "HCR"
                                        << "Vt" << 6;
            row("unreachable") << "WS002"
                               << "HKLM" << QString::fromStdString(Values) << 53;
            row("no admin rights") << "WS003"
                                   << "HKLM" << QString::fromStdString(Values) << 5;
        }
        // Deleting the root itself would first empty it whole.
        QTest::newRow("delete: empty path") << true << "WS001"
                                            << "HKLM"
                                            << "" << 87;
        QTest::newRow("delete: backslash only") << true << "WS001"
                                                << "HKLM"
                                                << "\\" << 87;
    }
    void openFailureShowsStatus() {
        QFETCH(bool, remove);
        QFETCH(QString, machine);
        QFETCH(QString, rootName);
        QFETCH(QString, key);
        QFETCH(int, status);
        const std::uint32_t root = ToHKeyLong(rootName.toStdString());
        const std::string m = "\\\\" + machine.toStdString();
        std::uint32_t told = 0;
        const bool ok = remove ? DeleteRemoteKeyValue(root, key.toStdString(), m, &told)
                               : SetRemoteKeyValue(root, key.toStdString(), "Text", "changed", m, &told);
        QVERIFY(!ok);
        QCOMPARE(told, std::uint32_t(status));
        QCOMPARE(boxes.shown.size(), size_t(1));
        const auto& box = boxes.shown[0];
        QCOMPARE(box.icon, Icon::Critical);
        QCOMPARE(box.buttons, Buttons::Ok);
        QCOMPARE(box.title, std::string("Error..."));
        // On a run over many machines the box says which one failed.
        QCOMPARE(box.text, std::string(remove ? "Error:DeleteRemoteKeyValue:::" : "Error:SetRemoteKey:::") +
                               std::to_string(status) + "\r\nMachine: " + machine.toStdString());
        QVERIFY(rec->writes.empty());
        QVERIFY(rec->deletedPaths.empty());
    }

    // A machine that cannot be reached must never send the call to this computer's registry.
    void unreachableLeavesLocalAlone() {
        auto& reg = backend();
        // The control: the empty machine name does reach the local registry.
        std::string out;
        QVERIFY(GetRemoteKeyValue(HKLM, Values, "Text", out, ""));
        QCOMPARE(out, std::string("LOCAL"));
        rec->openAccess.clear();

        QVERIFY(!GetRemoteKeyValue(HKLM, Values, "Text", out, "\\\\WS002"));
        QVERIFY(!SetRemoteKeyValue(HKLM, Values, "Text", "changed", "\\\\WS002"));
        QVERIFY(!DeleteRemoteKeyValue(HKLM, "SOFTWARE\\Vt\\Tree", "\\\\WS002"));
        QCOMPARE(boxes.shown.size(), size_t(2)); // the write's and the delete's, not the read's
        QVERIFY(rec->openAccess.empty());
        QCOMPARE(rec->widestOpens, 0);

        auto raw = readRaw(reg, "", Values, "Text");
        QCOMPARE(std::string(raw.data.begin(), raw.data.end()).c_str(), "LOCAL");
        QVERIFY(keyExists(reg, "", "SOFTWARE\\Vt\\Tree\\A\\A1\\deep"));
    }

    void deleteRemovesTreeBottomUp() {
        QVERIFY(DeleteRemoteKeyValue(HKLM, "SOFTWARE\\Vt\\Tree", "\\\\WS001"));
        const std::string t = "SOFTWARE\\Vt\\Tree";
        const std::vector<std::string> order = {t + "\\A\\A1\\deep", t + "\\A\\A1", t + "\\A", t + "\\B\\B1",
                                                t + "\\B\\B2",       t + "\\B",     t + "\\C", t};
        QCOMPARE(rec->deletedPaths, order);
        // Each level makes its own connection and opens its key by the full path.
        QCOMPARE(rec->connects.size(), order.size());
        QCOMPARE(rec->widestOpens, int(order.size()));
        for (auto chars : rec->enumBuffers)
            QCOMPARE(chars, std::uint32_t(255));
        QVERIFY(boxes.shown.empty());

        auto& reg = backend();
        QVERIFY(!keyExists(reg, "WS001", t));
        QVERIFY(keyExists(reg, "WS001", "SOFTWARE\\Vt"));
        QVERIFY(keyExists(reg, "WS001", Values));
        QVERIFY(keyExists(reg, "", t)); // this computer's tree is its own
    }

    void deleteLeafKey() {
        QVERIFY(DeleteRemoteKeyValue(HKLM, "SOFTWARE\\Vt\\Tree\\C", "\\\\WS001"));
        QCOMPARE(rec->deletedPaths, std::vector<std::string>{"SOFTWARE\\Vt\\Tree\\C"});
        auto& reg = backend();
        QVERIFY(!keyExists(reg, "WS001", "SOFTWARE\\Vt\\Tree\\C"));
        QVERIFY(keyExists(reg, "WS001", "SOFTWARE\\Vt\\Tree\\B"));
    }

    void deleteStopsAtDeniedKey() {
        QVERIFY(!DeleteRemoteKeyValue(HKLM, "SOFTWARE\\Vt\\Guarded", "\\\\WS001"));
        QCOMPARE(boxes.shown.size(), size_t(1));
        QCOMPARE(boxes.shown[0].text, std::string("Error:DeleteRemoteKeyValue:::5\r\nMachine: WS001"));
        // Only the sibling before the denied key went; nothing was tried twice.
        QCOMPARE(rec->deletedPaths, std::vector<std::string>{"SOFTWARE\\Vt\\Guarded\\A"});
        QCOMPARE(rec->connects.size(), size_t(4));
        auto& reg = backend();
        QVERIFY(!keyExists(reg, "WS001", "SOFTWARE\\Vt\\Guarded\\A"));
        QVERIFY(keyExists(reg, "WS001", "SOFTWARE\\Vt\\Guarded"));
        QVERIFY(keyExists(reg, "WS001", "SOFTWARE\\Vt\\Guarded\\B"));
        QVERIFY(keyExists(reg, "WS001", "SOFTWARE\\Vt\\Guarded\\C"));
    }

    // A platform that breaks inside a call: the standard error box, once, and false.
    void unexpectedFaultShowsErrorBox_data() {
        QTest::addColumn<QString>("op");
        QTest::addColumn<QString>("call");
        QTest::addColumn<QString>("context");
        QTest::newRow("read") << "read"
                              << "RegQueryValueEx"
                              << "GetRemoveKeyValue()";
        QTest::newRow("read, connect") << "read"
                                       << "RegConnectRegistry"
                                       << "GetRemoveKeyValue()";
        QTest::newRow("write") << "write"
                               << "RegSetValueEx"
                               << "SetRemoteKeyValue()";
        QTest::newRow("delete, deepest level") << "delete"
                                               << "RegDeleteKey"
                                               << "DeleteRemoteKeyValue()";
        QTest::newRow("delete, enumeration") << "delete"
                                             << "RegEnumKeyEx"
                                             << "DeleteRemoteKeyValue()";
    }
    void unexpectedFaultShowsErrorBox() {
        QFETCH(QString, op);
        QFETCH(QString, call);
        QFETCH(QString, context);
        rec->raiseOn = call.toStdString();
        std::string out = "stale";
        bool ok = true;
        if (op == "read") ok = GetRemoteKeyValue(HKLM, Values, "Text", out, "\\\\WS001");
        if (op == "write") ok = SetRemoteKeyValue(HKLM, Values, "Text", "x", "\\\\WS001");
        if (op == "delete") ok = DeleteRemoteKeyValue(HKLM, "SOFTWARE\\Vt\\Tree", "\\\\WS001");
        QVERIFY(!ok);
        if (op == "read") QCOMPARE(out, std::string());
        QCOMPARE(boxes.shown.size(), size_t(1));
        QCOMPARE(boxes.shown[0].icon, Icon::Critical);
        QCOMPARE(boxes.shown[0].title, std::string("Error..."));
        QCOMPARE(boxes.shown[0].text, "Error::" + call.toStdString() + " broke\r\n" + context.toStdString() +
                                          "\r\n" + reportBugsLine());
    }
};

QTEST_GUILESS_MAIN(tst_RemoteRegistry)
#include "tst_remoteregistry.moc"
