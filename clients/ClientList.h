#pragma once
// The client list: the check-box list widget `clientList` plus an index of its names kept
// in step with every change, so the duplicate test never walks the list.
#include <QObject>
#include <QString>

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

    QListWidget* widget() const { return list_; }

private:
    QListWidget* list_;
    QLabel* countLabel_;
};

} // namespace vantrel
