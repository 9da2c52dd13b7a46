// Runs one update through the real main window, with Osprel granting the logon right, from
// wherever this program lies (the install test puts it into an installed program directory),
// and prints the message pane and the boxes shown.
//   installed_update MACHINE ACCOUNT PASSWORD
#include "clients/ClientList.h"
#include "common/AppEnv.h"
#include "common/Dialogs.h"
#include "common/MainWindow.h"

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>

#include <iostream>

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    if (argc != 4) {
        std::cerr << "usage: installed_update MACHINE ACCOUNT PASSWORD\n";
        return 2;
    }
    vantrel::ScriptedDialogs boxes;
    vantrel::setDialogs(&boxes);
    vantrel::setYieldFunction([] { QCoreApplication::processEvents(); });
    {
        auto w = simtest::openMainWindow();
        w->clients->append(argv[1], true);
        w->actionTypeCombo->setCurrentText("update");
        w->serviceNameCombo->setCurrentText("Albd");
        w->serviceAccountTxt->setText(argv[2]);
        w->passwdTxt->setText(argv[3]);
        w->cbEnableLogonAsService->setChecked(true);
        w->executeBut->click();
        std::cout << w->textMsg->toPlainText().toStdString() << "\n";
        for (const auto& b : boxes.shown)
            std::cout << b.title << ": " << b.text << "\n";
    }
    vantrel::setYieldFunction({});
    vantrel::setDialogs(nullptr);
    return 0;
}
