// The registry page through the real main window, against the simulated network.
#include "clients/ClientList.h"
#include "common/AppEnv.h"
#include "common/ClientFill.h"
#include "common/Dialogs.h"
#include "common/MainWindow.h"
#include "platform/Platform.h"
#include "platform/sim/SimNetwork.h"
#include "registry/RegistryPage.h"
#include "shell/QtDialogs.h"
#include "shell/frmMain.h"
#include "shell/frmProgress.h"
#include "shell/frmQuery.h"

#include <QComboBox>
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
            {"name": "VobSchemaRev", "type": "REG_DWORD", "data": 80}]},
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

std::string readText(const std::string& machine, const std::string& path, const std::string& name) {
    std::string out;
    auto& reg = platform::registry();
    auto c = reg.RegConnectRegistry("\\\\" + machine, 0x80000002);
    auto k = reg.RegOpenKeyEx(c.value, path, 0, 0x2003F);
    auto r = reg.RegQueryValueEx(k.value, name, 1024);
    reg.RegCloseKey(k.value);
    reg.RegCloseKey(c.value);
    return std::string(r.data.begin(), r.data.end()).c_str();
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

} // namespace

class tst_RegistryPage : public QObject {
    Q_OBJECT

    QTemporaryDir dir;
    ScriptedDialogs boxes;
    std::unique_ptr<frmMain> w;
    QStringList progressTexts; // the progress label at every yield of the run
    std::function<void()> duringYield;

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

  private slots:
    void initTestCase() {
        QVERIFY(dir.isValid());
        platform::sim::useDatabase(dir.filePath("net.db").toStdString());
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
        progressTexts.clear();
        duringYield = nullptr;
        w = simtest::openMainWindow();
        QVERIFY(QTest::qWaitForWindowExposed(w.get()));
        w->changeQueryMethodBut_Click();
        boxes.clear();
    }
    void cleanup() {
        w.reset();
        setDialogs(nullptr);
    }
    void cleanupTestCase() {
        setYieldFunction({});
        platform::sim::useDatabase({});
    }

    void loadsDefaults() {
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
        const std::pair<const char*, bool> steps[] = {
            {"UPDATE", true}, {"CREATE", false}, {"UPDATE", true}, {"DELETE", false}, {"QUERY", false}};
        for (const auto& [action, valueBox] : steps) {
            choose(w->quickQueryActionCombo, action);
            QCOMPARE(w->quickQueryBut->text(), QString(action));
            QCOMPARE(!w->quickQueryRegValueTxt->isHidden(), valueBox);
        }
    }

    // QUERY and CREATE report what they read, and a line for each machine they could not read
    // (left out, it would pass for one never asked); every ticked machine gets its pane line,
    // in list order, newest on top, a failed one marked so.
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
        QTest::newRow("placeholder key") << "QUERY" << QString() << QString()
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
        w->query()->SetText("from the last run\r\n", true);
        fillClients({"WS001", "WS002", "WS003", "WS004"}, {0, 2, 3});
        choose(w->quickQueryActionCombo, action);
        if (!key.isEmpty()) setUpQuery(key, valueName);

