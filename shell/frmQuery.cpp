#include "shell/frmQuery.h"

#include "shell/FormKit.h"
#include "shell/ShellWidgets.h"

#include <QCloseEvent>
#include <QKeyEvent>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QScrollBar>
#include <QTextCursor>

using namespace vantrel::form;

frmQuery::frmQuery(QWidget* parent) : QWidget(parent, Qt::Window) {
    setObjectName(QStringLiteral("frmQuery"));
    initResources();
    buildControls();
}

void frmQuery::buildControls() {
    setWindowTitle(QStringLiteral("Execute Summary"));
    setFont(baseFont());
    setFixedSize(twips(7395), twips(3345));
    setWindowIcon(QIcon(QStringLiteral(":/shell/vantrel.png")));
    setWindowFlags(Qt::Window | Qt::WindowTitleHint | Qt::WindowSystemMenuHint | Qt::WindowCloseButtonHint |
                   Qt::CustomizeWindowHint);

    queryTxt = new QPlainTextEdit(this);
    queryTxt->setObjectName(QStringLiteral("queryTxt"));
    place(queryTxt, 120, 240, 7215, 2415);
    // Both scroll bars: lines are not wrapped.
    queryTxt->setLineWrapMode(QPlainTextEdit::NoWrap);
    queryTxt->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    queryTxt->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    // The text is the command's report; it can be selected and copied, not edited.
    queryTxt->setReadOnly(true);
    queryTxt->setTextInteractionFlags(Qt::TextSelectableByMouse | Qt::TextSelectableByKeyboard);
    queryTxt->setUndoRedoEnabled(false);
    setBackground(queryTxt, vbColor(0x00C0FFFF));

    closeBut = new QPushButton(QStringLiteral("Close"), this);
    closeBut->setObjectName(QStringLiteral("closeBut"));
    place(closeBut, 3120, 2880, 1215, 375);
    connect(closeBut, &QPushButton::clicked, this, [this] { closeBut_Click(); });
    vantrel::EnterPressesButtons::install(this);
}

void frmQuery::keyPressEvent(QKeyEvent* event) {
    // Escape puts the summary away, as "Close" does; the text box passes it on to here.
    if (event->key() == Qt::Key_Escape && event->modifiers() == Qt::NoModifier) {
        closeBut_Click();
        return;
    }
    QWidget::keyPressEvent(event);
}

void frmQuery::textClear() {
    text_.clear();
    queryTxt->clear();
}

void frmQuery::SetText(const QString& txt, bool append) {
    if (!append) {
        text_ = txt;
        queryTxt->setPlainText(txt);
        return;
    }
    text_ += txt;
    // Insert at the end through a cursor: the registry page adds thousands of pieces, and
    // re-setting the whole text each time would make the run quadratic.
    QTextCursor cursor(queryTxt->document());
    cursor.movePosition(QTextCursor::End);
    cursor.insertText(txt);
}

void frmQuery::closeBut_Click() {
    hide();
}

void frmQuery::closeEvent(QCloseEvent* event) {
    // The window is kept until the program ends; its close box only hides it, like "Close".
    hide();
    event->ignore();
}

void frmQuery::showEvent(QShowEvent* event) {
    if (!centred_) {
        centreOnScreen(this);
        centred_ = true;
    }
    QWidget::showEvent(event);
}
