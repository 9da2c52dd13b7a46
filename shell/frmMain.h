#pragma once
// The main window. Every working control is a public member named as documented, so the
// command handlers (each subsystem keeps its own in a file of its own: frmMain_*.cpp) and the
// tests reach them by name. The window owns no data besides its controls.
#include <QMainWindow>
#include <QPointer>

class QAction;
class QCheckBox;
class QComboBox;
class QGroupBox;
class QLabel;
class QLineEdit;
class QListWidget;
class QMenu;
class QPlainTextEdit;
class QPushButton;
class QTextEdit;
class QToolButton;

namespace vantrel {
class ClientList;
class GrowingLayout;
class RunMarks;
} // namespace vantrel
class frmProgress;
class frmQuery;
class frmAbout;
class frmGettingHelp;

class frmMain : public QMainWindow {
    Q_OBJECT
  public:
    explicit frmMain(QWidget* parent = nullptr);
    ~frmMain() override;

    // The window load procedure: fills the lists and selects their first entries, running the
    // selection handlers in the documented order. Called once by start-up.
    void Form_Load();

    // ---- controls (objectName == member name) ----
    QLabel* Label1 = nullptr;
    QLabel* logoImage = nullptr;
    QLabel* clientListLbl = nullptr;
    QLabel* clientsFoundLbl = nullptr;
    QComboBox* searchCriteriaCombo = nullptr;
    QToolButton* butAddClient = nullptr;
    QToolButton* butDeletedItem = nullptr;
    QListWidget* clientList = nullptr;
    QPushButton* selectAllBut = nullptr;
    QPushButton* clearAllBut = nullptr;
    QPushButton* butRefresh = nullptr;
    QComboBox* removeSettingCombo = nullptr;
    QLineEdit* patternTxt = nullptr;
    QPushButton* removeBut = nullptr;
    QPlainTextEdit* textMsg = nullptr;
    QGroupBox* sendMsgFrame = nullptr;
    QPlainTextEdit* msgTxt = nullptr;
    QPushButton* sendMsgBut = nullptr;
    QPushButton* changeQueryMethodBut = nullptr;
    QGroupBox* serviceInfoFrame = nullptr;
    QCheckBox* checkboxUseActiveDirectory = nullptr;
    QCheckBox* cbEnableLogonAsService = nullptr;
    QLabel* serviceNameLbl = nullptr;
    QComboBox* serviceNameCombo = nullptr;
    QLabel* actionTypeLbl = nullptr;
    QComboBox* actionTypeCombo = nullptr;
    QLabel* serviceAccountLbl = nullptr;
    QLineEdit* serviceAccountTxt = nullptr;
    QLabel* passwdLbl = nullptr;
    QLineEdit* passwdTxt = nullptr;
    QCheckBox* maskPwdCB = nullptr;
    QCheckBox* checkboxStopStartService = nullptr;
    QCheckBox* checkboxWaitForService = nullptr;
    QPushButton* executeBut = nullptr;
    QGroupBox* frameRegistry = nullptr;
    QLabel* quickQueryLbl[2] = {nullptr, nullptr}; // objectNames "quickQueryLbl_0", "quickQueryLbl_1"
    QComboBox* quickQueryActionCombo = nullptr;
    QComboBox* queryRegRootKeyValueCombo = nullptr;
    QComboBox* queryRegKeyValueCombo = nullptr;
    QComboBox* queryRegSubKeyValueCombo = nullptr;
    QLineEdit* quickQueryRegValueTxt = nullptr;
    QPushButton* quickQueryBut = nullptr;
    QLabel* createNoteLbl = nullptr; // shown while CREATE is chosen

    // menus
    QMenu* File = nullptr;
    QAction* sep1 = nullptr;
    QAction* Exit = nullptr;
    QMenu* Options = nullptr;
    QAction* MachinesAtOnce = nullptr;
    QMenu* help = nullptr;
    QAction* GettingHelpFromHalcyra = nullptr;
    QAction* sep10 = nullptr;
    QAction* Content = nullptr;
    QAction* sep2 = nullptr;
    QAction* About = nullptr;
    // the client list's context menu
    QAction* TickOnlyFailed = nullptr;
    QAction* TickOnlyOtherAccount = nullptr;

