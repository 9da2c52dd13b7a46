// The main window as a whole: its controls at their designed places, the menus, the tab
// order, the load procedure, the page switch, the action-type and masking rules, the message
// pane, the secondary windows and closing. Each subsystem's command handlers live in
// frmMain_<area>.cpp.
#include "shell/frmMain.h"

#include "Version.h"
#include "clients/ClientList.h"
#include "clients/RunMarks.h"
#include "common/Dialogs.h"
#include "shell/FormKit.h"
#include "shell/GrowingLayout.h"
#include "shell/ShellWidgets.h"
#include "shell/frmAbout.h"
#include "shell/frmGettingHelp.h"
#include "shell/frmProgress.h"
#include "shell/frmQuery.h"

#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QCloseEvent>
#include <QComboBox>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QMenu>
#include <QMenuBar>
#include <QMouseEvent>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QScrollBar>
#include <QSignalBlocker>
#include <QStandardItemModel>
#include <QTextCursor>
#include <QTextDocument>
#include <QTimer>
#include <QToolButton>

#include <exception>

using namespace vantrel::form;

namespace {

constexpr quint32 LightYellow = 0x00C0FFFF;
constexpr quint32 Navy = 0x00800000;
constexpr quint32 Blue = 0x00FF0000;
constexpr quint32 Green = 0x0000C000;

const QString ForwardCaption = QStringLiteral("8");
const QString BackwardCaption = QStringLiteral("7");
const QString ToRegistryTip = QStringLiteral("Switch to Registry Query/Update page");
const QString ToRegistryTipAfterSwitch = QStringLiteral("Switch to Registry Update/Modify page");
const QString ToServiceTip = QStringLiteral("Switch to Modify ALBD Service page");
const QString AccountPlaceholder = QStringLiteral("<Domain\\LoginName>");

template <typename W> W* make(QWidget* parent, const char* name, int left, int top, int width, int height) {
    auto* w = new W(parent);
    w->setObjectName(QLatin1String(name));
    place(w, left, top, width, height);
    return w;
}

QLabel* makeLabel(QWidget* parent, const char* name, const QString& caption, int left, int top, int width,
                  int height) {
    auto* l = make<QLabel>(parent, name, left, top, width, height);
    l->setText(caption);
    l->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    return l;
}

template <typename B>
B* makeButton(QWidget* parent, const char* name, const QString& caption, int left, int top, int width,
              int height) {
    auto* b = make<B>(parent, name, left, top, width, height);
    b->setText(caption);
    return b;
}

template <typename C = QComboBox>
C* makeCombo(QWidget* parent, const char* name, bool editable, int left, int top, int width, int height) {
    auto* c = make<C>(parent, name, left, top, width, height);
    c->setEditable(editable);
    if (editable) c->setInsertPolicy(QComboBox::NoInsert);
    return c;
}

QPlainTextEdit* makeMultiLine(QWidget* parent, const char* name, int left, int top, int width, int height) {
    auto* t = make<QPlainTextEdit>(parent, name, left, top, width, height);
    t->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    t->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    t->setLineWrapMode(QPlainTextEdit::WidgetWidth);
    // Tab moves on to the next control, as in every other box of the window.
    t->setTabChangesFocus(true);
    setBackground(t, vbColor(LightYellow));
    return t;
}

// Fills a list without running its handler: the load selects the first entry on its own.
void fillQuietly(QComboBox* combo, const QStringList& items) {
    const QSignalBlocker quiet(combo);
    combo->addItems(items);
    combo->setCurrentIndex(-1);
}

} // namespace

