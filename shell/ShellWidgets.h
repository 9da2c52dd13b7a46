#pragma once
// Two small widgets the main window needs and Qt does not offer as such.
#include <QCheckBox>
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

} // namespace vantrel
