#pragma once
// The help-contact window: how to reach the maker for support and bug reports. One instance at
// a time, shown modal; "OK" hides it, its close box unloads it.
#include <QDialog>

class QFrame;
class QLabel;
class QPushButton;

class frmGettingHelp : public QDialog {
    Q_OBJECT
  public:
    explicit frmGettingHelp(QWidget* parent = nullptr);

    // ---- controls (objectName == member name; array members "lblMain_0" ...) ----
    QLabel* Image1 = nullptr;
    QFrame* Frame1 = nullptr;
    QLabel* lblMain[4] = {nullptr, nullptr, nullptr, nullptr};
    QLabel* Label1 = nullptr;
    QPushButton* Command1 = nullptr;

    void Image1_Click();
    void Command1_Click();

  protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

  private:
    void buildControls();
    void Form_Load();
};