frmMain::frmMain(QWidget* parent) : QMainWindow(parent) {
    setObjectName(QStringLiteral("frmMain"));
    vantrel::form::initResources();
    // The design title; start-up adds the version.
    setWindowTitle(QStringLiteral(VANTREL_APP_TITLE " - " VANTREL_WEB_ADDRESS));
    setWindowIcon(QIcon(QStringLiteral(":/shell/vantrel.png")));
    // Sites have thousands of machines: the window may be enlarged and maximised, never made
    // smaller than designed.
    setWindowFlags(Qt::Window | Qt::WindowTitleHint | Qt::WindowSystemMenuHint |
                   Qt::WindowMinimizeButtonHint | Qt::WindowMaximizeButtonHint | Qt::WindowCloseButtonHint |
                   Qt::CustomizeWindowHint);
    setFont(baseFont());

    buildControls();
    buildMenus();
    setTabOrder();
    vantrel::ComboWheelGuard::install(this);
    vantrel::EnterPressesButtons::install(this);

    // The designed client area is the least; the window is that plus the menu bar.
    setMinimumSize(sizeHint());
    resize(sizeHint());
    growingLayout = new vantrel::GrowingLayout(centralWidget());
    using Rule = vantrel::GrowingLayout::Rule;
    growingLayout->add(Label1, Rule::Banner);
    growingLayout->add(clientList, Rule::List);
    for (QWidget* below : std::initializer_list<QWidget*>{selectAllBut, clearAllBut, butRefresh,
                                                          removeSettingCombo, patternTxt, removeBut})
        growingLayout->add(below, Rule::UnderList);
    growingLayout->add(textMsg, Rule::Pane);
    for (QWidget* beside :
         std::initializer_list<QWidget*>{sendMsgFrame, serviceInfoFrame, frameRegistry, changeQueryMethodBut})
        growingLayout->add(beside, Rule::Beside);

    clients = new vantrel::ClientList(clientList, clientsFoundLbl, this);
    runMarks = new vantrel::RunMarks(clients, this);

    connectShell();
    connectClients();
    connectSearch();
    connectBatch();
    connectRegistry();
    connectMessages();
}

frmMain::~frmMain() {
    // Secondary windows are children; deleting them here keeps their QPointers honest while the
    // rest of the window goes.
    delete progress_.data();
    delete query_.data();
    delete about_.data();
    delete gettingHelp_.data();
    // The list empties itself as it goes, after controls its handlers use are gone; so would
    // the last run's marks, on a list widget already half destroyed.
    delete runMarks;
    runMarks = nullptr;
    clientList->disconnect(this);
    clientList->model()->disconnect(this);
    // QWidget's destructor closes the window, and the focus leaving an edit box makes controls
    // emit signals (a combo box's activated): no handler may run on the half-destroyed window.
    for (QObject* child : findChildren<QObject*>())
        child->disconnect(this);
}

