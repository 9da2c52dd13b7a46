#include "clients/ClientList.h"

#include "common/Dialogs.h"

#include <QLabel>
#include <QListWidget>

#include <exception>

namespace vantrel {

ClientList::ClientList(QListWidget* list, QLabel* countLabel, QObject* parent)
    : QObject(parent), list_(list), model_(list->model()), countLabel_(countLabel) {
    collator_.setCaseSensitivity(Qt::CaseInsensitive);
    plainLocale_ = collator_.locale().language() == QLocale::C;

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

bool ClientList::is_dup_list(const QString& name) const {
    try {
        return holds(keyOf(name));
    } catch (const std::exception& e) {
        // Not knowing is answered as "not there": the caller adds the name.
        showErrorBox(e.what(), "is_dup_list()");
        return false;
    }
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

ClientList::Key ClientList::keyOf(const QString& name) const {
    if (plainLocale_) return name.toCaseFolded();
    return collator_.sortKey(name);
}

void ClientList::addKey(const Key& key) {
    if (const auto* folded = std::get_if<QString>(&key))
        ++foldedIndex_[*folded];
    else
        ++sortKeyIndex_.try_emplace(std::get<QCollatorSortKey>(key), 0).first->second;
}

void ClientList::dropKey(const Key& key) {
    if (const auto* folded = std::get_if<QString>(&key)) {
        auto it = foldedIndex_.find(*folded);
        if (it != foldedIndex_.end() && --it.value() <= 0) foldedIndex_.erase(it);
    } else {
        auto it = sortKeyIndex_.find(std::get<QCollatorSortKey>(key));
        if (it != sortKeyIndex_.end() && --it->second <= 0) sortKeyIndex_.erase(it);
    }
}

bool ClientList::holds(const Key& key) const {
    if (const auto* folded = std::get_if<QString>(&key)) return foldedIndex_.contains(*folded);
    return sortKeyIndex_.find(std::get<QCollatorSortKey>(key)) != sortKeyIndex_.end();
}

void ClientList::rowsInserted(int first, int last) {
    std::vector<Key> keys;
    keys.reserve(last - first + 1);
    for (int row = first; row <= last; ++row) {
        keys.push_back(keyOf(rowText(row)));
        addKey(keys.back());
    }
    rowKeys_.insert(rowKeys_.begin() + first, keys.begin(), keys.end());
}

void ClientList::rowsAboutToBeRemoved(int first, int last) {
    for (int row = first; row <= last; ++row)
        dropKey(rowKeys_[row]);
    rowKeys_.erase(rowKeys_.begin() + first, rowKeys_.begin() + last + 1);
}

void ClientList::textsChanged(int first, int last) {
    for (int row = first; row <= last && row < static_cast<int>(rowKeys_.size()); ++row) {
        dropKey(rowKeys_[row]);
        rowKeys_[row] = keyOf(rowText(row));
        addKey(rowKeys_[row]);
    }
}

QString ClientList::rowText(int row) const {
    return model_->index(row, 0).data(Qt::DisplayRole).toString();
}

void ClientList::rebuildIndex() {
    foldedIndex_.clear();
    sortKeyIndex_.clear();
    rowKeys_.clear();
    const int n = model_->rowCount();
    rowKeys_.reserve(n);
    for (int row = 0; row < n; ++row) {
        rowKeys_.push_back(keyOf(rowText(row)));
        addKey(rowKeys_.back());
    }
}

void reportClientListFull(const std::string& context) {
    showErrorBox("The client list is full: it holds at most " + std::to_string(ClientList::MaxEntries) +
                     " entries, so no more names were added.",
                 context);
}

} // namespace vantrel
