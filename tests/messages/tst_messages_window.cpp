// The Send button, the menu commands, the logo and the two information windows, through the
// real main window. The desktop's default handler is intercepted: nothing is really opened.
#include "RecordingNetwork.h"
#include "Version.h"
#include "clients/ClientList.h"
#include "common/AppEnv.h"
#include "common/ClientFill.h"
#include "common/Dialogs.h"
#include "common/MainWindow.h"
#include "messages/SendNetMessage.h"
#include "platform/Platform.h"
#include "platform/sim/SimNetwork.h"
#include "shell/DesktopOpen.h"
#include "shell/frmAbout.h"
#include "shell/frmGettingHelp.h"
#include "shell/frmMain.h"
#include "shell/frmProgress.h"
#include "shell/frmQuery.h"

#include <QAction>
#include <QDir>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QLabel>
#include <QListWidget>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTimer>
#include <QtTest>

#include <functional>
#include <memory>

using namespace vantrel;

namespace {

// A recording messenger that can act while a message is being sent (the run blocks there,
// just as it does on a real network call).
struct ActingNetwork : RecordingNetwork {
    std::function<void()> duringSend;
    std::uint32_t NetMessageBufferSend(const std::u16string& msgName, const std::u16string& buffer,
                                       std::uint32_t byteLength) override {
        const auto status = RecordingNetwork::NetMessageBufferSend(msgName, buffer, byteLength);
        if (duringSend) duringSend();
        return status;
    }
};

// Everything a person reads in a window: its title, then every label and text box.
QStringList visibleTexts(QWidget* window) {
    QStringList texts{window->windowTitle()};
    for (auto* l : window->findChildren<QLabel*>())
        texts << l->objectName() + "=" + l->text();
    for (auto* t : window->findChildren<QPlainTextEdit*>())
        texts << t->objectName() + "=" + t->toPlainText();
    return texts;
}

QMap<QString, QStringList> receivedMessages(const std::string& db) {
    const auto network =
        QJsonDocument::fromJson(QByteArray::fromStdString(platform::sim::dumpNetwork(db))).object();
    QMap<QString, QStringList> received;
    for (const auto& m : network.value("machines").toArray()) {
        QStringList texts;
        for (const auto& msg : m.toObject().value("messages").toArray())
            texts << msg.toObject().value("text").toString();
        received[m.toObject().value("name").toString()] = texts;
    }
    return received;
}

} // namespace

class tst_MessagesWindow : public QObject {
    Q_OBJECT

    QTemporaryDir dir;
    ScriptedDialogs boxes;
    std::unique_ptr<frmMain> w;
    QStringList opened;            // what the desktop was asked to open
    bool desktopHasProgram = true; // whether the desktop finds a program to open it

    void fillClients(const QStringList& names, const QList<int>& ticked) {
        simtest::fillClients(*w->clients, names, ticked);
    }
    QStringList paneLines() const { return w->textMsg->toPlainText().split('\n', Qt::SkipEmptyParts); }

    // The information window behind a menu command, found by the command's name.
    QDialog* openInformationWindow(const QString& which) {
        if (which == "about") {
            w->About->trigger();
            return w->hasAbout() ? w->about() : nullptr;
        }
        w->GettingHelpFromHalcyra->trigger();
        return w->hasGettingHelp() ? w->gettingHelp() : nullptr;
    }
    bool informationWindowLoaded(const QString& which) const {
        return which == "about" ? w->hasAbout() : w->hasGettingHelp();
    }

