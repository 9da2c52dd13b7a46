// The three output facilities the commands share: the message pane, the progress window and
// the summary window.
#include "common/AppEnv.h"
#include "common/Dialogs.h"
#include "shell/FormKit.h"
#include "shell/frmMain.h"
#include "shell/frmProgress.h"
#include "shell/frmQuery.h"

#include <QLabel>
#include <QPlainTextEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QScrollBar>
#include <QTextCursor>
#include <QTextDocument>
#include <QTimer>
#include <QWindow>
#include <QtTest>

#include <memory>

using vantrel::form::textWithCrLf;

class tst_Outputs : public QObject {
    Q_OBJECT

    vantrel::ScriptedDialogs boxes;
    std::unique_ptr<frmMain> w;
    int yields = 0;

  private slots:
    void initTestCase() {
        vantrel::setDialogs(&boxes);
        vantrel::setYieldFunction([this] {
            ++yields;
            QCoreApplication::processEvents();
        });
    }
    void cleanupTestCase() {
        vantrel::setYieldFunction({});
        vantrel::setDialogs(nullptr);
    }
    void init() {
        boxes.clear();
        yields = 0;
        w = std::make_unique<frmMain>();
        w->Form_Load();
    }
    void cleanup() { w.reset(); }

    // ---- message pane ----

    void paneNewestFirst() {
        w->SetMsg(QStringLiteral("a"));
        w->SetMsg(QStringLiteral("b"));
        QCOMPARE(textWithCrLf(w->textMsg), QStringLiteral("b\r\na\r\n"));
        // A message with its own line breaks goes on top in its own order.
        w->SetMsg(QStringLiteral("x\r\ny"));
        QCOMPARE(textWithCrLf(w->textMsg), QStringLiteral("x\r\ny\r\nb\r\na\r\n"));
        // Empty messages still take their line.
        w->SetMsg(QString());
        QCOMPARE(textWithCrLf(w->textMsg), QStringLiteral("\r\nx\r\ny\r\nb\r\na\r\n"));
        QVERIFY(boxes.shown.empty());
    }

    void paneClearedWholeOver5000_data() {
        QTest::addColumn<QString>("before");
        QTest::addColumn<bool>("cleared");
        QTest::newRow("4999") << QString(4999, u'x') << false;
        QTest::newRow("exactly 5000") << QString(5000, u'x') << false;
        QTest::newRow("5001") << QString(5001, u'x') << true;
        // Line breaks count as CR LF: 4997 + 2 + 1 = 5000, and one more is over.
        QTest::newRow("5000 with a break") << QString(4997, u'x') + QStringLiteral("\r\ny") << false;
        QTest::newRow("5001 with a break") << QString(4997, u'x') + QStringLiteral("\r\nyz") << true;
        QTest::newRow("many lines")
            << QStringLiteral("0123456789abcdefghijklmnopqrstuvwxyz\r\n").repeated(140) << true;
    }
    void paneClearedWholeOver5000() {
        QFETCH(QString, before);
        QFETCH(bool, cleared);
        w->textMsg->setPlainText(before);
        QCOMPARE(textWithCrLf(w->textMsg), before);
        w->SetMsg(QStringLiteral("new"));
        QCOMPARE(textWithCrLf(w->textMsg),
                 cleared ? QStringLiteral("new\r\n") : QStringLiteral("new\r\n") + before);
    }

    void paneGrowsPastLimitUntilNextMessage() {
        // The test comes before the insertion: the pane may hold more than 5000 characters.
        for (int i = 0; i < 600; ++i)
            w->SetMsg(QStringLiteral("WS%1: UPDATED").arg(i, 3, 10, QLatin1Char('0')));
        const QString text = textWithCrLf(w->textMsg);
        QVERIFY(text.size() <= 5000 + 16);
        QVERIFY(text.startsWith(QStringLiteral("WS599: UPDATED\r\n")));
        QVERIFY(text.endsWith(QStringLiteral("\r\n")));
        // Never trimmed line by line: the oldest line kept follows the last clearing whole.
        const QStringList lines = text.split(QStringLiteral("\r\n"), Qt::SkipEmptyParts);
        for (int i = 1; i < lines.size(); ++i)
            QVERIFY(lines[i - 1] > lines[i]);
    }

