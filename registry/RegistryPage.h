#pragma once
// The registry page of the main window: its preset lists and one machine's action. The
// handlers that run it over the ticked clients are in shell/frmMain_registry.cpp.
#include <QString>
#include <QStringList>

#include <vector>

class frmMain;

namespace vantrel {

struct RegistryPresetKey {
    QString key;
    QStringList valueNames; // in list order
};

// The preset keys in the order the key list shows them.
const std::vector<RegistryPresetKey>& registryPresetKeys();
// The preset matching key exactly (case included), or nullptr.
const RegistryPresetKey* findRegistryPresetKey(const QString& key);

// The root-key names of the root list and the actions of the action list, in list order.
const QStringList& registryRootNames();
const QStringList& registryActions();

// The texts the page's boxes show before anything is chosen or typed.
inline const QString KeyPlaceholder = QStringLiteral("<enter_reg_key_to_query>");
inline const QString ValueNamePlaceholder = QStringLiteral("<subkey_value>");
inline const QString ValuePlaceholder = QStringLiteral("<enter_value>");

// Fills the page's lists as the window's load does: roots (first selected), preset keys
// (none selected), actions (first selected, which runs the action handler).
void fillRegistryPage(frmMain& w);

// One machine's action, reading the page's controls afresh. machineName empty or "NONE"
// means the client list's current entry (the only entry when the list holds one and none is
// current). Returns the text read for QUERY and CREATE, the empty text otherwise.
QString doQuickQuery(frmMain& w, bool displayResult = false, const QString& machineName = QString());

// The same action on exactly `machineName`, with its blanks trimmed: no other entry stands in
// for it ("NONE" is a machine of that name). A name that is blank is refused before any
// registry call, with a failure line in the message pane; *refused then says so.
QString doQuickQueryOn(frmMain& w, const QString& machineName, bool displayResult, bool* refused = nullptr);

// The pane line of a run refused for a blank machine name.
QString blankMachineLine(const QString& action);

} // namespace vantrel
