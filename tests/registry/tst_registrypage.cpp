// The registry page against the simulated network: its procedures through a host that stands
// for the window, and the window itself where its controls are what is tested.
#include "clients/ClientList.h"
#include "common/AppEnv.h"
#include "common/ClientFill.h"
#include "common/Dialogs.h"
#include "common/MainWindow.h"
#include "platform/Platform.h"
#include "platform/sim/SimNetwork.h"
#include "registry/RegistryPage.h"
#include "registry/RemoteRegistry.h"
#include "shell/QtDialogs.h"
#include "shell/frmMain.h"
#include "shell/frmProgress.h"
#include "shell/frmQuery.h"

#include <QComboBox>
#include <QDir>
#include <QFile>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QMessageBox>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QTimer>
#include <QtTest>

#include <functional>
#include <memory>

using namespace vantrel;

namespace {

const QString ClearCaseKey = "SOFTWARE\\Atria\\ClearCase\\CurrentVersion";
const QString WinlogonKey = "SOFTWARE\\Microsoft\\Windows NT\\CurrentVersion\\Winlogon";

std::string machineJson(const std::string& name, const std::string& licenseHost,
                        const std::string& extra = {}) {
    return R"({"name": ")" + name + R"(")" + extra + R"(, "registry": [
        {"root": "HKLM", "key": "SOFTWARE\\Atria\\ClearCase\\CurrentVersion", "values": [
            {"name": "LicenseHost", "type": "REG_SZ", "data": ")" +
           licenseHost + R"("},
            {"name": "VobSchemaRev", "type": "REG_DWORD", "data": 80},
            {"name": "Big", "type": "REG_QWORD", "data": 5},
            {"name": "Home", "type": "REG_EXPAND_SZ", "data": "%SystemDrive%\\cc"},
            {"name": "Paths", "type": "REG_MULTI_SZ", "data": ["a", "b"]},
            {"name": "Blob", "type": "REG_BINARY", "data": "00ff"}]},
        {"root": "HKLM", "key": "SOFTWARE\\Vt\\Tree\\Old\\Inner"},
        {"root": "HKLM", "key": "SOFTWARE\\Vt\\Tree\\Keep"}]})";
}

std::string networkJson() {
    return R"({"machines": [)" + machineJson("WS001", "LIC01") + "," + machineJson("WS002", "LIC02") + "," +
           machineJson("WS003", "LIC03") + "," + machineJson("WS004", "LIC04", R"(, "reachable": false)") +
           "]}";
}

bool keyExists(const std::string& machine, const std::string& path) {
    auto& reg = platform::registry();
    auto c = reg.RegConnectRegistry("\\\\" + machine, 0x80000002);
    if (!c.ok()) return false;
    auto k = reg.RegOpenKey(c.value, path);
    if (k.ok()) reg.RegCloseKey(k.value);
    reg.RegCloseKey(c.value);
    return k.ok();
}

// A value of HKEY_LOCAL_MACHINE on `machine`, read as it is stored.
auto readRaw(const std::string& machine, const std::string& path, const std::string& name) {
    auto& reg = platform::registry();
    auto c = reg.RegConnectRegistry("\\\\" + machine, 0x80000002);
    auto k = reg.RegOpenKeyEx(c.value, path, 0, 0x2003F);
    auto r = reg.RegQueryValueEx(k.value, name, 1024);
    reg.RegCloseKey(k.value);
    reg.RegCloseKey(c.value);
    return r;
}

std::string readText(const std::string& machine, const std::string& path, const std::string& name) {
    const auto r = readRaw(machine, path, name);
    return std::string(r.data.begin(), r.data.end()).c_str();
}

// A value as the test reads it back: its type and its data (numbers in decimal).
QString readTyped(const std::string& machine, const std::string& path, const std::string& name) {
    const auto r = readRaw(machine, path, name);
    if (r.error) return "error " + QString::number(r.error);
    QString data;
    if (r.type == platform::reg::Dword || r.type == platform::reg::Qword) {
        quint64 n = 0;
        for (std::size_t i = r.data.size(); i-- > 0;)
            n = n << 8 | r.data[i];
        data = QString::number(n) + " in " + QString::number(r.data.size()) + " bytes";
    } else if (r.type == platform::reg::Sz || r.type == platform::reg::ExpandSz) {
        data = QString::fromStdString(std::string(r.data.begin(), r.data.end()).c_str());
    } else {
        data = QByteArray(reinterpret_cast<const char*>(r.data.data()), qsizetype(r.data.size())).toHex();
    }
    return QString::fromStdString(registryTypeName(r.type)) + " " + data;
}

