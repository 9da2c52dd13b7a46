#include "shell/ShellWidgets.h"

#include <QComboBox>
#include <QEvent>
#include <QFontDatabase>
#include <QKeyEvent>
#include <QPainter>
#include <QPainterPath>
#include <QStyleOptionButton>
#include <QStylePainter>
#include <QToolButton>

namespace vantrel {

bool ArrowButton::webdingsAvailable() {
    return QFontDatabase::families().contains(QStringLiteral("Webdings"), Qt::CaseInsensitive);
}

void ArrowButton::paintEvent(QPaintEvent* event) {
    const QString caption = text();
    const bool forward = caption == QLatin1String("8");
    const bool backward = caption == QLatin1String("7");
    if (webdingsAvailable() || (!forward && !backward)) {
        QPushButton::paintEvent(event);
        return;
    }

    QStylePainter p(this);
    QStyleOptionButton opt;
    initStyleOption(&opt);
    opt.text.clear();
    p.drawControl(QStyle::CE_PushButton, opt);

    // Two touching triangles, like the font's fast-forward and rewind glyphs.
    const QRectF area = QRectF(rect()).adjusted(0, 0, -1, -1);
    const qreal h = qMax<qreal>(5.0, area.height() * 0.5);
    const qreal w = h * 0.6;
    const QPointF centre = area.center() + (isDown() ? QPointF(1, 1) : QPointF(0, 0));
    QPainterPath path;
    for (int i = 0; i < 2; ++i) {
        const qreal x0 = centre.x() - w + i * w;
        if (forward) {
            path.moveTo(x0, centre.y() - h / 2);
            path.lineTo(x0 + w, centre.y());
            path.lineTo(x0, centre.y() + h / 2);
        } else {
            path.moveTo(x0 + w, centre.y() - h / 2);
            path.lineTo(x0, centre.y());
            path.lineTo(x0 + w, centre.y() + h / 2);
        }
        path.closeSubpath();
    }
    p.setRenderHint(QPainter::Antialiasing);
    p.setPen(Qt::NoPen);
    p.setBrush(palette().color(isEnabled() ? QPalette::Active : QPalette::Disabled, QPalette::ButtonText));
    p.drawPath(path);
}

void WrapCheckBox::paintEvent(QPaintEvent*) {
    QStylePainter p(this);
    QStyleOptionButton opt;
    initStyleOption(&opt);

    QStyleOptionButton indicator = opt;
    QRect box = style()->subElementRect(QStyle::SE_CheckBoxIndicator, &opt, this);
    box.moveTop((height() - box.height()) / 2);
    indicator.rect = box;
    p.drawPrimitive(QStyle::PE_IndicatorCheckBox, indicator);

    const int gap = style()->pixelMetric(QStyle::PM_CheckBoxLabelSpacing, &opt, this);
    const QRect textArea(box.right() + 1 + gap, 0, width() - box.right() - 1 - gap, height());
    const int flags = Qt::AlignLeft | Qt::AlignVCenter | Qt::TextWordWrap | Qt::TextShowMnemonic;
    style()->drawItemText(&p, textArea, flags, palette(), isEnabled(), text(), foregroundRole());

    if (hasFocus()) {
        QStyleOptionFocusRect focus;
        focus.initFrom(this);
        focus.rect = fontMetrics().boundingRect(textArea, flags, text()).adjusted(-1, 0, 1, 0) & rect();
        p.drawPrimitive(QStyle::PE_FrameFocusRect, focus);
    }
}

bool WrapCheckBox::hitButton(const QPoint& pos) const {
    return rect().contains(pos);
}

void ComboWheelGuard::install(QWidget* window) {
    auto* guard = new ComboWheelGuard(window);
    for (QComboBox* combo : window->findChildren<QComboBox*>())
        combo->installEventFilter(guard);
}

bool ComboWheelGuard::eventFilter(QObject* watched, QEvent* event) {
    if (event->type() == QEvent::Wheel) {
        // An editable box's line edit passes the wheel on to its box, which is watched here.
        if (auto* combo = qobject_cast<QComboBox*>(watched); combo && !combo->hasFocus()) {
            event->ignore();
            return true;
        }
    }
    return QObject::eventFilter(watched, event);
}

CommandComboBox::CommandComboBox(QWidget* parent) : QComboBox(parent) {
    // The open list's choice arrives as activated outside a step.
    connect(this, &QComboBox::activated, this, [this](int index) {
        if (!stepping_) emit chosen(index);
    });
}

void CommandComboBox::keyPressEvent(QKeyEvent* event) {
    const bool enter = event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter;
    if (enter && !isEditable()) {
        emit chosen(currentIndex());
        event->accept();
        return;
    }
    stepping_ = true;
    QComboBox::keyPressEvent(event);
    stepping_ = false;
}

void CommandComboBox::wheelEvent(QWheelEvent* event) {
    stepping_ = true;
    QComboBox::wheelEvent(event);
    stepping_ = false;
}

void EnterPressesButtons::install(QWidget* window) {
    auto* filter = new EnterPressesButtons(window);
    for (QAbstractButton* button : window->findChildren<QAbstractButton*>())
        if (qobject_cast<QPushButton*>(button) || qobject_cast<QToolButton*>(button))
            button->installEventFilter(filter);
}

bool EnterPressesButtons::eventFilter(QObject* watched, QEvent* event) {
    if (event->type() == QEvent::KeyPress) {
        const int key = static_cast<QKeyEvent*>(event)->key();
        auto* button = qobject_cast<QAbstractButton*>(watched);
        if (button && (key == Qt::Key_Return || key == Qt::Key_Enter) && button->isEnabled()) {
            button->click();
            return true;
        }
    }
    return QObject::eventFilter(watched, event);
}

} // namespace vantrel
