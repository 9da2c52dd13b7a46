#include "shell/frmProgress.h"

#include "common/AppEnv.h"
#include "shell/FormKit.h"

#include <QCloseEvent>
#include <QLabel>
#include <QProgressBar>
#include <QPushButton>
#include <QStyle>
#include <QStyleFactory>
#include <QTimer>

using namespace vantrel::form;

namespace {
constexpr int TickInterval = 10; // milliseconds
constexpr int Width = 5595;      // twips
constexpr int Height = 1380;
constexpr int HeightWithStop = 1710; // room for the Stop button under the bar
} // namespace

frmProgress::frmProgress(QWidget* parent) : QWidget(parent, Qt::Window) {
    setObjectName(QStringLiteral("frmProgress"));
    initResources();
    buildControls();
    // First load: the bar counts from 0 to 100.
    progressBar->setMinimum(0);
    progressBar->setMaximum(100);
}

void frmProgress::buildControls() {
    setWindowTitle(QStringLiteral("Working please wait..."));
    setFont(baseFont());
    setFixedSize(twips(Width), twips(Height));
    setWindowIcon(QIcon(QStringLiteral(":/shell/vantrel.png")));
    // A status window: no maximise or minimise, closing goes through the command.
    setWindowFlags(Qt::Window | Qt::WindowTitleHint | Qt::CustomizeWindowHint);

    Image1 = new QLabel(this);
    Image1->setObjectName(QStringLiteral("Image1"));
    place(Image1, 240, 240, 480, 480);
    Image1->setPixmap(QPixmap(QStringLiteral(":/shell/progress.png")));
    Image1->setScaledContents(true);

    progressLbl = new QLabel(QStringLiteral("Working..."), this);
    progressLbl->setObjectName(QStringLiteral("progressLbl"));
    place(progressLbl, 840, 120, 4095, 615);
    QFont arial;
    arial.setFamilies(
        {QStringLiteral("Arial"), QStringLiteral("Liberation Sans"), QStringLiteral("Nimbus Sans")});
    arial.setStyleHint(QFont::SansSerif);
    arial.setPointSizeF(8.25);
    arial.setBold(true);
    progressLbl->setFont(arial);
    setTextColour(progressLbl, vbColor(0x00C00000));
    progressLbl->setAlignment(Qt::AlignLeft | Qt::AlignVCenter);
    progressLbl->setWordWrap(true);
    // set_msg runs once per machine: with its size fixed, a new text does not make the window
    // lay itself out again.
    progressLbl->setFixedSize(progressLbl->size());

    progressBar = new QProgressBar(this);
    progressBar->setObjectName(QStringLiteral("progressBar"));
    place(progressBar, 720, 840, 4335, 255);
    // The bar shows activity, not a share of work done: no percentage.
    progressBar->setTextVisible(false);
    // It ticks a hundred times a second while a command waits. In the plain chunked style it
    // is a few filled rectangles rather than gradients, and a tick that crosses no chunk
    // boundary is not repainted at all.
    if (QStyle* plain = QStyleFactory::create(QStringLiteral("Windows"))) {
        plain->setParent(this);
        progressBar->setStyle(plain);
    }

    stopBut = new QPushButton(QStringLiteral("Stop"), this);
    stopBut->setObjectName(QStringLiteral("stopBut"));
    place(stopBut, 3840, 1215, 1215, 375);
    stopBut->hide();
    connect(stopBut, &QPushButton::clicked, this, [this] { stopBut_Click(); });

    positionLbl = new QLabel(this);
    positionLbl->setObjectName(QStringLiteral("positionLbl"));
    place(positionLbl, 720, 1215, 3000, 375);
    positionLbl->setAlignment(Qt::AlignLeft | Qt::AlignVCenter);
    positionLbl->hide();

    progressTimer = new QTimer(this);
    progressTimer->setObjectName(QStringLiteral("progressTimer"));
    progressTimer->setInterval(TickInterval);
    connect(progressTimer, &QTimer::timeout, this, [this] { progressTimer_Timer(); });
}

void frmProgress::start_progress(const QString& msg) {
    showStop(false);
    if (!msg.isEmpty()) progressLbl->setText(msg);
    if (!centred_) {
        centreOnScreen(this);
        centred_ = true;
    }
    show();
    raise();
    progressTimer->setInterval(TickInterval);
    progressTimer->start();
}

void frmProgress::set_msg(const QString& msg) {
    progressLbl->setText(msg);
    vantrel::yieldEvents();
}

void frmProgress::set_position(const QString& text) {
    positionLbl->setText(text);
    positionLbl->show();
}

void frmProgress::stop_progress() {
    showStop(false);
    hide();
    progressTimer->stop();
    progressTimer->setInterval(0);
    progressBar->setValue(0);
}

void frmProgress::progressTimer_Timer() {
    counter_ = qint16((counter_ + 1) % 100);
    progressBar->setValue(counter_);
}

void frmProgress::offer_stop() {
    showStop(true);
}

void frmProgress::showStop(bool shown) {
    stopRequested_ = false;
    setProperty("stopRequested", false);
    // The position belongs to the command that offered Stop.
    positionLbl->clear();
    positionLbl->hide();
    stopBut->setEnabled(true);
    stopBut->setText(QStringLiteral("Stop"));
    stopBut->setVisible(shown);
    setFixedSize(twips(Width), twips(shown ? HeightWithStop : Height));
}

void frmProgress::stopBut_Click() {
    stopRequested_ = true;
    // Wakes a wait for a helper program, which watches this window's events.
    setProperty("stopRequested", true);
    // Machines under way still finish: the button says so until the command ends.
    stopBut->setEnabled(false);
    stopBut->setText(QStringLiteral("Stopping..."));
}

void frmProgress::closeEvent(QCloseEvent* event) {
    if (stopBut->isVisible()) {
        // While a command that can be stopped runs, the progress stays in sight: closing asks
        // the command to stop, as the button does.
        event->ignore();
        if (!stopRequested_) stopBut_Click();
        return;
    }
    QWidget::closeEvent(event);
}
