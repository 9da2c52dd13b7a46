#include "clients/HostFiles.h"

#include "Version.h"
#include "clients/ClientNames.h"
#include "common/AppEnv.h"
#include "common/Dialogs.h"

#include <QFile>
#include <QStringDecoder>

#include <algorithm>
#include <exception>
#include <filesystem>
#include <optional>
#include <string>
#include <system_error>

namespace vantrel {

namespace {

constexpr char utf8Bom[] = "\xEF\xBB\xBF";
constexpr qint64 chunkSize = 64 * 1024;
// A line still open with more bytes than this cannot decode to MaxHostNameChars or fewer
// (UTF-8 takes at most three bytes per UTF-16 unit).
constexpr qsizetype maxLineBytes = 3 * MaxHostNameChars;

bool isLineEnd(char c) {
    return c == '\r' || c == '\n';
}

// Critical box with the program's own title, as the file errors are shown.
void fileError(const QString& text) {
    dialogs().message(Icon::Critical, VANTREL_APP_TITLE, text.toStdString(), Buttons::Ok);
}

void processingError(const QString& path, const QString& description) {
    fileError(QStringLiteral("Error processing config file --> ") + path + QStringLiteral(":: ") +
              description);
}

// Windows-1252 from 0x80 to 0x9F; the rest of the code page is Latin-1. The five bytes the
// code page leaves undefined map to the control character of the same value, as Windows does.
constexpr char16_t cp1252High[32] = {0x20AC, 0x0081, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021,
                                     0x02C6, 0x2030, 0x0160, 0x2039, 0x0152, 0x008D, 0x017D, 0x008F,
                                     0x0090, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022, 0x2013, 0x2014,
                                     0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x009D, 0x017E, 0x0178};

QString fromWindows1252(QByteArrayView bytes) {
    QString text(bytes.size(), Qt::Uninitialized);
    QChar* out = text.data();
    for (const char c : bytes) {
        const auto b = static_cast<unsigned char>(c);
        *out++ = QChar(b >= 0x80 && b < 0xA0 ? cp1252High[b - 0x80] : char16_t(b));
    }
    return text;
}

// How a file's first bytes say it is encoded; the byte-order mark's length is skipped.
struct FileEncoding {
    std::optional<QStringConverter::Encoding> utf16; // empty: UTF-8 / Windows-1252 lines
    qsizetype bomBytes = 0;
};

// How much of a file's start tells its encoding when it has no byte-order mark.
constexpr qsizetype sniffBytes = 512;

FileEncoding detectEncoding(QByteArrayView head) {
    if (head.startsWith(QByteArrayView(utf8Bom))) return {std::nullopt, 3};
    if (head.startsWith("\xFF\xFE")) return {QStringConverter::Utf16LE, 2};
    if (head.startsWith("\xFE\xFF")) return {QStringConverter::Utf16BE, 2};
    // No mark: UTF-16 of names (mostly ASCII) has a NUL in at least every other unit, always on
    // the same side; a UTF-8 or code-page list holds no NUL at all. Read as UTF-8, each line
    // after the first would start with a NUL.
    const qsizetype pairs = std::min(head.size(), sniffBytes) / 2;
    qsizetype highNuls = 0, lowNuls = 0; // NULs at the odd (LE high) and even (BE high) bytes
    for (qsizetype i = 0; i < pairs; ++i) {
        lowNuls += head[2 * i] == '\0';
        highNuls += head[2 * i + 1] == '\0';
    }
    if (pairs > 0 && 2 * highNuls >= pairs && highNuls > lowNuls) return {QStringConverter::Utf16LE, 0};
    if (pairs > 0 && 2 * lowNuls >= pairs && lowNuls > highNuls) return {QStringConverter::Utf16BE, 0};
    return {};
}

// A UTF-16 file's bytes as UTF-8, so one splitter cuts the lines of every kind of file. The
// decoder keeps a unit or surrogate pair split between chunks; bad units become U+FFFD.
class Utf16ToUtf8 {
  public:
    explicit Utf16ToUtf8(const FileEncoding& encoding) {
        if (encoding.utf16) decoder_.emplace(*encoding.utf16);
    }
    bool active() const { return decoder_.has_value(); }
    QByteArray operator()(QByteArrayView bytes) {
        QString text = held_ + QString((*decoder_)(bytes));
        held_.clear();
        // A pair split between chunks is converted whole with the next chunk.
        if (!text.isEmpty() && text.back().isHighSurrogate()) {
            held_ = text.back();
            text.chop(1);
        }
        return text.toUtf8();
    }

