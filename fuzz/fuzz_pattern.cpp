// Find and remove by pattern on a client list of any names: the entries that stay keep their
// order, ticks and highlight, the duplicate index follows, and find moves to the right entry.
#include "Check.h"
#include "QtApp.h"
#include "clients/ClientList.h"
#include "clients/PatternFilter.h"

#include <QLabel>
#include <QListWidget>

#include <fuzzer/FuzzedDataProvider.h>

#include <vector>

namespace {

struct Entry {
    QString name;
    bool ticked;
};

QString consumeText(FuzzedDataProvider& in, std::size_t maxBytes) {
    return QString::fromStdString(in.ConsumeRandomLengthString(maxBytes));
}

} // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    fuzzcheck::startQt();
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    FuzzedDataProvider in(data, size);
    const QString pattern = consumeText(in, 16);
    const int current = in.ConsumeIntegralInRange<int>(-1, 80);
    const int start = in.ConsumeIntegralInRange<int>(-2, 80);
    std::vector<Entry> entries;
    while (in.remaining_bytes() > 0 && entries.size() < 80) {
        const bool ticked = in.ConsumeBool();
        entries.push_back({consumeText(in, 24), ticked});
    }

    FUZZ_CHECK(vantrel::PatternUsable(pattern) == (!pattern.isEmpty() && !pattern.contains(QLatin1Char('<'))),
               "usable pattern");
    QListWidget widget;
    QLabel label;
    vantrel::ClientList list(&widget, &label);
    for (const Entry& e : entries)
        list.append(e.name, e.ticked);
    const int count = int(entries.size());
    if (current < count) list.setCurrent(current);
    const int highlighted = list.current();

    // Find: the first entry from start on holding the pattern, letter case counting.
    vantrel::FindNextByPattern(list, pattern, start);
    int found = highlighted;
    for (int i = std::max(start, 0); i < count; ++i)
        if (entries[std::size_t(i)].name.contains(pattern, Qt::CaseSensitive)) {
            found = i;
            break;
        }
    FUZZ_CHECK(list.current() == found, "find highlights another entry");
    if (!vantrel::PatternUsable(pattern)) return 0;

    // Remove: every entry holding the pattern in any letter case goes.
    std::vector<Entry> kept;
    QStringList removedNames;
    int keptCurrent = -1;
    for (int i = 0; i < count; ++i) {
        const Entry& e = entries[std::size_t(i)];
        if (e.name.toLower().contains(pattern.toLower())) {
            removedNames << e.name;
            continue;
        }
        if (i == found) keptCurrent = int(kept.size());
        kept.push_back(e);
    }
    const int removed = vantrel::RemoveByPattern(list, pattern);
    FUZZ_CHECK(removed == count - int(kept.size()), "remove counts wrongly");
    FUZZ_CHECK(list.count() == int(kept.size()), "remove leaves another number of entries");
    for (int i = 0; i < list.count(); ++i) {
        FUZZ_CHECK(list.text(i) == kept[std::size_t(i)].name, "an entry moved or changed");
        FUZZ_CHECK(list.ticked(i) == kept[std::size_t(i)].ticked, "an entry's tick changed");
        FUZZ_CHECK(list.is_dup_list(list.text(i)), "the index lost an entry that stays");
    }
    FUZZ_CHECK(list.current() == keptCurrent, "the highlight moved");

    // The index forgets what went: a removed name counts as a duplicate only when an entry that
    // stays is the same name, which adding the removed name to a list of the kept ones tells.
    QListWidget otherWidget;
    QLabel otherLabel;
    vantrel::ClientList keptOnly(&otherWidget, &otherLabel);
    for (const Entry& e : kept)
        keptOnly.append(e.name, e.ticked);
    for (const QString& name : removedNames)
        FUZZ_CHECK(list.is_dup_list(name) == keptOnly.is_dup_list(name), "the index kept a removed entry");
    return 0;
}
