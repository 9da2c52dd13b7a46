#include "registry/RegistryPage.h"

#include "common/Dialogs.h"
#include "common/Names.h"
#include "registry/RemoteRegistry.h"

#include <optional>

namespace vantrel {

const std::vector<RegistryPresetKey>& registryPresetKeys() {
    static const std::vector<RegistryPresetKey> keys = {
        {QStringLiteral("SOFTWARE\\Rational Software\\RSSetup\\Products\\wsbuEnterprise"),
         {QStringLiteral("Build")}},
        {QStringLiteral("SOFTWARE\\Atria\\ClearCase\\CurrentVersion"),
         {QStringLiteral("AtriaRegy"), QStringLiteral("ClearCaseGroupName"),
          QStringLiteral("ClearCaseMajorVersion"), QStringLiteral("HostData"),
          QStringLiteral("InteropRegion"), QStringLiteral("LicenseHost"),
          QStringLiteral("NetworkReleaseArea"), QStringLiteral("ProductHome"), QStringLiteral("Region"),
          QStringLiteral("VobSchemaRev")}},
        {QStringLiteral("SOFTWARE\\Atria\\ClearCase\\CurrentVersion\\ClearCase Explorer"),
         {QStringLiteral("ViewsPage")}},
        {QStringLiteral("SOFTWARE\\Microsoft\\Windows NT\\CurrentVersion\\Winlogon"),
         {QStringLiteral("AutoAdminLogon"), QStringLiteral("CachePrimaryDomain"),
          QStringLiteral("DefaultDomainName"), QStringLiteral("DefaultUserName"),
          QStringLiteral("LegalNoticeCaption"), QStringLiteral("LegalNoticeText"), QStringLiteral("Shell")}},
        {QStringLiteral("SOFTWARE\\Rational Software\\Licensing\\1.0"),
         {QStringLiteral("LicenseServerName")}},
    };
    return keys;
}

const RegistryPresetKey* findRegistryPresetKey(const QString& key) {
    for (const auto& preset : registryPresetKeys())
        if (preset.key == key) return &preset;
    return nullptr;
}

const QStringList& registryRootNames() {
    static const QStringList roots = {QStringLiteral("HKLM"), QStringLiteral("HCU"), QStringLiteral("HCR")};
    return roots;
}

const QStringList& registryActions() {
    static const QStringList actions = {QStringLiteral("QUERY"), QStringLiteral("UPDATE"),
                                        QStringLiteral("CREATE"), QStringLiteral("DELETE")};
    return actions;
}

namespace {

// The machine doQuickQuery means; nothing when no entry is current.
std::optional<QString> currentMachine(RegistryHost& host) {
    int current = host.currentClient();
    // A single entry ticked without being highlighted (Select All does not move the
    // highlight) is the machine meant.
    if (current < 0 && host.clientCount() == 1) current = 0;
    if (current < 0) return std::nullopt;
    return host.clientText(current);
}

QString statusText(std::uint32_t status) {
    return status ? QStringLiteral("error ") + QString::number(status) : QStringLiteral("unexpected fault");
}

} // namespace

void runQuickQuery(RegistryHost& host) {
    const QString action = host.inputs().action;
    host.clearSummary();
    bool anyTicked = false;

    if (host.clientCount() != 1) {
        host.beginProgress(QStringLiteral("Getting information..."));
        // The count is read at every turn: entries may be removed while the run yields.
        for (int i = 0; i < host.clientCount(); ++i) {
            if (host.clientTicked(i)) {
                const QString machine = host.clientText(i);
                host.progressLine(QStringLiteral("Getting info for --> ") + machine);
                if (host.stopRequested()) break;
                // Exactly the ticked entry: never the highlighted one in its place.
                MachineOutcome outcome;
                doQuickQueryOn(host, machine, true, &outcome);
                anyTicked = true;
                if (const QString line = machinePaneLine(action, machine, outcome); !line.isEmpty())
                    host.paneLine(line);
            }
            host.yield();
            if (host.stopRequested()) break;
        }
        host.endProgress();
    } else if (host.clientTicked(0)) {
        anyTicked = true;
        doQuickQuery(host, true);
    }

    if (host.stopRequested()) return;
    if (anyTicked)
        host.showSummary();
    else
        dialogs().message(Icon::Information, "Select a client...", "Must select at least one client system");
}

QString machinePaneLine(const QString& action, const QString& machine, const MachineOutcome& outcome) {
    switch (outcome.kind) {
    case MachineOutcome::Kind::Refused:
        return {};
    case MachineOutcome::Kind::Failed:
        return QStringLiteral(":>> FAILED <<: ") + action + QStringLiteral(" on ") + machine +
               QStringLiteral(": ") + statusText(outcome.status);
    case MachineOutcome::Kind::Skipped:
        return action + QStringLiteral(" skipped: ") + machine + QStringLiteral(" (not confirmed)");
    case MachineOutcome::Kind::Done:
        break;
    }
    return action + QStringLiteral(": ") + machine;
}

QString blankMachineLine(const QString& action) {
    return QStringLiteral(":>> FAILED <<: ") + action + QStringLiteral(" not run: the machine name is empty");
}

QString doQuickQuery(RegistryHost& host, bool displayResult) {
    if (host.clientCount() == 0) return {};
    const std::optional<QString> machine = currentMachine(host);
    if (!machine) return {};
    return doQuickQueryOn(host, *machine, displayResult);
}

QString doQuickQueryOn(RegistryHost& host, const QString& machineName, bool displayResult,
                       MachineOutcome* outcome) {
    MachineOutcome ignored;
    MachineOutcome& told = outcome ? *outcome : ignored;
    told = {};
    const auto failed = [&told](std::uint32_t status) {
        told.kind = MachineOutcome::Kind::Failed;
        told.status = status;
    };
    const RegistryInputs page = host.inputs();
    const QString machine = QString::fromStdString(vantrel::machineName(machineName.toStdString()));
    if (machine.isEmpty()) {
        // An empty name would reach this computer's own registry (or none): refused before
        // anything is called.
        host.paneLine(blankMachineLine(page.action));
        told.kind = MachineOutcome::Kind::Refused;
        return {};
    }

    const std::uint32_t root = ToHKeyLong(page.rootName.toStdString());
    // Always the remote form: an empty name would mean this computer's own registry.
    const std::string remote = "\\\\" + machine.toStdString();

    if (page.action == QLatin1String("UPDATE")) {
        if (page.value.isEmpty() || page.value == ValuePlaceholder) return {};
        std::uint32_t status = 0;
        if (!SetRemoteKeyValue(root, page.keyPath.toStdString(), page.valueName.toStdString(),
                               page.value.toStdString(), remote, &status))
            failed(status);
        else if (displayResult)
            host.summaryLine(QStringLiteral("Updated ") + machine + ':' + page.valueName + '=' + page.value);
        return {};
    }

    if (page.action == QLatin1String("DELETE")) {
        const QString fullKey = page.rootName + '\\' + page.keyPath + '\\' + page.valueName;
        // One box per machine: it names the machine, and going on is the risk, so No is the
        // default and Escape answers it.
        const QString text = QStringLiteral("W A R N I N G \r\n"
                                            "You are about to delete the following key and all subkeys it "
                                            "contains, on ") +
                             machine + QStringLiteral(":\r\n") + fullKey +
                             QStringLiteral("\r\n\r\nAre you sure you want to continue?\r\n");
        QString line;
        if (dialogs().message(Icon::Exclamation, "Confirm Deletion", text.toStdString(),
                              Buttons::YesNoDefaultNo) == Answer::Yes) {
            host.paneLine(QStringLiteral("Deleting key --> ") + fullKey);
            std::uint32_t status = 0;
            const bool deleted = DeleteRemoteKeyValue(
                root, (page.keyPath + '\\' + page.valueName).toStdString(), remote, &status);
            if (!deleted) failed(status);
            // Only a deletion that worked is reported as one.
            line = (deleted ? QStringLiteral("Deleted key for: ")
                            : QStringLiteral("Could not delete key for: ")) +
                   machine + ':' + page.valueName;
        } else {
            told.kind = MachineOutcome::Kind::Skipped;
            line = QStringLiteral("No changes to client: ") + machine;
        }
        host.summaryLine(line);
        return {};
    }

    // QUERY, and CREATE, which has no work of its own and reads like QUERY.
    std::string value;
    std::uint32_t status = 0;
    if (!GetRemoteKeyValue(root, page.keyPath.toStdString(), page.valueName.toStdString(), value, remote,
                           &status)) {
        // A machine left out of the summary would pass for one that was never asked.
        failed(status);
        if (displayResult)
            host.summaryLine(machine + ':' + page.valueName + QStringLiteral(" could not be read: ") +
                             statusText(status));
        return {};
    }
    const QString text = QString::fromStdString(value);
    if (displayResult) host.summaryLine(machine + ':' + page.valueName + '=' + text);
    return text;
}

} // namespace vantrel