    // The client list procedures (owns the duplicate index kept in step with clientList).
    vantrel::ClientList* clients = nullptr;
    // What the last batch run left on the list: its failed machines and those it did not try.
    vantrel::RunMarks* runMarks = nullptr;
    // Where the room goes when the window is enlarged.
    vantrel::GrowingLayout* growingLayout = nullptr;

    // ---- message pane (shell) ----
    void SetMsg(const QString& msg);

    // ---- secondary windows: single instances, created on first use ----
    frmProgress* progress();
    frmQuery* query();
    frmAbout* about();
    frmGettingHelp* gettingHelp();
    bool hasProgress() const { return !progress_.isNull(); }
    bool hasQuery() const { return !query_.isNull(); }
    bool hasAbout() const { return !about_.isNull(); }
    bool hasGettingHelp() const { return !gettingHelp_.isNull(); }

    // ---- long commands ----
    // One guard shared by every long command (batch run, registry run, message run, list
    // fills): while one runs, a click that would start another does nothing but a pane line.
    bool longCommandRunning() const { return longCommand_; }
    // The pane line of a click refused because another long command runs.
    static const QString CommandStillRunningLine;
    // True once the window has been asked to close; long commands stop at their next yield.
    bool closeRequested() const { return closeRequested_; }

    class LongCommand {
      public:
        // Refused, it says so in the message pane: a click must not vanish without a word.
        explicit LongCommand(frmMain& w);
        ~LongCommand();
        LongCommand(const LongCommand&) = delete;
        LongCommand& operator=(const LongCommand&) = delete;
        // False when another long command already runs: the caller returns at once.
        explicit operator bool() const { return acquired_; }

      private:
        frmMain& w_;
        bool acquired_;
    };

    // ---- handlers of Parts owned by the shell (frmMain.cpp) ----
    void changeQueryMethodBut_Click();
    void actionTypeCombo_Click();
    void maskPwdCB_Click();

    // ---- client list (frmMain_clients.cpp) ----
    void butAddClient_Click();
    void butDeletedItem_Click();
    void butRefresh_Click();
    void selectAllBut_Click();
    void clearAllBut_Click();
    void TickOnlyFailed_Click();
    void TickOnlyOtherAccount_Click();
    void clientList_DblClick();

    // ---- find / remove and list fills (frmMain_search.cpp) ----
    void removeSettingCombo_Click();
    void removeBut_Click();
    void searchCriteriaCombo_Click();

    // ---- batch run and its setting (frmMain_batch.cpp) ----
    void executeBut_Click();
    void MachinesAtOnce_Click();

    // ---- registry page (frmMain_registry.cpp) ----
    void quickQueryActionCombo_Click();
    void queryRegKeyValueCombo_Click();
    void quickQueryBut_Click();

    // ---- messages, menus and information windows (frmMain_messages.cpp) ----
    void sendMsgBut_Click();
    void Exit_Click();
    void Content_Click();
    void About_Click();
    void GettingHelpFromHalcyra_Click();
    void logoImage_Click();

  protected:
    void closeEvent(QCloseEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

  private:
    void buildControls();
    void buildMenus();
    void setTabOrder();
    // Each handler file connects its own controls.
    void connectShell();
    void connectClients();
    void connectSearch();
    void connectBatch();
    void connectRegistry();
    // The registry page's lists, as the load fills them (frmMain_registry.cpp).
    void fillRegistryPage();
    void connectMessages();

    bool longCommand_ = false;
    bool closeRequested_ = false;
    QPointer<frmProgress> progress_;
    QPointer<frmQuery> query_;
    QPointer<frmAbout> about_;
    QPointer<frmGettingHelp> gettingHelp_;
};
