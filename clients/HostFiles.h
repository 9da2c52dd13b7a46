#pragma once
// Host-list files: plain text, one machine name per line. Read as UTF-8; a file with a UTF-16
// byte-order mark as UTF-16, and a line that is not valid UTF-8 as Windows-1252, the code page
// such files come from. Reading never fails on odd bytes.
#include <QByteArray>
#include <QByteArrayView>
#include <QString>
#include <QStringList>

#include <functional>

namespace vantrel {

class ClientNames;

// Cuts a stream of bytes into lines. A line ends at CR LF, at CR alone or at LF alone (files
// come from every kind of editor); the line-end bytes are not part of the line, and the last
// line needs no line end. Bytes may arrive in chunks of any size, even splitting a CR LF.
class HostLineSplitter {
  public:
    // Receives each complete line; returns false to stop.
    using Sink = std::function<bool(QByteArrayView line)>;

    // False when the sink asked to stop.
    bool feed(QByteArrayView chunk, const Sink& sink);
    // Hands over the last line if it had no line end. False when the sink asked to stop.
    bool finish(const Sink& sink);
    // The bytes of the line not yet ended, so a reader can give up on an endless line early.
    qsizetype pendingBytes() const { return partial_.size(); }

  private:
    QByteArray partial_;
    bool lfClosesLine_ = false; // the previous chunk ended with CR: a leading LF belongs to it
};

// The longest machine name a host file may hold, in characters; a longer line is refused.
constexpr qsizetype MaxHostNameChars = 255;

// One line's bytes as a name: UTF-8 when they are valid UTF-8, else Windows-1252.
QString DecodeHostLine(QByteArrayView line);

// The names of a whole host file's bytes, decoded as a host file is read; a leading byte-order
// mark is dropped. No length limit: that is the reader's rule.
QStringList SplitHostLines(QByteArrayView bytes);

// True when `path` names an existing regular file. A lookup that fails for another reason than
// the file's absence (a folder that may not be searched, ...) shows "Error determining file
// exist --> " and counts as missing.
bool FileExists(const QString& path);

// Appends the names of the host file at `path` that the list does not hold yet (letter case
// ignored), in file order. A missing file, a read error, or a list that fills up is reported
// in a message box; names appended before stay. A line longer than MaxHostNameChars refuses
// the whole file: the box names the line and the list keeps what it had. True when every name
// of the file is in the list.
bool ReadHostFile(const QString& path, ClientNames& list);

// Asks for a host file with the file-open dialog and reads it into the list; Cancel does
// nothing.
void DoLoadFromFile(ClientNames& list);

} // namespace vantrel
