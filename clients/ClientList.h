#pragma once
// The client list: the check-box list widget `clientList` plus an index of its names kept
// in step with every change, so the duplicate test never walks the list.
#include "clients/ClientNames.h"

#include <QLabel>
#include <QObject>
#include <QPointer>
#include <QString>

#include <string>
#include <vector>

class QAbstractItemModel;
class QListWidget;

namespace vantrel {

class ClientList : public QObject, public ClientNames {
    Q_OBJECT
  public:
    ClientList(QListWidget* list, QLabel* countLabel, QObject* parent = nullptr);

    int count() const override;
    QString text(int index) const override;
    bool ticked(int index) const;
    void setTicked(int index, bool ticked);
    // Where the entry that was `name` at `index` is now: there when it still holds that name,
    // else the first entry that does; -1 when none does.
    int find(int index, const QString& name) const;
    int current() const; // -1 when no entry is highlighted
    void setCurrent(int index);
    // Appends a name exactly as given. False (and nothing changes) when the list is full.
    bool append(const QString& name, bool ticked = false) override;
    void removeAt(int index) override;
    void clear();
    void hide();
    void show();
    // Locale-aware, letter-case-insensitive: is a name equal to `name` already in the list?
    bool is_dup_list(const QString& name) const override { return index_.holdsName(name); }
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
    void rowsInserted(int first, int last);
    void rowsAboutToBeRemoved(int first, int last);
    void textsChanged(int first, int last);
    void rebuildIndex();
    // The index reads the model, never the widget: the widget's destructor deletes the model,
    // whose reset then reaches rebuildIndex while the widget is only half there.
    QString rowText(int row) const;

    QListWidget* list_;
    QAbstractItemModel* model_;
    QPointer<QLabel> countLabel_; // may go before the list when the window does
    QLabel* captionLabel_ = nullptr;

    DuplicateIndex index_;
    std::vector<DuplicateIndex::Key> rowKeys_; // one per row, in row order
};

} // namespace vantrel
