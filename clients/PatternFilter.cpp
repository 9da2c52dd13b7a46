#include "clients/PatternFilter.h"

#include "clients/ClientList.h"

#include <vector>

namespace vantrel {

bool PatternUsable(const QString& text) {
    return !text.isEmpty() && !text.contains(QLatin1Char('<'));
}

int RemoveByPattern(ClientList& list, const QString& pattern) {
    const QString lowered = pattern.toLower();
    const int count = list.count();
    std::vector<bool> matches(static_cast<size_t>(count));
    int removed = 0;
    for (int i = 0; i < count; ++i) {
        if (list.text(i).toLower().contains(lowered)) {
            matches[static_cast<size_t>(i)] = true;
            ++removed;
        }
    }
    if (removed == 0) return 0;

    // Each single removal shifts everything behind it, so a few go one by one (the list keeps
    // its scroll position) and many at once by rebuilding the list from the entries that stay.
    if (removed * 4 <= count) {
        for (int i = count - 1; i >= 0; --i)
            if (matches[static_cast<size_t>(i)]) list.removeAt(i);
        return removed;
    }

    struct Kept {
        QString name;
        bool ticked;
    };
    std::vector<Kept> kept;
    kept.reserve(static_cast<size_t>(count - removed));
    const int current = list.current();
    int keptCurrent = -1;
    for (int i = 0; i < count; ++i) {
        if (matches[static_cast<size_t>(i)]) continue;
        if (i == current) keptCurrent = static_cast<int>(kept.size());
        kept.push_back({list.text(i), list.ticked(i)});
    }
    list.clear();
    for (const Kept& k : kept)
        list.append(k.name, k.ticked);
    if (keptCurrent >= 0) list.setCurrent(keptCurrent);
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