void frmMain::buildControls() {
    auto* client = new QWidget(this);
    client->setObjectName(QStringLiteral("clientArea"));
    client->setMinimumSize(twips(10650), twips(7560));
    client->resize(client->minimumSize());
    setCentralWidget(client);
    QWidget* w = client;

    // Banner strip across the top, behind the logo.
    Label1 = make<QLabel>(w, "Label1", -120, 0, 10932, 852);
    setBackground(Label1, vbColor(ColorWindow));

    logoImage = make<QLabel>(w, "logoImage", 1800, 120, 9225, 600);
    logoImage->setPixmap(QPixmap(QStringLiteral(":/shell/logo.png")));
    logoImage->setAlignment(Qt::AlignLeft | Qt::AlignVCenter);
    logoImage->setToolTip(QStringLiteral("Goto " VANTREL_WEB_ADDRESS));
    logoImage->setCursor(QCursor(QPixmap(QStringLiteral(":/shell/link-cursor.png")), 5, 1));
    logoImage->installEventFilter(this);

    clientListLbl =
        makeLabel(w, "clientListLbl", QStringLiteral("Current Client Systems: Found"), 360, 960, 2652, 252);
    clientListLbl->setFont(boldFont());
    clientsFoundLbl = makeLabel(w, "clientsFoundLbl", QStringLiteral("0"), 3120, 960, 852, 252);
    clientsFoundLbl->setFont(boldFont());
    setTextColour(clientsFoundLbl, vbColor(Navy));

    searchCriteriaCombo =
        makeCombo<vantrel::CommandComboBox>(w, "searchCriteriaCombo", false, 360, 1200, 3255, 288);
    searchCriteriaCombo->setToolTip(QStringLiteral("Select a search criteria"));

    butAddClient = make<QToolButton>(w, "butAddClient", 120, 1560, 252, 252);
    butAddClient->setIcon(QIcon(QStringLiteral(":/shell/add-client.png")));
    butAddClient->setToolTip(QStringLiteral("Click to add clients manually."));
    butAddClient->setAccessibleName(QStringLiteral("Add client"));
    butDeletedItem = make<QToolButton>(w, "butDeletedItem", 120, 1920, 252, 252);
    butDeletedItem->setIcon(QIcon(QStringLiteral(":/shell/delete-client.png")));
    butDeletedItem->setToolTip(QStringLiteral("Click to delete selected client."));
    butDeletedItem->setAccessibleName(QStringLiteral("Delete client"));
    for (QToolButton* b : {butAddClient, butDeletedItem}) {
        b->setIconSize(QSize(11, 11));
        b->setAutoRaise(false);
    }

    clientList = make<QListWidget>(w, "clientList", 360, 1560, 3252, 4560);
    clientList->setToolTip(QStringLiteral("Double click to client to get query information"));
    // The fills put up to 32767 one-line entries in the list; with every entry the same height
    // the list lays itself out without measuring each name when it is shown again.
    clientList->setUniformItemSizes(true);

    selectAllBut =
        makeButton<QPushButton>(w, "selectAllBut", QStringLiteral("Select All"), 360, 6240, 975, 252);
    clearAllBut =
        makeButton<QPushButton>(w, "clearAllBut", QStringLiteral("Clear All"), 1320, 6240, 975, 252);
    butRefresh = makeButton<QPushButton>(w, "butRefresh", QStringLiteral("Refresh"), 2280, 6240, 855, 252);

    removeSettingCombo = makeCombo(w, "removeSettingCombo", false, 3240, 6240, 1575, 315);
    removeSettingCombo->setToolTip(
        QStringLiteral("Select: Success Status, Remove by pattern or Find by pattern"));

    patternTxt = make<QLineEdit>(w, "patternTxt", 4800, 6240, 1932, 285);
    patternTxt->setText(QStringLiteral("<enter_pattern_here>"));
    setBackground(patternTxt, vbColor(ColorMenu));
    patternTxt->setEnabled(false);

    removeBut = makeButton<QPushButton>(w, "removeBut", QStringLiteral("Remove -->"), 6720, 6240, 1092, 252);
    removeBut->setToolTip(QStringLiteral("Remove from the list based on specified pattern..."));
    removeBut->setEnabled(false);

    textMsg = makeMultiLine(w, "textMsg", 360, 6600, 9972, 852);
    // The pane is the program's record of what happened: it can be selected and copied, not
    // typed into or cut.
    textMsg->setReadOnly(true);
    textMsg->setTextInteractionFlags(Qt::TextSelectableByMouse | Qt::TextSelectableByKeyboard);

    // ---- message frame ----
    sendMsgFrame = make<QGroupBox>(w, "sendMsgFrame", 3840, 1080, 6495, 1455);
    sendMsgFrame->setTitle(QStringLiteral("Send Message to Selected Client(s):"));
    msgTxt = makeMultiLine(sendMsgFrame, "msgTxt", 120, 240, 4932, 1095);
    msgTxt->setToolTip(QStringLiteral("Enter message to send to each of the selected clients"));
    sendMsgBut =
        makeButton<QPushButton>(sendMsgFrame, "sendMsgBut", QStringLiteral("Send"), 5160, 600, 1095, 495);

    // ---- service page ----
    serviceInfoFrame = make<QGroupBox>(w, "serviceInfoFrame", 3840, 2640, 6495, 3495);
    serviceInfoFrame->setTitle(QStringLiteral("Modify ALBD Service"));
    QWidget* s = serviceInfoFrame;
    checkboxUseActiveDirectory = makeButton<vantrel::WrapCheckBox>(
        s, "checkboxUseActiveDirectory", QStringLiteral("Use Active Directory"), 360, 360, 3372, 252);
    checkboxUseActiveDirectory->setToolTip(
        QStringLiteral("Connection test against the directory: the run looks up a test account "
                       "instead of changing the service's account, so no machine's logon is changed"));
    setTextColour(checkboxUseActiveDirectory, vbColor(Blue));
    cbEnableLogonAsService = makeButton<vantrel::WrapCheckBox>(
        s, "cbEnableLogonAsService", QStringLiteral("Set Logon as a Service Right"), 2760, 360, 2775, 255);
    serviceNameLbl = makeLabel(s, "serviceNameLbl", QStringLiteral("Service Name:"), 360, 720, 1332, 252);
    serviceNameCombo = makeCombo(s, "serviceNameCombo", true, 360, 960, 2652, 288);
    serviceNameCombo->setToolTip(
        QStringLiteral("Service name (e.g., Albd).  Service name is case sensitive"));
    {
        // The one design item; the load selects it.
        const QSignalBlocker quiet(serviceNameCombo);
        serviceNameCombo->addItem(QStringLiteral("Albd"));
        serviceNameCombo->setCurrentIndex(-1);
    }
    actionTypeLbl = makeLabel(s, "actionTypeLbl", QStringLiteral("Action Type:"), 3240, 720, 1212, 252);
    actionTypeCombo = makeCombo(s, "actionTypeCombo", false, 3240, 960, 1575, 288);
    actionTypeCombo->setToolTip(QStringLiteral(
        "config = Change configuration info; start = start service; stop = stop service; delete = "
        "delete service. Default is config. survey = read each ticked machine's service state, start "
        "type and logon account; changes nothing."));
    serviceAccountLbl =
        makeLabel(s, "serviceAccountLbl", QStringLiteral("Service Account: "), 360, 1440, 1332, 252);
    serviceAccountTxt = make<QLineEdit>(s, "serviceAccountTxt", 1680, 1440, 3132, 285);
    serviceAccountTxt->setText(AccountPlaceholder);
    serviceAccountTxt->setToolTip(QStringLiteral("Enter the service account (e.g., <Domain>\\<account>)"));
    serviceAccountTxt->installEventFilter(this);
    passwdLbl = makeLabel(s, "passwdLbl", QStringLiteral("Password:"), 360, 1800, 852, 252);
    passwdTxt = make<QLineEdit>(s, "passwdTxt", 1680, 1800, 3132, 285);
    passwdTxt->setToolTip(QStringLiteral("Enter the password"));
    // The masking character is "*", whatever the style's own choice.
    passwdTxt->setStyleSheet(QStringLiteral("QLineEdit { lineedit-password-character: 42; }"));
    passwdTxt->setEchoMode(QLineEdit::Password);
    maskPwdCB = makeButton<vantrel::WrapCheckBox>(s, "maskPwdCB", QStringLiteral("Mask Password"), 4920, 1800,
                                                  1092, 372);
    maskPwdCB->setChecked(true);
    checkboxStopStartService = makeButton<vantrel::WrapCheckBox>(
        s, "checkboxStopStartService", QStringLiteral("Stop and Restart service after update"), 360, 2280,
        2052, 372);
    checkboxStopStartService->setChecked(true);
    checkboxWaitForService = makeButton<vantrel::WrapCheckBox>(
        s, "checkboxWaitForService", QStringLiteral("Wait for service to start / stop on each client"), 2640,
        2280, 2172, 372);
    checkboxWaitForService->setChecked(true);
    executeBut = makeButton<QPushButton>(s, "executeBut", QStringLiteral("Execute"), 5040, 2520, 1212, 612);

    // ---- registry page (same place, hidden at start) ----
    frameRegistry = make<QGroupBox>(w, "frameRegistry", 3840, 2640, 6495, 3495);
    frameRegistry->setTitle(QStringLiteral("Registry Query / Update "));
    QWidget* r = frameRegistry;
    quickQueryLbl[0] = makeLabel(r, "quickQueryLbl_0", QStringLiteral("Action:"), 120, 600, 615, 255);
    quickQueryActionCombo = makeCombo(r, "quickQueryActionCombo", false, 840, 600, 1215, 315);
    quickQueryLbl[1] = makeLabel(r, "quickQueryLbl_1", QStringLiteral("Root Key:"), 120, 960, 735, 255);
    queryRegRootKeyValueCombo = makeCombo(r, "queryRegRootKeyValueCombo", false, 840, 960, 1215, 315);
    queryRegKeyValueCombo = makeCombo(r, "queryRegKeyValueCombo", true, 2040, 960, 4215, 315);
    queryRegKeyValueCombo->setEditText(QStringLiteral("<enter_reg_key_to_query>"));
    queryRegSubKeyValueCombo = makeCombo(r, "queryRegSubKeyValueCombo", true, 2040, 1320, 2295, 315);
    queryRegSubKeyValueCombo->setEditText(QStringLiteral("<subkey_value>"));
    quickQueryRegValueTxt = make<QLineEdit>(r, "quickQueryRegValueTxt", 4320, 1320, 1935, 285);
    quickQueryRegValueTxt->setText(QStringLiteral("<enter_value>"));
    quickQueryRegValueTxt->setVisible(false);
    quickQueryBut =
        makeButton<QPushButton>(r, "quickQueryBut", QStringLiteral("Execute"), 5040, 1800, 1215, 615);
    // The action list offers CREATE, which creates nothing: the page says so while it is chosen.
    createNoteLbl = makeLabel(
        r, "createNoteLbl", QStringLiteral("CREATE only reads the value, as QUERY does: it creates nothing."),
        120, 1800, 4815, 495);
    createNoteLbl->setWordWrap(true);
    createNoteLbl->setVisible(false);
    frameRegistry->setVisible(false);

    // Frame captions are bold, their contents are not.
    for (QGroupBox* frame : {sendMsgFrame, serviceInfoFrame, frameRegistry}) {
        frame->setFont(boldFont());
        for (QWidget* child : frame->findChildren<QWidget*>(Qt::FindDirectChildrenOnly))
            child->setFont(baseFont());
    }

    // Its top and right edges meet the top right corner of the page frames, drawn over them.
    changeQueryMethodBut =
        makeButton<vantrel::ArrowButton>(w, "changeQueryMethodBut", ForwardCaption, 9960, 2640, 375, 255);
    QFont webdings(QStringLiteral("Webdings"));
    webdings.setPointSizeF(11.25);
    webdings.setBold(true);
    changeQueryMethodBut->setFont(webdings);
    changeQueryMethodBut->setToolTip(ToRegistryTip);
    changeQueryMethodBut->setAccessibleName(QStringLiteral("Switch page"));
    setBackground(changeQueryMethodBut, vbColor(Green));
    {
        QPalette pal = changeQueryMethodBut->palette();
        for (auto group : {QPalette::Active, QPalette::Inactive, QPalette::Disabled})
            pal.setColor(group, QPalette::Button, vbColor(Green));
        changeQueryMethodBut->setPalette(pal);
    }
    changeQueryMethodBut->raise();
}

