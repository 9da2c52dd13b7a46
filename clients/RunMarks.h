#pragma once
// The marks a batch run leaves on the client list: the machines that failed, those it did
// not try, and after a survey those whose service logs on as another account, each with an icon, a colour,
// and a tooltip and accessible text that say the same, with the reason (the entry's own text, which the next
// run uses, stays as it is). They stay until entries are added, removed, renamed or emptied, or the next run
// starts.
#include <QObject>
#include <QString>

namespace vantrel {

class ClientList;

class RunMarks : public QObject {
    Q_OBJECT
  public:
    enum class Mark { None, Failed, NotTried, OtherAccount };

    RunMarks(ClientList* list, QObject* parent = nullptr);

    // `detail`: for OtherAccount, the account the service logs on as; otherwise what the run said
    // about the entry (its failing step and why, or why it was not tried), shown after the mark's words.
    void mark(int index, Mark mark, const QString& detail = {});
    Mark markAt(int index) const;
    bool any() const { return any_; }
    bool anyFailed() const { return anyFailed_; }
    bool anyOtherAccount() const { return anyOtherAccount_; }
    void clear();
    // Ticks the failed entries and unticks every other one.
    void tickOnlyFailed();
    // Ticks the entries whose service logs on as another account and unticks every other one.
    void tickOnlyOtherAccount();

  signals:
    // A mark was set, or the marks went.
    void changed();

  private:
    ClientList* list_;
    bool any_ = false;
    bool anyFailed_ = false;
    bool anyOtherAccount_ = false;
};

} // namespace vantrel
