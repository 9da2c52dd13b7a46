// Host files: the line splitter gives the same lines however the bytes are cut into chunks,
// and reading a file into the client list adds each of its names once.
#include "Check.h"
#include "QtApp.h"
#include "clients/ClientList.h"
#include "clients/HostFiles.h"
#include "common/Dialogs.h"

#include <QLabel>
#include <QListWidget>

#include <fuzzer/FuzzedDataProvider.h>

#include <algorithm>
#include <cstdio>
#include <vector>

namespace {

// The lines of a whole text, written plainly: CR LF, CR and LF each end a line; a last line
// without an end counts when it is not empty.
std::vector<QByteArray> expectedLines(const QByteArray& bytes) {
    std::vector<QByteArray> lines;
    QByteArray line;
    bool open = false;
    for (qsizetype i = 0; i < bytes.size(); ++i) {
        const char c = bytes[i];
        if (c == '\r' || c == '\n') {
            lines.push_back(line);
            line.clear();
            open = false;
            if (c == '\r' && i + 1 < bytes.size() && bytes[i + 1] == '\n') ++i;
        } else {
            line += c;
            open = true;
        }
    }
    if (open) lines.push_back(line);
    return lines;
}

} // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    fuzzcheck::startQt();
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    FuzzedDataProvider in(data, size);
    const int stopAfter = in.ConsumeIntegralInRange<int>(0, 64);
    std::vector<std::size_t> cuts;
    for (int i = in.ConsumeIntegralInRange<int>(0, 16); i > 0; --i)
        cuts.push_back(in.ConsumeIntegralInRange<std::size_t>(0, 64));
    const std::string rest = in.ConsumeRemainingBytesAsString();
    const QByteArray bytes(rest.data(), qsizetype(rest.size()));
    const std::vector<QByteArray> expected = expectedLines(bytes);

    // Fed in chunks of the sizes given, in turn (an empty chunk included), every line whole
    // and in order.
    if (std::all_of(cuts.begin(), cuts.end(), [](std::size_t n) { return n == 0; })) cuts.push_back(64);
    std::vector<QByteArray> got;
    vantrel::HostLineSplitter splitter;
    const vantrel::HostLineSplitter::Sink collect = [&](QByteArrayView line) {
        got.emplace_back(line.toByteArray());
        return true;
    };
    for (qsizetype at = 0, k = 0; at < bytes.size(); ++k) {
        const qsizetype n = std::min(qsizetype(cuts[std::size_t(k) % cuts.size()]), bytes.size() - at);
        FUZZ_CHECK(splitter.feed(QByteArrayView(bytes).sliced(at, n), collect), "the sink never stops");
        at += n;
    }
    FUZZ_CHECK(splitter.finish(collect), "the sink never stops");
    FUZZ_CHECK(got == expected, "chunked lines differ from the whole text's");

    // A sink that says stop gets no further line.
    std::vector<QByteArray> first;
    vantrel::HostLineSplitter stopping;
    const vantrel::HostLineSplitter::Sink stopper = [&](QByteArrayView line) {
        first.emplace_back(line.toByteArray());
        return int(first.size()) < stopAfter;
    };
    if (stopping.feed(bytes, stopper)) stopping.finish(stopper);
    const std::size_t wanted = std::min<std::size_t>(expected.size(), std::max(stopAfter, 1));
    FUZZ_CHECK(first.size() == wanted && std::equal(first.begin(), first.end(), expected.begin()),
               "stopping the sink loses or repeats lines");

    // The whole file: a leading UTF-8 byte-order mark is dropped, then each line is a name, as
    // typed when it is well-formed UTF-8. (Other encodings are the reader's business: UTF-16 is
    // told by its mark or, without one, by its NULs.)
    QByteArray body = bytes;
    if (body.startsWith("\xEF\xBB\xBF")) body.remove(0, 3);
    const QStringList names = vantrel::SplitHostLines(bytes);
    if (!body.startsWith("\xFF\xFE") && !body.startsWith("\xFE\xFF") && !body.contains('\0')) {
        const std::vector<QByteArray> bodyLines = expectedLines(body);
        FUZZ_CHECK(std::size_t(names.size()) == bodyLines.size(), "SplitHostLines counts other lines");
        for (qsizetype i = 0; i < names.size(); ++i) {
            const QByteArray& line = bodyLines[std::size_t(i)];
            const QString typed = QString::fromUtf8(line);
            if (typed.toUtf8() == line) FUZZ_CHECK(names[i] == typed, "SplitHostLines changes a name");
        }
    }

    // Read from a file into the list: every name is there, none twice.
    const std::string path = fuzzcheck::scratchFolder() + "/hosts.txt";
    if (std::FILE* f = std::fopen(path.c_str(), "wb")) {
        std::fwrite(bytes.constData(), 1, std::size_t(bytes.size()), f);
        std::fclose(f);
    }
    QListWidget widget;
    QLabel label;
    vantrel::ClientList list(&widget, &label);
    vantrel::ScriptedDialogs boxes;
    vantrel::setDialogs(&boxes);
    vantrel::ReadHostFile(QString::fromStdString(path), list);
    vantrel::setDialogs(nullptr);
    std::remove(path.c_str());
    // A line longer than a machine name refuses the whole file, with one box.
    const bool tooLong = std::any_of(names.begin(), names.end(),
                                     [](const QString& n) { return n.size() > vantrel::MaxHostNameChars; });
    if (tooLong) {
        FUZZ_CHECK(list.count() == 0 && boxes.shown.size() == 1, "an over-long line did not refuse the file");
        return 0;
    }
    FUZZ_CHECK(boxes.shown.empty(), "reading a small host file showed a box");
    for (const QString& name : names)
        FUZZ_CHECK(list.is_dup_list(name), "a name of the file is missing from the list");
    QListWidget otherWidget;
    QLabel otherLabel;
    vantrel::ClientList seen(&otherWidget, &otherLabel);
    for (int i = 0; i < list.count(); ++i) {
        FUZZ_CHECK(names.contains(list.text(i)), "the list holds a name the file does not");
        FUZZ_CHECK(!seen.is_dup_list(list.text(i)), "the list holds a name twice");
        seen.append(list.text(i));
    }
    return 0;
}
