#pragma once
// The progress window: a moving bar and a one-line label that a long command shows while it
// works. set_msg is the command's yield point. One instance, created by frmMain::progress().
#include <QWidget>

class QLabel;
class QPushButton;
class QProgressBar;
class QTimer;

class frmProgress : public QWidget {
    Q_OBJECT
  public:
    explicit frmProgress(QWidget* parent = nullptr);

    // ---- controls (objectName == member name) ----
    QProgressBar* progressBar = nullptr;
    QLabel* progressLbl = nullptr;
    QTimer* progressTimer = nullptr;
    QLabel* Image1 = nullptr;
    QPushButton* stopBut = nullptr; // shown only for a command that can be stopped
    QLabel* positionLbl = nullptr;  // where a run over machines is, beside Stop

    // Shows the window (not modal) and starts the bar; a non-empty msg replaces the label.
    void start_progress(const QString& msg = QString());
    // Replaces the label, then lets every pending event run.
    void set_msg(const QString& msg);
    // Shows where a run over machines is ("Machine 3 of 40"), until the command ends; with
    // `total`, the bar stops its activity ticks and shows the share n of total.
    void set_position(const QString& text, int n = 0, int total = 0);
    // Hides the window, stops the bar and shows it empty; the tick counter is kept.
    void stop_progress();

    // Offers the Stop button to the command just started; its close box then means Stop
    // too, and the window stays up until the command ends. start_progress withdraws it.
    void offer_stop();
    // True once Stop was pressed (or the close box used) since offer_stop.
    bool stopRequested() const { return stopRequested_; }

    // One timer tick: the counter climbs 1..99, wraps to 0, and the bar shows it.
    void progressTimer_Timer();
    qint16 counter() const { return counter_; }

  protected:
    void closeEvent(QCloseEvent* event) override;
    // Escape is Stop, while Stop is offered.
    void keyPressEvent(QKeyEvent* event) override;

  private:
    void buildControls();
    void stopBut_Click();
    void showStop(bool shown);

    qint16 counter_ = 0;
    bool centred_ = false;
    bool stopRequested_ = false;
};
