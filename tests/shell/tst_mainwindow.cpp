// The main window as a user meets it: its state after start-up, where every control sits, the
// tab order, the page switch, the action-type and masking rules.
#include "Version.h"
#include "common/AppEnv.h"
#include "common/Dialogs.h"
#include "shell/FormKit.h"
#include "shell/ShellWidgets.h"
#include "shell/frmMain.h"
#include "shell/modMain.h"

#include <QAction>
#include <QCheckBox>
#include <QClipboard>
#include <QComboBox>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QMenu>
#include <QMenuBar>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QSet>
#include <QTemporaryDir>
#include <QToolButton>
#include <QWheelEvent>
#include <QtTest>

#include <memory>

using vantrel::form::twipsRect;

class tst_MainWindow : public QObject {
    Q_OBJECT

    vantrel::ScriptedDialogs boxes;
    std::unique_ptr<frmMain> w;
    QTemporaryDir config; // the window's stored size goes here, not into the user's settings

    template <typename T = QWidget> T* control(const char* name) {
        auto* c = w->findChild<T*>(QLatin1String(name));
        if (!c) qFatal("no control named %s", name);
        return c;
    }

  private slots:
    void initTestCase() {
        QVERIFY(config.isValid());
        qputenv("XDG_CONFIG_HOME", config.path().toUtf8());
        vantrel::setDialogs(&boxes);
        vantrel::setYieldFunction([] { QCoreApplication::processEvents(); });
    }
    void cleanupTestCase() {
        vantrel::setYieldFunction({});
        vantrel::setDialogs(nullptr);
    }
    void init() {
        boxes.clear();
        w.reset(vantrel::Main([] { return false; }));
        QVERIFY(w);
    }
    void cleanup() { w.reset(); }

    void startupState() {
        QCOMPARE(w->windowTitle(), QStringLiteral("Vantrel - " VANTREL_WEB_ADDRESS " - ") +
                                       QStringLiteral(VANTREL_VERSION_STRING));
        QVERIFY(w->isVisible());
        QVERIFY(boxes.shown.empty());

        // Service page up, registry page down, the switch pointing forward.
        QVERIFY(w->serviceInfoFrame->isVisible());
        QVERIFY(!w->frameRegistry->isVisible());
        QCOMPARE(w->changeQueryMethodBut->text(), QStringLiteral("8"));
        QCOMPARE(w->changeQueryMethodBut->toolTip(), QStringLiteral("Switch to Registry Query/Update page"));

        QCOMPARE(w->searchCriteriaCombo->count(), 11);
        QCOMPARE(w->searchCriteriaCombo->currentIndex(), 0);
        QCOMPARE(w->searchCriteriaCombo->currentText(), QStringLiteral("<Select_Client_Search_Criteria>"));
        QCOMPARE(w->searchCriteriaCombo->itemText(1), QString(33, u'-'));
        QCOMPARE(w->searchCriteriaCombo->itemText(4), QString(33, u'-'));
        QCOMPARE(w->searchCriteriaCombo->itemText(10), QStringLiteral("Backup Domain Controllers"));

        QCOMPARE(w->actionTypeCombo->currentText(), QStringLiteral("update"));
        QCOMPARE(w->actionTypeCombo->count(), 4);
        QCOMPARE(w->actionTypeCombo->itemText(3), QStringLiteral("survey"));
        QCOMPARE(w->serviceNameCombo->currentText(), QStringLiteral("Albd"));
        QCOMPARE(w->removeSettingCombo->currentText(), QStringLiteral("Find"));
        QCOMPARE(w->queryRegRootKeyValueCombo->currentText(), QStringLiteral("HKLM"));
        QCOMPARE(w->quickQueryActionCombo->currentText(), QStringLiteral("QUERY"));
        QCOMPARE(w->queryRegKeyValueCombo->currentIndex(), -1);
        QCOMPARE(w->queryRegKeyValueCombo->currentText(), QStringLiteral("<enter_reg_key_to_query>"));
        QCOMPARE(w->queryRegKeyValueCombo->count(), 5);
        QCOMPARE(w->queryRegSubKeyValueCombo->currentText(), QStringLiteral("<subkey_value>"));
        QVERIFY(w->quickQueryRegValueTxt->isHidden());

        QCOMPARE(w->clientList->count(), 0);
        QCOMPARE(w->clientsFoundLbl->text(), QStringLiteral("0"));
        QCOMPARE(w->clientListLbl->text(), QStringLiteral("Current Client Systems: Found"));
        QVERIFY(w->textMsg->toPlainText().isEmpty());
        QVERIFY(w->msgTxt->toPlainText().isEmpty());

        // The "Find" selection at load readies the pattern box and names the button.
        QVERIFY(w->patternTxt->isEnabled());
        QCOMPARE(w->patternTxt->text(), QStringLiteral("<enter_pattern_here>"));
        QCOMPARE(w->removeBut->text(), QStringLiteral("Do Find"));
        QVERIFY(!w->removeBut->isEnabled());

        QVERIFY(!w->checkboxUseActiveDirectory->isChecked());
        QVERIFY(!w->cbEnableLogonAsService->isChecked());
        QVERIFY(w->maskPwdCB->isChecked());
        QVERIFY(w->checkboxStopStartService->isChecked());
        QVERIFY(w->checkboxWaitForService->isChecked());
        QCOMPARE(w->serviceAccountTxt->text(), QStringLiteral("<Domain\\LoginName>"));
        QVERIFY(w->serviceAccountTxt->isEnabled());
        QVERIFY(w->passwdTxt->text().isEmpty());
        QCOMPARE(w->passwdTxt->echoMode(), QLineEdit::Password);
        QCOMPARE(w->frameRegistry->title(), QStringLiteral("Registry Query / Update "));

        QVERIFY(QTest::qWaitForWindowActive(w.get()));
        QTRY_COMPARE(QApplication::focusWidget(), static_cast<QWidget*>(w->searchCriteriaCombo));
    }