void frmMain::buildMenus() {
    // Access keys for the keyboard (Alt+F, Alt+O, Alt+H, then the item's letter); no shortcuts.
    File = menuBar()->addMenu(QStringLiteral("&File"));
    File->setObjectName(QStringLiteral("File"));
    sep1 = File->addSeparator();
    sep1->setObjectName(QStringLiteral("sep1"));
    Exit = File->addAction(QStringLiteral("E&xit"));
    Exit->setObjectName(QStringLiteral("Exit"));

    Options = menuBar()->addMenu(QStringLiteral("&Options"));
    Options->setObjectName(QStringLiteral("Options"));
    MachinesAtOnce = Options->addAction(QStringLiteral("&Machines at Once..."));
    MachinesAtOnce->setObjectName(QStringLiteral("MachinesAtOnce"));

    help = menuBar()->addMenu(QStringLiteral("&Help"));
    help->setObjectName(QStringLiteral("help"));
    GettingHelpFromHalcyra = help->addAction(QStringLiteral("&Getting Help From " VANTREL_MAKER));
    GettingHelpFromHalcyra->setObjectName(QStringLiteral("GettingHelpFromHalcyra"));
    sep10 = help->addSeparator();
    sep10->setObjectName(QStringLiteral("sep10"));
    Content = help->addAction(QStringLiteral("&Content"));
    Content->setObjectName(QStringLiteral("Content"));
    sep2 = help->addSeparator();
    sep2->setObjectName(QStringLiteral("sep2"));
    About = help->addAction(QStringLiteral("&About"));
    About->setObjectName(QStringLiteral("About"));

    // The client list's context menu (the menu key opens it too).
    TickOnlyFailed = new QAction(QStringLiteral("Tick &Only Failed Machines"), clientList);
    TickOnlyFailed->setObjectName(QStringLiteral("TickOnlyFailed"));
    TickOnlyFailed->setEnabled(false); // until a run leaves failed marks
    clientList->addAction(TickOnlyFailed);
    TickOnlyOtherAccount = new QAction(QStringLiteral("Tick Only Machines &Not on This Account"), clientList);
    TickOnlyOtherAccount->setObjectName(QStringLiteral("TickOnlyOtherAccount"));
    TickOnlyOtherAccount->setEnabled(false); // until a survey finds a service on another account
    clientList->addAction(TickOnlyOtherAccount);
    clientList->setContextMenuPolicy(Qt::ActionsContextMenu);
}

