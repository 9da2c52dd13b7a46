// The Send button of the message frame, the menu commands and the logo.
#include "clients/ClientList.h"
#include "common/AppEnv.h"
#include "common/Dialogs.h"
#include "messages/SendNetMessage.h"
#include "shell/DesktopOpen.h"
#include "shell/MakerInfo.h"
#include "shell/PaneLog.h"
#include "shell/frmAbout.h"
#include "shell/frmGettingHelp.h"
#include "shell/frmMain.h"
#include "shell/frmProgress.h"

#include <QAction>
#include <QDir>
#include <QFileInfo>
#include <QPlainTextEdit>
#include <QPushButton>

#include <exception>

namespace {

// The window as the send run sees it: every answer is read from the controls when asked.
class WindowMessageHost : public vantrel::MessageRunHost {
  public:
    explicit WindowMessageHost(frmMain& w) : w_(w), log_(w) {}

    int clientCount() const override { return w_.clients->count(); }
    bool clientTicked(int index) const override { return w_.clients->ticked(index); }
    QString clientName(int index) const override { return w_.clients->text(index); }
    QString messageText() const override { return w_.msgTxt->toPlainText(); }
    void startProgress(const QString& msg) override { w_.progress()->start_progress(msg); }
    void setProgressMessage(const QString& msg) override { w_.progress()->set_msg(msg); }
    void stopProgress() override { w_.progress()->stop_progress(); }
    void yield() override { vantrel::yieldEvents(); }
    bool stopRequested() const override { return w_.closeRequested(); }
    void report(const QString& line) override { log_.line(line); }

    void finish() { log_.finish(); }

  private:
    frmMain& w_;
    vantrel::PaneLog log_;
};

// Shows an information window modal; it stays loaded when hidden, so showing it again brings
// back the same instance.
void showModal(QWidget* window) {
    window->show();
    window->activateWindow();
}

} // namespace

void frmMain::connectMessages() {
    connect(sendMsgBut, &QPushButton::clicked, this, &frmMain::sendMsgBut_Click);
    connect(Exit, &QAction::triggered, this, &frmMain::Exit_Click);
    connect(Content, &QAction::triggered, this, &frmMain::Content_Click);
    connect(About, &QAction::triggered, this, &frmMain::About_Click);
    connect(GettingHelpFromHalcyra, &QAction::triggered, this, &frmMain::GettingHelpFromHalcyra_Click);
    // The logo's click arrives through frmMain::eventFilter, which calls logoImage_Click.
}

void frmMain::sendMsgBut_Click() {
    LongCommand guard(*this);
    if (!guard) return;
    WindowMessageHost host(*this);
    vantrel::SendMessageRun(host);
    host.finish();
}

void frmMain::Exit_Click() {
    close();
}

void frmMain::Content_Click() {
    try {
        const QString document = QDir::toNativeSeparators(
            QString::fromStdString(vantrel::programDirectory()) + QStringLiteral("/help/main.html"));
        // Without a word the menu item would seem to do nothing; the path lets the user open
        // the document some other way.
        if (!QFileInfo::exists(document))
            vantrel::dialogs().message(vantrel::Icon::Exclamation, "Help",
                                       "The help document was not found:\r\n" + document.toStdString());
        else if (!vantrel::desktopOpen(document))
            vantrel::dialogs().message(vantrel::Icon::Exclamation, "Help",
                                       "No program could be found to open the help document:\r\n" +
                                           document.toStdString() + "\r\n\r\nOpen it in a web browser.");
    } catch (const std::exception& e) {
        vantrel::showErrorBox(e.what(), "Help Not Found!");
    } catch (...) {
        vantrel::showErrorBox("Unknown error", "Help Not Found!");
    }
}

void frmMain::About_Click() {
    showModal(about());
}

void frmMain::GettingHelpFromHalcyra_Click() {
    showModal(gettingHelp());
}

void frmMain::logoImage_Click() {
    try {
        vantrel::desktopOpen(vantrel::maker::webAddress());
    } catch (...) {
        // The maker's page is a courtesy; a failure to open it is not worth a message.
    }
}