    // Designed size at first, centred; it may grow (never shrink below that), and the size it
    // is closed with is the size it opens with next time, maximised or not.
    void windowFrame() {
        QCOMPARE(w->centralWidget()->size(), QSize(710, 504));
        QCOMPARE(w->centralWidget()->y(), w->menuBar()->height());
        QCOMPARE(w->minimumSize(), w->size());
        QVERIFY(w->maximumSize().width() > 2000);
        QVERIFY(w->windowFlags() & Qt::WindowMaximizeButtonHint);
        QVERIFY(!w->windowIcon().isNull());
        // Centred on its screen when first shown.
        const QRect screen = w->screen()->availableGeometry();
        QVERIFY(qAbs(w->geometry().center().x() - screen.center().x()) <= 1);
        QVERIFY(qAbs(w->geometry().center().y() - screen.center().y()) <= 1);

        const QSize larger = w->size() + QSize(60, 40); // within the test screen of 800 x 600
        w->resize(larger);
        QTRY_COMPARE(w->size(), larger);
        QVERIFY(w->close());
        w.reset(vantrel::Main([] { return false; }));
        QCOMPARE(w->size(), larger);
        QTRY_COMPARE(w->centralWidget()->size(), QSize(710 + 60, 504 + 40));
        w->showMaximized();
        QTRY_VERIFY(w->isMaximized());
        QVERIFY(w->close());
        w.reset(vantrel::Main([] { return false; }));
        QTRY_VERIFY(w->isMaximized());
        w->showNormal();
        QTRY_COMPARE(w->size(), larger);
        // Back to the designed size for the next case.
        w->resize(w->minimumSize());
        QTRY_COMPARE(w->centralWidget()->size(), QSize(710, 504));
        QVERIFY(w->close());
    }