  private:
    std::optional<QStringDecoder> decoder_;
    QString held_;
};

} // namespace

bool HostLineSplitter::feed(QByteArrayView chunk, const Sink& sink) {
    const char* p = chunk.data();
    const char* const end = p + chunk.size();
    if (lfClosesLine_ && p != end) {
        lfClosesLine_ = false;
        if (*p == '\n') ++p;
    }
    while (p != end) {
        const char* stop = p;
        while (stop != end && !isLineEnd(*stop))
            ++stop;
        if (stop == end) {
            partial_.append(p, end - p);
            break;
        }
        bool go;
        if (partial_.isEmpty()) {
            go = sink(QByteArrayView(p, stop - p));
        } else {
            partial_.append(p, stop - p);
            go = sink(partial_);
            partial_.clear();
        }
        // A CR followed by LF is one line end; a CR at the very end of the chunk may still be.
        if (*stop == '\r') {
            if (stop + 1 == end)
                lfClosesLine_ = true;
            else if (stop[1] == '\n')
                ++stop;
        }
        p = stop + 1;
        if (!go) return false;
    }
    return true;
}

bool HostLineSplitter::finish(const Sink& sink) {
    lfClosesLine_ = false;
    if (partial_.isEmpty()) return true;
    const bool go = sink(partial_);
    partial_.clear();
    return go;
}

QString DecodeHostLine(QByteArrayView line) {
    // Stateless: a sequence cut off at the line's end is an error, not something to wait for.
    QStringDecoder utf8(QStringConverter::Utf8, QStringConverter::Flag::Stateless);
    QString text = utf8(line);
    return utf8.hasError() ? fromWindows1252(line) : text;
}

QStringList SplitHostLines(QByteArrayView bytes) {
    const FileEncoding encoding = detectEncoding(bytes);
    bytes = bytes.sliced(encoding.bomBytes);
    Utf16ToUtf8 toUtf8(encoding);
    const QByteArray transcoded = toUtf8.active() ? toUtf8(bytes) : QByteArray();
    if (toUtf8.active()) bytes = transcoded;

    QStringList names;
    const HostLineSplitter::Sink sink = [&names](QByteArrayView line) {
        names.append(DecodeHostLine(line));
        return true;
    };
    HostLineSplitter splitter;
    splitter.feed(bytes, sink);
    splitter.finish(sink);
    return names;
}

bool FileExists(const QString& path) {
    std::error_code ec;
    const auto status = std::filesystem::status(QFile::encodeName(path).toStdString(), ec);
    if (ec && ec != std::errc::no_such_file_or_directory && ec != std::errc::not_a_directory) {
        fileError(QStringLiteral("Error determining file exist --> ") + path + QStringLiteral("::") +
                  QString::fromStdString(ec.message()));
        return false;
    }
    // Only plain files: a folder cannot be read as a host list, and a pipe or device would
    // block the window.
    return !ec && std::filesystem::is_regular_file(status);
}

bool ReadHostFile(const QString& path, ClientNames& list) {
    if (!FileExists(path)) {
        dialogs().message(Icon::Critical, "File does not exist",
                          "File does not exist --> " + path.toStdString(), Buttons::Ok);
        return false;
    }

    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        processingError(path, file.errorString());
        return false;
    }
    const FileEncoding encoding = detectEncoding(file.peek(sniffBytes));
    file.skip(encoding.bomBytes);
    Utf16ToUtf8 toUtf8(encoding);

    // A refused file leaves the list as it was: what this read appended goes again.
    const int countBefore = list.count();
    long long lineNumber = 0;
    long long tooLongLine = 0;
    bool full = false;
    const HostLineSplitter::Sink sink = [&](QByteArrayView line) {
        ++lineNumber;
        const QString name = DecodeHostLine(line);
        if (name.size() > MaxHostNameChars) {
            tooLongLine = lineNumber;
            return false;
        }
        if (list.is_dup_list(name)) return true;
        if (list.append(name)) return true;
        full = true;
        return false;
    };

    HostLineSplitter splitter;
    QByteArray chunk(chunkSize, Qt::Uninitialized);
    bool go = true;
    while (go) {
        const qint64 n = file.read(chunk.data(), chunkSize);
        if (n < 0) {
            processingError(path, file.errorString());
            return false;
        }
        if (n == 0) break;
        const QByteArrayView bytes(chunk.constData(), n);
        go = toUtf8.active() ? splitter.feed(toUtf8(bytes), sink) : splitter.feed(bytes, sink);
        // One endless line must not be gathered whole before it is refused.
        if (go && splitter.pendingBytes() > maxLineBytes) {
            tooLongLine = lineNumber + 1;
            go = false;
        }
    }
    if (go) splitter.finish(sink);

    if (tooLongLine > 0) {
        while (list.count() > countBefore)
            list.removeAt(list.count() - 1);
        processingError(path, QStringLiteral("line %1 is longer than a machine name can be (more than %2 "
                                             "characters); no name of the file was added.")
                                  .arg(tooLongLine)
                                  .arg(MaxHostNameChars));
        return false;
    }
    if (full) reportClientListFull("ReadHostFile()");
    return !full;
}

void DoLoadFromFile(ClientNames& list) {
    try {
        const auto chosen = dialogs().openFile("Select a file containing list of hostnames",
                                               programDirectory(), "*.txt", "All Files (*.*)|*.*");
        // Cancel leaves the dialog's initial "*.txt".
        if (!chosen || chosen->empty() || *chosen == "*.txt") return;
        ReadHostFile(QString::fromStdString(*chosen), list);
    } catch (const std::exception& e) {
        dialogs().message(Icon::None, VANTREL_APP_TITLE, std::string("Error: ") + e.what(), Buttons::Ok);
    }
}

} // namespace vantrel
