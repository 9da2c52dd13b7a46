#pragma once
// The registry page: its preset lists, one machine's action and the run over the ticked
// clients. The window hands itself in through RegistryHost, which is asked afresh at every
// machine, so a control changed while the run yields takes effect for the machines after it,
// and the procedures run without a window as well.
#include <QString>
#include <QStringList>

#include <cstdint>
#include <vector>

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

// What the page's controls hold at the moment they are read.
struct RegistryInputs {
    QString action; // QUERY, UPDATE, CREATE or DELETE
    QString rootName;
    QString keyPath;
    QString valueName;
    QString value; // the value an UPDATE writes
};

class RegistryHost {
  public:
    virtual ~RegistryHost() = default;

    virtual RegistryInputs inputs() = 0;

    // The client list, read at the moment of the call. currentClient: the highlighted entry,
    // or -1.
    virtual int clientCount() = 0;
    virtual bool clientTicked(int index) = 0;
    virtual QString clientText(int index) = 0;
    virtual int currentClient() = 0;

    // Outputs: message pane lines; the summary, emptied at the start of a run, its lines
    // appended and shown at the end; the progress window around a run over several entries.
    virtual void paneLine(const QString& line) = 0;
    virtual void clearSummary() = 0;
    virtual void summaryLine(const QString& line) = 0;
    virtual void showSummary() = 0;
    virtual void beginProgress(const QString& text) = 0;
    // Shows the line and gives the event loop a turn.
    virtual void progressLine(const QString& text) = 0;
    virtual void endProgress() = 0;
    virtual void yield() = 0;

    // True once the window is closing: the run stops at its next yield.
    virtual bool stopRequested() = 0;
};

// The run behind the action button.
void runQuickQuery(RegistryHost& host);

// One machine's action: the client list's current entry (the only entry when the list holds
// one and none is current). Returns the text read for QUERY and CREATE, the empty text
// otherwise.
QString doQuickQuery(RegistryHost& host, bool displayResult = false);

// What became of one machine's action, for the run's pane line.
struct MachineOutcome {
    enum class Kind { Done, Refused, Failed, Skipped } kind = Kind::Done;
    std::uint32_t status = 0; // a failure's Windows status; 0 after an unexpected fault
    QString why;              // a failure that has no status: what was refused
};

// The same action on exactly `machineName`, with its blanks trimmed: no other entry stands in
// for it. A name that is blank is refused before any registry call, with a failure line in
// the message pane. *outcome says how it went: a value that could not be read or written,
// or a key not deleted, is Failed; a deletion answered No is Skipped.
// `declineAll`: the run's "No to All" for its deletions; once true, the machines after are
// answered No without a box.
QString doQuickQueryOn(RegistryHost& host, const QString& machineName, bool displayResult,
                       MachineOutcome* outcome = nullptr, bool* declineAll = nullptr);

// The run's pane line for one machine; empty for a refused one, which has its own line.
QString machinePaneLine(const QString& action, const QString& machine, const MachineOutcome& outcome);

// The pane line of a run refused for a blank machine name.
QString blankMachineLine(const QString& action);

} // namespace vantrel