    // At the designed size every control is at its designed place. Enlarged by 300 x 200
    // pixels, the list and the pane take the room (the list and the pane 100 pixels of height
    // each), the frames move beside the list, the row under the list stays under it
    // ("grown": the move and the growth in pixels); back at the designed size all is as it was.
    void controlGeometry_data() {
        QTest::addColumn<QString>("name");
        QTest::addColumn<QRect>("twips");
        QTest::addColumn<QRect>("grown");
        const struct {
            const char* name;
            int l, t, wd, h;
        } table[] = {
            {"Label1", -120, 0, 10932, 852},
            {"logoImage", 1800, 120, 9225, 600},
            {"clientListLbl", 360, 960, 2652, 252},
            {"clientsFoundLbl", 3120, 960, 852, 252},
            {"searchCriteriaCombo", 360, 1200, 3255, 288},
            {"butAddClient", 120, 1560, 252, 252},
            {"butDeletedItem", 120, 1920, 252, 252},
            {"clientList", 360, 1560, 3252, 4560},
            {"selectAllBut", 360, 6240, 975, 252},
            {"clearAllBut", 1320, 6240, 975, 252},
            {"butRefresh", 2280, 6240, 855, 252},
            {"removeSettingCombo", 3240, 6240, 1575, 315},
            {"patternTxt", 4800, 6240, 1932, 285},
            {"removeBut", 6720, 6240, 1092, 252},
            {"textMsg", 360, 6600, 9972, 852},
            {"sendMsgFrame", 3840, 1080, 6495, 1455},
            {"msgTxt", 120, 240, 4932, 1095},
            {"sendMsgBut", 5160, 600, 1095, 495},
            {"changeQueryMethodBut", 9960, 2640, 375, 255},
            {"serviceInfoFrame", 3840, 2640, 6495, 3495},
            {"checkboxUseActiveDirectory", 360, 360, 3372, 252},
            {"cbEnableLogonAsService", 2760, 360, 2775, 255},
            {"serviceNameLbl", 360, 720, 1332, 252},
            {"serviceNameCombo", 360, 960, 2652, 288},
            {"actionTypeLbl", 3240, 720, 1212, 252},
            {"actionTypeCombo", 3240, 960, 1575, 288},
            {"serviceAccountLbl", 360, 1440, 1332, 252},
            {"serviceAccountTxt", 1680, 1440, 3132, 285},
            {"passwdLbl", 360, 1800, 852, 252},
            {"passwdTxt", 1680, 1800, 3132, 285},
            {"maskPwdCB", 4920, 1800, 1092, 372},
            {"checkboxStopStartService", 360, 2280, 2052, 372},
            {"checkboxWaitForService", 2640, 2280, 2172, 372},
            {"executeBut", 5040, 2520, 1212, 612},
            {"frameRegistry", 3840, 2640, 6495, 3495},
            {"quickQueryLbl_0", 120, 600, 615, 255},
            {"quickQueryActionCombo", 840, 600, 1215, 315},
            {"quickQueryLbl_1", 120, 960, 735, 255},
            {"queryRegRootKeyValueCombo", 840, 960, 1215, 315},
            {"queryRegKeyValueCombo", 2040, 960, 4215, 315},
            {"queryRegSubKeyValueCombo", 2040, 1320, 2295, 315},
            {"quickQueryRegValueTxt", 4320, 1320, 1935, 285},
            {"quickQueryBut", 5040, 1800, 1215, 615},
        };
        const QMap<QString, QRect> grown = {
            {"Label1", {0, 0, 300, 0}},
            {"clientList", {0, 0, 300, 100}},
            {"selectAllBut", {0, 100, 0, 0}},
            {"clearAllBut", {0, 100, 0, 0}},
            {"butRefresh", {0, 100, 0, 0}},
            {"removeSettingCombo", {0, 100, 0, 0}},
            {"patternTxt", {0, 100, 0, 0}},
            {"removeBut", {0, 100, 0, 0}},
            {"textMsg", {0, 100, 300, 100}},
            {"sendMsgFrame", {300, 0, 0, 0}},
            {"changeQueryMethodBut", {300, 0, 0, 0}},
            {"serviceInfoFrame", {300, 0, 0, 0}},
            {"frameRegistry", {300, 0, 0, 0}},
        };
        for (const auto& row : table)
            QTest::newRow(row.name) << QString::fromLatin1(row.name) << QRect(row.l, row.t, row.wd, row.h)
                                    << grown.value(QString::fromLatin1(row.name), QRect(0, 0, 0, 0));
    }
    void controlGeometry() {
        QFETCH(QString, name);
        QFETCH(QRect, twips);
        QFETCH(QRect, grown);
        QWidget* c = w->findChild<QWidget*>(name);
        QVERIFY2(c, qPrintable(name));
        const QRect designed = twipsRect(twips.x(), twips.y(), twips.width(), twips.height());
        QCOMPARE(c->geometry(), designed);
        const QSize first = w->size();
        w->resize(first + QSize(300, 200));
        QTRY_COMPARE(w->centralWidget()->size(), QSize(1010, 704));
        QCOMPARE(c->geometry(),
                 designed.translated(grown.x(), grown.y()).adjusted(0, 0, grown.width(), grown.height()));
        w->resize(first);
        QTRY_COMPARE(w->centralWidget()->size(), QSize(710, 504));
        QCOMPARE(c->geometry(), designed);
        // Rounded, not truncated: 852 twips are 57 pixels.
        QCOMPARE(vantrel::form::twips(852), 57);
        QCOMPARE(vantrel::form::twips(-120), -8);
    }

