#pragma once
// The client list as the fills see it: names in order, the limit and the duplicate rule. The
// window's list widget is one; the console program's plain list of names is another, so both
// front ends fill their lists by the same code.
#include <QCollator>
#include <QHash>
#include <QString>

#include <map>
#include <string>
#include <variant>
#include <vector>

namespace vantrel {

class ClientNames {
  public:
    static constexpr int MaxEntries = 32767;

    virtual ~ClientNames() = default;
    virtual int count() const = 0;
    virtual QString text(int index) const = 0;
    // Is a name equal to `name` (by the duplicate rule below) already in the list?
    virtual bool is_dup_list(const QString& name) const = 0;
    // Appends a name exactly as given. False (and nothing changes) when the list is full.
    virtual bool append(const QString& name, bool ticked = false) = 0;
    virtual void removeAt(int index) = 0;
};

// The duplicate rule: two names are the same client when the default locale's collator,
// ignoring letter case, calls them equal (ICU's secondary strength: case does not count,
// accents and every other difference do). Equal collation keys mean exactly that. In the C
// locale Qt's collator compares case-folded code units, so the case-folded text is the key
// there (Qt's own sort key would keep the case).
class DuplicateIndex {
  public:
    // A name's collation key: its case-folded text in the C locale, else the collator's key.
    using Key = std::variant<QString, QCollatorSortKey>;

    DuplicateIndex();
    Key keyOf(const QString& name) const;
    void add(const Key& key);
    void drop(const Key& key);
    bool holds(const Key& key) const;
    // holds(keyOf(name)); not knowing is answered as "not there" (the caller adds the name),
    // after the standard error box.
    bool holdsName(const QString& name) const;
    void clear();

  private:
    struct KeyLess {
        bool operator()(const QCollatorSortKey& a, const QCollatorSortKey& b) const {
            return a.compare(b) < 0;
        }
    };

    QCollator collator_;
    bool plainLocale_ = false;
    // key -> number of entries holding it; one of the two is in use, as the locale says
    QHash<QString, int> foldedIndex_;
    std::map<QCollatorSortKey, int, KeyLess> sortKeyIndex_;
};

// A list of names with no window behind it, every entry ticked: the console program's.
class NameList : public ClientNames {
  public:
    int count() const override { return static_cast<int>(names_.size()); }
    QString text(int index) const override;
    bool is_dup_list(const QString& name) const override { return index_.holdsName(name); }
    bool append(const QString& name, bool ticked = false) override;
    void removeAt(int index) override;

  private:
    std::vector<QString> names_;
    std::vector<DuplicateIndex::Key> keys_;
    DuplicateIndex index_;
};

// How every fill (and the typed add) reports that the list reached MaxEntries: the standard
// error box naming the limit, with `context` as its second line.
void reportClientListFull(const std::string& context);

} // namespace vantrel