// Chooses an entry the way the keyboard does, so the list's own "chosen" signals fire.
void choose(QComboBox* combo, const QString& entry) {
    const int target = combo->findText(entry, Qt::MatchExactly | Qt::MatchCaseSensitive);
    QVERIFY2(target >= 0, qPrintable(entry));
    combo->setFocus();
    for (int guard = 0; combo->currentIndex() != target && guard < 50; ++guard)
        QTest::keyClick(combo, combo->currentIndex() < target ? Qt::Key_Down : Qt::Key_Up);
    QCOMPARE(combo->currentIndex(), target);
}

void typeInto(QComboBox* combo, const QString& text) {
    combo->lineEdit()->selectAll();
    QTest::keyClicks(combo->lineEdit(), text);
}

QStringList items(const QComboBox* combo) {
    QStringList list;
    for (int i = 0; i < combo->count(); ++i)
        list << combo->itemText(i);
    return list;
}

// The page as its procedures see it, without a window: the controls are fields, the outputs
// are recorded in the order they come.
class PageHost : public RegistryHost {
  public:
    RegistryInputs page{"QUERY", "HKLM", KeyPlaceholder, ValueNamePlaceholder, ValuePlaceholder};
    QStringList clients;
    QList<int> ticked;
    int current = -1;
    QStringList pane;
    QString summary;
    bool summaryShown = false;
    QStringList progress; // "begin: " + text, each line, "end"
    std::function<void()> duringYield;

    RegistryInputs inputs() override { return page; }
    int clientCount() override { return int(clients.size()); }
    bool clientTicked(int index) override { return ticked.contains(index); }
    QString clientText(int index) override { return clients.at(index); }
    int currentClient() override { return current; }
    void paneLine(const QString& line) override { pane << line; }
    void clearSummary() override { summary.clear(); }
    void summaryLine(const QString& line) override { summary += line + "\r\n"; }
    void showSummary() override { summaryShown = true; }
    void beginProgress(const QString& text) override { progress << "begin: " + text; }
    void progressLine(const QString& text) override { progress << text; }
    void endProgress() override { progress << "end"; }
    void yield() override {
        if (duringYield) duringYield();
    }
    bool stopRequested() override { return false; }
};

} // namespace

class tst_RegistryPage : public QObject {
    Q_OBJECT

    QTemporaryDir dir;
    ScriptedDialogs boxes;
    std::unique_ptr<PageHost> host;
    std::unique_ptr<frmMain> w;        // only for the tests of the window's own controls
    QStringList progressTexts;         // the progress window's label at every yield of its run
    std::function<void()> duringYield; // the window's run

    void openWindow() {
        w = simtest::openMainWindow();
        QVERIFY(QTest::qWaitForWindowExposed(w.get()));
        w->changeQueryMethodBut_Click();
        boxes.clear();
    }
    void fillClients(const QStringList& names, const QList<int>& ticked) {
        simtest::fillClients(*w->clients, names, ticked);
    }
    QStringList paneLines() const { return w->textMsg->toPlainText().split('\n', Qt::SkipEmptyParts); }
    QString summary() { return w->query()->text(); }
    void run() { QTest::mouseClick(w->quickQueryBut, Qt::LeftButton); }
    void setUpQuery(const QString& key, const QString& valueName) {
        choose(w->queryRegKeyValueCombo, key);
        typeInto(w->queryRegSubKeyValueCombo, valueName);
    }
    void setClients(const QStringList& names, const QList<int>& ticked) {
        host->clients = names;
        host->ticked = ticked;
    }

  private slots:
    void initTestCase() {
        QVERIFY(dir.isValid());
        platform::sim::useDatabase(dir.filePath("net.db").toStdString());
        setProgramDirectory(dir.path().toStdString()); // the run logs go there
        setYieldFunction([this] {
            if (w && w->hasProgress() && w->progress()->isVisible())
                progressTexts << w->progress()->progressLbl->text();
            if (duringYield) duringYield();
            QCoreApplication::processEvents();
        });
    }
    void init() {
        platform::sim::loadNetwork(platform::sim::currentDatabasePath(), networkJson());
        boxes.clear();
        setDialogs(&boxes);
        host = std::make_unique<PageHost>();
        progressTexts.clear();
        duringYield = nullptr;
    }
    void cleanup() {
        w.reset();
        setDialogs(nullptr);
    }
    void cleanupTestCase() {
        setYieldFunction({});
        platform::sim::useDatabase({});
    }