    void captionsAndTooltips() {
        // A sample of the texts a typo would silently change.
        QCOMPARE(control<QGroupBox>("sendMsgFrame")->title(),
                 QStringLiteral("Send Message to Selected Client(s):"));
        QCOMPARE(control<QGroupBox>("serviceInfoFrame")->title(), QStringLiteral("Modify ALBD Service"));
        QCOMPARE(control<QLabel>("serviceAccountLbl")->text(), QStringLiteral("Service Account: "));
        QCOMPARE(w->serviceNameCombo->toolTip(),
                 QStringLiteral("Service name (e.g., Albd).  Service name is case sensitive"));
        QCOMPARE(w->serviceAccountTxt->toolTip(),
                 QStringLiteral("Enter the service account (e.g., <Domain>\\<account>)"));
        QCOMPARE(w->logoImage->toolTip(), QStringLiteral("Goto " VANTREL_WEB_ADDRESS));
        // It tests the connection and changes no machine: the tip must not read as a setting
        // that real updates need.
        QVERIFY(w->checkboxUseActiveDirectory->toolTip().startsWith(
            QStringLiteral("Connection test against the directory")));
        QCOMPARE(w->clientList->toolTip(), QStringLiteral("Double click to client to get query information"));
        QVERIFY(w->actionTypeCombo->toolTip().contains(QStringLiteral("Default is config. survey = ")));
        QVERIFY(w->clientListLbl->font().bold());
        QVERIFY(w->sendMsgFrame->font().bold());
        QVERIFY(!w->sendMsgBut->font().bold());
        QVERIFY(!w->checkboxWaitForService->font().bold());
        QCOMPARE(w->clientsFoundLbl->palette().color(QPalette::WindowText), QColor(0, 0, 128));
        QCOMPARE(w->checkboxUseActiveDirectory->palette().color(QPalette::WindowText), QColor(0, 0, 255));
        QCOMPARE(w->textMsg->palette().color(QPalette::Base), QColor(255, 255, 192));
        QCOMPARE(w->changeQueryMethodBut->palette().color(QPalette::Button), QColor(0, 192, 0));
    }

    void menus() {
        QStringList bar;
        for (QAction* a : w->menuBar()->actions())
            bar << a->text();
        QCOMPARE(bar, (QStringList{"&File", "&Options", "&Help"}));
        QStringList file, options, help;
        for (QAction* a : w->File->actions())
            file << (a->isSeparator() ? QStringLiteral("-") : a->text());
        for (QAction* a : w->Options->actions())
            options << a->text();
        for (QAction* a : w->help->actions())
            help << (a->isSeparator() ? QStringLiteral("-") : a->text());
        QCOMPARE(file, (QStringList{"-", "E&xit"}));
        QCOMPARE(options, (QStringList{"&Machines at Once..."}));
        QCOMPARE(help, (QStringList{"&Getting Help From Halcyra", "-", "&Content", "-", "&About"}));
        // Every item has its own access key within its menu, and no shortcut.
        for (QMenu* m : {w->File, w->Options, w->help}) {
            QSet<QKeySequence> keys;
            for (QAction* a : m->actions()) {
                if (a->isSeparator()) continue;
                const QKeySequence key = QKeySequence::mnemonic(a->text());
                QVERIFY2(!key.isEmpty() && !keys.contains(key), qPrintable(a->text()));
                keys << key;
                QVERIFY(a->shortcut().isEmpty());
            }
        }
        QCOMPARE(w->sep10->objectName(), QStringLiteral("sep10"));

        // Alt+O opens the Options menu; its access key runs the item.
        QVERIFY(QTest::qWaitForWindowActive(w.get()));
        QTest::keyClick(w.get(), Qt::Key_O, Qt::AltModifier);
        QTRY_VERIFY(w->Options->isVisible());
        QTest::keyClick(w->Options, Qt::Key_M);
        QTRY_COMPARE(boxes.shown.size(), size_t(1));
        QCOMPARE(boxes.shown[0].kind, vantrel::ShownBox::Kind::Number);
        QVERIFY(!w->Options->isVisible());
    }

