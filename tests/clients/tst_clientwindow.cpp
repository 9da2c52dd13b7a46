// The client list commands in the main window: what a person clicking them sees.
#include "clients/ClientList.h"
#include "clients/RunMarks.h"
#include "common/AppEnv.h"
#include "common/ClientFill.h"
#include "common/Dialogs.h"
#include "common/MainWindow.h"
#include "common/SimFixture.h"
#include "shell/frmMain.h"

#include <QAccessible>
#include <QAction>
#include <QApplication>
#include <QComboBox>
#include <QLabel>
#include <QListWidget>
#include <QPushButton>
#include <QTest>
#include <QToolButton>

#include <memory>
#include <optional>

using namespace vantrel;

namespace {

const char* NetworkJson = R"json({
  "machines": [
    {"name": "WS1", "services": [{"name": "Albd", "display_name": "Atria Location Broker", "state": "running"},
                                 {"name": "AlbdHelper", "state": "running"}]},
    {"name": "WS2", "services": [{"name": "Albd", "state": "stopped"},
                                 {"name": "AlbdHelper", "state": "running"}]},
    {"name": "OFF1", "reachable": false}
  ]
})json";

} // namespace

class TestClientWindow : public QObject {
    Q_OBJECT

    std::unique_ptr<simtest::SimNetworkFile> net;
    std::unique_ptr<frmMain> w;
    ScriptedDialogs boxes;

    ClientList& list() { return *w->clients; }
    QStringList names() {
        QStringList out;
        for (int i = 0; i < list().count(); ++i)
            out << list().text(i);
        return out;
    }
    QString countShown() { return w->clientListLbl->text() + w->clientsFoundLbl->text(); }
    // Fills the list and shows its count, as a search would.
    void fill(const QStringList& entries, const QList<int>& ticked = {}) {
        simtest::fillClients(list(), entries, ticked);
        list().updateCountLabel();
    }
    QPoint centreOf(int row) { return w->clientList->visualItemRect(w->clientList->item(row)).center(); }
    void clickEntry(int row) {
        QTest::mouseClick(w->clientList->viewport(), Qt::LeftButton, {}, centreOf(row));
    }

  private slots:
    void init() {
        net = std::make_unique<simtest::SimNetworkFile>(NetworkJson);
        QVERIFY2(net->isValid(), net->error().c_str());
        setDialogs(&boxes);
        w = simtest::openMainWindow();
        QVERIFY(QTest::qWaitForWindowExposed(w.get()));
        boxes.clear();
    }
    void cleanup() {
        w.reset();
        net.reset();
        setDialogs(nullptr);
    }

    void addClient_data() {
        QTest::addColumn<QStringList>("before");
        QTest::addColumn<std::optional<std::string>>("answer");
        QTest::addColumn<QStringList>("after");
        const QStringList one = {"host1"};
        QTest::newRow("new name") << one << std::optional<std::string>("WS 7")
                                  << QStringList{"host1", "WS 7"};
        QTest::newRow("other letter case") << one << std::optional<std::string>("HOST1") << one;
        QTest::newRow("trailing blank")
            << one << std::optional<std::string>("host1 ") << QStringList{"host1", "host1 "};
        QTest::newRow("cancel") << one << std::optional<std::string>() << one;
        QTest::newRow("empty answer") << one << std::optional<std::string>("") << one;
        QTest::newRow("into an empty list")
            << QStringList{} << std::optional<std::string>("Host1") << QStringList{"Host1"};
    }
    // Only the input box is shown, whatever the answer; the count follows the list.
    void addClient() {
        QFETCH(QStringList, before);
        QFETCH(std::optional<std::string>, answer);
        QFETCH(QStringList, after);
        fill(before, {0});
        boxes.inputs.push_back(answer);
        QTest::mouseClick(w->butAddClient, Qt::LeftButton);
        QCOMPARE(names(), after);
        for (int i = before.size(); i < after.size(); ++i)
            QVERIFY(!list().ticked(i));
        if (!before.isEmpty()) QVERIFY(list().ticked(0));
        QCOMPARE(boxes.shown.size(), std::size_t(1));
        QCOMPARE(boxes.shown[0].kind, ShownBox::Kind::Input);
        QCOMPARE(boxes.shown[0].text, std::string("Enter Client Name: "));
        QCOMPARE(boxes.shown[0].title, std::string("Enter Client Name"));
        QCOMPARE(boxes.shown[0].defaultValue, std::string());
        QCOMPARE(w->clientsFoundLbl->text(), QString::number(after.size()));
    }

