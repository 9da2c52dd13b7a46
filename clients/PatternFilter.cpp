#include "clients/PatternFilter.h"

#include "clients/ClientList.h"

namespace vantrel {

bool PatternUsable(const QString& text) {
    return !text.isEmpty() && !text.contains(QLatin1Char('<'));
}

int RemoveByPattern(ClientList& list, const QString& pattern) {
    const QString lowered = pattern.toLower();
    int removed = 0;
    // Walk upwards; after a removal the entry that moved up into i is examined next, so
    // neighbouring matches all go.
    for (int i = 0; i < list.count();) {
        if (list.text(i).toLower().contains(lowered)) {
            list.removeAt(i);
            ++removed;
        } else {
            ++i;
        }
    }
    return removed;
}

void FindNextByPattern(ClientList& list, const QString& pattern, int start) {
    const int count = list.count();
    for (int i = start < 0 ? 0 : start; i < count; ++i) {
        if (list.text(i).contains(pattern, Qt::CaseSensitive)) {
            list.setCurrent(i);
            return;
        }
    }
}

} // namespace vantrel