    // Enter on a focused button presses it, as Space does.
    void enterPressesTheFocusedButton() {
        QVERIFY(QTest::qWaitForWindowActive(w.get()));
        w->changeQueryMethodBut->setFocus();
        QTest::keyClick(w->changeQueryMethodBut, Qt::Key_Return);
        QVERIFY(w->frameRegistry->isVisible());
        w->butAddClient->setFocus();
        QTest::keyClick(w->butAddClient, Qt::Key_Enter, Qt::KeypadModifier);
        QCOMPARE(boxes.shown.size(), size_t(1)); // the add-client prompt, cancelled
        QCOMPARE(boxes.shown[0].kind, vantrel::ShownBox::Kind::Input);
    }

    // The pane is the record of what happened: selectable and copyable, not editable.
    void messagePaneIsReadOnly() {
        w->SetMsg(QStringLiteral("DELETE: WS001"));
        const QString before = w->textMsg->toPlainText();
        w->textMsg->setFocus();
        QTest::keyClick(w->textMsg, Qt::Key_A, Qt::ControlModifier);
        QTest::keyClick(w->textMsg, Qt::Key_C, Qt::ControlModifier);
        QVERIFY(QApplication::clipboard()->text().startsWith(QStringLiteral("DELETE: WS001")));
        for (auto [key, modifiers] : {std::pair{Qt::Key_X, Qt::ControlModifier},
                                      {Qt::Key_Delete, Qt::NoModifier},
                                      {Qt::Key_Backspace, Qt::NoModifier},
                                      {Qt::Key_V, Qt::ControlModifier}})
            QTest::keyClick(w->textMsg, key, modifiers);
        QTest::keyClicks(w->textMsg, QStringLiteral("typed"));
        QCOMPARE(w->textMsg->toPlainText(), before);
    }

    // Clicking or tabbing into the account box while it shows its placeholder selects it, so
    // typing replaces it; a name already typed is not selected by a click.
    void accountPlaceholderIsReplacedByTyping_data() {
        QTest::addColumn<bool>("byTab");
        QTest::newRow("click") << false;
        QTest::newRow("tab") << true;
    }
    void accountPlaceholderIsReplacedByTyping() {
        QFETCH(bool, byTab);
        QVERIFY(QTest::qWaitForWindowActive(w.get()));
        QLineEdit* account = w->serviceAccountTxt;
        if (byTab) {
            w->actionTypeCombo->setFocus();
            QTest::keyClick(w->actionTypeCombo, Qt::Key_Tab);
            QTRY_VERIFY(account->hasFocus());
        } else {
            QTest::mouseClick(account, Qt::LeftButton, {},
                              QPoint(account->width() / 2, account->height() / 2));
        }
        QCOMPARE(account->selectedText(), QStringLiteral("<Domain\\LoginName>"));
        QTest::keyClicks(account, QStringLiteral("CORP\\svc"));
        QCOMPARE(account->text(), QStringLiteral("CORP\\svc"));
        QTest::mouseClick(account, Qt::LeftButton, {}, QPoint(account->width() / 2, account->height() / 2));
        QVERIFY(!account->hasSelectedText());
    }

    void tabOrder() {
        const QStringList expected = {"searchCriteriaCombo",
                                      "butAddClient",
                                      "butDeletedItem",
                                      "clientList",
                                      "msgTxt",
                                      "sendMsgBut",
                                      "checkboxUseActiveDirectory",
                                      "serviceNameCombo",
                                      "actionTypeCombo",
                                      "serviceAccountTxt",
                                      "passwdTxt",
                                      "maskPwdCB",
                                      "checkboxStopStartService",
                                      "checkboxWaitForService",
                                      "executeBut",
                                      "selectAllBut",
                                      "clearAllBut",
                                      "removeBut",
                                      "removeSettingCombo",
                                      "patternTxt",
                                      "textMsg",
                                      "changeQueryMethodBut",
                                      "quickQueryRegValueTxt",
                                      "quickQueryActionCombo",
                                      "quickQueryBut",
                                      "queryRegKeyValueCombo",
                                      "queryRegRootKeyValueCombo",
                                      "queryRegSubKeyValueCombo",
                                      "butRefresh",
                                      "cbEnableLogonAsService"};
        QStringList chain;
        QWidget* at = w->searchCriteriaCombo;
        do {
            if (expected.contains(at->objectName()) && !chain.contains(at->objectName()))
                chain << at->objectName();
            at = at->nextInFocusChain();
        } while (at != w->searchCriteriaCombo);
        QCOMPARE(chain, expected);

        // Tab skips what is hidden or disabled: from the pattern box the registry page is away,
        // so the next stop after the message pane is the page button.
        w->textMsg->setFocus();
        QTRY_VERIFY(w->textMsg->hasFocus());
        QTest::keyClick(w->textMsg, Qt::Key_Tab);
        QTRY_COMPARE(QApplication::focusWidget(), static_cast<QWidget*>(w->changeQueryMethodBut));
        QTest::keyClick(w->changeQueryMethodBut, Qt::Key_Tab);
        QTRY_COMPARE(QApplication::focusWidget(), static_cast<QWidget*>(w->butRefresh));
    }

