#include "clients/RunMarks.h"

#include "clients/ClientList.h"

#include <QAbstractItemModel>
#include <QListWidget>
#include <QStyle>

#include <algorithm>

namespace vantrel {

namespace {

constexpr int MarkRole = Qt::UserRole + 1;

} // namespace

RunMarks::RunMarks(ClientList* list, QObject* parent) : QObject(parent), list_(list) {
    // An icon no taller than the text, so a marked entry keeps the height every entry has.
    const int side = std::max(8, list->widget()->fontMetrics().height() - 2);
    list->widget()->setIconSize(QSize(side, side));
    QAbstractItemModel* model = list->widget()->model();
    // The marks belong to the list as the run left it: a changed list drops them all.
    connect(model, &QAbstractItemModel::rowsInserted, this, [this] { clear(); });
    connect(model, &QAbstractItemModel::rowsRemoved, this, [this] { clear(); });
    connect(model, &QAbstractItemModel::modelReset, this, [this] { clear(); });
    connect(model, &QAbstractItemModel::dataChanged, this,
            [this](const QModelIndex&, const QModelIndex&, const QList<int>& roles) {
                if (roles.isEmpty() || roles.contains(Qt::DisplayRole) || roles.contains(Qt::EditRole))
                    clear();
            });
}

void RunMarks::mark(int index, Mark mark, const QString& detail) {
    QListWidgetItem* item = list_->widget()->item(index);
    if (!item || mark == Mark::None) return;
    const bool failed = mark == Mark::Failed;
    const bool other = mark == Mark::OtherAccount;
    QString said = failed  ? QStringLiteral("failed in the last run")
                   : other ? QStringLiteral("logs on as ") + detail
                           : QStringLiteral("not tried in the last run");
    if (!other && !detail.isEmpty()) said += QStringLiteral(": ") + detail;
    QStyle* style = list_->widget()->style();
    item->setData(MarkRole, static_cast<int>(mark));
    item->setIcon(style->standardIcon(failed  ? QStyle::SP_MessageBoxCritical
                                      : other ? QStyle::SP_MessageBoxInformation
                                              : QStyle::SP_MessageBoxWarning));
    item->setForeground(failed ? QColor(0xC0, 0, 0) : other ? QColor(0, 0x40, 0xA0) : QColor(Qt::darkGray));
    item->setToolTip(item->text() + QStringLiteral(": ") + said);
    item->setData(Qt::AccessibleTextRole, item->text() + QStringLiteral(", ") + said);
    any_ = true;
    anyFailed_ = anyFailed_ || failed;
    anyOtherAccount_ = anyOtherAccount_ || other;
    emit changed();
}

RunMarks::Mark RunMarks::markAt(int index) const {
    const QListWidgetItem* item = list_->widget()->item(index);
    return item ? static_cast<Mark>(item->data(MarkRole).toInt()) : Mark::None;
}

void RunMarks::clear() {
    if (!any_) return;
    // First: the roles cleared below change the items again.
    any_ = anyFailed_ = anyOtherAccount_ = false;
    QListWidget* widget = list_->widget();
    for (int i = 0; i < widget->count(); ++i) {
        QListWidgetItem* item = widget->item(i);
        if (!item->data(MarkRole).isValid()) continue;
        for (int role : {MarkRole, int(Qt::DecorationRole), int(Qt::ForegroundRole), int(Qt::ToolTipRole),
                         int(Qt::AccessibleTextRole)})
            item->setData(role, QVariant());
    }
    emit changed();
}

void RunMarks::tickOnlyFailed() {
    for (int i = 0; i < list_->count(); ++i)
        list_->setTicked(i, markAt(i) == Mark::Failed);
}

void RunMarks::tickOnlyOtherAccount() {
    for (int i = 0; i < list_->count(); ++i)
        list_->setTicked(i, markAt(i) == Mark::OtherAccount);
}

} // namespace vantrel