    void addClientToAFullListIsRefused() {
        list().hide();
        for (int i = 0; i < ClientList::MaxEntries; ++i)
            list().append(QString::number(i));
        list().show();
        boxes.inputs.push_back(std::string("one more"));
        QTest::mouseClick(w->butAddClient, Qt::LeftButton);
        QCOMPARE(list().count(), ClientList::MaxEntries);
        QVERIFY(!list().is_dup_list("one more"));
        QCOMPARE(w->clientsFoundLbl->text(), QString("32767")); // what the list holds
        QCOMPARE(boxes.shown.size(), std::size_t(2));
        const ShownBox& box = boxes.shown[1];
        QCOMPARE(box.icon, Icon::Critical);
        QCOMPARE(box.title, std::string("Error..."));
        const QStringList lines = QString::fromStdString(box.text).split("\r\n");
        QCOMPARE(lines.size(), 3);
        QVERIFY(lines[0].startsWith("Error::") && lines[0].contains("32767"));
        QCOMPARE(lines[1], QString("AddClient()"));
        QCOMPARE(lines[2].toStdString(), reportBugsLine());
    }

    // The highlighted entry goes, even when another entry has the same text.
    void deleteRemovesTheHighlightedEntry() {
        fill({"A", "dup", "dup", "B"}, {2});
        clickEntry(1); // the user highlights the unticked one
        QCOMPARE(list().current(), 1);
        QCOMPARE(w->butDeletedItem->toolTip(), QString("Click to delete client: dup"));
        QTest::mouseClick(w->butDeletedItem, Qt::LeftButton);
        QCOMPARE(names(), (QStringList{"A", "dup", "B"}));
        QCOMPARE(w->clientsFoundLbl->text(), QString("3")); // the count follows every change
        QVERIFY(list().ticked(1));                          // the ticked twin stays
        QCOMPARE(list().current(), -1);
        QVERIFY(list().is_dup_list("DUP"));

        // Nothing highlighted any more: a second click deletes nothing.
        QTest::mouseClick(w->butDeletedItem, Qt::LeftButton);
        QCOMPARE(names(), (QStringList{"A", "dup", "B"}));

        list().setCurrent(1);
        QTest::mouseClick(w->butDeletedItem, Qt::LeftButton);
        QCOMPARE(names(), (QStringList{"A", "B"}));
        QVERIFY(!list().is_dup_list("dup"));
        QCOMPARE(w->clientsFoundLbl->text(), QString("2"));
        QVERIFY(boxes.shown.empty());
    }

    void deleteOnAnEmptyListDoesNothing() {
        QTest::mouseClick(w->butDeletedItem, Qt::LeftButton);
        QCOMPARE(list().count(), 0);
        QVERIFY(boxes.shown.empty());
        QCOMPARE(w->butDeletedItem->toolTip(), QString("Click to delete selected client."));
    }

    void refreshEmptiesTheList() {
        fill({"A", "B", "C"}, {1});
        QCOMPARE(countShown(), QString("Current Client Systems: Found 3"));
        QTest::mouseClick(w->butRefresh, Qt::LeftButton);
        QCOMPARE(list().count(), 0);
        QVERIFY(!list().is_dup_list("A"));
        QCOMPARE(w->clientsFoundLbl->text(), QString("0"));
        QCOMPARE(w->clientListLbl->text(), QString("Current Client Systems: Found "));
    }