        run();
        QCOMPARE(summary(), expected);
        QVERIFY(w->query()->isVisible());
        QStringList pane;
        for (const QString machine : {"WS004", "WS003", "WS001"})
            pane << (failed.contains(machine) ? ":>> FAILED <<: " + action + " on " + machine +
                                                    (machine == "WS004" ? ": error 53" : ": error 2")
                                              : action + ": " + machine);
        QCOMPARE(paneLines(), pane);
        QVERIFY(boxes.shown.empty()); // no box for a read
        QCOMPARE(progressTexts.first(), QString("Getting info for --> WS001"));
        QVERIFY(progressTexts.contains("Getting info for --> WS004"));
        QVERIFY(!progressTexts.contains("Getting info for --> WS002"));
        QVERIFY(!w->progress()->isVisible());
        QVERIFY(!w->longCommandRunning());
    }

    void updateRun_data() {
        QTest::addColumn<QString>("value");
        QTest::addColumn<bool>("writes");
        QTest::newRow("value") << "LIC09" << true;
        QTest::newRow("placeholder") << "<enter_value>" << false;
        QTest::newRow("empty") << "" << false;
    }
    void updateRun() {
        QFETCH(QString, value);
        QFETCH(bool, writes);
        fillClients({"WS001", "WS002", "WS004"}, {0, 2});
        choose(w->quickQueryActionCombo, "UPDATE");
        setUpQuery(ClearCaseKey, "LicenseHost");
        w->quickQueryRegValueTxt->clear();
        QTest::keyClicks(w->quickQueryRegValueTxt, value);

        run();
        QCOMPARE(readText("WS001", ClearCaseKey.toStdString(), "LicenseHost"), writes ? "LIC09" : "LIC01");
        QCOMPARE(readText("WS002", ClearCaseKey.toStdString(), "LicenseHost"), "LIC02"); // not ticked
        QCOMPARE(summary(), writes ? QString("Updated WS001:LicenseHost=LIC09\r\n") : QString());
        // The unreachable machine's failed write says why and where, in its box and pane line.
        QCOMPARE(paneLines(),
                 (QStringList{writes ? ":>> FAILED <<: UPDATE on WS004: error 53" : "UPDATE: WS004",
                              "UPDATE: WS001"}));
        QCOMPARE(boxes.shown.size(), size_t(writes ? 1 : 0));
        if (writes) QCOMPARE(boxes.shown[0].text, std::string("Error:SetRemoteKey:::53\r\nMachine: WS004"));
    }

    void deleteAsksEveryMachine() {
        fillClients({"WS001", "WS002", "WS003"}, {0, 1, 2});
        choose(w->quickQueryActionCombo, "DELETE");
        typeInto(w->queryRegKeyValueCombo, "SOFTWARE\\Vt\\Tree");
        typeInto(w->queryRegSubKeyValueCombo, "Old");
        boxes.answers = {Answer::Yes, Answer::No, Answer::Yes};

        run();
        QCOMPARE(summary(), QString("Deleted key for: WS001:Old\r\n"
                                    "No changes to client: WS002\r\n"
                                    "Deleted key for: WS003:Old\r\n"));
        // Each box names its machine and defaults to No: going on is the risk.
        QCOMPARE(boxes.shown.size(), size_t(3));
        for (int i = 0; i < 3; ++i) {
            const auto& box = boxes.shown[i];
            QCOMPARE(box.title, std::string("Confirm Deletion"));
            QCOMPARE(box.icon, Icon::Exclamation);
            QCOMPARE(box.buttons, Buttons::YesNoDefaultNo);
            QCOMPARE(box.text,
                     "W A R N I N G \r\n"
                     "You are about to delete the following key and all subkeys it contains, on WS00" +
                         std::to_string(i + 1) +
                         ":\r\n"
                         "HKLM\\SOFTWARE\\Vt\\Tree\\Old\r\n"
                         "\r\n"
                         "Are you sure you want to continue?\r\n");
        }
        // The machine answered No is said to be skipped, never deleted.
        QCOMPARE(paneLines(), (QStringList{"DELETE: WS003", "Deleting key --> HKLM\\SOFTWARE\\Vt\\Tree\\Old",
                                           "DELETE skipped: WS002 (not confirmed)", "DELETE: WS001",
                                           "Deleting key --> HKLM\\SOFTWARE\\Vt\\Tree\\Old"}));
        QVERIFY(!keyExists("WS001", "SOFTWARE\\Vt\\Tree\\Old"));
        QVERIFY(keyExists("WS002", "SOFTWARE\\Vt\\Tree\\Old\\Inner"));
        QVERIFY(!keyExists("WS003", "SOFTWARE\\Vt\\Tree\\Old"));
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
        fillClients({"WS001", "", "  ", "NONE"}, {1, 2, 3});
        w->clients->setCurrent(0);
        choose(w->quickQueryActionCombo, action);
        setUpQuery(ClearCaseKey, "LicenseHost");
        if (action == "DELETE") {
            typeInto(w->queryRegKeyValueCombo, "SOFTWARE\\Vt\\Tree");
            typeInto(w->queryRegSubKeyValueCombo, "Old");
        }
        w->quickQueryRegValueTxt->setText("LIC09");
        this->boxes.answers = {Answer::Yes, Answer::Ok};

        run();
        QCOMPARE(readText("WS001", ClearCaseKey.toStdString(), "LicenseHost"), "LIC01");
        QVERIFY(keyExists("WS001", "SOFTWARE\\Vt\\Tree\\Old"));
        QVERIFY(!summary().contains("WS001"));
        const QString refused = blankMachineLine(action);
        QCOMPARE(paneLines().filter(QRegularExpression("^(?!Deleting)")),
                 (QStringList{":>> FAILED <<: " + action + " on NONE: error 53", refused, refused}));
        QCOMPARE(int(this->boxes.shown.size()), boxes);

        // A single entry is refused the same way.
        fillClients({" "}, {0});
        w->textMsg->clear();
        run();
        QCOMPARE(paneLines(), QStringList{refused});
    }

    // The real box: No is its default button, and Escape answers No; the pane then says the
    // machine was skipped, and its key stays.
    void deleteBoxEscapeAnswersNo() {
        QtDialogs real;
        setDialogs(&real);
        fillClients({"WS001", "WS002"}, {0});
        choose(w->quickQueryActionCombo, "DELETE");
        typeInto(w->queryRegKeyValueCombo, "SOFTWARE\\Vt\\Tree");
        typeInto(w->queryRegSubKeyValueCombo, "Old");
        QString text;
        bool defaultNo = false;
        QTimer poll;
        connect(&poll, &QTimer::timeout, this, [&] {
            auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
            if (!box) return;
            poll.stop();
            text = box->text();
            defaultNo = box->defaultButton() == box->button(QMessageBox::No);
            QTest::keyClick(box, Qt::Key_Escape);
        });
        poll.start(10);

        run();
        QVERIFY2(text.contains("on WS001:\nHKLM\\SOFTWARE\\Vt\\Tree\\Old"), qPrintable(text));
        QVERIFY(defaultNo);
        QCOMPARE(paneLines(), QStringList{"DELETE skipped: WS001 (not confirmed)"});
        QCOMPARE(summary(), QString("No changes to client: WS001\r\n"));
        QVERIFY(keyExists("WS001", "SOFTWARE\\Vt\\Tree\\Old\\Inner"));
    }

    // A deletion that did not happen is not reported as one.
    void failedDeleteIsReportedAsFailed() {
        fillClients({"WS001", "WS004"}, {0, 1});
        choose(w->quickQueryActionCombo, "DELETE");
        typeInto(w->queryRegKeyValueCombo, "SOFTWARE\\Vt\\Tree");
        typeInto(w->queryRegSubKeyValueCombo, "Missing");
        boxes.answers = {Answer::Yes, Answer::Ok, Answer::Yes}; // the open-failure box takes its own

        run();
        QCOMPARE(summary(), QString("Could not delete key for: WS001:Missing\r\n"
                                    "Could not delete key for: WS004:Missing\r\n"));
        QCOMPARE(boxes.shown.size(), size_t(4));
        QCOMPARE(boxes.shown[1].text, std::string("Error:DeleteRemoteKeyValue:::2\r\nMachine: WS001"));
        QCOMPARE(boxes.shown[3].text, std::string("Error:DeleteRemoteKeyValue:::53\r\nMachine: WS004"));
        QCOMPARE(paneLines().filter("FAILED"), (QStringList{":>> FAILED <<: DELETE on WS004: error 53",
                                                            ":>> FAILED <<: DELETE on WS001: error 2"}));
        QVERIFY(keyExists("WS001", "SOFTWARE\\Vt\\Tree\\Keep"));
    }

    // One entry in the list: it is the machine, highlighted or not; no progress window and no
    // pane line.
    void singleEntry_data() {
        QTest::addColumn<bool>("highlighted");
        QTest::newRow("current") << true;
        QTest::newRow("ticked, not current") << false;
    }
    void singleEntry() {
        QFETCH(bool, highlighted);
        fillClients({"WS003"}, {0});
        if (highlighted) w->clients->setCurrent(0);
        setUpQuery(ClearCaseKey, "LicenseHost");

        run();
        QCOMPARE(summary(), QString("WS003:LicenseHost=LIC03\r\n"));
        QVERIFY(w->query()->isVisible());
        QVERIFY(!w->hasProgress());
        QVERIFY(paneLines().isEmpty());
    }

    void noTickedClient_data() {
        QTest::addColumn<QStringList>("names");
        QTest::newRow("empty list") << QStringList{};
        QTest::newRow("one, not ticked") << QStringList{"WS001"};
        QTest::newRow("two, not ticked") << QStringList{"WS001", "WS002"};
    }
    void noTickedClient() {
        QFETCH(QStringList, names);
        fillClients(names, {});
        setUpQuery(ClearCaseKey, "LicenseHost");
        w->query()->SetText("from the last run\r\n", true);

        run();
        QCOMPARE(boxes.shown.size(), size_t(1));
        QCOMPARE(boxes.shown[0].icon, Icon::Information);
        QCOMPARE(boxes.shown[0].title, std::string("Select a client..."));
        QCOMPARE(boxes.shown[0].text, std::string("Must select at least one client system"));
        QVERIFY(!w->query()->isVisible());
        QCOMPARE(summary(), QString());
        QVERIFY(paneLines().isEmpty());
    }

    void secondClickDuringRunDoesNothing() {
        fillClients({"WS001", "WS002", "WS003"}, {0, 1, 2});
        setUpQuery(ClearCaseKey, "LicenseHost");
        int clicks = 0;
        duringYield = [&] {
            if (clicks++ == 0) run();
        };

        run();
        QCOMPARE(summary().count("\r\n"), 3);
        // The refused click says so; the run writes its three lines.
        QCOMPARE(paneLines().size(), 4);
        QCOMPARE(paneLines().count(frmMain::CommandStillRunningLine), 1);
    }

    void closeStopsTheRun() {
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
