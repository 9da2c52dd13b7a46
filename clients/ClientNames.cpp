#include "clients/ClientNames.h"

#include "common/Dialogs.h"

#include <exception>

namespace vantrel {

DuplicateIndex::DuplicateIndex() {
    collator_.setCaseSensitivity(Qt::CaseInsensitive);
    plainLocale_ = collator_.locale().language() == QLocale::C;
}

DuplicateIndex::Key DuplicateIndex::keyOf(const QString& name) const {
    if (plainLocale_) return name.toCaseFolded();
    return collator_.sortKey(name);
}

void DuplicateIndex::add(const Key& key) {
    if (const auto* folded = std::get_if<QString>(&key))
        ++foldedIndex_[*folded];
    else
        ++sortKeyIndex_.try_emplace(std::get<QCollatorSortKey>(key), 0).first->second;
}

void DuplicateIndex::drop(const Key& key) {
    if (const auto* folded = std::get_if<QString>(&key)) {
        auto it = foldedIndex_.find(*folded);
        if (it != foldedIndex_.end() && --it.value() <= 0) foldedIndex_.erase(it);
    } else {
        auto it = sortKeyIndex_.find(std::get<QCollatorSortKey>(key));
        if (it != sortKeyIndex_.end() && --it->second <= 0) sortKeyIndex_.erase(it);
    }
}

bool DuplicateIndex::holds(const Key& key) const {
    if (const auto* folded = std::get_if<QString>(&key)) return foldedIndex_.contains(*folded);
    return sortKeyIndex_.find(std::get<QCollatorSortKey>(key)) != sortKeyIndex_.end();
}

bool DuplicateIndex::holdsName(const QString& name) const {
    try {
        return holds(keyOf(name));
    } catch (const std::exception& e) {
        showErrorBox(e.what(), "is_dup_list()");
        return false;
    }
}

void DuplicateIndex::clear() {
    foldedIndex_.clear();
    sortKeyIndex_.clear();
}

QString NameList::text(int index) const {
    return index >= 0 && index < count() ? names_[static_cast<std::size_t>(index)] : QString();
}

bool NameList::append(const QString& name, bool) {
    if (count() >= MaxEntries) return false;
    keys_.push_back(index_.keyOf(name));
    index_.add(keys_.back());
    names_.push_back(name);
    return true;
}

void NameList::removeAt(int index) {
    if (index < 0 || index >= count()) return;
    index_.drop(keys_[static_cast<std::size_t>(index)]);
    keys_.erase(keys_.begin() + index);
    names_.erase(names_.begin() + index);
}

void reportClientListFull(const std::string& context) {
    showErrorBox("The client list is full: it holds at most " + std::to_string(ClientNames::MaxEntries) +
                     " entries, so no more names were added.",
                 context);
}

} // namespace vantrel