    void paneShowsNewestLineAfterEachMessage() {
        // Lines go in at the top in place; the pane must still look as if its text were re-set:
        // scrolled to the top, caret at the start, nothing to undo.
        w->show();
        QVERIFY(QTest::qWaitForWindowExposed(w.get()));
        for (int i = 0; i < 60; ++i)
            w->SetMsg(QStringLiteral("line %1").arg(i));
        QScrollBar* bar = w->textMsg->verticalScrollBar();
        QVERIFY(bar->maximum() > 0);
        w->textMsg->moveCursor(QTextCursor::End);
        bar->setValue(bar->maximum());
        w->textMsg->insertPlainText(QStringLiteral("typed"));
        w->SetMsg(QStringLiteral("newest"));
        QCOMPARE(bar->value(), 0);
        QCOMPARE(w->textMsg->textCursor().position(), 0);
        QVERIFY(!w->textMsg->textCursor().hasSelection());
        QVERIFY(!w->textMsg->document()->isUndoAvailable());
        QVERIFY(textWithCrLf(w->textMsg).startsWith(QStringLiteral("newest\r\nline 59\r\n")));
        QVERIFY(textWithCrLf(w->textMsg).endsWith(QStringLiteral("line 0\r\ntyped")));
    }

    // ---- progress window ----

    void progressWindowDesign() {
        frmProgress* p = w->progress();
        QCOMPARE(w->progress(), p); // one instance
        QCOMPARE(p->windowTitle(), QStringLiteral("Working please wait..."));
        QCOMPARE(p->size(), QSize(373, 92));
        QCOMPARE(p->progressBar->minimum(), 0);
        QCOMPARE(p->progressBar->maximum(), 100);
        QCOMPARE(p->progressLbl->text(), QStringLiteral("Working..."));
        QCOMPARE(p->progressLbl->geometry(), vantrel::form::twipsRect(840, 120, 4095, 615));
        QCOMPARE(p->progressBar->geometry(), vantrel::form::twipsRect(720, 840, 4335, 255));
        QCOMPARE(p->Image1->geometry(), vantrel::form::twipsRect(240, 240, 480, 480));
        QVERIFY(p->progressLbl->font().bold());
        QVERIFY(!p->progressTimer->isActive());
        QVERIFY(!p->isVisible());
    }

    void progressStartKeepsLabelWithoutMessage() {
        frmProgress* p = w->progress();
        p->start_progress();
        QCOMPARE(p->progressLbl->text(), QStringLiteral("Working..."));
        QVERIFY(p->isVisible());
        QVERIFY(!p->isModal());
        QVERIFY(p->progressTimer->isActive());
        QCOMPARE(p->progressTimer->interval(), 10);
        p->set_msg(QStringLiteral("Getting info for --> WS001"));
        p->stop_progress();
        p->start_progress(QString());
        QCOMPARE(p->progressLbl->text(), QStringLiteral("Getting info for --> WS001"));
        p->start_progress(QStringLiteral("Sending message..."));
        QCOMPARE(p->progressLbl->text(), QStringLiteral("Sending message..."));
        p->stop_progress();
    }

    void progressCounterAcrossStopStart() {
        frmProgress* p = w->progress();
        p->start_progress(QStringLiteral("Executing please wait..."));
        for (int i = 0; i < 3; ++i)
            p->progressTimer_Timer();
        QCOMPARE(p->progressBar->value(), 3);

        p->stop_progress();
        QVERIFY(!p->isVisible());
        QVERIFY(!p->progressTimer->isActive());
        QCOMPARE(p->progressTimer->interval(), 0);
        QCOMPARE(p->progressBar->value(), 0);
        QCOMPARE(p->counter(), qint16(3));
        p->stop_progress(); // harmless while hidden

        p->start_progress();
        p->progressTimer_Timer();
        QCOMPARE(p->progressBar->value(), 4);

        // Climbs to 99, then falls to 0 and climbs again.
        while (p->counter() != 99)
            p->progressTimer_Timer();
        QCOMPARE(p->progressBar->value(), 99);
        p->progressTimer_Timer();
        QCOMPARE(p->progressBar->value(), 0);
        p->progressTimer_Timer();
        QCOMPARE(p->progressBar->value(), 1);
        p->stop_progress();
    }

    void progressTimerTicksWhileEventsRun() {
        frmProgress* p = w->progress();
        const qint16 before = p->counter();
        p->start_progress();
        QTRY_VERIFY_WITH_TIMEOUT(p->counter() != before, 5000);
        p->stop_progress();
        const qint16 stopped = p->counter();
        QTest::qWait(30);
        QCOMPARE(p->counter(), stopped);
    }

