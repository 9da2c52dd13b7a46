#pragma once
// Small helpers shared by the program's windows: the twips-to-pixels conversion every control
// position goes through, the colour and font conventions of the forms, and the combo-box
// selection that behaves like a user's pick.
#include <QColor>
#include <QFont>
#include <QRect>
#include <QString>

class QComboBox;
class QPlainTextEdit;
class QWidget;

namespace vantrel::form {

// Form positions are designed in twips; at 96 dots per inch 15 twips make one pixel.
constexpr int TwipsPerPixel = 15;

// Twips to pixels, rounded to the nearest pixel.
constexpr int twips(int value) {
    return value >= 0 ? (value + TwipsPerPixel / 2) / TwipsPerPixel
                      : -((-value + TwipsPerPixel / 2) / TwipsPerPixel);
}
constexpr QRect twipsRect(int left, int top, int width, int height) {
    return QRect(twips(left), twips(top), twips(width), twips(height));
}
// Puts a widget at its designed rectangle (relative to its parent).
void place(QWidget* widget, int left, int top, int width, int height);

// Colours are written as 0x00BBGGRR, or as system colours (high bit set) that map to the
// palette: 0x80000004 menu background (Window), 0x80000005 window background (Base),
// 0x80000008 window text (Text), 0x80000012 button text (ButtonText), 0x8000000F button face
// (Button).
QColor vbColor(quint32 value);
inline constexpr quint32 ColorMenu = 0x80000004;
inline constexpr quint32 ColorWindow = 0x80000005;
inline constexpr quint32 ColorButtonFace = 0x8000000F;

// Sets a widget's background (its own and its Base role, for text boxes) or its text colour,
// in every colour group.
void setBackground(QWidget* widget, const QColor& colour);
void setTextColour(QWidget* widget, const QColor& colour);

// The forms' font: a plain sans serif of 8.25 points, and its bold form for frame captions.
QFont baseFont();
QFont boldFont();

// Selects `index` as a user's click would: the current index changes (when it differs) and
// the pick itself is signalled, so a handler runs whichever of the two it listens to.
void selectAsUser(QComboBox* combo, int index);

// The text of a multi-line box as the program's other parts see it: each line break is CR LF.
QString textWithCrLf(const QPlainTextEdit* box);

// Registers the windows' pictures (they are compiled into the static core library, whose
// resources are not registered on their own). Safe to call more than once.
void initResources();

// Centres a top-level window on its screen's available area.
void centreOnScreen(QWidget* window);

} // namespace vantrel::form