    // ---- the procedures, through the host ----

    // QUERY and CREATE report what they read, and a line for each machine they could not read
    // (left out, it would pass for one never asked); every ticked machine gets its pane line,
    // in list order, a failed one marked so.
    void readRun_data() {
        QTest::addColumn<QString>("action");
        QTest::addColumn<QString>("key");
        QTest::addColumn<QString>("valueName");
        QTest::addColumn<QString>("expected");
        QTest::addColumn<QStringList>("failed"); // the machines whose pane line is a failure
        const QString unreachable = ":LicenseHost could not be read: error 53\r\n";
        QTest::newRow("string") << "QUERY" << ClearCaseKey << "LicenseHost"
                                << "WS001:LicenseHost=LIC01\r\nWS003:LicenseHost=LIC03\r\nWS004" + unreachable
                                << QStringList{"WS004"};
        QTest::newRow("dword") << "QUERY" << ClearCaseKey << "VobSchemaRev"
                               << "WS001:VobSchemaRev=&h50\r\nWS003:VobSchemaRev=&h50\r\n"
                                  "WS004:VobSchemaRev could not be read: error 53\r\n"
                               << QStringList{"WS004"};
        QTest::newRow("create reads")
            << "CREATE" << ClearCaseKey << "LicenseHost"
            << "WS001:LicenseHost=LIC01\r\nWS003:LicenseHost=LIC03\r\nWS004" + unreachable
            << QStringList{"WS004"};
        QTest::newRow("placeholder key") << "QUERY" << KeyPlaceholder << ValueNamePlaceholder
                                         << "WS001:<subkey_value> could not be read: error 2\r\n"
                                            "WS003:<subkey_value> could not be read: error 2\r\n"
                                            "WS004:<subkey_value> could not be read: error 53\r\n"
                                         << QStringList{"WS001", "WS003", "WS004"};
    }
    void readRun() {
        QFETCH(QString, action);
        QFETCH(QString, key);
        QFETCH(QString, valueName);
        QFETCH(QString, expected);
        QFETCH(QStringList, failed);
        host->summary = "from the last run\r\n";
        // WS003 as written on Windows: the registry is reached as \\WS003 all the same.
        setClients({"WS001", "WS002", "\\\\WS003", "WS004"}, {0, 2, 3});
        host->page.action = action;
        host->page.keyPath = key;
        host->page.valueName = valueName;

        runQuickQuery(*host);
        QCOMPARE(host->summary, expected);
        QVERIFY(host->summaryShown);
        QStringList pane;
        for (const QString entry : {"WS001", "\\\\WS003", "WS004"}) {
            const QString machine = entry.right(5);
            pane << (failed.contains(machine) ? ":>> FAILED <<: " + action + " on " + entry +
                                                    (machine == "WS004" ? ": error 53" : ": error 2")
                                              : action + ": " + entry);
        }
        QCOMPARE(host->pane, pane);
        QVERIFY(boxes.shown.empty()); // no box for a read
        QCOMPARE(host->progress,
                 (QStringList{"begin: Getting information...", "Getting info for --> WS001",
                              "Getting info for --> \\\\WS003", "Getting info for --> WS004", "end"}));
    }

