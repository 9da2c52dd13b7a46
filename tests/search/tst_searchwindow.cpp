// Filling and pruning the client list through the main window, on the simulated network:
// the search criteria, ClearCase client lists, host files, and find / remove by pattern.
#include "clients/ClientList.h"
#include "common/AppEnv.h"
#include "common/ClientFill.h"
#include "common/Dialogs.h"
#include "common/MainWindow.h"
#include "common/SimFixture.h"
#include "common/TestHelpers.h"
#include "platform/Platform.h"
#include "shell/frmMain.h"
#include "shell/frmProgress.h"

#include <QComboBox>
#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QSignalBlocker>
#include <QStandardItemModel>
#include <QTemporaryDir>
#include <QtTest>

#include <functional>

#include <memory>

using namespace vantrel;

namespace {

// Browser order: the order of "machines".
const char* const networkJson = R"({
  "machines": [
    {"name": "WS001", "types": ["workstation"]},
    {"name": "SRV01", "types": ["server"]},
    {"name": "DC01", "types": ["server", "domain_ctrl"]},
    {"name": "BDC01", "types": ["server", "domain_bakctrl"]},
    {"name": "LOCAL1", "types": ["workstation", "local_list_only"]},
    {"name": "WS002", "types": ["workstation"], "reachable": false},
    {"name": "LIC01", "types": ["server"]},
    {"name": "LIC02", "types": ["server"]}
  ],
  "licence_servers": [
    {"host": "LIC01", "clients": ["WS001", "ws001", "WS002", "WS003"]},
    {"host": "LIC02", "clients": []}
  ]
})";

// A browser that answers with a fixed list, for answers the simulated one cannot give.
struct FixedBrowser : platform::NetworkManagement {
    std::vector<std::u16string> names;
    std::function<void()> onEnum;
    platform::ServerEnumeration NetServerEnum(std::uint32_t) override {
        if (onEnum) onEnum();
        platform::ServerEnumeration e;
        for (const auto& n : names)
            e.servers.push_back({500, n});
        e.totalEntries = static_cast<std::uint32_t>(names.size());
        return e;
    }
    std::uint32_t NetMessageBufferSend(const std::u16string&, const std::u16string&, std::uint32_t) override {
        return 0;
    }
};

// A ClearCase tool that records its arguments and answers with a fixed text.
struct RecordingClearTool : platform::ClearTool {
    std::vector<std::vector<std::string>> calls;
    std::string output;
    platform::CmdExecResult CmdExec(const std::vector<std::string>& arguments) override {
        calls.push_back(arguments);
        return {true, output, {}};
    }
};

QStringList names(const ClientList& list) {
    QStringList out;
    for (int i = 0; i < list.count(); ++i)
        out << list.text(i);
    return out;
}

} // namespace

class tst_SearchWindow : public QObject {
    Q_OBJECT

    QTemporaryDir dir;
    ScriptedDialogs boxes;
    std::unique_ptr<simtest::SimNetworkFile> net;
    std::unique_ptr<frmMain> w;

    ClientList& list() { return *w->clients; }
    QString countShown() const { return w->clientListLbl->text() + w->clientsFoundLbl->text(); }

    void choose(QComboBox* combo, const QString& text) {
        const int index = combo->findText(text);
        QVERIFY2(index >= 0, qPrintable(text));
        combo->setCurrentIndex(index);
        emit combo->activated(index);
    }
    void fill(const QStringList& entries, const QList<int>& ticked = {}) {
        simtest::fillClients(list(), entries, ticked);
    }
    // What every fill leaves behind, whatever it found.
    void verifyCommonEnd() {
        QVERIFY(!w->clientList->isHidden());
        QVERIFY(!w->progress()->isVisible());
        QCOMPARE(w->cursor().shape(), Qt::ArrowCursor);
        QVERIFY(!w->longCommandRunning());
        QCOMPARE(countShown(), "Current Client Systems: Found " + QString::number(list().count()));
    }
    QString writeFile(const QString& name, const QByteArray& bytes) {
        return simtest::writeFile(dir, name, bytes);
    }

  private slots:
    void initTestCase() {
        QVERIFY(dir.isValid());
        setYieldFunction([] { QCoreApplication::processEvents(); });
    }
    void init() {
        net = std::make_unique<simtest::SimNetworkFile>(networkJson);
        QVERIFY2(net->isValid(), net->error().c_str());
        boxes.clear();
        setDialogs(&boxes);
        w = simtest::openMainWindow();
        QVERIFY(QTest::qWaitForWindowExposed(w.get()));
        boxes.clear();
    }
    void cleanup() {
        w.reset();
        net.reset();
        setDialogs(nullptr);
        platform::setNetwork(nullptr);
        platform::setClearTool(nullptr);
    }
    void cleanupTestCase() { setYieldFunction({}); }