void frmMain::setTabOrder() {
    const QList<QWidget*> order = {searchCriteriaCombo,
                                   butAddClient,
                                   butDeletedItem,
                                   clientList,
                                   msgTxt,
                                   sendMsgBut,
                                   checkboxUseActiveDirectory,
                                   serviceNameCombo,
                                   actionTypeCombo,
                                   serviceAccountTxt,
                                   passwdTxt,
                                   maskPwdCB,
                                   checkboxStopStartService,
                                   checkboxWaitForService,
                                   executeBut,
                                   selectAllBut,
                                   clearAllBut,
                                   removeBut,
                                   removeSettingCombo,
                                   patternTxt,
                                   textMsg,
                                   changeQueryMethodBut,
                                   quickQueryRegValueTxt,
                                   quickQueryActionCombo,
                                   quickQueryBut,
                                   queryRegKeyValueCombo,
                                   queryRegRootKeyValueCombo,
                                   queryRegSubKeyValueCombo,
                                   butRefresh,
                                   cbEnableLogonAsService};
    for (QWidget* widget : order)
        widget->setFocusPolicy(Qt::StrongFocus);
    for (qsizetype i = 1; i < order.size(); ++i)
        QWidget::setTabOrder(order[i - 1], order[i]);
}

void frmMain::connectShell() {
    connect(changeQueryMethodBut, &QPushButton::clicked, this, [this] { changeQueryMethodBut_Click(); });
    // Runs for a selection by the program too.
    connect(actionTypeCombo, &QComboBox::currentIndexChanged, this, [this] { actionTypeCombo_Click(); });
    connect(maskPwdCB, &QCheckBox::clicked, this, [this] { maskPwdCB_Click(); });
}

