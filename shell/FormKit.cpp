#include "shell/FormKit.h"

#include <QApplication>
#include <QComboBox>
#include <QGuiApplication>
#include <QPalette>
#include <QPlainTextEdit>
#include <QScreen>
#include <QStyle>
#include <QWidget>
#include <QtGlobal>

// Q_INIT_RESOURCE must be used outside any namespace.
static void registerShellResources() {
    Q_INIT_RESOURCE(shell);
}

namespace vantrel::form {

void initResources() {
    static const bool done = (registerShellResources(), true);
    (void)done;
}

void place(QWidget* widget, int left, int top, int width, int height) {
    widget->setGeometry(twipsRect(left, top, width, height));
}

QColor vbColor(quint32 value) {
    if (value & 0x80000000u) {
        const QPalette pal = QApplication::palette();
        switch (value & 0xFFu) {
        case 0x04:
            return pal.color(QPalette::Window);
        case 0x05:
            return pal.color(QPalette::Base);
        case 0x08:
            return pal.color(QPalette::Text);
        case 0x12:
            return pal.color(QPalette::ButtonText);
        case 0x0F:
        default:
            return pal.color(QPalette::Button);
        }
    }
    return QColor(int(value & 0xFFu), int((value >> 8) & 0xFFu), int((value >> 16) & 0xFFu));
}

void setBackground(QWidget* widget, const QColor& colour) {
    QPalette pal = widget->palette();
    for (auto role : {QPalette::Base, QPalette::Window}) {
        pal.setColor(QPalette::Active, role, colour);
        pal.setColor(QPalette::Inactive, role, colour);
        pal.setColor(QPalette::Disabled, role, colour);
    }
    widget->setPalette(pal);
    widget->setAutoFillBackground(true);
}

void setTextColour(QWidget* widget, const QColor& colour) {
    QPalette pal = widget->palette();
    for (auto role : {QPalette::WindowText, QPalette::Text, QPalette::ButtonText}) {
        pal.setColor(QPalette::Active, role, colour);
        pal.setColor(QPalette::Inactive, role, colour);
    }
    widget->setPalette(pal);
}

QFont baseFont() {
    QFont f;
    // The design font is a small bitmap sans serif; where it is missing, the closest metric
    // match keeps captions inside their designed rectangles.
    f.setFamilies({QStringLiteral("MS Sans Serif"), QStringLiteral("Microsoft Sans Serif"),
                   QStringLiteral("Liberation Sans"), QStringLiteral("Arial"), QStringLiteral("Nimbus Sans"),
                   QStringLiteral("DejaVu Sans")});
    f.setStyleHint(QFont::SansSerif);
    f.setPointSizeF(8.25);
    // Stated outright, so a widget inside a bold frame does not inherit the frame's weight.
    f.setWeight(QFont::Normal);
    return f;
}

QFont boldFont() {
    QFont f = baseFont();
    f.setBold(true);
    return f;
}

void selectAsUser(QComboBox* combo, int index) {
    combo->setCurrentIndex(index);
    if (index < 0 || index >= combo->count()) return;
    emit combo->activated(index);
    emit combo->textActivated(combo->itemText(index));
}

QString textWithCrLf(const QPlainTextEdit* box) {
    QString text = box->toPlainText();
    text.replace(QLatin1Char('\n'), QLatin1String("\r\n"));
    return text;
}

void centreOnScreen(QWidget* window) {
    QScreen* screen = window->screen() ? window->screen() : QGuiApplication::primaryScreen();
    if (!screen) return;
    window->setGeometry(
        QStyle::alignedRect(Qt::LeftToRight, Qt::AlignCenter, window->size(), screen->availableGeometry()));
}

} // namespace vantrel::form
