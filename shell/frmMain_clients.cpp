// The client list commands: add, delete, refresh, tick all / none, tick only the machines the
// last run failed on, the delete button's tooltip and the double-click service query.
#include "shell/frmMain.h"

#include "clients/ClientList.h"
#include "clients/RunMarks.h"
#include "common/Dialogs.h"
#include "services/modServices.h"

#include <QAction>
#include <QApplication>
#include <QComboBox>
#include <QLabel>
#include <QListWidget>
#include <QPushButton>
#include <QToolButton>

#include <exception>

namespace {

const QString DeleteClientTip = QStringLiteral("Click to delete client: ");

// The delete button names the entry it would remove (none highlighted: nothing to name).
void updateDeleteTooltip(frmMain& w) {
    const int index = w.clients->current();
    if (w.clients->count() > 0 && index >= 0)
        w.butDeletedItem->setToolTip(DeleteClientTip + w.clients->text(index));
    else
        w.butDeletedItem->setToolTip(QStringLiteral("Click to delete a client"));
}

} // namespace

void frmMain::connectClients() {
    connect(butAddClient, &QToolButton::clicked, this, [this] { butAddClient_Click(); });
    connect(butDeletedItem, &QToolButton::clicked, this, [this] { butDeletedItem_Click(); });
    connect(butRefresh, &QPushButton::clicked, this, [this] { butRefresh_Click(); });
    connect(selectAllBut, &QPushButton::clicked, this, [this] { selectAllBut_Click(); });
    connect(clearAllBut, &QPushButton::clicked, this, [this] { clearAllBut_Click(); });
    connect(TickOnlyFailed, &QAction::triggered, this, [this] { TickOnlyFailed_Click(); });
    connect(runMarks, &vantrel::RunMarks::changed, this, [this] {
        TickOnlyFailed->setEnabled(runMarks->anyFailed());
        TickOnlyOtherAccount->setEnabled(runMarks->anyOtherAccount());
    });
    connect(TickOnlyOtherAccount, &QAction::triggered, this, [this] { TickOnlyOtherAccount_Click(); });
    // The tooltip follows the highlighted entry however it moves: a click, the keyboard, a
    // command, or the entry's removal.
    const auto follow = [this] { updateDeleteTooltip(*this); };
    connect(clientList, &QListWidget::itemClicked, this, follow);
    connect(clientList, &QListWidget::itemSelectionChanged, this, follow);
    connect(clientList, &QListWidget::currentRowChanged, this, follow);
    // Emptying the list moves the highlight without a signal of its own.
    connect(clientList->model(), &QAbstractItemModel::modelReset, this, [this] {
        if (butDeletedItem->toolTip().startsWith(DeleteClientTip)) updateDeleteTooltip(*this);
    });
    connect(clientList, &QListWidget::itemDoubleClicked, this, [this] { clientList_DblClick(); });
    connect(clients, &vantrel::ClientList::currentSet, this, follow);
    clients->setCaptionLabel(clientListLbl);
}

void frmMain::butAddClient_Click() {
    try {
        const auto answer = vantrel::dialogs().input("Enter Client Name: ", "Enter Client Name", "");
        if (!answer || answer->empty()) return;
        const QString name = QString::fromStdString(*answer);
        if (clients->is_dup_list(name)) return;
        if (!clients->append(name)) {
            vantrel::reportClientListFull("AddClient()");
            clients->updateCountLabel();
        }
    } catch (const std::exception& e) {
        vantrel::showErrorBox(e.what(), "AddClient()");
    }
}

void frmMain::butDeletedItem_Click() {
    try {
        // The highlighted entry itself goes, even when another entry has the same text.
        const int index = clients->current();
        if (clients->count() < 1 || index < 0) return;
        clients->removeAt(index);
    } catch (const std::exception& e) {
        vantrel::showErrorBox(e.what(), "DeletedItem()");
    }
}

void frmMain::butRefresh_Click() {
    clients->clear();
    clientsFoundLbl->setText(QStringLiteral("0"));
}

void frmMain::selectAllBut_Click() {
    QApplication::setOverrideCursor(Qt::WaitCursor);
    clients->SetAllTicks(true);
    QApplication::restoreOverrideCursor();
}

void frmMain::clearAllBut_Click() {
    clients->SetAllTicks(false);
}

void frmMain::TickOnlyFailed_Click() {
    runMarks->tickOnlyFailed();
}

void frmMain::TickOnlyOtherAccount_Click() {
    runMarks->tickOnlyOtherAccount();
}

void frmMain::clientList_DblClick() {
    try {
        const int index = clients->current();
        if (clients->count() < 1 || index < 0) return;
        const std::string service = serviceNameCombo->currentText().toStdString();
        const std::string machine = clients->text(index).toStdString();
        std::string errorText; // the query's reason is not shown: running or not is the answer
        if (vantrel::IsServiceRunning(machine, service, errorText))
            vantrel::dialogs().message(vantrel::Icon::Information, "Running...",
                                       "Service: " + service + " is Running on " + machine);
        else
            vantrel::dialogs().message(vantrel::Icon::Exclamation, "Not running...",
                                       "Service: " + service + " is NOT Running on " + machine);
    } catch (const std::exception& e) {
        vantrel::showErrorBox(e.what(), "ClientListDC()");
    }
}
