#include "clients/HostFiles.h"

#include "Version.h"
#include "clients/ClientList.h"
#include "common/AppEnv.h"
#include "common/Dialogs.h"

#include <QFile>

#include <exception>
#include <filesystem>
#include <string>
#include <system_error>

namespace vantrel {

namespace {

constexpr char utf8Bom[] = "\xEF\xBB\xBF";
constexpr qint64 chunkSize = 64 * 1024;

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

QStringList SplitHostLines(QByteArrayView bytes) {
    if (bytes.startsWith(QByteArrayView(utf8Bom))) bytes = bytes.sliced(3);
    QStringList names;
    const HostLineSplitter::Sink sink = [&names](QByteArrayView line) {
        names.append(QString::fromUtf8(line));
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

void ReadHostFile(const QString& path, ClientList& list) {
    if (!FileExists(path)) {
        dialogs().message(Icon::Critical, "File does not exist",
                          "File does not exist --> " + path.toStdString(), Buttons::Ok);
        return;
    }

    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        processingError(path, file.errorString());
        return;
    }
    if (file.peek(3) == QByteArrayView(utf8Bom)) file.skip(3);

    long long lineNumber = 0;
    bool full = false;
    const HostLineSplitter::Sink sink = [&](QByteArrayView line) {
        ++lineNumber;
        const QString name = QString::fromUtf8(line);
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
            return;
        }
        if (n == 0) break;
        go = splitter.feed(QByteArrayView(chunk.constData(), n), sink);
    }
    if (go) splitter.finish(sink);

    if (full)
        processingError(path,
                        QStringLiteral("the client list is full (it holds at most %1 entries); line %2 and "
                                       "the lines after it were not added.")
                            .arg(ClientList::MaxEntries)
                            .arg(lineNumber));
}

void DoLoadFromFile(ClientList& list) {
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