    // An existing value keeps its type: text for REG_SZ and REG_EXPAND_SZ, a decimal or 0x
    // number for REG_DWORD and REG_QWORD; any other type, or a number that is none, is refused on
    // that machine with nothing written. A new value is REG_SZ. Every machine that was not
    // written has its line in the summary.
    void updateRun_data() {
        QTest::addColumn<QString>("name");
        QTest::addColumn<QString>("value");
        QTest::addColumn<QString>("stored");  // on WS001 afterwards
        QTest::addColumn<QString>("refusal"); // empty: written, or not tried
        const QString dword =
            "VobSchemaRev is REG_DWORD, which takes a decimal or 0x number in its range, not ";
        QTest::newRow("text") << "LicenseHost"
                              << "LIC09"
                              << "REG_SZ LIC09"
                              << "";
        QTest::newRow("placeholder") << "LicenseHost"
                                     << "<enter_value>"
                                     << "REG_SZ LIC01"
                                     << "";
        QTest::newRow("empty") << "LicenseHost"
                               << ""
                               << "REG_SZ LIC01"
                               << "";
        QTest::newRow("dword, decimal") << "VobSchemaRev"
                                        << "81"
                                        << "REG_DWORD 81 in 4 bytes"
                                        << "";
        QTest::newRow("dword, 0x") << "VobSchemaRev"
                                   << "0xFFFFFFFF"
                                   << "REG_DWORD 4294967295 in 4 bytes"
                                   << "";
        QTest::newRow("dword, not a number")
            << "VobSchemaRev"
            << "81a"
            << "REG_DWORD 80 in 4 bytes" << dword + "\"81a\"; nothing was written";
        QTest::newRow("dword, too big")
            << "VobSchemaRev"
            << "4294967296"
            << "REG_DWORD 80 in 4 bytes" << dword + "\"4294967296\"; nothing was written";
        QTest::newRow("dword, signed") << "VobSchemaRev"
                                       << "-1"
                                       << "REG_DWORD 80 in 4 bytes" << dword + "\"-1\"; nothing was written";
        QTest::newRow("qword, 0x") << "Big"
                                   << "0x100000000"
                                   << "REG_QWORD 4294967296 in 8 bytes"
                                   << "";
        QTest::newRow("expandable text") << "Home"
                                         << "%SystemRoot%\\cc"
                                         << "REG_EXPAND_SZ %SystemRoot%\\cc"
                                         << "";
        QTest::newRow("list") << "Paths"
                              << "c"
                              << "REG_MULTI_SZ 6100620000"
                              << "Paths is REG_MULTI_SZ, which this page does not write; nothing was written";
        QTest::newRow("binary") << "Blob"
                                << "01"
                                << "REG_BINARY 00ff"
                                << "Blob is REG_BINARY, which this page does not write; nothing was written";
        QTest::newRow("new value") << "Fresh"
                                   << "81"
                                   << "REG_SZ 81"
                                   << "";
    }
    void updateRun() {
        QFETCH(QString, name);
        QFETCH(QString, value);
        QFETCH(QString, stored);
        QFETCH(QString, refusal);
        const bool tried = !value.isEmpty() && value != ValuePlaceholder;
        setClients({"WS001", "WS002", "WS004"}, {0, 2});
        host->page = {"UPDATE", "HKLM", ClearCaseKey, name, value};

        runQuickQuery(*host);
        QCOMPARE(readTyped("WS001", ClearCaseKey.toStdString(), name.toStdString()), stored);
        QCOMPARE(readText("WS002", ClearCaseKey.toStdString(), "LicenseHost"), "LIC02"); // not ticked
        const QString type = stored.section(' ', 0, 0);
        QString summary;
        if (tried) {
            summary = refusal.isEmpty() ? "Updated WS001:" + name + "=" + value + " (" + type + ")\r\n"
                                        : "WS001:" + name + " could not be written: " + refusal + "\r\n";
            summary += "WS004:" + name + " could not be written: error 53\r\n";
        }
        QCOMPARE(host->summary, summary);
        // A failed or refused write says why and where, in its pane line (and the unreachable
        // machine in its box).
        QCOMPARE(
            host->pane,
            (QStringList{refusal.isEmpty() ? "UPDATE: WS001" : ":>> FAILED <<: UPDATE on WS001: " + refusal,
                         tried ? ":>> FAILED <<: UPDATE on WS004: error 53" : "UPDATE: WS004"}));
        QCOMPARE(boxes.shown.size(), size_t(tried ? 1 : 0));
        if (tried) QCOMPARE(boxes.shown[0].text, std::string("Error:SetRemoteKey:::53\r\nMachine: WS004"));
    }

