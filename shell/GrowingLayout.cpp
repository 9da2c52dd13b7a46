#include "shell/GrowingLayout.h"

#include "batch/RunSettings.h"

#include <QEvent>
#include <QResizeEvent>
#include <QSettings>
#include <QWidget>

#include <algorithm>

namespace vantrel {

GrowingLayout::GrowingLayout(QWidget* area) : QObject(area), area_(area), designed_(area->size()) {
    area->installEventFilter(this);
}

void GrowingLayout::add(QWidget* control, Rule rule) {
    placed_.push_back({control, control->geometry(), rule});
}

bool GrowingLayout::eventFilter(QObject* watched, QEvent* event) {
    if (watched == area_ && event->type() == QEvent::Resize) apply(static_cast<QResizeEvent*>(event)->size());
    return QObject::eventFilter(watched, event);
}

void GrowingLayout::apply(QSize size) {
    // Never smaller than designed: the window's minimum keeps it so.
    const int dx = std::max(0, size.width() - designed_.width());
    const int dy = std::max(0, size.height() - designed_.height());
    const int listShare = dy / 2;
    for (const Placed& p : placed_) {
        QRect r = p.rect;
        switch (p.rule) {
        case Rule::Banner:
            r.setWidth(r.width() + dx);
            break;
        case Rule::List:
            r.setSize(r.size() + QSize(dx, listShare));
            break;
        case Rule::UnderList:
            r.translate(0, listShare);
            break;
        case Rule::Pane:
            r.translate(0, listShare);
            r.setSize(r.size() + QSize(dx, dy - listShare));
            break;
        case Rule::Beside:
            r.translate(dx, 0);
            break;
        }
        p.control->setGeometry(r);
    }
}

namespace {
const QString SizeKey = QStringLiteral("window/size");
const QString MaximisedKey = QStringLiteral("window/maximised");
} // namespace

WindowSize storedWindowSize() {
    const QSettings settings = programSettings();
    return {settings.value(SizeKey).toSize(), settings.value(MaximisedKey).toBool()};
}

void storeWindowSize(const WindowSize& size) {
    QSettings settings = programSettings();
    settings.setValue(SizeKey, size.size);
    settings.setValue(MaximisedKey, size.maximised);
}

} // namespace vantrel
