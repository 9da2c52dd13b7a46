// The Execute button of the service page: the batch run over the ticked machines; and the
// run's setting, how many machines at once.
#include "batch/BatchRun.h"
#include "batch/RunAndWait.h"
#include "batch/RunSettings.h"
#include "clients/ClientList.h"
#include "clients/RunMarks.h"
#include "common/AppEnv.h"
#include "common/Dialogs.h"
#include "common/Names.h"
#include "shell/frmMain.h"
#include "shell/frmProgress.h"

#include <QAction>
#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>

namespace {

// The window as the run sees it. Every answer is read from the controls at the moment it is
// asked for, so the run follows the user's changes and never keeps a pointer into the list.
class WindowBatchHost : public vantrel::BatchHost {
  public:
    explicit WindowBatchHost(frmMain& w) : w_(w) {}

    // The password box keeps what was typed; the run's copy is this host's, wiped when the
    // run ends.
    vantrel::BatchInputs inputs() override {
        const std::string action = w_.actionTypeCombo->currentText().toStdString();
        // A survey needs no password: the box is left unread.
        if (action != "survey") {
            QByteArray typed = w_.passwdTxt->text().toUtf8();
            password_ = platform::Password(typed.constData(), static_cast<std::size_t>(typed.size()));
            platform::wipe(typed.data(), static_cast<std::size_t>(typed.size()));
        }
        return {action, w_.serviceNameCombo->currentText().toStdString(),
                w_.serviceAccountTxt->text().toStdString(), action == "survey" ? nullptr : &password_};
    }
    bool waitForService() override { return w_.checkboxWaitForService->isChecked(); }
    int machinesAtOnce() override { return vantrel::machinesAtOnce(); }

    int clientCount() override { return w_.clients->count(); }
    bool clientTicked(int index) override { return w_.clients->ticked(index); }
    std::string clientText(int index) override { return w_.clients->text(index).toStdString(); }
    void highlightClient(int index, const std::string& machine) override {
        // The list may have changed while Osprel ran: highlight the machine where it is now.
        const int now = w_.clients->find(index, QString::fromStdString(machine));
        if (now >= 0) w_.clients->setCurrent(now);
    }

    bool grantLogonRight() override { return w_.cbEnableLogonAsService->isChecked(); }
    bool useDirectory() override { return w_.checkboxUseActiveDirectory->isChecked(); }
    bool stopAndRestart() override { return w_.checkboxStopStartService->isChecked(); }

    void showLine(const std::string& line) override {
        w_.SetMsg(QString::fromStdString(vantrel::visibleText(line)));
    }
    void progressLine(const std::string& line) override {
        w_.progress()->set_msg(QString::fromStdString(line));
    }
    void progressText(const std::string& line) override {
        w_.progress()->progressLbl->setText(QString::fromStdString(line));
    }
    void yield() override { vantrel::yieldEvents(); }
    void runPosition(const std::string& text, int n, int total) override {
        w_.progress()->set_position(QString::fromStdString(text), n, total);
    }
    void beginBusy(const std::string& progressText) override {
        w_.runMarks->clear(); // the last run's marks go as the next starts
        w_.setCursor(Qt::WaitCursor);
        w_.progress()->start_progress(QString::fromStdString(progressText));
        w_.progress()->offer_stop();
    }
    void endBusy() override {
        w_.progress()->stop_progress();
        w_.unsetCursor();
    }

    void machinesEnded(const std::vector<vantrel::MachineEnd>& ends) override {
        // Nothing is left to stop while the closing lines and boxes come.
        w_.progress()->stopBut->setEnabled(false);
        using How = vantrel::MachineEnd::How;
        for (const vantrel::MachineEnd& end : ends) {
            const int now = w_.clients->find(end.index, QString::fromStdString(end.machine));
            if (end.how == How::Done && !end.otherAccount.empty())
                w_.runMarks->mark(now, vantrel::RunMarks::Mark::OtherAccount,
                                  QString::fromStdString(end.otherAccount));
            if (end.how == How::Done) continue;
            w_.runMarks->mark(now,
                              end.how == How::Failed ? vantrel::RunMarks::Mark::Failed
                                                     : vantrel::RunMarks::Mark::NotTried,
                              QString::fromStdString(end.reason));
        }
    }

    vantrel::OsprelEnd grantWithOsprel(const std::string& machine, const std::string& account) override {
        vantrel::OsprelEnd end;
        // A close of either window is a stop, and a stop ends a waiting Osprel.
        end.outcome = vantrel::RunAndWait(
            vantrel::osprelProgram(),
            vantrel::osprelArguments(QString::fromStdString(machine), QString::fromStdString(account)),
            {&w_, w_.progress()}, [this] { return stopRequested(); }, &end.exitStatus);
        return end;
    }

    // Stop on the progress window and a close of the main window mean the same.
    bool stopRequested() override { return w_.closeRequested() || w_.progress()->stopRequested(); }

  private:
    frmMain& w_;
    platform::Password password_;
};

} // namespace

void frmMain::connectBatch() {
    connect(executeBut, &QPushButton::clicked, this, &frmMain::executeBut_Click);
    connect(MachinesAtOnce, &QAction::triggered, this, &frmMain::MachinesAtOnce_Click);
}

void frmMain::executeBut_Click() {
    LongCommand guard(*this);
    if (!guard) return;
    WindowBatchHost host(*this);
    vantrel::runBatch(host);
}

void frmMain::MachinesAtOnce_Click() {
    const auto chosen = vantrel::dialogs().number("Machines worked on at the same time by Execute (" +
                                                      std::to_string(vantrel::MinMachinesAtOnce) + " to " +
                                                      std::to_string(vantrel::MaxMachinesAtOnce) + "):",
                                                  "Machines at Once", vantrel::machinesAtOnce(),
                                                  vantrel::MinMachinesAtOnce, vantrel::MaxMachinesAtOnce);
    if (!chosen) return;
    if (!vantrel::setMachinesAtOnce(*chosen))
        vantrel::showErrorBox("Could not write " + vantrel::settingsFilePath().toStdString(),
                              "MachinesAtOnce_Click()");
}
