// The registry page's handlers: choosing a preset key or an action, and the run of the
// chosen action over the ticked clients.
#include "clients/ClientList.h"
#include "common/AppEnv.h"
#include "common/Dialogs.h"
#include "registry/RegistryPage.h"
#include "shell/frmMain.h"
#include "shell/frmProgress.h"
#include "shell/frmQuery.h"

#include <QComboBox>
#include <QLineEdit>
#include <QPushButton>

void frmMain::connectRegistry() {
    // Typing a key or value name must not add it to the lists, and what is typed is what the
    // run uses: no completion to a longer preset ("Host" is not "HostData").
    for (QComboBox* box : {queryRegKeyValueCombo, queryRegSubKeyValueCombo}) {
        box->setInsertPolicy(QComboBox::NoInsert);
        box->setCompleter(nullptr);
    }
    // The action handler also runs when the program selects an entry.
    connect(quickQueryActionCombo, &QComboBox::currentIndexChanged, this,
            [this] { quickQueryActionCombo_Click(); });
    // Only a key chosen from the list fills the value names; typing changes nothing else.
    connect(queryRegKeyValueCombo, &QComboBox::activated, this, [this] { queryRegKeyValueCombo_Click(); });
    connect(quickQueryBut, &QPushButton::clicked, this, [this] { quickQueryBut_Click(); });
}

void frmMain::quickQueryActionCombo_Click() {
    const QString action = quickQueryActionCombo->currentText();
    quickQueryBut->setText(action);
    quickQueryRegValueTxt->setVisible(action == QLatin1String("UPDATE"));
}

void frmMain::queryRegKeyValueCombo_Click() {
    const QString key = queryRegKeyValueCombo->currentText();
    // Long keys do not fit the box; the tooltip shows them whole.
    queryRegKeyValueCombo->setToolTip(key);
    if (const auto* preset = vantrel::findRegistryPresetKey(key)) {
        queryRegSubKeyValueCombo->clear();
        queryRegSubKeyValueCombo->addItems(preset->valueNames);
        queryRegSubKeyValueCombo->setCurrentIndex(0);
    }
    quickQueryRegValueTxt->setToolTip(QStringLiteral("Enter value for subkey: ") +
                                      queryRegSubKeyValueCombo->currentText());
}

void frmMain::quickQueryBut_Click() {
    LongCommand guard(*this);
    if (!guard) return;

    const QString action = quickQueryActionCombo->currentText();
    query()->textClear();
    bool anyTicked = false;

    if (clients->count() != 1) {
        progress()->start_progress(QStringLiteral("Getting information..."));
        // The count is read at every turn: entries may be removed while the run yields.
        for (int i = 0; i < clients->count(); ++i) {
            if (clients->ticked(i)) {
                const QString machine = clients->text(i);
                progress()->set_msg(QStringLiteral("Getting info for --> ") + machine);
                if (closeRequested()) break;
                // Exactly the ticked entry: never the highlighted one in its place.
                vantrel::MachineOutcome outcome;
                vantrel::doQuickQueryOn(*this, machine, true, &outcome);
                anyTicked = true;
                if (const QString line = vantrel::machinePaneLine(action, machine, outcome); !line.isEmpty())
                    SetMsg(line);
            }
            vantrel::yieldEvents();
            if (closeRequested()) break;
        }
        progress()->stop_progress();
    } else if (clients->ticked(0)) {
        anyTicked = true;
        vantrel::doQuickQuery(*this, true);
    }

    if (closeRequested()) return;
    if (anyTicked) {
        query()->show();
    } else {
        vantrel::dialogs().message(vantrel::Icon::Information, "Select a client...",
                                   "Must select at least one client system");
    }
}