    // One box per machine, unless "No to All" declines that machine and every one after it.
    void deleteAsksEveryMachine_data() {
        QTest::addColumn<bool>("noToAll");
        QTest::newRow("yes, no, yes") << false;
        QTest::newRow("yes, no to all") << true;
    }
    void deleteAsksEveryMachine() {
        QFETCH(bool, noToAll);
        setClients({"WS001", "WS002", "WS003"}, {0, 1, 2});
        host->page = {"DELETE", "HKLM", "SOFTWARE\\Vt\\Tree", "Old", ValuePlaceholder};
        boxes.answers = {Answer::Yes, noToAll ? Answer::NoToAll : Answer::No, Answer::Yes};

        runQuickQuery(*host);
        QCOMPARE(host->summary,
                 QString("Deleted key for: WS001:Old\r\n"
                         "No changes to client: WS002\r\n") +
                     (noToAll ? "No changes to client: WS003\r\n" : "Deleted key for: WS003:Old\r\n"));
        // Each box names its machine and defaults to No: going on is the risk.
        QCOMPARE(boxes.shown.size(), size_t(noToAll ? 2 : 3));
        for (int i = 0; i < int(boxes.shown.size()); ++i) {
            const auto& box = boxes.shown[i];
            QCOMPARE(box.title, std::string("Confirm Deletion"));
            QCOMPARE(box.icon, Icon::Exclamation);
            QCOMPARE(box.buttons, Buttons::YesNoNoToAllDefaultNo);
            QCOMPARE(box.text,
                     "W A R N I N G \r\n"
                     "You are about to delete the following key and all subkeys it contains, on WS00" +
                         std::to_string(i + 1) +
                         ":\r\n"
                         "HKLM\\SOFTWARE\\Vt\\Tree\\Old\r\n"
                         "\r\n"
                         "Are you sure you want to continue?\r\n");
        }
        // A machine answered No is said to be skipped, never deleted.
        QCOMPARE(host->pane, (QStringList{"Deleting key --> HKLM\\SOFTWARE\\Vt\\Tree\\Old", "DELETE: WS001",
                                          "DELETE skipped: WS002 (not confirmed)"} +
                              (noToAll ? QStringList{"DELETE skipped: WS003 (not confirmed)"}
                                       : QStringList{"Deleting key --> HKLM\\SOFTWARE\\Vt\\Tree\\Old",
                                                     "DELETE: WS003"})));
        QVERIFY(!keyExists("WS001", "SOFTWARE\\Vt\\Tree\\Old"));
        QVERIFY(keyExists("WS002", "SOFTWARE\\Vt\\Tree\\Old\\Inner"));
        QCOMPARE(keyExists("WS003", "SOFTWARE\\Vt\\Tree\\Old"), noToAll);
        QVERIFY(keyExists("WS003", "SOFTWARE\\Vt\\Tree\\Keep"));
    }

    // The run acts on exactly the ticked entries. A blank one (a host file's empty line) is
    // refused in the pane before any call, one named NONE is a machine of that name, and the
    // highlighted, unticked entry never stands in for either.
    void runActsOnTickedEntriesOnly_data() {
        QTest::addColumn<QString>("action");
        QTest::addColumn<int>("boxes"); // per NONE: its confirmation and its failure box
        QTest::newRow("query") << "QUERY" << 0;
        QTest::newRow("update") << "UPDATE" << 1;
        QTest::newRow("delete") << "DELETE" << 2;
    }
    void runActsOnTickedEntriesOnly() {
        QFETCH(QString, action);
        QFETCH(int, boxes);
        setClients({"WS001", "", "  ", "NONE"}, {1, 2, 3});
        host->current = 0;
        host->page = {action, "HKLM", ClearCaseKey, "LicenseHost", "LIC09"};
        if (action == "DELETE") {
            host->page.keyPath = "SOFTWARE\\Vt\\Tree";
            host->page.valueName = "Old";
        }
        this->boxes.answers = {Answer::Yes, Answer::Ok};

        runQuickQuery(*host);
        QCOMPARE(readText("WS001", ClearCaseKey.toStdString(), "LicenseHost"), "LIC01");
        QVERIFY(keyExists("WS001", "SOFTWARE\\Vt\\Tree\\Old"));
        QVERIFY(!host->summary.contains("WS001"));
        const QString refused = blankMachineLine(action);
        QCOMPARE(host->pane.filter(QRegularExpression("^(?!Deleting)")),
                 (QStringList{refused, refused, ":>> FAILED <<: " + action + " on NONE: error 53"}));
        QCOMPARE(int(this->boxes.shown.size()), boxes);

        // A single entry is refused the same way.
        setClients({" "}, {0});
        host->pane.clear();
        runQuickQuery(*host);
        QCOMPARE(host->pane, QStringList{refused});
    }