    void networkSearch_data() {
        QTest::addColumn<QString>("criterion");
        QTest::addColumn<QStringList>("found");
        QTest::newRow("Local List Only") << "Local List Only" << QStringList{"LOCAL1"};
        QTest::newRow("Workstation Only") << "Workstation Only" << QStringList{"WS001", "LOCAL1", "WS002"};
        QTest::newRow("Server Only") << "Server Only"
                                     << QStringList{"SRV01", "DC01", "BDC01", "LIC01", "LIC02"};
        QTest::newRow("All Systems") << "All Systems" << QStringList{"WS001",  "SRV01", "DC01",  "BDC01",
                                                                     "LOCAL1", "WS002", "LIC01", "LIC02"};
        QTest::newRow("Domain Controllers") << "Domain Controllers" << QStringList{"DC01"};
        QTest::newRow("Backup Domain Controllers") << "Backup Domain Controllers" << QStringList{"BDC01"};
    }
    // A search replaces the list, ticks and all, by exactly what the browser returned.
    void networkSearch() {
        QFETCH(QString, criterion);
        QFETCH(QStringList, found);
        fill({"old1", "WS001"}, {0, 1});
        choose(w->searchCriteriaCombo, criterion);
        QCOMPARE(names(list()), found);
        for (int i = 0; i < list().count(); ++i)
            QVERIFY(!list().ticked(i));
        QVERIFY(boxes.shown.empty());
        QCOMPARE(w->searchCriteriaCombo->currentText(), criterion);
        verifyCommonEnd();
    }

    void searchAnswers_data() {
        QTest::addColumn<QString>("json");
        QTest::newRow("nothing found") << R"({"machines": [{"name": "WS001", "types": ["workstation"]}]})";
        QTest::newRow("browser unavailable")
            << R"({"browser_available": false, "machines": [{"name": "DC01", "types": ["domain_ctrl"]}]})";
    }
    void searchAnswers() {
        QFETCH(QString, json);
        QVERIFY2(net->load(json.toStdString()), net->error().c_str());
        fill({"old1"}, {0});
        choose(w->searchCriteriaCombo, "Domain Controllers");
        QCOMPARE(list().count(), 0);
        QCOMPARE(w->clientsFoundLbl->text(), QString("0"));
        QVERIFY(boxes.shown.empty());
        verifyCommonEnd();
    }

    // No duplicate test, no trimming: the answer as given.
    void searchKeepsNamesAsReturned() {
        FixedBrowser browser;
        browser.names = {u"A", u"B", u"A", u"a", u" b ", std::u16string(u"C\0junk", 6), u""};
        // While the browser is asked: hourglass, list hidden, progress shown.
        bool framed = false;
        browser.onEnum = [&] {
            framed = w->cursor().shape() == Qt::WaitCursor && w->clientList->isHidden() &&
                     w->progress()->isVisible() &&
                     w->progress()->progressLbl->text() == "Searching Network...this may take a while";
        };
        platform::setNetwork(&browser);
        choose(w->searchCriteriaCombo, "All Systems");
        QVERIFY(framed);
        QCOMPARE(names(list()), (QStringList{"A", "B", "A", "a", " b ", "C", ""}));
        verifyCommonEnd();
    }

    void nothingChosen_data() {
        QTest::addColumn<int>("index");
        QTest::newRow("placeholder") << 0;
        QTest::newRow("first separator") << 1;
        QTest::newRow("second separator") << 4;
    }
    void nothingChosen() {
        QFETCH(int, index);
        QCOMPARE(w->searchCriteriaCombo->count(), 11);
        fill({"keep"}, {0});
        w->clientsFoundLbl->setText("7");
        w->searchCriteriaCombo->setCurrentIndex(index);
        emit w->searchCriteriaCombo->activated(index);
        QCOMPARE(names(list()), QStringList{"keep"});
        QVERIFY(list().ticked(0));
        QCOMPARE(w->clientsFoundLbl->text(), QString("7"));
        QVERIFY(boxes.shown.empty());
        QCOMPARE(w->cursor().shape(), Qt::ArrowCursor);
        QVERIFY(!w->hasProgress() || !w->progress()->isVisible());
        // A divider cannot be chosen: the keyboard steps over it.
        const auto* model = qobject_cast<QStandardItemModel*>(w->searchCriteriaCombo->model());
        QVERIFY(model);
        QCOMPARE(model->item(index)->isEnabled(), index == 0);
        if (index > 0) {
            const QSignalBlocker quiet(w->searchCriteriaCombo);
            w->searchCriteriaCombo->setCurrentIndex(index - 1);
            QTest::keyClick(w->searchCriteriaCombo, Qt::Key_Down);
            QCOMPARE(w->searchCriteriaCombo->currentIndex(), index + 1);
        }
    }

