#include "shell/frmProgress.h"

#include "common/AppEnv.h"
#include "shell/FormKit.h"

#include <QLabel>
#include <QProgressBar>
#include <QStyle>
#include <QStyleFactory>
#include <QTimer>

using namespace vantrel::form;

namespace {
constexpr int TickInterval = 10; // milliseconds
}

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
    setFixedSize(twips(5595), twips(1380));
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

    progressTimer = new QTimer(this);
    progressTimer->setObjectName(QStringLiteral("progressTimer"));
    progressTimer->setInterval(TickInterval);
    connect(progressTimer, &QTimer::timeout, this, [this] { progressTimer_Timer(); });
}

void frmProgress::start_progress(const QString& msg) {
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

void frmProgress::stop_progress() {
    hide();
    progressTimer->stop();
    progressTimer->setInterval(0);
    progressBar->setValue(0);
}

void frmProgress::progressTimer_Timer() {
    counter_ = qint16((counter_ + 1) % 100);
    progressBar->setValue(counter_);
}