void frmMain::Form_Load() {
    int step = 0;
    try {
        step = 1;
        fillQuietly(searchCriteriaCombo,
                    {QStringLiteral("<Select_Client_Search_Criteria>"), QString(33, u'-'),
                     QStringLiteral("ClearCase Clients Only"), QStringLiteral("Load from File"),
                     QString(33, u'-'), QStringLiteral("Local List Only"), QStringLiteral("Workstation Only"),
                     QStringLiteral("Server Only"), QStringLiteral("All Systems"),
                     QStringLiteral("Domain Controllers"), QStringLiteral("Backup Domain Controllers")});
        // The dividers only divide: neither the mouse nor the keyboard can choose one.
        if (auto* model = qobject_cast<QStandardItemModel*>(searchCriteriaCombo->model()))
            for (int row = 0; row < model->rowCount(); ++row)
                if (QStandardItem* item = model->item(row); item->text().startsWith(QLatin1String("--")))
                    item->setFlags(item->flags() & ~(Qt::ItemIsSelectable | Qt::ItemIsEnabled));
        selectAsUser(searchCriteriaCombo, 0);

        step = 2;
        fillQuietly(actionTypeCombo, {QStringLiteral("update"), QStringLiteral("start"),
                                      QStringLiteral("stop"), QStringLiteral("survey")});
        selectAsUser(actionTypeCombo, 0);

        step = 3;
        selectAsUser(serviceNameCombo, 0);

        step = 4;
        fillQuietly(removeSettingCombo, {QStringLiteral("Find"), QStringLiteral("Remove")});
        selectAsUser(removeSettingCombo, 0);

        // Root keys, preset keys and actions, in that order.
        step = 5;
        fillRegistryPage();
    } catch (const std::exception& e) {
        vantrel::showErrorBox(e.what(), "Could not load all components");
    } catch (...) {
        vantrel::showErrorBox("Unexpected fault in load step " + std::to_string(step),
                              "Could not load all components");
    }
}