    void selectAndClearAll() {
        QTest::mouseClick(w->selectAllBut, Qt::LeftButton); // empty: nothing happens
        QCOMPARE(list().count(), 0);

        fill({"A", "B", "C"}, {1});
        list().setCurrent(2);
        QTest::mouseClick(w->selectAllBut, Qt::LeftButton);
        for (int i = 0; i < 3; ++i)
            QVERIFY(list().ticked(i));
        QCOMPARE(list().current(), 2);
        QVERIFY(!QApplication::overrideCursor()); // the hourglass is gone again

        QTest::mouseClick(w->clearAllBut, Qt::LeftButton);
        for (int i = 0; i < 3; ++i)
            QVERIFY(!list().ticked(i));
        QCOMPARE(list().current(), 2);
        QCOMPARE(names(), (QStringList{"A", "B", "C"}));
    }

    // The delete button names the entry it would delete however the highlight moves: a click,
    // the keyboard, a command, a deletion, emptying the list.
    void deleteTooltipFollowsTheCurrentEntry() {
        fill({"WS1", "WS2", "WS3"});
        QCOMPARE(w->butDeletedItem->toolTip(), QString("Click to delete selected client."));
        clickEntry(1);
        QCOMPARE(w->butDeletedItem->toolTip(), QString("Click to delete client: WS2"));
        QTest::keyClick(w->clientList, Qt::Key_Down);
        QCOMPARE(w->butDeletedItem->toolTip(), QString("Click to delete client: WS3"));
        QTest::mouseClick(w->butDeletedItem, Qt::LeftButton);
        QCOMPARE(w->butDeletedItem->toolTip(), QString("Click to delete a client"));
        list().setCurrent(0);
        QCOMPARE(w->butDeletedItem->toolTip(), QString("Click to delete client: WS1"));
        list().setCurrent(-1);
        QCOMPARE(w->butDeletedItem->toolTip(), QString("Click to delete a client"));
        clickEntry(1);
        QTest::mouseClick(w->butRefresh, Qt::LeftButton);
        QCOMPARE(w->butDeletedItem->toolTip(), QString("Click to delete a client"));
    }

    // The marks a run leaves: read out by a screen reader and shown in the tooltip, the entry's
    // own text unchanged; "Tick Only Failed Machines" ticks exactly the failed entries. They
    // last through ticks and untick, and go with any change to the entries.
    void runMarksLastUntilTheListChanges_data() {
        QTest::addColumn<QString>("change");
        QTest::addColumn<bool>("kept");
        QTest::newRow("tick only failed") << "tick only failed" << true;
        QTest::newRow("select all") << "select all" << true;
        QTest::newRow("clear all") << "clear all" << true;
        QTest::newRow("add") << "add" << false;
        QTest::newRow("delete an unmarked entry") << "delete" << false;
        QTest::newRow("refresh") << "refresh" << false;
        QTest::newRow("rename") << "rename" << false;
    }
    void runMarksLastUntilTheListChanges() {
        QFETCH(QString, change);
        QFETCH(bool, kept);
        fill({"WS1", "WS2", "OFF1", "WS3"}, {0, 1, 2});
        QVERIFY(!w->TickOnlyFailed->isEnabled());
        QCOMPARE(w->clientList->contextMenuPolicy(), Qt::ActionsContextMenu);
        QVERIFY(w->clientList->actions().contains(w->TickOnlyFailed));
        w->runMarks->mark(3, RunMarks::Mark::NotTried);
        QVERIFY(!w->TickOnlyFailed->isEnabled()); // nothing failed: it would untick everything
        const QString why =
            "Update failed: error 5: Access is denied. (ChangeServicePassword: OpenSCManager)";
        w->runMarks->mark(1, RunMarks::Mark::Failed, why);
        w->runMarks->mark(2, RunMarks::Mark::Failed);
        QVERIFY(w->TickOnlyFailed->isEnabled());
        QCOMPARE(names(), (QStringList{"WS1", "WS2", "OFF1", "WS3"}));
        QAccessibleInterface* entries = QAccessible::queryAccessibleInterface(w->clientList);
        QVERIFY(entries);
        auto readOut = [&](int row) {
            for (int i = 0; i < entries->childCount(); ++i) {
                const QString name = entries->child(i)->text(QAccessible::Name);
                if (name.startsWith(list().text(row))) return name;
            }
            return QString();
        };
        QCOMPARE(readOut(0), "WS1");
        QCOMPARE(readOut(1), "WS2, failed in the last run: " + why);
        QCOMPARE(w->clientList->item(1)->toolTip(), "WS2: failed in the last run: " + why);
        QCOMPARE(readOut(3), "WS3, not tried in the last run");
        QCOMPARE(w->clientList->item(2)->toolTip(), "OFF1: failed in the last run");
        QVERIFY(!w->clientList->item(1)->icon().isNull());
        QVERIFY(w->clientList->item(0)->icon().isNull());
        QVERIFY(w->clientList->item(1)->foreground() != w->clientList->item(0)->foreground());

        if (change == "tick only failed") {
            w->TickOnlyFailed->trigger();
            for (int i = 0; i < 4; ++i)
                QCOMPARE(list().ticked(i), i == 1 || i == 2);
        } else if (change == "select all") {
            QTest::mouseClick(w->selectAllBut, Qt::LeftButton);
        } else if (change == "clear all") {
            QTest::mouseClick(w->clearAllBut, Qt::LeftButton);
        } else if (change == "add") {
            boxes.inputs.push_back(std::string("WS4"));
            QTest::mouseClick(w->butAddClient, Qt::LeftButton);
        } else if (change == "delete") {
            list().setCurrent(0);
            QTest::mouseClick(w->butDeletedItem, Qt::LeftButton);
        } else if (change == "refresh") {
            QTest::mouseClick(w->butRefresh, Qt::LeftButton);
        } else {
            w->clientList->item(0)->setText("WS0");
        }
        QCOMPARE(w->runMarks->any(), kept);
        QCOMPARE(w->TickOnlyFailed->isEnabled(), kept);
        const int failedRow = change == "delete" ? 0 : 1;
        if (list().count() > failedRow) {
            QCOMPARE(w->runMarks->markAt(failedRow) == RunMarks::Mark::Failed, kept);
            QCOMPARE(w->clientList->item(failedRow)->icon().isNull(), !kept);
            QCOMPARE(w->clientList->item(failedRow)->toolTip().isEmpty(), !kept);
            QCOMPARE(readOut(failedRow), kept ? list().text(failedRow) + ", failed in the last run: " + why
                                              : list().text(failedRow));
        }
    }