  private slots:
    void initTestCase() {
        QVERIFY(dir.isValid());
        platform::sim::useDatabase(dir.filePath("net.db").toStdString());
        setYieldFunction([] { QCoreApplication::processEvents(); });
        setDesktopOpener([this](const QString& target) {
            opened << target;
            return desktopHasProgram;
        });
    }
    void init() {
        platform::sim::loadNetwork(platform::sim::currentDatabasePath(), R"({
            "machines": [
                {"name": "WS001", "reachable": false},
                {"name": "WS002"},
                {"name": "WS003"}
            ]})");
        boxes.clear();
        setDialogs(&boxes);
        opened.clear();
        desktopHasProgram = true;
        setProgramDirectory(dir.path().toStdString()); // the run logs go there
        w = simtest::openMainWindow();
        QVERIFY(QTest::qWaitForWindowExposed(w.get()));
        boxes.clear();
    }
    void cleanup() {
        w.reset();
        setDialogs(nullptr);
        setProgramDirectory({});
        platform::setNetwork(nullptr);
    }
    void cleanupTestCase() {
        setYieldFunction({});
        setDesktopOpener({});
        platform::sim::useDatabase({});
    }

    // ---- Send ----

    void sendReachesTickedMachinesAndNamesTheFailed() {
        fillClients({"WS001", "WS002", "WS003"}, {0, 1});
        QTest::keyClicks(w->msgTxt, "abc");
        QTest::mouseClick(w->sendMsgBut, Qt::LeftButton);

        const auto received = receivedMessages(platform::sim::currentDatabasePath());
        QCOMPARE(received.value("WS002"), QStringList{"abc"});
        QCOMPARE(received.value("WS003"), QStringList()); // not ticked
        // The run's lines are kept in its log, which the pane names last.
        const QStringList logs = QDir(dir.path()).entryList({"_run*.log"}, QDir::Files);
        QCOMPARE(logs.size(), 1);
        const QString log = QDir(dir.path()).filePath(logs[0]);
        QCOMPARE(paneLines(),
                 (QStringList{"Run log --> " + log, "WS001:>> FAILED <<: Could not send message"}));
        QFile::remove(log);
        QVERIFY(!w->progress()->isVisible());
        QVERIFY(!w->longCommandRunning());
    }

    void nothingToSend_data() {
        QTest::addColumn<QString>("text");
        QTest::addColumn<bool>("withClients");
        QTest::newRow("empty message") << QString() << true;
        QTest::newRow("empty list") << QString("hello") << false;
    }
    void nothingToSend() {
        QFETCH(QString, text);
        QFETCH(bool, withClients);
        RecordingNetwork net;
        NetworkInstalled installed(net);
        if (withClients) fillClients({"WS002"}, {0});
        w->msgTxt->setPlainText(text);

        QTest::mouseClick(w->sendMsgBut, Qt::LeftButton);
        QVERIFY(net.sent.empty());
        QVERIFY(!w->hasProgress() || !w->progress()->isVisible());
        QVERIFY(paneLines().isEmpty());
        QVERIFY(boxes.shown.empty());
    }

    void noTickedClientShowsThenHidesProgress() {
        RecordingNetwork net;
        NetworkInstalled installed(net);
        fillClients({"WS002", "WS003"}, {});
        w->msgTxt->setPlainText("hello");
        bool progressSeen = false;
        setYieldFunction([&] {
            if (w->hasProgress() && w->progress()->isVisible()) progressSeen = true;
            QCoreApplication::processEvents();
        });

        QTest::mouseClick(w->sendMsgBut, Qt::LeftButton);
        setYieldFunction([] { QCoreApplication::processEvents(); });
        QVERIFY(progressSeen);
        QVERIFY(!w->progress()->isVisible());
        QVERIFY(net.sent.empty());
    }

    void secondClickDuringRunDoesNotStartAnother() {
        ActingNetwork net;
        NetworkInstalled installed(net);
        fillClients({"A", "B"}, {0, 1});
        w->msgTxt->setPlainText("once");
        net.duringSend = [&] { QTest::mouseClick(w->sendMsgBut, Qt::LeftButton); };

        QTest::mouseClick(w->sendMsgBut, Qt::LeftButton);
        QCOMPARE(net.sent.size(), size_t(2));
    }

    void closingDuringRunStopsItAndCloses() {
        ActingNetwork net;
        NetworkInstalled installed(net);
        fillClients({"A", "B", "C"}, {0, 1, 2});
        w->msgTxt->setPlainText("bye");
        net.duringSend = [&] {
            if (net.sent.size() == 1) w->close();
        };

        QTest::mouseClick(w->sendMsgBut, Qt::LeftButton);
        QCOMPARE(net.sent.size(), size_t(1));
        QTRY_VERIFY_WITH_TIMEOUT(!w->isVisible(), 10000);
    }

    // ---- menu commands and logo ----

    // The desktop opens the document silently; when it cannot, or the document is not there,
    // a box names the document's path so the user can open it some other way.
    void contentOpensHelpDocument_data() {
        QTest::addColumn<bool>("present");
        QTest::addColumn<bool>("program");
        QTest::addColumn<QString>("boxText"); // before the path; empty: no box
        QTest::newRow("opened") << true << true << QString();
        QTest::newRow("no program") << true << false
                                    << "No program could be found to open the help document:\r\n";
        QTest::newRow("missing") << false << true << "The help document was not found:\r\n";
    }
    void contentOpensHelpDocument() {
        QFETCH(bool, present);
        QFETCH(bool, program);
        QFETCH(QString, boxText);
        const QString programDir = dir.filePath(QTest::currentDataTag());
        const QString document = programDir + "/help/main.html";
        if (present) {
            QVERIFY(QDir().mkpath(programDir + "/help"));
            QFile file(document);
            QVERIFY(file.open(QIODevice::WriteOnly));
        }
        setProgramDirectory(programDir.toStdString());
        desktopHasProgram = program;

        w->Content->trigger();
        QCOMPARE(opened, present ? QStringList{document} : QStringList{});
        if (boxText.isEmpty()) {
            QVERIFY(boxes.shown.empty());
            return;
        }
        QCOMPARE(boxes.shown.size(), size_t(1));
        QCOMPARE(boxes.shown[0].title, std::string("Help"));
        QVERIFY(QString::fromStdString(boxes.shown[0].text).startsWith(boxText + document));
    }

    void builtHelpDocumentIsBesideTheProgram() {
        // The build copies the document where "Content" looks for it.
        const QString binDir = qEnvironmentVariable("VANTREL_BIN_DIR");
        if (binDir.isEmpty()) QSKIP("VANTREL_BIN_DIR not set");
        QFile help(binDir + "/help/main.html");
        QVERIFY(help.open(QIODevice::ReadOnly));
        QVERIFY(help.readAll().contains("<title>"));
    }

    void makersPageFromLogoAndHelpPicture() {
        QTest::mouseClick(w->logoImage, Qt::LeftButton);
        w->GettingHelpFromHalcyra->trigger();
        QTest::mouseClick(w->gettingHelp()->Image1, Qt::LeftButton);
        QCOMPARE(opened, (QStringList{VANTREL_WEB_ADDRESS, VANTREL_WEB_ADDRESS}));
        QCOMPARE(w->gettingHelp()->Image1->toolTip(), QString("Click to goto " VANTREL_WEB_ADDRESS));
        QVERIFY(boxes.shown.empty());
    }

    // ---- information windows ----

    void aboutShowsNameAndVersion() {
        w->About->trigger();
        frmAbout* about = w->about();
        QCOMPARE(about->windowTitle(), QString("About " VANTREL_APP_TITLE));
        QCOMPARE(about->mainLbl[0]->text(), QString(VANTREL_APP_TITLE));
        QCOMPARE(about->mainLbl[1]->text(), QString("Version " VANTREL_VERSION_STRING));
        QVERIFY(about->txtInfo->toPlainText().endsWith("\n\nEmail all bugs to: " VANTREL_BUG_ADDRESS "\n"));
        QCOMPARE(about->okBut->text(), QString("OK"));
    }

    void helpContactTexts() {
        w->GettingHelpFromHalcyra->trigger();
        frmGettingHelp* help = w->gettingHelp();
        QVERIFY(help->windowTitle().startsWith("Getting Help From " VANTREL_MAKER));
        QVERIFY(
            help->lblMain[0]->text().startsWith(VANTREL_APP_TITLE " is provided as-is and free of charge "));
        QVERIFY(help->lblMain[3]->text().endsWith("services, contact: "));
        const QStringList contact = help->lblMain[1]->text().split('\n');
        QCOMPARE(contact.size(), 2);
        QCOMPARE(contact[0], QString("Email: " VANTREL_CONTACT_ADDRESS));
        QVERIFY(contact[1].startsWith("Phone: "));
        QCOMPARE(help->lblMain[2]->text(), QString("Submit bugs to: " VANTREL_BUG_ADDRESS));
    }

    void informationWindowLifecycle_data() {
        QTest::addColumn<QString>("which");
        QTest::addColumn<QString>("okName");
        QTest::newRow("about") << "about"
                               << "okBut";
        QTest::newRow("getting help") << "help"
                                      << "Command1";
    }
    void informationWindowLifecycle() {
        QFETCH(QString, which);
        QFETCH(QString, okName);

        QPointer<QDialog> first = openInformationWindow(which);
        QVERIFY(first);
        QVERIFY(first->isVisible());
        // Modal: the main window takes no input while it shows.
        QCOMPARE(first->windowModality(), Qt::ApplicationModal);
        QCOMPARE(QApplication::activeModalWidget(), first.data());
        const QStringList texts = visibleTexts(first);
        QVERIFY(!texts.join('|').contains("<label>"));

        // OK hides and keeps it loaded: the same window comes back with the same texts.
        QTest::mouseClick(first->findChild<QPushButton*>(okName), Qt::LeftButton);
        QVERIFY(!first->isVisible());
        QVERIFY(informationWindowLoaded(which));
        QCOMPARE(openInformationWindow(which), first.data());
        QVERIFY(first->isVisible());
        QCOMPARE(visibleTexts(first), texts);

        // The close box unloads it: the next command loads a new one, again with the same texts.
        first->close();
        QTRY_VERIFY(first.isNull());
        QVERIFY(!informationWindowLoaded(which));
        QDialog* second = openInformationWindow(which);
        QVERIFY(second && second->isVisible());
        QCOMPARE(visibleTexts(second), texts);
        second->close();
    }

    // ---- closing ----

    void closingMainWindowEndsProgram_data() {
        QTest::addColumn<QString>("open");
        QTest::newRow("summary window open") << "summary";
        QTest::newRow("about window open") << "about";
    }
    void closingMainWindowEndsProgram() {
        QFETCH(QString, open);
        QPointer<QWidget> other;
        if (open == "summary") {
            w->query()->show();
            other = w->query();
        } else {
            w->About->trigger();
            other = w->about();
        }
        QVERIFY(other->isVisible());

        // The program's event loop ends when its last window closes; a deadline stands in for a
        // program that would never end.
        bool deadlinePassed = false;
        QTimer::singleShot(0, w.get(), [this] { w->Exit->trigger(); });
        QTimer deadline;
        deadline.setSingleShot(true);
        connect(&deadline, &QTimer::timeout, [&] {
            deadlinePassed = true;
            QCoreApplication::exit(1);
        });
        deadline.start(20000);
        QCOMPARE(QApplication::exec(), 0);
        QVERIFY(!deadlinePassed);
        QVERIFY(!w->isVisible());
        QVERIFY(other.isNull() || !other->isVisible());
    }
};

QTEST_MAIN(tst_MessagesWindow)
#include "tst_messages_window.moc"
