// The results file: any five fields, written as a line and as a file, read back by a strict
// RFC 4180 reader that shares nothing with the writer, give the same five fields.
#include "Check.h"
#include "batch/ResultsFile.h"
#include "common/Names.h"

#include <fuzzer/FuzzedDataProvider.h>

#include <fstream>
#include <iterator>
#include <optional>
#include <unistd.h>
#include <vector>

namespace {

using Record = std::vector<std::string>;

// Records end at CR LF (the last one may lack it). A quoted field doubles its inner quotes and
// may hold commas, CR and LF; an unquoted one holds no quote, CR or LF. Bytes outside ASCII are
// text like any other (machine names are UTF-8). Anything else is refused: nullopt.
std::optional<std::vector<Record>> readCsv(const std::string& text) {
    std::vector<Record> records;
    std::size_t i = 0;
    const std::size_t n = text.size();
    if (n == 0) return records;
    Record record;
    for (;;) {
        std::string field;
        if (i < n && text[i] == '"') {
            ++i;
            for (;;) {
                if (i == n) return std::nullopt; // unterminated
                if (text[i] == '"') {
                    if (i + 1 < n && text[i + 1] == '"') {
                        field += '"';
                        i += 2;
                        continue;
                    }
                    ++i;
                    break;
                }
                field += text[i++];
            }
        } else {
            while (i < n && text[i] != ',' && text[i] != '\r') {
                if (text[i] == '"' || text[i] == '\n') return std::nullopt;
                field += text[i++];
            }
        }
        record.push_back(std::move(field));
        if (i == n) {
            records.push_back(std::move(record));
            return records;
        }
        if (text[i] == ',') {
            ++i;
            continue;
        }
        if (text[i] != '\r' || i + 1 == n || text[i + 1] != '\n') return std::nullopt;
        i += 2;
        records.push_back(std::move(record));
        record.clear();
        if (i == n) return records;
    }
}

std::string show(const Record& r) {
    std::string s;
    for (const auto& f : r)
        s += "[" + f + "]";
    return s;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    FuzzedDataProvider in(data, size);
    vantrel::MachineResult r;
    r.machine = in.ConsumeRandomLengthString(256);
    r.stopped = in.ConsumeRandomLengthString(16);
    r.updated = in.ConsumeRandomLengthString(16);
    r.restarted = in.ConsumeRandomLengthString(16);
    r.error = in.ConsumeRemainingBytesAsString();
    // A control character is written visibly; everything else reads back as it was.
    using vantrel::visibleText;
    const Record expected{visibleText(r.machine), visibleText(r.stopped), visibleText(r.updated),
                          visibleText(r.restarted), visibleText(r.error)};

    const std::string line = vantrel::resultsLine(r);
    const auto fromLine = readCsv(line);
    FUZZ_CHECK(fromLine && fromLine->size() == 1 && (*fromLine)[0] == expected,
               "line " + line + " does not read back as " + show(expected));

    std::string path;
    {
        vantrel::ResultsFile file(fuzzcheck::scratchFolder(), "results.csv");
        path = file.path();
        file.write(r);
        file.close();
    }
    std::ifstream stream(path, std::ios::binary);
    const std::string text{std::istreambuf_iterator<char>(stream), std::istreambuf_iterator<char>()};
    ::unlink(path.c_str());
    const auto fromFile = readCsv(text);
    const Record header{"MACHINE", "STOPPED", "UPDATED", "RESTARTED", "ERROR MESSAGE"};
    FUZZ_CHECK(fromFile && fromFile->size() == 2 && (*fromFile)[0] == header && (*fromFile)[1] == expected,
               "file " + text + " does not read back as the header and " + show(expected));
    return 0;
}
