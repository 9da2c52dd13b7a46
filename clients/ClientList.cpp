#include "clients/ClientList.h"

#include "common/Dialogs.h"

#include <QLabel>
#include <QListWidget>

namespace vantrel {

ClientList::ClientList(QListWidget* list, QLabel* countLabel, QObject* parent)
    : QObject(parent), list_(list), model_(list->model()), countLabel_(countLabel) {
    // The index follows the widget's model, so it stays right whoever changes the list.
    connect(model_, &QAbstractItemModel::rowsInserted, this,
            [this](const QModelIndex&, int first, int last) { rowsInserted(first, last); });
    connect(model_, &QAbstractItemModel::rowsAboutToBeRemoved, this,
            [this](const QModelIndex&, int first, int last) { rowsAboutToBeRemoved(first, last); });
    connect(model_, &QAbstractItemModel::dataChanged, this,
            [this](const QModelIndex& topLeft, const QModelIndex& bottomRight, const QList<int>& roles) {
                if (roles.isEmpty() || roles.contains(Qt::DisplayRole) || roles.contains(Qt::EditRole))
                    textsChanged(topLeft.row(), bottomRight.row());
            });
    connect(model_, &QAbstractItemModel::modelReset, this, [this] { rebuildIndex(); });
    connect(model_, &QAbstractItemModel::layoutChanged, this, [this] { rebuildIndex(); });
    connect(model_, &QAbstractItemModel::rowsMoved, this, [this] { rebuildIndex(); });
    rebuildIndex();
    // The count follows the list through every change, a name typed in or deleted included.
    // The model is read: the widget may be half destroyed when its model resets.
    const auto follow = [this] {
        if (countLabel_) countLabel_->setText(QString::number(model_->rowCount()));
    };
    connect(model_, &QAbstractItemModel::rowsInserted, this, follow);
    connect(model_, &QAbstractItemModel::rowsRemoved, this, follow);
    connect(model_, &QAbstractItemModel::modelReset, this, follow);
}

int ClientList::count() const {
    return list_->count();
}

QString ClientList::text(int index) const {
    const auto* item = list_->item(index);
    return item ? item->text() : QString();
}

bool ClientList::ticked(int index) const {
    const auto* item = list_->item(index);
    return item && item->checkState() == Qt::Checked;
}

void ClientList::setTicked(int index, bool ticked) {
    if (auto* item = list_->item(index)) item->setCheckState(ticked ? Qt::Checked : Qt::Unchecked);
}

int ClientList::find(int index, const QString& name) const {
    if (index >= 0 && index < count() && text(index) == name) return index;
    for (int i = 0; i < count(); ++i)
        if (text(i) == name) return i;
    return -1;
}

int ClientList::current() const {
    // The highlighted entry: Qt may keep a current row without selecting it (after a removal,
    // or when the list takes the focus), which shows no highlight and so is no current entry.
    const int row = list_->currentRow();
    const auto* item = row >= 0 ? list_->item(row) : nullptr;
    return item && item->isSelected() ? row : -1;
}

void ClientList::setCurrent(int index) {
    if (auto* item = list_->item(index)) {
        list_->setCurrentRow(index, QItemSelectionModel::ClearAndSelect);
        list_->scrollToItem(item);
    } else {
        list_->clearSelection();
        list_->setCurrentItem(nullptr);
    }
    emit currentSet(current());
}

bool ClientList::append(const QString& name, bool ticked) {
    if (count() >= MaxEntries) return false;
    auto* item = new QListWidgetItem(name);
    item->setFlags(Qt::ItemIsSelectable | Qt::ItemIsEnabled | Qt::ItemIsUserCheckable);
    item->setCheckState(ticked ? Qt::Checked : Qt::Unchecked);
    list_->addItem(item);
    return true;
}

void ClientList::removeAt(int index) {
    // Qt would move the highlight to the neighbour; a removed entry leaves nothing
    // highlighted, so a second delete click cannot take an entry the user never chose.
    const bool wasCurrent = index >= 0 && index == current();
    delete list_->takeItem(index);
    if (wasCurrent) {
        list_->clearSelection();
        list_->setCurrentItem(nullptr);
    }
}

void ClientList::clear() {
    list_->clear();
}

void ClientList::hide() {
    list_->hide();
}

void ClientList::show() {
    list_->show();
}

void ClientList::updateCountLabel() {
    QLabel* caption = captionLabel_;
    if (!caption && countLabel_)
        caption = countLabel_->window()->findChild<QLabel*>(QStringLiteral("clientListLbl"));
    if (caption) caption->setText(QStringLiteral("Current Client Systems: Found "));
    if (countLabel_) countLabel_->setText(QString::number(count()));
}

void ClientList::SetAllTicks(bool value) {
    const int n = count();
    if (n < 1) return;
    const auto state = value ? Qt::Checked : Qt::Unchecked;
    for (int i = 0; i < n; ++i)
        if (auto* item = list_->item(i)) item->setCheckState(state);
    list_->viewport()->update();
}

void ClientList::rowsInserted(int first, int last) {
    std::vector<DuplicateIndex::Key> keys;
    keys.reserve(last - first + 1);
    for (int row = first; row <= last; ++row) {
        keys.push_back(index_.keyOf(rowText(row)));
        index_.add(keys.back());
    }
    rowKeys_.insert(rowKeys_.begin() + first, keys.begin(), keys.end());
}

void ClientList::rowsAboutToBeRemoved(int first, int last) {
    for (int row = first; row <= last; ++row)
        index_.drop(rowKeys_[row]);
    rowKeys_.erase(rowKeys_.begin() + first, rowKeys_.begin() + last + 1);
}

void ClientList::textsChanged(int first, int last) {
    for (int row = first; row <= last && row < static_cast<int>(rowKeys_.size()); ++row) {
        index_.drop(rowKeys_[row]);
        rowKeys_[row] = index_.keyOf(rowText(row));
        index_.add(rowKeys_[row]);
    }
}

QString ClientList::rowText(int row) const {
    return model_->index(row, 0).data(Qt::DisplayRole).toString();
}

void ClientList::rebuildIndex() {
    index_.clear();
    rowKeys_.clear();
    const int n = model_->rowCount();
    rowKeys_.reserve(n);
    for (int row = 0; row < n; ++row) {
        rowKeys_.push_back(index_.keyOf(rowText(row)));
        index_.add(rowKeys_.back());
    }
}

} // namespace vantrel
