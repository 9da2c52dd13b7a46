#pragma once
// The summary window "Execute Summary": collects the text a command builds up piece by piece.
// One instance, created by frmMain::query() as the main window's own window, so it stays above
// it; "Close", Escape and the close box hide it.
#include <QString>
#include <QWidget>

class QPlainTextEdit;
class QPushButton;

class frmQuery : public QWidget {
    Q_OBJECT
  public:
    explicit frmQuery(QWidget* parent = nullptr);

    // ---- controls (objectName == member name) ----
    QPlainTextEdit* queryTxt = nullptr;
    QPushButton* closeBut = nullptr;

    void textClear();
    // Replaces the text with txt, or adds txt at its end when append is true. Nothing is put
    // between pieces; callers end their lines with CR LF.
    void SetText(const QString& txt, bool append);
    // The collected text exactly as given, CR LF line breaks included.
    QString text() const { return text_; }

    void closeBut_Click();

  protected:
    void closeEvent(QCloseEvent* event) override;
    void showEvent(QShowEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;

  private:
    void buildControls();

    // The box shows the text; the exact text is kept here because the box turns every CR LF
    // into its own line break. Appending to both costs only the piece, not the whole text.
    QString text_;
    bool centred_ = false;
};