    // While another long command runs, a criterion chosen does nothing and the combo goes back
    // to the criterion it showed.
    void criterionRefusedDuringLongCommand() {
        choose(w->searchCriteriaCombo, "Server Only");
        fill({"keep"});
        {
            frmMain::LongCommand busy(*w);
            QVERIFY(bool(busy));
            choose(w->searchCriteriaCombo, "All Systems");
            QCOMPARE(names(list()), QStringList{"keep"});
            QCOMPARE(w->searchCriteriaCombo->currentText(), QString("Server Only"));
        }
        choose(w->searchCriteriaCombo, "Server Only");
        QCOMPARE(list().count(), 5);
    }

    // Closing the window in the middle of a search stops it at its next yield; the window
    // closes once the search has ended.
    void closeStopsSearch() {
        FixedBrowser browser;
        for (int i = 0; i < 1000; ++i)
            browser.names.push_back(u"M" + QString::number(i).toStdU16String());
        platform::setNetwork(&browser);
        int turns = 0;
        setYieldFunction([&] {
            if (++turns == 8) w->close();
            QCoreApplication::processEvents();
        });
        choose(w->searchCriteriaCombo, "All Systems");
        setYieldFunction([] { QCoreApplication::processEvents(); });
        QVERIFY(w->closeRequested());
        QVERIFY(list().count() > 0);
        QVERIFY(list().count() < 1000);
        QTRY_VERIFY(!w->isVisible());
    }

    void clearCase_data() {
        QTest::addColumn<QVariant>("answer"); // string, or invalid for Cancel
        QTest::addColumn<QStringList>("listed");
        QTest::addColumn<QStringList>("boxTitles"); // after the input box
        QTest::newRow("licence server")
            << QVariant("LIC01") << QStringList{"WS001", "WS002", "WS003"} << QStringList{};
        QTest::newRow("empty name") << QVariant("") << QStringList{} << QStringList{};
        QTest::newRow("blanks only") << QVariant("   ") << QStringList{} << QStringList{};
        QTest::newRow("blanks around the name")
            << QVariant("  LIC01 ") << QStringList{"WS001", "WS002", "WS003"} << QStringList{};
        QTest::newRow("cancel") << QVariant() << QStringList{} << QStringList{};
        QTest::newRow("unknown server")
            << QVariant("NOPE") << QStringList{}
            << QStringList{"Error...", "Failed to get Client list for Host: NOPE"};
        QTest::newRow("no clients") << QVariant("LIC02") << QStringList{}
                                    << QStringList{"Failed to get Client list for Host: LIC02"};
    }
    void clearCase() {
        QFETCH(QVariant, answer);
        QFETCH(QStringList, listed);
        QFETCH(QStringList, boxTitles);
        fill({"old1", "WS003"}, {0, 1});
        boxes.inputs = {answer.isValid() ? std::optional<std::string>(answer.toString().toStdString())
                                         : std::nullopt};
        choose(w->searchCriteriaCombo, "ClearCase Clients Only");

        QCOMPARE(names(list()), listed);
        for (int i = 0; i < list().count(); ++i)
            QVERIFY(!list().ticked(i));
        QVERIFY(!boxes.shown.empty());
        QCOMPARE(boxes.shown[0].kind, ShownBox::Kind::Input);
        QCOMPARE(boxes.shown[0].text, std::string("Enter ClearCase License or Registry Server name:"));
        QCOMPARE(boxes.shown[0].title, std::string("Enter Hostname"));
        QCOMPARE(boxes.shown[0].defaultValue, std::string());
        QStringList titles;
        for (size_t i = 1; i < boxes.shown.size(); ++i)
            titles << QString::fromStdString(boxes.shown[i].title);
        QCOMPARE(titles, boxTitles);
        if (!boxTitles.isEmpty()) {
            const ShownBox& failure = boxes.shown.back();
            QCOMPARE(failure.icon, Icon::Exclamation);
            QCOMPARE(failure.text, "Could get client list for host: " + answer.toString().toStdString());
        }
        if (boxTitles.size() == 2) {
            const ShownBox& error = boxes.shown[1];
            QCOMPARE(error.icon, Icon::Critical);
            QVERIFY(
                QString::fromStdString(error.text).contains("\r\nCould not get ClearCase Clients Only\r\n"));
        }
        verifyCommonEnd();
    }

    // The server name, its blanks trimmed, is one argument, whatever it holds; the tool's last
    // name counts even without a line end, and LF alone ends a line.
    void clearCaseArguments() {
        RecordingClearTool tool;
        tool.output = "A\r\nB\nb\r\nC";
        platform::setClearTool(&tool);
        const std::string server = "LIC01 -s; rm -rf / \"x\"";
        boxes.inputs = {"  " + server + " "};
        choose(w->searchCriteriaCombo, "ClearCase Clients Only");
        QCOMPARE(tool.calls.size(), size_t(1));
        QCOMPARE(tool.calls[0], (std::vector<std::string>{"lsclients", "-host", server, "-s"}));
        QCOMPARE(names(list()), (QStringList{"A", "B", "C"}));
        verifyCommonEnd();
    }

