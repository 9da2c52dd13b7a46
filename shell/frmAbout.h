#pragma once
// The about window: the program's name, version, maker and disclaimer. One instance at a time,
// shown modal; "OK" hides it, its close box unloads it.
#include <QDialog>

class QFrame;
class QLabel;
class QPlainTextEdit;
class QPushButton;

class frmAbout : public QDialog {
    Q_OBJECT
  public:
    explicit frmAbout(QWidget* parent = nullptr);

    // ---- controls (objectName == member name; array members "mainLbl_0" ...) ----
    QFrame* Frame1 = nullptr;
    QLabel* mainLbl[3] = {nullptr, nullptr, nullptr};
    QLabel* Label1 = nullptr;
    QLabel* authorLbl = nullptr;
    QLabel* Image1 = nullptr;
    QPlainTextEdit* txtInfo = nullptr;
    QPushButton* okBut = nullptr;

    void okBut_Click();

  private:
    void buildControls();
    void Form_Load();
};
