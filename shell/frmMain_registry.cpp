// The registry page's handlers: filling its lists at load, choosing a preset key or an
// action, and the run of the chosen action over the ticked clients.
#include "clients/ClientList.h"
#include "common/AppEnv.h"
#include "registry/RegistryPage.h"
#include "shell/PaneLog.h"
#include "shell/frmMain.h"
#include "shell/frmProgress.h"
#include "shell/frmQuery.h"

#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>

namespace {

// The window as the registry page's run sees it: controls read at the moment they are asked
// for.
class WindowRegistryHost : public vantrel::RegistryHost {
  public:
    explicit WindowRegistryHost(frmMain& w) : w_(w), log_(w) {}

    vantrel::RegistryInputs inputs() override {
        return {w_.quickQueryActionCombo->currentText(), w_.queryRegRootKeyValueCombo->currentText(),
                w_.queryRegKeyValueCombo->currentText(), w_.queryRegSubKeyValueCombo->currentText(),
                w_.quickQueryRegValueTxt->text()};
    }

    int clientCount() override { return w_.clients->count(); }
    bool clientTicked(int index) override { return w_.clients->ticked(index); }
    QString clientText(int index) override { return w_.clients->text(index); }
    int currentClient() override { return w_.clients->current(); }

    void paneLine(const QString& line) override { log_.line(line); }
    void clearSummary() override { w_.query()->textClear(); }
    void summaryLine(const QString& line) override {
        w_.query()->SetText(line + QStringLiteral("\r\n"), true);
    }
    void showSummary() override { w_.query()->show(); }
    void beginProgress(const QString& text) override { w_.progress()->start_progress(text); }
    void progressLine(const QString& text) override { w_.progress()->set_msg(text); }
    void endProgress() override { w_.progress()->stop_progress(); }
    void yield() override { vantrel::yieldEvents(); }

    bool stopRequested() override { return w_.closeRequested(); }

    void finish() { log_.finish(); }

  private:
    frmMain& w_;
    vantrel::PaneLog log_;
};

} // namespace

void frmMain::fillRegistryPage() {
    queryRegRootKeyValueCombo->addItems(vantrel::registryRootNames());
    queryRegRootKeyValueCombo->setCurrentIndex(0);

    // A combo selects its first entry as soon as it has one; the key list starts with none
    // chosen and its placeholder showing.
    for (const auto& preset : vantrel::registryPresetKeys())
        queryRegKeyValueCombo->addItem(preset.key);
    queryRegKeyValueCombo->setCurrentIndex(-1);
    queryRegKeyValueCombo->setEditText(vantrel::KeyPlaceholder);
    if (queryRegSubKeyValueCombo->count() == 0 && queryRegSubKeyValueCombo->currentText().isEmpty())
        queryRegSubKeyValueCombo->setEditText(vantrel::ValueNamePlaceholder);
    if (quickQueryRegValueTxt->text().isEmpty()) quickQueryRegValueTxt->setText(vantrel::ValuePlaceholder);

    quickQueryActionCombo->addItems(vantrel::registryActions());
    quickQueryActionCombo->setCurrentIndex(0);
    // Selecting by program runs the handler too, even when the entry was already current.
    quickQueryActionCombo_Click();
}

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
    createNoteLbl->setVisible(action == QLatin1String("CREATE"));
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
    WindowRegistryHost host(*this);
    vantrel::runQuickQuery(host);
    host.finish();
}