    void doubleClickTellsWhetherTheServiceRuns_data() {
        QTest::addColumn<QString>("machine");
        QTest::addColumn<QString>("service");
        QTest::addColumn<bool>("running");
        QTest::newRow("running") << "WS1"
                                 << "Albd" << true;
        QTest::newRow("stopped") << "WS2"
                                 << "Albd" << false;
        QTest::newRow("stopped, longer name running") << "WS2"
                                                      << "Alb" << false;
        QTest::newRow("other letter case") << "WS1"
                                           << "albd" << true;
        QTest::newRow("unreachable") << "OFF1"
                                     << "Albd" << false;
        QTest::newRow("not a host name") << "<WS1>"
                                         << "Albd" << false;
    }
    void doubleClickTellsWhetherTheServiceRuns() {
        QFETCH(QString, machine);
        QFETCH(QString, service);
        QFETCH(bool, running);
        fill({"first", machine});
        w->serviceNameCombo->setEditText(service);
        // A double click as the window system delivers it: a click, then the double click.
        clickEntry(1);
        QTest::mouseDClick(w->clientList->viewport(), Qt::LeftButton, {}, centreOf(1));
        QCOMPARE(boxes.shown.size(), std::size_t(1));
        const ShownBox& box = boxes.shown[0];
        const std::string m = machine.toStdString(), s = service.toStdString();
        if (running) {
            QCOMPARE(box.icon, Icon::Information);
            QCOMPARE(box.title, std::string("Running..."));
            QCOMPARE(box.text, "Service: " + s + " is Running on " + m);
        } else {
            QCOMPARE(box.icon, Icon::Exclamation);
            QCOMPARE(box.title, std::string("Not running..."));
            QCOMPARE(box.text, "Service: " + s + " is NOT Running on " + m);
        }
    }

    void doubleClickCommandWithoutEntryShowsNothing() {
        w->clientList_DblClick();
        fill({"WS1"});
        w->clientList_DblClick(); // entries, none highlighted
        QVERIFY(boxes.shown.empty());
    }
};

QTEST_MAIN(TestClientWindow)
#include "tst_clientwindow.moc"
