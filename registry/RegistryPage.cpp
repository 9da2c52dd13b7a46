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
                bool refused = false;
                doQuickQueryOn(host, machine, true, &refused);
                anyTicked = true;
                if (!refused) host.paneLine(action + QStringLiteral(": ") + machine);
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

QString blankMachineLine(const QString& action) {
    return QStringLiteral(":>> FAILED <<: ") + action + QStringLiteral(" not run: the machine name is empty");
}

QString doQuickQuery(RegistryHost& host, bool displayResult) {
    if (host.clientCount() == 0) return {};
    const std::optional<QString> machine = currentMachine(host);
    if (!machine) return {};
    return doQuickQueryOn(host, *machine, displayResult);
}

QString doQuickQueryOn(RegistryHost& host, const QString& machineName, bool displayResult, bool* refused) {
    if (refused) *refused = false;
    const RegistryInputs page = host.inputs();
    const QString machine = QString::fromStdString(trimBlanks(machineName.toStdString()));
    if (machine.isEmpty()) {
        // An empty name would reach this computer's own registry (or none): refused before
        // anything is called.
        host.paneLine(blankMachineLine(page.action));
        if (refused) *refused = true;
        return {};
    }

    const std::uint32_t root = ToHKeyLong(page.rootName.toStdString());
    // Always the remote form: an empty name would mean this computer's own registry.
    const std::string remote = "\\\\" + machine.toStdString();

    if (page.action == QLatin1String("UPDATE")) {
        if (page.value.isEmpty() || page.value == ValuePlaceholder) return {};
        if (SetRemoteKeyValue(root, page.keyPath.toStdString(), page.valueName.toStdString(),
                              page.value.toStdString(), remote) &&
            displayResult)
            host.summaryLine(QStringLiteral("Updated ") + machine + ':' + page.valueName + '=' + page.value);
        return {};
    }

    if (page.action == QLatin1String("DELETE")) {
        const QString fullKey = page.rootName + '\\' + page.keyPath + '\\' + page.valueName;
        const QString text = QStringLiteral("W A R N I N G \r\n"
                                            "You are about to delete the following key and all subkeys it "
                                            "contains.\r\n") +
                             fullKey + QStringLiteral("\r\n\r\nAre you sure you want to continue?\r\n");
        QString line;
        if (dialogs().message(Icon::Exclamation, "Confirm Deletion", text.toStdString(), Buttons::YesNo) ==
            Answer::Yes) {
            host.paneLine(QStringLiteral("Deleting key --> ") + fullKey);
            const bool deleted =
                DeleteRemoteKeyValue(root, (page.keyPath + '\\' + page.valueName).toStdString(), remote);
            // Only a deletion that worked is reported as one.
            line = (deleted ? QStringLiteral("Deleted key for: ")
                            : QStringLiteral("Could not delete key for: ")) +
                   machine + ':' + page.valueName;
        } else {
            line = QStringLiteral("No changes to client: ") + machine;
        }
        host.summaryLine(line);
        return {};
    }

    // QUERY, and CREATE, which has no work of its own and reads like QUERY.
    std::string value;
    if (!GetRemoteKeyValue(root, page.keyPath.toStdString(), page.valueName.toStdString(), value, remote))
        return {};
    const QString text = QString::fromStdString(value);
    if (displayResult) host.summaryLine(machine + ':' + page.valueName + '=' + text);
    return text;
}

} // namespace vantrel
