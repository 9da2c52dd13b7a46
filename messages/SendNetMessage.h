#pragma once
// Pop-up network messages to the ticked clients of the client list.
#include <QString>

namespace vantrel {

// Sends `text` to the messenger of `machine`, named as the client list shows it with its
// blanks trimmed (no leading "\\"); every line break goes out as CR LF. True exactly when the
// platform reports the message delivered (status 0); a blank name (never passed on: it would
// mean this computer), any other status or an unexpected fault gives false.
bool SendNetMessage(const QString& machine, const QString& text);

// The text as the messenger gets it: each line break (CR LF, LF or CR alone, or a Unicode
// line or paragraph separator) as CR LF, the way Windows writes them.
QString messageWireText(const QString& text);

// The text of the message-pane line naming a machine that did not get the message.
QString sendFailedLine(const QString& machine);
// The message-pane line of a ticked entry whose name is blank.
QString sendBlankMachineLine();

// What the send run needs from the main window. Kept abstract so the run itself is plain code
// that can be driven without widgets.
class MessageRunHost {
  public:
    virtual ~MessageRunHost() = default;
    virtual int clientCount() const = 0;
    virtual bool clientTicked(int index) const = 0;
    virtual QString clientName(int index) const = 0;
    // The message as it reads now; the run asks again for every machine, so an edit made while
    // the run yields reaches the machines after it.
    virtual QString messageText() const = 0;
    virtual void startProgress(const QString& msg) = 0;
    // Replaces the progress text and lets pending window events run.
    virtual void setProgressMessage(const QString& msg) = 0;
    virtual void stopProgress() = 0;
    // One turn of the event loop.
    virtual void yield() = 0;
    // True once the run must end (the main window is closing).
    virtual bool stopRequested() const = 0;
    // Puts one line into the message pane.
    virtual void report(const QString& line) = 0;
};

// The "Send" command: the current message to every ticked client, in list order. Nothing
// happens for an empty message or an empty list. A machine that does not get the message is
// named in the message pane, a blank entry is refused there; the run goes on with the next one.
void SendMessageRun(MessageRunHost& host);

} // namespace vantrel
