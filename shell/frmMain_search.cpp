// Filling the client list (network search, ClearCase client lists, host files) and pruning it
// by pattern (find and remove).
#include "shell/frmMain.h"

#include "clients/ClearCaseLists.h"
#include "clients/ClientList.h"
#include "clients/Discovery.h"
#include "clients/HostFiles.h"
#include "clients/PatternFilter.h"
#include "common/AppEnv.h"
#include "common/Dialogs.h"
#include "common/Names.h"
#include "shell/FormKit.h"
#include "shell/ShellWidgets.h"
#include "shell/frmProgress.h"

#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>

#include <exception>

using namespace vantrel;

namespace {

// The criterion the combo last accepted, so a choice refused while a long command runs can be
// put back instead of showing a criterion that never ran.
const char* const acceptedCriterionProperty = "vantrelAcceptedCriterion";

FillProgress fillProgressOf(frmMain& w) {
    return FillProgress{[&w](const QString& text) { w.progress()->set_msg(text); },
                        [&w] {
                            yieldEvents();
                            return !w.closeRequested();
                        }};
}

// The ClearCase fill. False when it failed and has already ended the command on its own steps.
bool clearCaseFill(frmMain& w, const FillProgress& fill) {
    w.clients->clear();
    const auto answer =
        dialogs().input("Enter ClearCase License or Registry Server name:", "Enter Hostname", std::string());
    w.progress()->start_progress(QStringLiteral("Getting ClearCase Client lists..."));
    if (!fill.turn()) return true;

    // Blanks around the name are no part of it; what is left stays one argument.
    const QString server = answer ? QString::fromStdString(trimBlanks(*answer)) : QString();
    if (server.isEmpty()) return true;
    if (GetClearCaseClients(server, *w.clients, fill)) return true;

    // Whatever was taken before the failure, the count shown is 0.
    w.clientListLbl->setText(QStringLiteral("Current Client Systems: Found "));
    w.clientsFoundLbl->setText(QStringLiteral("0"));
    w.clients->show();
    w.progress()->stop_progress();
    w.unsetCursor();
    dialogs().message(Icon::Exclamation, "Failed to get Client list for Host: " + server.toStdString(),
                      "Could get client list for host: " + server.toStdString(), Buttons::Ok);
    w.progress()->hide();
    return false;
}

} // namespace

void frmMain::connectSearch() {
    // The user's choice in the open list or Enter, even of the item already shown (choosing a
    // search again runs it again); stepping through the closed box runs nothing.
    connect(static_cast<CommandComboBox*>(searchCriteriaCombo), &CommandComboBox::chosen, this,
            [this] { searchCriteriaCombo_Click(); });
    connect(removeSettingCombo, &QComboBox::activated, this, [this] { removeSettingCombo_Click(); });
    connect(patternTxt, &QLineEdit::textChanged, this,
            [this](const QString& text) { removeBut->setEnabled(PatternUsable(text)); });
    connect(removeBut, &QPushButton::clicked, this, [this] { removeBut_Click(); });
}

void frmMain::searchCriteriaCombo_Click() {
    if (longCommandRunning()) {
        SetMsg(CommandStillRunningLine);
        const QVariant accepted = searchCriteriaCombo->property(acceptedCriterionProperty);
        const QSignalBlocker quiet(searchCriteriaCombo);
        searchCriteriaCombo->setCurrentIndex(accepted.isValid() ? accepted.toInt() : 0);
        return;
    }
    searchCriteriaCombo->setProperty(acceptedCriterionProperty, searchCriteriaCombo->currentIndex());

    const QString criterion = searchCriteriaCombo->currentText();
    // The placeholder and the separators choose nothing.
    if (criterion.contains(QLatin1Char('<')) || criterion.contains(QLatin1String("--"))) return;

    LongCommand guard(*this);
    if (!guard) return;

    const FillProgress fill = fillProgressOf(*this);
    setCursor(Qt::WaitCursor);
    const bool go = fill.turn();
    clients->hide();

    if (!go) {
        // The window is closing: skip the fill, restore the window below.
    } else if (criterion.contains(QLatin1String("ClearCase Clients Only"))) {
        if (!clearCaseFill(*this, fill)) return;
    } else if (!criterion.contains(QLatin1String("Load from File"))) {
        clients->clear();
        progress()->start_progress(QStringLiteral("Getting Client lists..."));
        if (fill.turn()) SearchNetwork(*clients, CriteriaToServerType(criterion), fill);
    } else {
        DoLoadFromFile(*clients);
    }

    clients->updateCountLabel();
    clients->show();
    progress()->stop_progress();
    unsetCursor();
    progress()->hide();
}

void frmMain::removeSettingCombo_Click() {
    const QString mode = removeSettingCombo->currentText();
    if (mode == QLatin1String("Remove") || mode == QLatin1String("Find")) {
        patternTxt->setEnabled(true);
        form::setBackground(patternTxt, form::vbColor(form::ColorWindow));
        removeBut->setText(mode == QLatin1String("Remove") ? QStringLiteral("Do Remove")
                                                           : QStringLiteral("Do Find"));
    }
    // Selected whole, so typing replaces the old pattern.
    patternTxt->setSelection(0, static_cast<int>(patternTxt->text().size()));
    if (isVisible()) patternTxt->setFocus(Qt::OtherFocusReason);
}

void frmMain::removeBut_Click() {
    try {
        const QString mode = removeSettingCombo->currentText();
        if (mode == QLatin1String("Remove")) {
            const QString pattern = patternTxt->text().toLower();
            // An empty pattern would match every name; the button is never enabled for one.
            if (clients->count() >= 1 && pattern != QLatin1String(patternPlaceholder) && !pattern.isEmpty()) {
                clients->hide();
                RemoveByPattern(*clients, pattern);
            }
            clients->show();
            clients->updateCountLabel();
        } else if (mode == QLatin1String("Find")) {
            const QString pattern = patternTxt->text();
            if (clients->count() >= 1 && !pattern.isEmpty()) {
                try {
                    FindNextByPattern(*clients, pattern, clients->current() + 1);
                } catch (const std::exception& e) {
                    showErrorBox(e.what(), "Could not load all components");
                }
            }
        }
    } catch (const std::exception& e) {
        showErrorBox(e.what(), "Could not perform action.");
    }
}
