#pragma once
// The registry page of the main window: its preset lists and one machine's action. The
// handlers that run it over the ticked clients are in shell/frmMain_registry.cpp.
#include <QString>
#include <QStringList>

#include <cstdint>
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

// What became of one machine's action, for the run's pane line.
struct MachineOutcome {
    enum class Kind { Done, Refused, Failed, Skipped } kind = Kind::Done;
    std::uint32_t status = 0; // a failure's Windows status; 0 after an unexpected fault
};

// The same action on exactly `machineName`, with its blanks trimmed: no other entry stands in
// for it ("NONE" is a machine of that name). A name that is blank is refused before any
// registry call, with a failure line in the message pane. *outcome says how it went: a value
// that could not be read or written, or a key not deleted, is Failed; a deletion answered No
// is Skipped.
QString doQuickQueryOn(frmMain& w, const QString& machineName, bool displayResult,
                       MachineOutcome* outcome = nullptr);

// The run's pane line for one machine; empty for a refused one, which has its own line.
QString machinePaneLine(const QString& action, const QString& machine, const MachineOutcome& outcome);

// The pane line of a run refused for a blank machine name.
QString blankMachineLine(const QString& action);

} // namespace vantrel