    // A deletion that did not happen is not reported as one.
    void failedDeleteIsReportedAsFailed() {
        setClients({"WS001", "WS004"}, {0, 1});
        host->page = {"DELETE", "HKLM", "SOFTWARE\\Vt\\Tree", "Missing", ValuePlaceholder};
        boxes.answers = {Answer::Yes, Answer::Ok, Answer::Yes}; // the open-failure box takes its own

        runQuickQuery(*host);
        QCOMPARE(host->summary, QString("WS001:Missing could not be deleted: error 2\r\n"
                                        "WS004:Missing could not be deleted: error 53\r\n"));
        QCOMPARE(boxes.shown.size(), size_t(4));
        QCOMPARE(boxes.shown[1].text, std::string("Error:DeleteRemoteKeyValue:::2\r\nMachine: WS001"));
        QCOMPARE(boxes.shown[3].text, std::string("Error:DeleteRemoteKeyValue:::53\r\nMachine: WS004"));
        QCOMPARE(host->pane.filter("FAILED"), (QStringList{":>> FAILED <<: DELETE on WS001: error 2",
                                                           ":>> FAILED <<: DELETE on WS004: error 53"}));
        QVERIFY(keyExists("WS001", "SOFTWARE\\Vt\\Tree\\Keep"));
    }

    // One entry in the list: it is the machine, highlighted or not; no progress window and no
    // pane line.
    void singleEntry_data() {
        QTest::addColumn<int>("current");
        QTest::newRow("current") << 0;
        QTest::newRow("ticked, not current") << -1;
    }
    void singleEntry() {
        QFETCH(int, current);
        setClients({"WS003"}, {0});
        host->current = current;
        host->page.keyPath = ClearCaseKey;
        host->page.valueName = "LicenseHost";

        runQuickQuery(*host);
        QCOMPARE(host->summary, QString("WS003:LicenseHost=LIC03\r\n"));
        QVERIFY(host->summaryShown);
        QVERIFY(host->progress.isEmpty());
        QVERIFY(host->pane.isEmpty());
    }

    void noTickedClient_data() {
        QTest::addColumn<QStringList>("names");
        QTest::newRow("empty list") << QStringList{};
        QTest::newRow("one, not ticked") << QStringList{"WS001"};
        QTest::newRow("two, not ticked") << QStringList{"WS001", "WS002"};
    }
    void noTickedClient() {
        QFETCH(QStringList, names);
        setClients(names, {});
        host->page.keyPath = ClearCaseKey;
        host->page.valueName = "LicenseHost";
        host->summary = "from the last run\r\n";

        runQuickQuery(*host);
        QCOMPARE(boxes.shown.size(), size_t(1));
        QCOMPARE(boxes.shown[0].icon, Icon::Information);
        QCOMPARE(boxes.shown[0].title, std::string("Select a client..."));
        QCOMPARE(boxes.shown[0].text, std::string("Must select at least one client system"));
        QVERIFY(!host->summaryShown);
        QCOMPARE(host->summary, QString());
        QVERIFY(host->pane.isEmpty());
    }

    // Each machine reads the page and the list at its turn: what changes while the run yields
    // holds for the machines after it.
    void changesDuringTheRunHoldForTheNextMachine() {
        setClients({"WS001", "WS002", "WS003"}, {0, 1, 2});
        host->page.keyPath = ClearCaseKey;
        host->page.valueName = "LicenseHost";
        host->duringYield = [this] {
            host->duringYield = nullptr;
            host->page.valueName = "VobSchemaRev";
            host->clients.removeLast();
        };

        runQuickQuery(*host);
        QCOMPARE(host->summary, QString("WS001:LicenseHost=LIC01\r\nWS002:VobSchemaRev=&h50\r\n"));
        QCOMPARE(host->pane, (QStringList{"QUERY: WS001", "QUERY: WS002"}));
    }

    // ---- the window ----

    void loadsDefaults() {
        openWindow();
        QCOMPARE(w->frameRegistry->title(), QString("Registry Query / Update "));
        QCOMPARE(items(w->quickQueryActionCombo), (QStringList{"QUERY", "UPDATE", "CREATE", "DELETE"}));
        QCOMPARE(w->quickQueryActionCombo->currentText(), QString("QUERY"));
        QCOMPARE(w->quickQueryBut->text(), QString("QUERY"));
        QVERIFY(w->quickQueryRegValueTxt->isHidden());
        QCOMPARE(items(w->queryRegRootKeyValueCombo), (QStringList{"HKLM", "HCU", "HCR"}));
        QCOMPARE(w->queryRegRootKeyValueCombo->currentText(), QString("HKLM"));
        QCOMPARE(items(w->queryRegKeyValueCombo).size(), 5);
        QCOMPARE(w->queryRegKeyValueCombo->itemText(3), WinlogonKey);
        QCOMPARE(w->queryRegKeyValueCombo->currentIndex(), -1);
        QCOMPARE(w->queryRegKeyValueCombo->currentText(), QString("<enter_reg_key_to_query>"));
        QCOMPARE(w->queryRegSubKeyValueCombo->count(), 0);
        QCOMPARE(w->queryRegSubKeyValueCombo->currentText(), QString("<subkey_value>"));
        QCOMPARE(w->quickQueryRegValueTxt->text(), QString("<enter_value>"));
    }