void frmMain::changeQueryMethodBut_Click() {
    // The frame's own hidden flag tells which page is up, also before the window is shown.
    if (!serviceInfoFrame->isHidden()) {
        serviceInfoFrame->setVisible(false);
        frameRegistry->setVisible(true);
        changeQueryMethodBut->setText(BackwardCaption);
        changeQueryMethodBut->setToolTip(ToServiceTip);
    } else {
        serviceInfoFrame->setVisible(true);
        frameRegistry->setVisible(false);
        changeQueryMethodBut->setText(ForwardCaption);
        changeQueryMethodBut->setToolTip(ToRegistryTipAfterSwitch);
    }
    changeQueryMethodBut->raise();
}

void frmMain::actionTypeCombo_Click() {
    // Only properties are set here; nothing can fail that would need reporting.
    const bool update = actionTypeCombo->currentText() == QLatin1String("update");
    const bool survey = actionTypeCombo->currentText() == QLatin1String("survey");
    if (!update) {
        setBackground(passwdTxt, vbColor(ColorButtonFace));
        passwdTxt->setEnabled(false);
        checkboxStopStartService->setEnabled(false);
        maskPwdCB->setEnabled(false);
        // A survey compares each service's account with the one typed here.
        setBackground(serviceAccountTxt, vbColor(survey ? ColorWindow : ColorButtonFace));
        serviceAccountTxt->setEnabled(survey);
    } else {
        maskPwdCB->setEnabled(true);
        checkboxStopStartService->setEnabled(true);
        serviceAccountTxt->setEnabled(true);
        passwdTxt->setEnabled(true);
        setBackground(serviceAccountTxt, vbColor(ColorWindow));
        setBackground(passwdTxt, vbColor(ColorWindow));
    }
}

void frmMain::maskPwdCB_Click() {
    passwdTxt->setEchoMode(maskPwdCB->checkState() == Qt::Unchecked ? QLineEdit::Normal
                                                                    : QLineEdit::Password);
}