    void pageSwitchTwice() {
        w->serviceAccountTxt->setText(QStringLiteral("CORP\\svc_albd"));
        w->checkboxUseActiveDirectory->setChecked(true);
        w->queryRegSubKeyValueCombo->setEditText(QStringLiteral("LicenseHost"));

        QTest::mouseClick(w->changeQueryMethodBut, Qt::LeftButton);
        QVERIFY(!w->serviceInfoFrame->isVisible());
        QVERIFY(w->frameRegistry->isVisible());
        QCOMPARE(w->changeQueryMethodBut->text(), QStringLiteral("7"));
        QCOMPARE(w->changeQueryMethodBut->toolTip(), QStringLiteral("Switch to Modify ALBD Service page"));
        QVERIFY(w->changeQueryMethodBut->isVisible());

        QTest::mouseClick(w->changeQueryMethodBut, Qt::LeftButton);
        QVERIFY(w->serviceInfoFrame->isVisible());
        QVERIFY(!w->frameRegistry->isVisible());
        QCOMPARE(w->changeQueryMethodBut->text(), QStringLiteral("8"));
        QCOMPARE(w->changeQueryMethodBut->toolTip(), QStringLiteral("Switch to Registry Update/Modify page"));

        // Nothing else changed on either page.
        QCOMPARE(w->serviceAccountTxt->text(), QStringLiteral("CORP\\svc_albd"));
        QVERIFY(w->checkboxUseActiveDirectory->isChecked());
        QCOMPARE(w->queryRegSubKeyValueCombo->currentText(), QStringLiteral("LicenseHost"));
        QCOMPARE(w->actionTypeCombo->currentText(), QStringLiteral("update"));
    }

    void pageButtonDrawsArrows() {
        // Without the symbol font the caption stays the glyph's letter and an arrow is painted;
        // the two arrows point opposite ways.
        if (vantrel::ArrowButton::webdingsAvailable()) QSKIP("the symbol font draws the arrows itself");
        // Dark pixels inside the bevel; a triangle's mass lies towards its flat side.
        auto inkCentre = [this] {
            const QImage img = w->changeQueryMethodBut->grab().toImage();
            double sum = 0;
            int count = 0;
            for (int y = 3; y < img.height() - 3; ++y)
                for (int x = 3; x < img.width() - 3; ++x)
                    if (qGray(img.pixel(x, y)) < 60) {
                        sum += x;
                        ++count;
                    }
            return count ? sum / count : -1.0;
        };
        const double forward = inkCentre();
        QVERIFY2(forward >= 0, "no arrow drawn for \"8\"");
        w->changeQueryMethodBut_Click();
        QCOMPARE(w->changeQueryMethodBut->text(), QStringLiteral("7"));
        const double backward = inkCentre();
        QVERIFY2(backward >= 0, "no arrow drawn for \"7\"");
        QVERIFY(forward < backward);
    }