    void presetFillsValueNames_data() {
        QTest::addColumn<QString>("key");
        QTest::addColumn<QStringList>("names");
        QTest::newRow("Winlogon") << WinlogonKey
                                  << QStringList{"AutoAdminLogon",
                                                 "CachePrimaryDomain",
                                                 "DefaultDomainName",
                                                 "DefaultUserName",
                                                 "LegalNoticeCaption",
                                                 "LegalNoticeText",
                                                 "Shell"};
        QTest::newRow("build") << "SOFTWARE\\Rational Software\\RSSetup\\Products\\wsbuEnterprise"
                               << QStringList{"Build"};
        QTest::newRow("licensing") << "SOFTWARE\\Rational Software\\Licensing\\1.0"
                                   << QStringList{"LicenseServerName"};
    }
    void presetFillsValueNames() {
        QFETCH(QString, key);
        QFETCH(QStringList, names);
        openWindow();
        // What was there before goes.
        choose(w->queryRegKeyValueCombo, ClearCaseKey);
        QCOMPARE(w->queryRegSubKeyValueCombo->count(), 10);

        choose(w->queryRegKeyValueCombo, key);
        QCOMPARE(items(w->queryRegSubKeyValueCombo), names);
        QCOMPARE(w->queryRegSubKeyValueCombo->currentText(), names.first());
        QCOMPARE(w->queryRegKeyValueCombo->toolTip(), key);
        const QString tip = "Enter value for subkey: " + names.first();
        QCOMPARE(w->quickQueryRegValueTxt->toolTip(), tip);

        // Neither choosing another name nor typing a key changes anything else.
        if (names.size() > 1) {
            choose(w->queryRegSubKeyValueCombo, names.last());
            QCOMPARE(w->quickQueryRegValueTxt->toolTip(), tip);
        }
        typeInto(w->queryRegKeyValueCombo, ClearCaseKey);
        QCOMPARE(items(w->queryRegSubKeyValueCombo), names);
        QCOMPARE(items(w->queryRegKeyValueCombo).size(), 5);

        // What is typed is what the run uses: the start of a preset is not completed to it.
        typeInto(w->queryRegKeyValueCombo, "SOFTWARE\\Atria");
        QCOMPARE(w->queryRegKeyValueCombo->currentText(), QString("SOFTWARE\\Atria"));
        typeInto(w->queryRegSubKeyValueCombo, names.last().left(2));
        QCOMPARE(w->queryRegSubKeyValueCombo->currentText(), names.last().left(2));
    }

    void actionSetsCaptionAndValueBox() {
        openWindow();
        const std::pair<const char*, bool> steps[] = {
            {"UPDATE", true}, {"CREATE", false}, {"UPDATE", true}, {"DELETE", false}, {"QUERY", false}};
        for (const auto& [action, valueBox] : steps) {
            choose(w->quickQueryActionCombo, action);
            QCOMPARE(w->quickQueryBut->text(), QString(action));
            QCOMPARE(!w->quickQueryRegValueTxt->isHidden(), valueBox);
            // CREATE says on the page that it only reads.
            QCOMPARE(!w->createNoteLbl->isHidden(), QString(action) == "CREATE");
        }
        QVERIFY(w->createNoteLbl->text().contains("only reads"));
    }