    void setMsgYieldsOnce() {
        frmProgress* p = w->progress();
        p->start_progress(QStringLiteral("Getting Client lists..."));
        bool clickHandled = false;
        // A click waiting in the queue is handled inside set_msg.
        QTimer::singleShot(0, this, [&] { clickHandled = true; });
        const int before = yields;
        p->set_msg(QStringLiteral("Getting info for --> WS002"));
        QCOMPARE(yields, before + 1);
        QVERIFY(clickHandled);
        QCOMPARE(p->progressLbl->text(), QStringLiteral("Getting info for --> WS002"));
        p->stop_progress();
    }

    // ---- summary window ----

    void summaryText() {
        frmQuery* q = w->query();
        QCOMPARE(w->query(), q);
        QCOMPARE(q->windowTitle(), QStringLiteral("Execute Summary"));
        QCOMPARE(q->size(), QSize(493, 223));
        QCOMPARE(q->queryTxt->geometry(), vantrel::form::twipsRect(120, 240, 7215, 2415));
        QCOMPARE(q->closeBut->geometry(), vantrel::form::twipsRect(3120, 2880, 1215, 375));

        q->SetText(QStringLiteral("WS001:LicenseHost=LIC01\r\n"), true);
        q->SetText(QStringLiteral("WS002:LicenseHost=LIC02\r\n"), true);
        QCOMPARE(q->text(), QStringLiteral("WS001:LicenseHost=LIC01\r\nWS002:LicenseHost=LIC02\r\n"));
        QCOMPARE(textWithCrLf(q->queryTxt), q->text());

        // No separator is added between pieces.
        q->SetText(QStringLiteral("a"), true);
        q->SetText(QStringLiteral("b"), true);
        QVERIFY(q->text().endsWith(QStringLiteral("\r\nab")));

        q->SetText(QStringLiteral("y"), true);
        q->SetText(QStringLiteral("x"), false);
        QCOMPARE(q->text(), QStringLiteral("x"));
        QCOMPARE(q->queryTxt->toPlainText(), QStringLiteral("x"));

        q->textClear();
        QVERIFY(q->text().isEmpty());
        QVERIFY(q->queryTxt->toPlainText().isEmpty());
    }

    void summaryCloseHidesAndKeepsText() {
        frmQuery* q = w->query();
        q->SetText(QStringLiteral("Deleted key for: WS001:Old\r\n"), true);
        q->show();
        QTest::mouseClick(q->closeBut, Qt::LeftButton);
        QVERIFY(!q->isVisible());
        QVERIFY(w->hasQuery());
        QCOMPARE(q->text(), QStringLiteral("Deleted key for: WS001:Old\r\n"));

        // Its close box hides it too; the same window comes back.
        q->show();
        q->close();
        QVERIFY(!q->isVisible());
        QCOMPARE(w->query(), q);

        // The main window's own window, kept above it; Escape from its text, or Enter on
        // "Close", puts it away.
        w->show();
        QVERIFY(QTest::qWaitForWindowExposed(w.get()));
        for (const auto& [widget, key] : {std::pair<QWidget*, Qt::Key>{q->queryTxt, Qt::Key_Escape},
                                          {q->closeBut, Qt::Key_Escape},
                                          {q->closeBut, Qt::Key_Return}}) {
            q->show();
            QVERIFY(QTest::qWaitForWindowActive(q));
            QCOMPARE(q->windowHandle()->transientParent(), w->windowHandle());
            QVERIFY(w->windowHandle());
            widget->setFocus();
            QTest::keyClick(widget, key);
            QVERIFY2(!q->isVisible(), qPrintable(widget->objectName() + QString::number(key)));
        }

        // A new run starts from an empty text.
        q->textClear();
        q->SetText(QStringLiteral("WS002:Build=1\r\n"), true);
        QCOMPARE(q->text(), QStringLiteral("WS002:Build=1\r\n"));
    }

    void summaryTakesManyPieces() {
        frmQuery* q = w->query();
        QString expected;
        for (int i = 0; i < 3000; ++i) {
            const QString line = QStringLiteral("WS%1:ProductHome=C:\\Program Files\\Atria\r\n").arg(i);
            q->SetText(line, true);
            expected += line;
        }
        QCOMPARE(q->text(), expected);
        QCOMPARE(q->queryTxt->document()->blockCount(), 3001);
    }
};

QTEST_MAIN(tst_Outputs)
#include "tst_outputs.moc"