    void actionTypeGreying_data() {
        QTest::addColumn<QString>("action");
        QTest::newRow("start") << QStringLiteral("start");
        QTest::newRow("stop") << QStringLiteral("stop");
    }
    void actionTypeGreying() {
        QFETCH(QString, action);
        const QColor windowColour = QApplication::palette().color(QPalette::Base);
        const QColor buttonFace = QApplication::palette().color(QPalette::Button);
        w->serviceAccountTxt->setText(QStringLiteral("CORP\\svc_albd"));
        w->passwdTxt->setText(QStringLiteral("N3w!pass"));
        w->maskPwdCB->setChecked(false);
        w->maskPwdCB_Click();
        w->checkboxStopStartService->setChecked(false);

        w->actionTypeCombo->setCurrentIndex(w->actionTypeCombo->findText(action));
        for (QWidget* c : std::initializer_list<QWidget*>{w->serviceAccountTxt, w->passwdTxt,
                                                          w->checkboxStopStartService, w->maskPwdCB})
            QVERIFY2(!c->isEnabled(), qPrintable(c->objectName()));
        for (QWidget* c :
             std::initializer_list<QWidget*>{w->cbEnableLogonAsService, w->checkboxUseActiveDirectory,
                                             w->checkboxWaitForService, w->serviceNameCombo, w->executeBut})
            QVERIFY2(c->isEnabled(), qPrintable(c->objectName()));
        QCOMPARE(w->serviceAccountTxt->palette().color(QPalette::Base), buttonFace);
        QCOMPARE(w->passwdTxt->palette().color(QPalette::Base), buttonFace);
        // Contents and check marks stay as they were.
        QCOMPARE(w->serviceAccountTxt->text(), QStringLiteral("CORP\\svc_albd"));
        QCOMPARE(w->passwdTxt->text(), QStringLiteral("N3w!pass"));
        QVERIFY(!w->maskPwdCB->isChecked());
        QVERIFY(!w->checkboxStopStartService->isChecked());
        QVERIFY(w->checkboxWaitForService->isChecked());

        w->actionTypeCombo->setCurrentIndex(w->actionTypeCombo->findText(QStringLiteral("update")));
        for (QWidget* c : std::initializer_list<QWidget*>{w->serviceAccountTxt, w->passwdTxt,
                                                          w->checkboxStopStartService, w->maskPwdCB})
            QVERIFY2(c->isEnabled(), qPrintable(c->objectName()));
        QCOMPARE(w->serviceAccountTxt->palette().color(QPalette::Base), windowColour);
        QCOMPARE(w->passwdTxt->palette().color(QPalette::Base), windowColour);
        QCOMPARE(w->serviceAccountTxt->text(), QStringLiteral("CORP\\svc_albd"));
        QCOMPARE(w->passwdTxt->text(), QStringLiteral("N3w!pass"));
        QCOMPARE(w->passwdTxt->echoMode(), QLineEdit::Normal);
    }

    void passwordMasking() {
        w->passwdTxt->setFocus();
        QTest::keyClicks(w->passwdTxt, QStringLiteral("s3cret"));
        QCOMPARE(w->passwdTxt->text(), QStringLiteral("s3cret"));
        QCOMPARE(w->passwdTxt->displayText(), QStringLiteral("******"));

        QTest::mouseClick(w->maskPwdCB, Qt::LeftButton);
        QVERIFY(!w->maskPwdCB->isChecked());
        QCOMPARE(w->passwdTxt->displayText(), QStringLiteral("s3cret"));

        QTest::mouseClick(w->maskPwdCB, Qt::LeftButton);
        QVERIFY(w->maskPwdCB->isChecked());
        QCOMPARE(w->passwdTxt->displayText(), QStringLiteral("******"));
        QCOMPARE(w->passwdTxt->text(), QStringLiteral("s3cret"));

        // While the action is not "update" the box cannot be clicked and keeps its state.
        w->actionTypeCombo->setCurrentIndex(1);
        QTest::mouseClick(w->maskPwdCB, Qt::LeftButton);
        QVERIFY(w->maskPwdCB->isChecked());
        QCOMPARE(w->passwdTxt->echoMode(), QLineEdit::Password);
    }

    void wrappedCheckBoxClicksOnItsSecondLine() {
        // The two-line check boxes take a click anywhere on their caption.
        QCheckBox* box = w->checkboxWaitForService;
        QTest::mouseClick(box, Qt::LeftButton, {}, QPoint(box->width() - 4, box->height() - 3));
        QVERIFY(!box->isChecked());
    }

    void activeDirectoryBoxOnlyToggles() {
        QTest::mouseClick(w->checkboxUseActiveDirectory, Qt::LeftButton);
        QVERIFY(w->checkboxUseActiveDirectory->isChecked());
        QVERIFY(w->textMsg->toPlainText().isEmpty());
        QVERIFY(boxes.shown.empty());
        QCOMPARE(w->actionTypeCombo->currentText(), QStringLiteral("update"));
    }