    // The window's run: the page's controls in; the summary window, the pane and the progress
    // window out.
    void windowRunsThePage() {
        openWindow();
        w->query()->SetText("from the last run\r\n", true);
        fillClients({"WS001", "WS002", "WS004"}, {0, 2});
        choose(w->quickQueryActionCombo, "UPDATE");
        setUpQuery(ClearCaseKey, "LicenseHost");
        w->quickQueryRegValueTxt->clear();
        QTest::keyClicks(w->quickQueryRegValueTxt, "LIC09");

        run();
        QCOMPARE(summary(), QString("Updated WS001:LicenseHost=LIC09 (REG_SZ)\r\n"
                                    "WS004:LicenseHost could not be written: error 53\r\n"));
        QVERIFY(w->query()->isVisible());
        // The run's lines are also kept in a log of its own, which the pane names last.
        const QStringList logs = QDir(dir.path()).entryList({"_run*.log"}, QDir::Files);
        QCOMPARE(logs.size(), 1);
        const QString log = QDir(dir.path()).filePath(logs[0]);
        QCOMPARE(paneLines(), (QStringList{"Run log --> " + log, ":>> FAILED <<: UPDATE on WS004: error 53",
                                           "UPDATE: WS001"}));
        QFile file(log);
        QVERIFY(file.open(QIODevice::ReadOnly));
        QStringList logged;
        for (const QByteArray& line : file.readAll().split('\n'))
            if (!line.isEmpty()) logged << QString::fromUtf8(line.mid(21)).trimmed();
        QCOMPARE(logged, (QStringList{"UPDATE: WS001", ":>> FAILED <<: UPDATE on WS004: error 53",
                                      "Run log --> " + log}));
        QCOMPARE(file.permissions() &
                     (QFile::ReadOther | QFile::ReadGroup | QFile::WriteOther | QFile::WriteGroup),
                 QFile::Permissions());
        QFile::remove(log);
        QCOMPARE(progressTexts.first(), QString("Getting info for --> WS001"));
        QVERIFY(progressTexts.contains("Getting info for --> WS004"));
        QVERIFY(!w->progress()->isVisible());
        QVERIFY(!w->longCommandRunning());

        // A single entry reads without the progress window.
        fillClients({"WS001"}, {0});
        choose(w->quickQueryActionCombo, "QUERY");
        run();
        QCOMPARE(summary(), QString("WS001:LicenseHost=LIC09\r\n"));
        QVERIFY(!w->progress()->isVisible());
    }

    // The real box: No is its default button, and Escape answers No; the pane then says the
    // machine was skipped, and its key stays.
    void deleteBoxEscapeAnswersNo() {
        openWindow();
        QtDialogs real;
        setDialogs(&real);
        fillClients({"WS001", "WS002"}, {0});
        choose(w->quickQueryActionCombo, "DELETE");
        typeInto(w->queryRegKeyValueCombo, "SOFTWARE\\Vt\\Tree");
        typeInto(w->queryRegSubKeyValueCombo, "Old");
        QString text;
        bool defaultNo = false;
        bool noToAll = false;
        QTimer poll;
        connect(&poll, &QTimer::timeout, this, [&] {
            auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
            if (!box) return;
            poll.stop();
            text = box->text();
            defaultNo = box->defaultButton() == box->button(QMessageBox::No);
            noToAll = box->button(QMessageBox::NoToAll) != nullptr;
            QTest::keyClick(box, Qt::Key_Escape);
        });
        poll.start(10);

        run();
        QVERIFY2(text.contains("on WS001:\nHKLM\\SOFTWARE\\Vt\\Tree\\Old"), qPrintable(text));
        QVERIFY(defaultNo);
        QVERIFY(noToAll);
        QCOMPARE(paneLines().mid(1), QStringList{"DELETE skipped: WS001 (not confirmed)"});
        QCOMPARE(summary(), QString("No changes to client: WS001\r\n"));
        QVERIFY(keyExists("WS001", "SOFTWARE\\Vt\\Tree\\Old\\Inner"));
    }

    void secondClickDuringRunDoesNothing() {
        openWindow();
        fillClients({"WS001", "WS002", "WS003"}, {0, 1, 2});
        setUpQuery(ClearCaseKey, "LicenseHost");
        int clicks = 0;
        duringYield = [&] {
            if (clicks++ == 0) run();
        };

        run();
        QCOMPARE(summary().count("\r\n"), 3);
        // The refused click says so; the run writes its three lines and names its log.
        QCOMPARE(paneLines().size(), 5);
        QCOMPARE(paneLines().count(frmMain::CommandStillRunningLine), 1);
    }

    void closeStopsTheRun() {
        openWindow();
        fillClients({"WS001", "WS002", "WS003"}, {0, 1, 2});
        setUpQuery(ClearCaseKey, "LicenseHost");
        duringYield = [&] {
            duringYield = nullptr;
            w->close();
        };

        run();
        QVERIFY(paneLines().size() <= 1);
        QVERIFY(!w->longCommandRunning());
        QTRY_VERIFY(!w->isVisible());
    }
};

QTEST_MAIN(tst_RegistryPage)
#include "tst_registrypage.moc"