    // A file is appended to the list; the list is not emptied first.
    void loadFromFile() {
        const QString path = writeFile("hosts.txt", "HOST1\r\nhost2\nhost3\r");
        fill({"host1"}, {0});
        boxes.files = {path.toStdString(), path.toStdString(), std::nullopt};
        choose(w->searchCriteriaCombo, "Load from File");
        QCOMPARE(names(list()), (QStringList{"host1", "host2", "host3"}));
        QVERIFY(list().ticked(0));
        verifyCommonEnd();
        choose(w->searchCriteriaCombo, "Load from File"); // twice: nothing new
        choose(w->searchCriteriaCombo, "Load from File"); // cancel
        QCOMPARE(list().count(), 3);
        QCOMPARE(boxes.shown.size(), size_t(3));
        verifyCommonEnd();
    }

    void modeChange() {
        QCOMPARE(w->removeSettingCombo->currentText(), QString("Find"));
        QCOMPARE(w->removeBut->text(), QString("Do Find"));
        QVERIFY(w->patternTxt->isEnabled());
        QVERIFY(!w->removeBut->isEnabled());
        const QColor window = QApplication::palette().color(QPalette::Base);
        QCOMPARE(w->patternTxt->palette().color(QPalette::Base), window);

        for (const char* mode : {"Remove", "Find"}) {
            w->patternTxt->setText("some text");
            w->patternTxt->deselect();
            choose(w->removeSettingCombo, mode);
            QCOMPARE(w->removeBut->text(), QString("Do ") + mode);
            QCOMPARE(w->patternTxt->selectedText(), QString("some text"));
            QVERIFY(w->patternTxt->hasFocus());
        }
        // Typing replaces the whole old text.
        QTest::keyClicks(w->patternTxt, "web");
        QCOMPARE(w->patternTxt->text(), QString("web"));
    }

    void patternRuleForButton() {
        w->patternTxt->setFocus();
        w->patternTxt->selectAll();
        QTest::keyClicks(w->patternTxt, "we");
        QVERIFY(w->removeBut->isEnabled());
        QTest::keyClicks(w->patternTxt, "<");
        QVERIFY(!w->removeBut->isEnabled());
        QTest::keyClick(w->patternTxt, Qt::Key_Backspace);
        QVERIFY(w->removeBut->isEnabled());
        w->patternTxt->clear();
        QVERIFY(!w->removeBut->isEnabled());
    }

    void removeThroughWindow_data() {
        QTest::addColumn<QStringList>("entries");
        QTest::addColumn<QString>("pattern");
        QTest::addColumn<QStringList>("left");
        QTest::newRow("case ignored")
            << QStringList{"WEB01", "myweb", "w-eb", "Web2"} << "web" << QStringList{"w-eb"};
        QTest::newRow("neighbours") << QStringList{"a1", "a2", "b1"} << "A" << QStringList{"b1"};
        QTest::newRow("empty list") << QStringList{} << "web" << QStringList{};
    }
    void removeThroughWindow() {
        QFETCH(QStringList, entries);
        QFETCH(QString, pattern);
        QFETCH(QStringList, left);
        fill(entries);
        w->clientsFoundLbl->setText("99");
        choose(w->removeSettingCombo, "Remove");
        w->patternTxt->setText(pattern);
        QTest::mouseClick(w->removeBut, Qt::LeftButton);
        QCOMPARE(names(list()), left);
        QVERIFY(!w->clientList->isHidden());
        QCOMPARE(countShown(), "Current Client Systems: Found " + QString::number(left.size()));
        QVERIFY(boxes.shown.empty());
    }

    void findThroughWindow() {
        fill({"WEB01", "myweb", "w-eb", "Web2"});
        choose(w->removeSettingCombo, "Find");
        w->patternTxt->setText("web");
        QCOMPARE(list().current(), -1);
        QTest::mouseClick(w->removeBut, Qt::LeftButton);
        QCOMPARE(list().current(), 1);
        QTest::mouseClick(w->removeBut, Qt::LeftButton);
        QCOMPARE(list().current(), 1);
        // From the last entry nothing is found, though earlier entries match.
        w->patternTxt->setText("W");
        list().setCurrent(3);
        QTest::mouseClick(w->removeBut, Qt::LeftButton);
        QCOMPARE(list().current(), 3);
        QCOMPARE(list().count(), 4);
        QVERIFY(boxes.shown.empty());
    }
};

QTEST_MAIN(tst_SearchWindow)
#include "tst_searchwindow.moc"
