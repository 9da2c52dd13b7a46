#pragma once
// The client list: the check-box list widget `clientList` plus an index of its names kept
// in step with every change, so the duplicate test never walks the list.
#include <QCollator>
#include <QHash>
#include <QObject>
#include <QString>

#include <map>
#include <string>
#include <variant>
#include <vector>

class QAbstractItemModel;
class QLabel;
class QListWidget;

namespace vantrel {

class ClientList : public QObject {
    Q_OBJECT
  public:
    static constexpr int MaxEntries = 32767;

    ClientList(QListWidget* list, QLabel* countLabel, QObject* parent = nullptr);

    int count() const;
    QString text(int index) const;
    bool ticked(int index) const;
    void setTicked(int index, bool ticked);
    int current() const; // -1 when no entry is highlighted
    void setCurrent(int index);
    // Appends a name exactly as given. False (and nothing changes) when the list is full.
    bool append(const QString& name, bool ticked = false);
    void removeAt(int index);
    void clear();
    void hide();
    void show();
    // Locale-aware, letter-case-insensitive: is a name equal to `name` already in the list?
    bool is_dup_list(const QString& name) const;
    // Sets the count label to the number of entries.
    void updateCountLabel();
    // Ticks (true) or unticks every entry.
    void SetAllTicks(bool value);
    // The caption shown left of the count ("Current Client Systems: Found "). When none is
    // given, the window's label named clientListLbl is used.
    void setCaptionLabel(QLabel* caption) { captionLabel_ = caption; }

    QListWidget* widget() const { return list_; }

  signals:
    // A command (not the user's click) made `index` the current entry.
    void currentSet(int index);

  private:
    struct KeyLess {
        bool operator()(const QCollatorSortKey& a, const QCollatorSortKey& b) const {
            return a.compare(b) < 0;
        }
    };
    // A name's collation key: its case-folded text in the C locale, else the collator's key.
    using Key = std::variant<QString, QCollatorSortKey>;

    Key keyOf(const QString& name) const;
    void addKey(const Key& key);
    void dropKey(const Key& key);
    bool holds(const Key& key) const;
    void rowsInserted(int first, int last);
    void rowsAboutToBeRemoved(int first, int last);
    void textsChanged(int first, int last);
    void rebuildIndex();
    // The index reads the model, never the widget: the widget's destructor deletes the model,
    // whose reset then reaches rebuildIndex while the widget is only half there.
    QString rowText(int row) const;

    QListWidget* list_;
    QAbstractItemModel* model_;
    QLabel* countLabel_;
    QLabel* captionLabel_ = nullptr;

    // The duplicate rule: two names are the same client when the default locale's collator,
    // ignoring letter case, calls them equal (ICU's secondary strength: case does not count,
    // accents and every other difference do). Equal collation keys mean exactly that. In the
    // C locale Qt's collator compares case-folded code units, so the case-folded text is the
    // key there (Qt's own sort key would keep the case).
    QCollator collator_;
    bool plainLocale_ = false;
    std::vector<Key> rowKeys_; // one per row, in row order
    // key -> number of rows holding it; one of the two is in use, as the locale says
    QHash<QString, int> foldedIndex_;
    std::map<QCollatorSortKey, int, KeyLess> sortKeyIndex_;
};

// How every fill (and the typed add) reports that the list reached MaxEntries: the standard
// error box naming the limit, with `context` as its second line.
void reportClientListFull(const std::string& context);

} // namespace vantrel
