#include "registry/RegistryPage.h"

#include "clients/ClientList.h"
#include "common/Dialogs.h"
#include "common/Names.h"
#include "registry/RemoteRegistry.h"
#include "shell/frmMain.h"
#include "shell/frmQuery.h"

#include <QComboBox>
#include <QLineEdit>

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

void fillRegistryPage(frmMain& w) {
    w.queryRegRootKeyValueCombo->addItems(registryRootNames());
    w.queryRegRootKeyValueCombo->setCurrentIndex(0);

    // A combo selects its first entry as soon as it has one; the key list starts with none
    // chosen and its placeholder showing.
    for (const auto& preset : registryPresetKeys())
        w.queryRegKeyValueCombo->addItem(preset.key);
    w.queryRegKeyValueCombo->setCurrentIndex(-1);
    w.queryRegKeyValueCombo->setEditText(KeyPlaceholder);
    if (w.queryRegSubKeyValueCombo->count() == 0 && w.queryRegSubKeyValueCombo->currentText().isEmpty())
        w.queryRegSubKeyValueCombo->setEditText(ValueNamePlaceholder);
    if (w.quickQueryRegValueTxt->text().isEmpty()) w.quickQueryRegValueTxt->setText(ValuePlaceholder);

    w.quickQueryActionCombo->addItems(registryActions());
    w.quickQueryActionCombo->setCurrentIndex(0);
    // Selecting by program runs the handler too, even when the entry was already current.
    w.quickQueryActionCombo_Click();
}

namespace {

// The machine doQuickQuery means; nothing when no entry is current.
std::optional<QString> machineFor(frmMain& w, const QString& machineName) {
    if (!machineName.isEmpty() && machineName != QLatin1String("NONE")) return machineName;
    int current = w.clients->current();
    // A single entry ticked without being highlighted (Select All does not move the
    // highlight) is the machine meant.
    if (current < 0 && w.clients->count() == 1) current = 0;
    if (current < 0) return std::nullopt;
    return w.clients->text(current);
}

void report(frmMain& w, const QString& line) {
    w.query()->SetText(line + QStringLiteral("\r\n"), true);
}

QString statusText(std::uint32_t status) {
    return status ? QStringLiteral("error ") + QString::number(status) : QStringLiteral("unexpected fault");
}

} // namespace

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

QString doQuickQuery(frmMain& w, bool displayResult, const QString& machineName) {
    if (w.clients->count() == 0) return {};
    const std::optional<QString> machine = machineFor(w, machineName);
    if (!machine) return {};
    return doQuickQueryOn(w, *machine, displayResult);
}

QString doQuickQueryOn(frmMain& w, const QString& machineName, bool displayResult, MachineOutcome* outcome) {
    MachineOutcome ignored;
    MachineOutcome& told = outcome ? *outcome : ignored;
    told = {};
    const auto failed = [&told](std::uint32_t status) {
        told.kind = MachineOutcome::Kind::Failed;
        told.status = status;
    };
    const QString machine = QString::fromStdString(trimBlanks(machineName.toStdString()));
    if (machine.isEmpty()) {
        // An empty name would reach this computer's own registry (or none): refused before
        // anything is called.
        w.SetMsg(blankMachineLine(w.quickQueryActionCombo->currentText()));
        told.kind = MachineOutcome::Kind::Refused;
        return {};
    }

    const QString rootName = w.queryRegRootKeyValueCombo->currentText();
    const QString keyPath = w.queryRegKeyValueCombo->currentText();
    const QString valueName = w.queryRegSubKeyValueCombo->currentText();
    const QString action = w.quickQueryActionCombo->currentText();
    const std::uint32_t root = ToHKeyLong(rootName.toStdString());
    // Always the remote form: an empty name would mean this computer's own registry.
    const std::string remote = "\\\\" + machine.toStdString();

    if (action == QLatin1String("UPDATE")) {
        const QString value = w.quickQueryRegValueTxt->text();
        if (value.isEmpty() || value == ValuePlaceholder) return {};
        std::uint32_t status = 0;
        if (!SetRemoteKeyValue(root, keyPath.toStdString(), valueName.toStdString(), value.toStdString(),
                               remote, &status))
            failed(status);
        else if (displayResult)
            report(w, QStringLiteral("Updated ") + machine + ':' + valueName + '=' + value);
        return {};
    }

    if (action == QLatin1String("DELETE")) {
        const QString fullKey = rootName + '\\' + keyPath + '\\' + valueName;
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
            w.SetMsg(QStringLiteral("Deleting key --> ") + fullKey);
            std::uint32_t status = 0;
            const bool deleted =
                DeleteRemoteKeyValue(root, (keyPath + '\\' + valueName).toStdString(), remote, &status);
            if (!deleted) failed(status);
            // Only a deletion that worked is reported as one.
            line = (deleted ? QStringLiteral("Deleted key for: ")
                            : QStringLiteral("Could not delete key for: ")) +
                   machine + ':' + valueName;
        } else {
            told.kind = MachineOutcome::Kind::Skipped;
            line = QStringLiteral("No changes to client: ") + machine;
        }
        report(w, line);
        return {};
    }

    // QUERY, and CREATE, which has no work of its own and reads like QUERY.
    std::string value;
    std::uint32_t status = 0;
    if (!GetRemoteKeyValue(root, keyPath.toStdString(), valueName.toStdString(), value, remote, &status)) {
        // A machine left out of the summary would pass for one that was never asked.
        failed(status);
        if (displayResult)
            report(w,
                   machine + ':' + valueName + QStringLiteral(" could not be read: ") + statusText(status));
        return {};
    }
    const QString text = QString::fromStdString(value);
    if (displayResult) report(w, machine + ':' + valueName + '=' + text);
    return text;
}

} // namespace vantrel
