#pragma once
// Small widgets and helpers the main window needs and Qt does not offer as such.
#include <QCheckBox>
#include <QComboBox>
#include <QPushButton>

namespace vantrel {

// A button whose caption is a Webdings glyph: "8" is the forward arrow, "7" the backward
// arrow. Where that font is not installed the caption text stays "8"/"7" (it is what the
// program and accessibility tools read) and the arrow is drawn instead.
class ArrowButton : public QPushButton {
  public:
    using QPushButton::QPushButton;
    static bool webdingsAvailable();

  protected:
    void paintEvent(QPaintEvent* event) override;
};

// A check box whose caption wraps onto further lines when it is taller than one line, as
// the design's two-line check boxes are.
class WrapCheckBox : public QCheckBox {
  public:
    using QCheckBox::QCheckBox;

  protected:
    void paintEvent(QPaintEvent* event) override;
    bool hitButton(const QPoint& pos) const override;
};

// Makes the mouse wheel change nothing over a combo box that does not have the focus: a
// wheel turned to scroll past a box would otherwise pick its entries one after another (and
// run what choosing each does). With the focus the wheel works as usual.
class ComboWheelGuard : public QObject {
  public:
    using QObject::QObject;
    // Guards every combo box inside `window` now; the guard belongs to the window.
    static void install(QWidget* window);

  protected:
    bool eventFilter(QObject* watched, QEvent* event) override;
};

// A combo box whose entries are commands (the list sources). Stepping through it while it is
// closed (arrow keys, Page Up/Down, Home/End, a typed letter, the wheel) only moves its
// selection; `chosen` reports an entry picked in the open list, or Enter on the closed box.
// Stepping must not run every source it passes on the way to the one wanted.
class CommandComboBox : public QComboBox {
    Q_OBJECT
  public:
    explicit CommandComboBox(QWidget* parent = nullptr);

  signals:
    void chosen(int index);

  protected:
    void keyPressEvent(QKeyEvent* event) override;
    void wheelEvent(QWheelEvent* event) override;

  private:
    bool stepping_ = false;
};

// Makes Enter (and the keypad's Enter) press the focused push or tool button of a window, as
// Space does: outside dialogs Qt gives Enter to no button.
class EnterPressesButtons : public QObject {
  public:
    using QObject::QObject;
    // Every push and tool button inside `window` now; the filter belongs to the window.
    static void install(QWidget* window);

  protected:
    bool eventFilter(QObject* watched, QEvent* event) override;
};

} // namespace vantrel