    // The wheel over a combo box without the focus changes nothing: two notches over the
    // search criteria once reached "ClearCase Clients Only" and its prompt. With the focus the
    // wheel works as usual.
    void wheelNeedsTheFocus() {
        const auto wheel = [](QComboBox* combo) {
            QWheelEvent down(QPointF(5, 5), combo->mapToGlobal(QPointF(5, 5)), QPoint(), QPoint(0, -120),
                             Qt::NoButton, Qt::NoModifier, Qt::NoScrollPhase, false);
            QApplication::sendEvent(combo, &down);
        };
        w->executeBut->setFocus();
        QTRY_VERIFY(w->executeBut->hasFocus());
        const QList<QComboBox*> combos = w->findChildren<QComboBox*>();
        QCOMPARE(combos.size(), 8);
        for (QComboBox* combo : combos) {
            const int before = combo->currentIndex();
            wheel(combo);
            wheel(combo);
            QVERIFY2(combo->currentIndex() == before, qPrintable(combo->objectName()));
        }
        QVERIFY(boxes.shown.empty());

        w->actionTypeCombo->setFocus();
        QTRY_VERIFY(w->actionTypeCombo->hasFocus());
        wheel(w->actionTypeCombo);
        QCOMPARE(w->actionTypeCombo->currentText(), QStringLiteral("start"));
    }

    // Stepping through the closed list-source box (arrows, a letter, the wheel) only moves its
    // selection: passing "ClearCase Clients Only" asked for a server. Enter, or a choice in
    // the open list, runs the source shown.
    void listSourceRunsOnlyWhenChosen() {
        QVERIFY(QTest::qWaitForWindowActive(w.get()));
        QComboBox* sources = w->searchCriteriaCombo;
        sources->setFocus();
        QTRY_VERIFY(sources->hasFocus());
        QTest::keyClick(sources, Qt::Key_Down); // over the divider, which cannot be chosen
        QCOMPARE(sources->currentText(), QStringLiteral("ClearCase Clients Only"));
        QTest::keyClick(sources, Qt::Key_End);
        QTest::keyClick(sources, Qt::Key_C);
        QCOMPARE(sources->currentText(), QStringLiteral("ClearCase Clients Only"));
        QWheelEvent down(QPointF(5, 5), sources->mapToGlobal(QPointF(5, 5)), QPoint(), QPoint(0, -120),
                         Qt::NoButton, Qt::NoModifier, Qt::NoScrollPhase, false);
        QApplication::sendEvent(sources, &down);
        QCOMPARE(sources->currentText(), QStringLiteral("Load from File"));
        QTest::keyClick(sources, Qt::Key_Up);
        QVERIFY(boxes.shown.empty());

        QTest::keyClick(sources, Qt::Key_Return);
        QCOMPARE(boxes.shown.size(), size_t(1));
        QCOMPARE(boxes.shown[0].title, std::string("Enter Hostname"));

        // The open list: its current entry chosen with Enter.
        sources->showPopup();
        QTRY_VERIFY(sources->view()->isVisible());
        QTest::keyClick(sources->view(), Qt::Key_Return);
        QTRY_COMPARE(boxes.shown.size(), size_t(2));
        QVERIFY(!sources->view()->isVisible());
    }

    // A click that another running command makes the window refuse says so in the pane.
    void refusedClickIsReported() {
        w->msgTxt->setPlainText(QStringLiteral("hi"));
        frmMain::LongCommand busy(*w);
        QVERIFY(bool(busy));
        w->executeBut->click();
        w->sendMsgBut->click();
        w->quickQueryBut->click();
        const int allSystems = w->searchCriteriaCombo->findText(QStringLiteral("All Systems"));
        w->searchCriteriaCombo->setCurrentIndex(allSystems);
        emit w->searchCriteriaCombo->activated(allSystems);
        const QStringList lines = w->textMsg->toPlainText().split(QLatin1Char('\n'), Qt::SkipEmptyParts);
        QCOMPARE(lines, QStringList(4, frmMain::CommandStillRunningLine));
        QVERIFY(boxes.shown.empty());
    }
};

QTEST_MAIN(tst_MainWindow)
#include "tst_mainwindow.moc"