void frmMain::SetMsg(const QString& msg) {
    try {
        // The pane is emptied whole once it holds more than 5000 characters (line breaks count
        // as CR LF, two each), and the newest line goes on top. A batch run calls this for every
        // event on every machine, so the pane's text is neither read nor re-set: the document
        // keeps its character and line counts up to date, and the line is inserted in place.
        QTextDocument* doc = textMsg->document();
        const int length = (doc->characterCount() - 1) + (doc->blockCount() - 1);
        const QString line = msg + QLatin1String("\r\n");
        if (length > 5000) {
            textMsg->setPlainText(line);
        } else {
            // Re-setting the text used to drop the edit history; a run of insertions must not
            // build one up either.
            doc->setUndoRedoEnabled(false);
            QTextCursor(doc).insertText(line);
            doc->setUndoRedoEnabled(true);
        }
        // The newest line stays in view, as after re-setting the text.
        textMsg->moveCursor(QTextCursor::Start);
        textMsg->verticalScrollBar()->setValue(0);
    } catch (const std::exception& e) {
        vantrel::showErrorBox(e.what(), "SetMsg()");
    }
}

frmProgress* frmMain::progress() {
    if (!progress_) progress_ = new frmProgress(this);
    return progress_;
}

frmQuery* frmMain::query() {
    if (!query_) query_ = new frmQuery(this);
    return query_;
}

namespace {
// The information windows are separate top-level windows owned by the main window.
template <typename W> W* makeSecondary(QWidget* owner) {
    auto* window = new W(owner);
    if (!window->isWindow()) window->setWindowFlag(Qt::Window, true);
    return window;
}
} // namespace

frmAbout* frmMain::about() {
    if (!about_) about_ = makeSecondary<frmAbout>(this);
    return about_;
}

frmGettingHelp* frmMain::gettingHelp() {
    if (!gettingHelp_) gettingHelp_ = makeSecondary<frmGettingHelp>(this);
    return gettingHelp_;
}

const QString frmMain::CommandStillRunningLine =
    QStringLiteral("A command is still running: this click was ignored.");

frmMain::LongCommand::LongCommand(frmMain& w) : w_(w), acquired_(!w.longCommand_) {
    if (acquired_)
        w_.longCommand_ = true;
    else
        w_.SetMsg(CommandStillRunningLine);
}

frmMain::LongCommand::~LongCommand() {
    if (!acquired_) return;
    w_.longCommand_ = false;
    // A close asked for while the command ran was put off until now; do it once the command's
    // handler has returned, so nothing of the window is used after it goes.
    if (w_.closeRequested_) QTimer::singleShot(0, &w_, [w = &w_] { w->close(); });
}

void frmMain::closeEvent(QCloseEvent* event) {
    if (longCommand_) {
        // The running command stops at its next yield point and its guard closes the window.
        closeRequested_ = true;
        event->ignore();
        return;
    }
    // Unload every other window of the program, one after another.
    for (QWidget* window : std::initializer_list<QWidget*>{progress_, query_, about_, gettingHelp_}) {
        if (!window) continue;
        window->hide();
        delete window;
    }
    vantrel::storeWindowSize({isMaximized() ? normalGeometry().size() : size(), isMaximized()});
    event->accept();
    QMainWindow::closeEvent(event);
}

bool frmMain::eventFilter(QObject* watched, QEvent* event) {
    if (watched == logoImage && event->type() == QEvent::MouseButtonRelease) {
        auto* mouse = static_cast<QMouseEvent*>(event);
        if (mouse->button() == Qt::LeftButton && logoImage->rect().contains(mouse->position().toPoint())) {
            logoImage_Click();
            return true;
        }
    }
    // A click into the account box while it still shows its placeholder selects it whole, so
    // typing replaces it (Tab already selects a line edit's text); the click's own cursor
    // placement comes first, at the press.
    if (watched == serviceAccountTxt && event->type() == QEvent::MouseButtonRelease &&
        serviceAccountTxt->text() == AccountPlaceholder)
        serviceAccountTxt->selectAll();
    return QMainWindow::eventFilter(watched, event);
}
