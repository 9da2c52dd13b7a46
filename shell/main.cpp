// Vantrel: the windowed tool. Takes no arguments; everything happens in the main window.
#include "common/AppEnv.h"
#include "common/Dialogs.h"
#include "platform/Password.h"
#include "shell/QtDialogs.h"
#include "shell/frmMain.h"
#include "shell/modMain.h"

#include <QApplication>

#include <memory>

int main(int argc, char** argv) {
    // The password typed into the window is a secret from the start.
    platform::keepSecretsInProcess();
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Vantrel"));
    // Ties the windows to the installed vantrel.desktop (its icon and name in task bars).
    QGuiApplication::setDesktopFileName(QStringLiteral("vantrel"));

    vantrel::QtDialogs boxes;
    vantrel::setDialogs(&boxes);
    // Long commands give the window system its turn through this one function.
    vantrel::setYieldFunction([] { QCoreApplication::processEvents(QEventLoop::AllEvents); });

    int status = 0;
    {
        std::unique_ptr<frmMain> window(vantrel::Main());
        if (window) status = QApplication::exec();
    }
    vantrel::setYieldFunction({});
    vantrel::setDialogs(nullptr);
    return status;
}
