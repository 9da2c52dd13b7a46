// The list fill and prune procedures on their own: host-file lines, ClearCase output, search
// criteria, reading host files into a list, and find / remove by pattern.
#include "clients/ClearCaseLists.h"
#include "clients/ClientList.h"
#include "clients/Discovery.h"
#include "clients/HostFiles.h"
#include "clients/PatternFilter.h"
#include "common/AppEnv.h"
#include "common/Dialogs.h"
#include "common/TestHelpers.h"
#include "platform/Platform.h"

#include <QFile>
#include <QLabel>
#include <QListWidget>
#include <QTemporaryDir>
#include <QtTest>

#include <memory>
#include <unistd.h>

using namespace vantrel;

namespace {

// A client list over its own widgets, as the main window holds it.
struct ListFixture {
    QListWidget widget;
    QLabel count;
    ClientList list{&widget, &count};

    ListFixture(const QStringList& names = {}) {
        for (const QString& n : names)
            list.append(n);
    }
    QStringList names() const {
        QStringList out;
        for (int i = 0; i < list.count(); ++i)
            out << list.text(i);
        return out;
    }
};

// A browser and a ClearCase tool with canned answers.
struct CannedBrowser : platform::NetworkManagement {
    platform::ServerEnumeration answer;
    bool fault = false;
    platform::ServerEnumeration NetServerEnum(std::uint32_t) override {
        if (fault) throw platform::PlatformFault("network file unreadable");
        return answer;
    }
    std::uint32_t NetMessageBufferSend(const std::u16string&, const std::u16string&, std::uint32_t) override {
        return 0;
    }
};

struct CannedClearTool : platform::ClearTool {
    platform::CmdExecResult answer;
    bool fault = false;
    platform::CmdExecResult CmdExec(const std::vector<std::string>&) override {
        if (fault) throw platform::PlatformFault("network file unreadable");
        return answer;
    }
};

} // namespace

class tst_ListProcs : public QObject {
    Q_OBJECT

    QTemporaryDir dir;
    ScriptedDialogs boxes;

    QString writeFile(const QString& name, const QByteArray& bytes) {
        return simtest::writeFile(dir, name, bytes);
    }
    // The one box every fill shows when the list is full: the standard error box naming the limit.
    void verifyListFullBox(const char* context) {
        QCOMPARE(boxes.shown.size(), size_t(1));
        QCOMPARE(boxes.shown[0].title, std::string("Error..."));
        const QStringList lines = QString::fromStdString(boxes.shown[0].text).split("\r\n");
        QCOMPARE(lines.value(0),
                 QString("Error::The client list is full: it holds at most 32767 entries, so no "
                         "more names were added."));
        QCOMPARE(lines.value(1), QString(context));
    }

  private slots:
    void init() {
        boxes.clear();
        setDialogs(&boxes);
    }
    void cleanup() {
        setDialogs(nullptr);
        platform::setNetwork(nullptr);
        platform::setClearTool(nullptr);
    }

    void hostLines_data() {
        QTest::addColumn<QByteArray>("bytes");
        QTest::addColumn<QStringList>("names");
        QTest::newRow("CR LF, last one ended")
            << QByteArray("host1\r\nhost2\r\n") << QStringList{"host1", "host2"};
        QTest::newRow("no line end at the end")
            << QByteArray("host1\r\nhost2") << QStringList{"host1", "host2"};
        QTest::newRow("LF only") << QByteArray("a\nb\nc\n") << QStringList{"a", "b", "c"};
        QTest::newRow("CR only") << QByteArray("a\rb\rc") << QStringList{"a", "b", "c"};
        QTest::newRow("mixed") << QByteArray("a\r\nb\nc\rd") << QStringList{"a", "b", "c", "d"};
        QTest::newRow("LF CR is two line ends") << QByteArray("a\n\rb") << QStringList{"a", "", "b"};
        QTest::newRow("blank line") << QByteArray("a\r\n\r\nb\r\n") << QStringList{"a", "", "b"};
        QTest::newRow("only a line end") << QByteArray("\r\n") << QStringList{""};
        QTest::newRow("empty file") << QByteArray() << QStringList{};
        QTest::newRow("blanks and tabs kept")
            << QByteArray(" host1\t\r\nhost1 ") << QStringList{" host1\t", "host1 "};
        QTest::newRow("byte-order mark dropped")
            << QByteArray("\xEF\xBB\xBFhost1\r\n") << QStringList{"host1"};
        QTest::newRow("UTF-8 kept") << QByteArray("h\xC3\xB6st\n")
                                    << QStringList{QString::fromUtf8("h\xC3\xB6st")};
        // A line that is not UTF-8 comes from the Windows code page, line by line.
        QTest::newRow("not UTF-8: Windows-1252")
            << QByteArray("caf\xE9\ncaf\xE8\r\nh\xC3\xB6st\n\x80\x9F\xC3\n")
            << QStringList{"caf\u00E9", "caf\u00E8", "h\u00F6st", "\u20AC\u0178\u00C3"};
        QTest::newRow("UTF-16 LE with its mark") << QByteArray("\xFF\xFEh\0\xF6\0\r\0\n\0=\xD8\0\xDE\n\0", 16)
                                                 << QStringList{"h\u00F6", "\U0001F600"};
        QTest::newRow("UTF-16 BE, lone surrogate replaced")
            << QByteArray("\xFE\xFF\0a\0\r\xDC\0", 8) << QStringList{"a", "?"};
        // Without a mark: told by the NULs at every other byte.
        QTest::newRow("UTF-16 LE without a mark")
            << QByteArray("h\0\xF6\0\r\0\n\0w\0\n\0", 12) << QStringList{"h\u00F6", "w"};
        QTest::newRow("UTF-16 BE without a mark")
            << QByteArray("\0a\0\r\0\n\0b\x01\0", 10) << QStringList{"a", "b\u0100"};
        QTest::newRow("one NUL in a UTF-8 list stays UTF-8")
            << QByteArray("ab\0cd\r\nef\r\n", 10) << QStringList{QString::fromUtf8("ab\0cd", 5), "ef"};
    }
    void hostLines() {
        QFETCH(QByteArray, bytes);
        QFETCH(QStringList, names);
        QCOMPARE(SplitHostLines(bytes), names);
    }

    // Reading a file in pieces must cut the same lines whatever the piece size, including a
    // CR LF split over two pieces and a sink that stops early.
    void hostLinesInChunks() {
        const QByteArray text("ab\r\ncd\r\r\nef\n\r\ngh\rij\r");
        QStringList whole;
        for (const QString& s : SplitHostLines(text))
            whole << s;
        QCOMPARE(whole, (QStringList{"ab", "cd", "", "ef", "", "gh", "ij"}));
        for (int size = 1; size <= text.size(); ++size) {
            QStringList lines;
            const HostLineSplitter::Sink sink = [&](QByteArrayView line) {
                lines << QString::fromUtf8(line);
                return true;
            };
            HostLineSplitter splitter;
            for (int at = 0; at < text.size(); at += size)
                splitter.feed(QByteArrayView(text).sliced(at, qMin<qsizetype>(size, text.size() - at)), sink);
            splitter.finish(sink);
            QVERIFY2(lines == whole, qPrintable(QString("piece size %1: %2").arg(size).arg(lines.join('|'))));
        }
        QStringList firstTwo;
        HostLineSplitter splitter;
        const bool went = splitter.feed(text, [&](QByteArrayView line) {
            firstTwo << QString::fromUtf8(line);
            return firstTwo.size() < 2;
        });
        QVERIFY(!went);
        QCOMPARE(firstTwo, (QStringList{"ab", "cd"}));
    }

    void clearCaseOutput_data() {
        QTest::addColumn<QString>("output");
        QTest::addColumn<QStringList>("names");
        QTest::newRow("CR LF after each") << "WS001\r\nWS002\r\n" << QStringList{"WS001", "WS002"};
        QTest::newRow("last without line end") << "WS001\r\nWS002" << QStringList{"WS001", "WS002"};
        QTest::newRow("LF only") << "WS001\nWS002\n" << QStringList{"WS001", "WS002"};
        QTest::newRow("one name, no line end") << "WS001" << QStringList{"WS001"};
        QTest::newRow("CR alone is part of a name") << "WS\r001\r\n" << QStringList{"WS\r001"};
        QTest::newRow("empty line in between") << "a\r\n\r\nb\r\n" << QStringList{"a", "", "b"};
        QTest::newRow("empty") << "" << QStringList{};
        QTest::newRow("only a line end") << "\r\n" << QStringList{""};
    }
    void clearCaseOutput() {
        QFETCH(QString, output);
        QFETCH(QStringList, names);
        QCOMPARE(SplitClearCaseOutput(output), names);
    }

    void criteria_data() {
        QTest::addColumn<QString>("criterion");
        QTest::addColumn<quint32>("mask");
        QTest::newRow("local") << "Local List Only" << quint32(0x40000000);
        QTest::newRow("workstation") << "Workstation Only" << quint32(0x00000001);
        QTest::newRow("server") << "Server Only" << quint32(0x00000002);
        QTest::newRow("all") << "All Systems" << quint32(0xFFFFFFFF);
        QTest::newRow("dc") << "Domain Controllers" << quint32(0x00000008);
        QTest::newRow("bdc") << "Backup Domain Controllers" << quint32(0x00000010);
        QTest::newRow("letter case counts") << "all systems" << quint32(0);
        QTest::newRow("whole text only") << "All Systems " << quint32(0);
        QTest::newRow("not a search") << "Load from File" << quint32(0);
    }
    void criteria() {
        QFETCH(QString, criterion);
        QFETCH(quint32, mask);
        QCOMPARE(CriteriaToServerType(criterion), mask);
    }

    // A failed enumeration leaves the list as it was, silently; a full list takes what fits.
    void searchNetworkAnswers_data() {
        QTest::addColumn<int>("error");
        QTest::addColumn<bool>("fault");
        QTest::addColumn<int>("machines");
        QTest::addColumn<int>("listed");
        QTest::newRow("success") << 0 << false << 3 << 4;
        QTest::newRow("browser unavailable") << 6118 << false << 0 << 1;
        QTest::newRow("access denied") << 5 << false << 0 << 1;
        QTest::newRow("platform fault") << 0 << true << 3 << 1;
        QTest::newRow("more than the list holds")
            << 0 << false << ClientList::MaxEntries + 5 << int(ClientList::MaxEntries);
    }
    void searchNetworkAnswers() {
        QFETCH(int, error);
        QFETCH(bool, fault);
        QFETCH(int, machines);
        QFETCH(int, listed);
        CannedBrowser browser;
        browser.fault = fault;
        browser.answer.error = static_cast<std::uint32_t>(error);
        for (int i = 0; i < machines; ++i)
            browser.answer.servers.push_back({500, u"M" + QString::number(i).toStdU16String()});
        platform::setNetwork(&browser);
        ListFixture f({"before"});
        QStringList messages;
        int turns = 0;
        const FillProgress progress{[&](const QString& m) { messages << m; }, [&] { return ++turns > 0; }};
        SearchNetwork(f.list, platform::sv::TypeAll, progress);
        QCOMPARE(f.list.count(), listed);
        QCOMPARE(f.list.text(0), QString("before"));
        if (listed > 1) QCOMPARE(f.list.text(1), QString("M0"));
        QCOMPARE(messages.value(0), QString("Searching Network...this may take a while"));
        QCOMPARE(messages.value(1),
                 listed > 1 ? QString("Populating list with clients found...") : QString());
        if (listed == ClientList::MaxEntries)
            verifyListFullBox("SearchNetwork()");
        else
            QVERIFY(boxes.shown.empty());
    }

    void clearCaseClients_data() {
        QTest::addColumn<QStringList>("before");
        QTest::addColumn<QString>("outcome"); // output, "!error text" for a raised error, "!!" for a fault
        QTest::addColumn<bool>("result");
        QTest::addColumn<QStringList>("after");
        QTest::addColumn<QString>("server");
        QTest::newRow("names") << QStringList{"ws2"} << "WS1\r\nWS2\r\nWS3\r\n"
                               << true << QStringList{"ws2", "WS1", "WS3"} << "LIC";
        QTest::newRow("last name without line end")
            << QStringList{} << "WS1\r\nWS2" << true << QStringList{"WS1", "WS2"} << "LIC";
        QTest::newRow("LF line ends") << QStringList{} << "WS1\nws1\nWS2\n"
                                      << true << QStringList{"WS1", "WS2"} << "LIC";
        QTest::newRow("empty output") << QStringList{"x"} << "" << false << QStringList{"x"} << "LIC";
        QTest::newRow("tool error") << QStringList{"x"} << "!cleartool: Error: Unknown host \"Q\"." << false
                                    << QStringList{"x"} << "LIC";
        QTest::newRow("platform fault") << QStringList{"x"} << "!!" << false << QStringList{"x"} << "LIC";
        // The tool would get the name cut at the NUL and list another server's clients.
        QTest::newRow("server name with a NUL")
            << QStringList{"x"} << "WS1\r\n"
            << false << QStringList{"x"} << QString("LIC") + QChar(u'\0') + "2";
    }
    void clearCaseClients() {
        QFETCH(QStringList, before);
        QFETCH(QString, outcome);
        QFETCH(bool, result);
        QFETCH(QStringList, after);
        QFETCH(QString, server);
        const bool refused = server.contains(QChar(u'\0'));
        CannedClearTool tool;
        tool.fault = outcome == "!!";
        tool.answer.ok = !outcome.startsWith('!');
        (tool.answer.ok ? tool.answer.output : tool.answer.errorDescription) =
            (tool.answer.ok ? outcome : outcome.mid(1)).toStdString();
        platform::setClearTool(&tool);
        ListFixture f(before);
        QCOMPARE(GetClearCaseClients(server, f.list), result);
        QCOMPARE(f.names(), after);
        if (outcome.startsWith('!') || refused) {
            QCOMPARE(boxes.shown.size(), size_t(1));
            const QString text = QString::fromStdString(boxes.shown[0].text);
            const QString description = refused      ? "The licence server name holds a NUL character"
                                        : tool.fault ? "network file unreadable"
                                                     : outcome.mid(1);
            QVERIFY2(
                text.startsWith("Error::" + description + "\r\nCould not get ClearCase Clients Only\r\n"),
                qPrintable(text));
        } else {
            QVERIFY(boxes.shown.empty());
        }
    }

    // Names taken before the list filled up stay; the rest is reported as every fill does,
    // and the fill counts as done.
    void clearCaseClientsIntoFullList() {
        CannedClearTool tool;
        tool.answer = {true, "a\r\nA\r\nb\r\nc\r\n", {}};
        platform::setClearTool(&tool);
        ListFixture f;
        for (int i = 0; i < ClientList::MaxEntries - 1; ++i)
            f.list.append(QString("m%1").arg(i));
        QVERIFY(GetClearCaseClients("LIC", f.list));
        QCOMPARE(f.list.count(), int(ClientList::MaxEntries));
        QCOMPARE(f.list.text(ClientList::MaxEntries - 1), QString("a"));
        verifyListFullBox("GetClearCaseClients()");
    }

    void readHostFile_data() {
        QTest::addColumn<QStringList>("before");
        QTest::addColumn<QByteArray>("bytes");
        QTest::addColumn<QStringList>("after");
        QTest::newRow("duplicates in other letter case")
            << QStringList{} << QByteArray("host1\r\nHOST1\r\nhost2\r\n") << QStringList{"host1", "host2"};
        QTest::newRow("names already listed")
            << QStringList{"Host2", "x"} << QByteArray("host1\r\nhost2\r\nX")
            << QStringList{"Host2", "x", "host1"};
        QTest::newRow("blank lines: one empty entry")
            << QStringList{} << QByteArray("a\r\n\r\nb\r\n\r\n") << QStringList{"a", "", "b"};
        QTest::newRow("leading blank makes another name")
            << QStringList{"host1"} << QByteArray(" host1\r\nhost1\r\n") << QStringList{"host1", " host1"};
        QTest::newRow("LF only") << QStringList{} << QByteArray("a\nb\n") << QStringList{"a", "b"};
        QTest::newRow("CR only") << QStringList{} << QByteArray("a\rb\r") << QStringList{"a", "b"};
        QTest::newRow("mixed") << QStringList{} << QByteArray("a\rb\nc\r\nd")
                               << QStringList{"a", "b", "c", "d"};
        QTest::newRow("not UTF-8: two names, not one")
            << QStringList{} << QByteArray("caf\xE9\r\ncaf\xE8\r\nCAF\xC9\r\n")
            << QStringList{"caf\u00E9", "caf\u00E8"};
        QTest::newRow("UTF-16 as Notepad saves it") << QStringList{"b"}
                                                    << QByteArray("\xFF\xFE"
                                                                  "a\0\r\0\n\0B\0\r\0\n\0",
                                                                  14)
                                                    << QStringList{"b", "a"};
        QTest::newRow("UTF-16 without a mark")
            << QStringList{} << QByteArray("a\0\r\0\n\0B\0\r\0\n\0", 12) << QStringList{"a", "B"};
        QTest::newRow("a name of the longest length") << QStringList{} << QByteArray(255, 'x') + "\r\n"
                                                      << QStringList{QString(255, 'x')};
    }
    void readHostFile() {
        QFETCH(QStringList, before);
        QFETCH(QByteArray, bytes);
        QFETCH(QStringList, after);
        ListFixture f(before);
        f.list.setTicked(0, true);
        ReadHostFile(writeFile("hosts.txt", bytes), f.list);
        QCOMPARE(f.names(), after);
        QVERIFY(boxes.shown.empty());
        QCOMPARE(f.list.ticked(0), !before.isEmpty());
        for (int i = 1; i < f.list.count(); ++i)
            QVERIFY(!f.list.ticked(i));
    }

    void readHostFileTwice() {
        ListFixture f;
        const QString path = writeFile("twice.txt", "b\r\na\r\nB\r\nc");
        ReadHostFile(path, f.list);
        ReadHostFile(path, f.list);
        QCOMPARE(f.names(), (QStringList{"b", "a", "c"}));
    }

    void readHostFileFailures() {
        ListFixture f({"keep"});
        const QString missing = dir.filePath("gone.txt");
        ReadHostFile(missing, f.list);
        ReadHostFile(dir.path(), f.list); // a folder is no host file
        QCOMPARE(f.names(), QStringList{"keep"});
        QCOMPARE(boxes.shown.size(), size_t(2));
        QCOMPARE(boxes.shown[0].icon, Icon::Critical);
        QCOMPARE(boxes.shown[0].title, std::string("File does not exist"));
        QCOMPARE(boxes.shown[0].text, "File does not exist --> " + missing.toStdString());
        QCOMPARE(boxes.shown[1].text, "File does not exist --> " + dir.path().toStdString());

        if (geteuid() == 0) QSKIP("permissions do not bind root");
        boxes.clear();
        const QString locked = writeFile("locked.txt", "x\r\n");
        QFile::setPermissions(locked, QFileDevice::Permissions());
        ReadHostFile(locked, f.list);
        QCOMPARE(f.names(), QStringList{"keep"});
        QCOMPARE(boxes.shown.size(), size_t(1));
        QCOMPARE(boxes.shown[0].icon, Icon::Critical);
        QCOMPARE(boxes.shown[0].title, std::string("Vantrel"));
        QVERIFY(QString::fromStdString(boxes.shown[0].text)
                    .startsWith("Error processing config file --> " + locked + ":: "));

        // A folder that may not be searched: the lookup itself fails.
        boxes.clear();
        QDir(dir.path()).mkdir("closed");
        const QString inside = writeFile("closed/h.txt", "y\r\n");
        QFile::setPermissions(dir.filePath("closed"), QFileDevice::Permissions());
        QVERIFY(!FileExists(inside));
        QFile::setPermissions(dir.filePath("closed"),
                              QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner);
        QCOMPARE(boxes.shown.size(), size_t(1));
        QVERIFY(QString::fromStdString(boxes.shown[0].text)
                    .startsWith("Error determining file exist --> " + inside + "::"));
        QVERIFY(FileExists(inside));
    }

    // A line longer than a machine name can be refuses the file, which adds nothing; the
    // box names the line. An endless line is not read to its end.
    void readHostFileRefusesLongLine_data() {
        QTest::addColumn<QByteArray>("bytes");
        QTest::addColumn<int>("line");
        QTest::newRow("256 characters") << QByteArray("new1\r\n") + QByteArray(256, 'x') + "\r\nnew2" << 2;
        QTest::newRow("256 two-byte characters, last line")
            << QByteArray("new1\r\nnew2\r\n") + QByteArray("\xC3\xB6").repeated(256) << 3;
        QTest::newRow("20 MB in one line") << QByteArray("new1\n") + QByteArray(20 << 20, 'y') << 2;
    }
    void readHostFileRefusesLongLine() {
        QFETCH(QByteArray, bytes);
        QFETCH(int, line);
        ListFixture f({"keep"});
        const QString path = writeFile("long.txt", bytes);
        ReadHostFile(path, f.list);
        QCOMPARE(f.names(), QStringList{"keep"});
        QVERIFY(!f.list.is_dup_list("new1"));
        QCOMPARE(boxes.shown.size(), size_t(1));
        QCOMPARE(boxes.shown[0].icon, Icon::Critical);
        const QString text = QString::fromStdString(boxes.shown[0].text);
        QVERIFY2(text.startsWith("Error processing config file --> " + path + ":: line " +
                                 QString::number(line) + " "),
                 qPrintable(text));
    }

    // The list holds at most 32767 names: a file that would go past that stops with the box
    // every fill shows, keeping what fitted.
    void readHostFileIntoFullList() {
        ListFixture f;
        for (int i = 0; i < ClientList::MaxEntries - 2; ++i)
            f.list.append(QString("m%1").arg(i));
        const QString path = writeFile("many.txt", "M0\r\nnew1\r\nnew2\r\nnew3\r\nnew4\r\n");
        ReadHostFile(path, f.list);
        QCOMPARE(f.list.count(), int(ClientList::MaxEntries));
        QCOMPARE(f.list.text(ClientList::MaxEntries - 1), QString("new2"));
        verifyListFullBox("ReadHostFile()");
    }

    void loadFromFileDialog() {
        ListFixture f({"old"});
        const QString path = writeFile("pick.txt", "new\r\nOLD\r\n");
        setProgramDirectory(dir.path().toStdString());
        boxes.files = {std::nullopt, std::string("*.txt"), std::string(), path.toStdString()};
        for (int i = 0; i < 4; ++i)
            DoLoadFromFile(f.list);
        setProgramDirectory({});
        QCOMPARE(f.names(), (QStringList{"old", "new"}));
        QCOMPARE(boxes.shown.size(), size_t(4)); // four dialogs, no other box
        const ShownBox& d = boxes.shown[0];
        QCOMPARE(d.kind, ShownBox::Kind::OpenFile);
        QCOMPARE(d.title, std::string("Select a file containing list of hostnames"));
        QCOMPARE(d.folder, dir.path().toStdString());
        QCOMPARE(d.defaultValue, std::string("*.txt"));
        QCOMPARE(d.text, std::string("All Files (*.*)|*.*"));

        // Chosen, then deleted before it is read.
        boxes.clear();
        QFile::remove(path);
        boxes.files = {path.toStdString()};
        DoLoadFromFile(f.list);
        QCOMPARE(f.names(), (QStringList{"old", "new"}));
        QCOMPARE(boxes.shown.back().text, "File does not exist --> " + path.toStdString());
    }

    void removeByPattern_data() {
        QTest::addColumn<QStringList>("names");
        QTest::addColumn<QString>("pattern");
        QTest::addColumn<QStringList>("left");
        QTest::addColumn<int>("current");
        QTest::addColumn<int>("currentAfter");
        QTest::newRow("letter case ignored")
            << QStringList{"WEB01", "myweb", "w-eb", "Web2"} << "web" << QStringList{"w-eb"} << 2 << 0;
        QTest::newRow("upper-case pattern")
            << QStringList{"WEB01", "myweb", "w-eb"} << "WEB" << QStringList{"w-eb"} << 0 << -1;
        QTest::newRow("neighbours all go")
            << QStringList{"a1", "a2", "b1"} << "a" << QStringList{"b1"} << -1 << -1;
        QTest::newRow("last ones") << QStringList{"b1", "a1", "a2"} << "a" << QStringList{"b1"} << 0 << 0;
        QTest::newRow("everything") << QStringList{"x1", "X2"} << "x" << QStringList{} << 1 << -1;
        QTest::newRow("nothing") << QStringList{"x1", "X2"} << "y" << QStringList{"x1", "X2"} << 1 << 1;
        QTest::newRow("plain text, not a wildcard")
            << QStringList{"a.b", "axb", "a*"} << "a." << QStringList{"axb", "a*"} << 2 << 1;
        QTest::newRow("beyond ASCII") << QStringList{QString::fromUtf8("\xC3\x84RGER"), "ARG"}
                                      << QString::fromUtf8("\xC3\xA4r") << QStringList{"ARG"} << 1 << 0;
        // Few matches in a longer list: removed where they are.
        QTest::newRow("one of nine") << QStringList{"a", "b", "c", "d", "Xe", "f", "g", "h", "i"} << "x"
                                     << QStringList{"a", "b", "c", "d", "f", "g", "h", "i"} << 6 << 5;
        QTest::newRow("two of nine, current goes")
            << QStringList{"a", "xb", "c", "d", "e", "f", "g", "h", "ix"} << "X"
            << QStringList{"a", "c", "d", "e", "f", "g", "h"} << 1 << -1;
        QStringList many, manyLeft;
        for (int i = 0; i < 300; ++i) {
            many << QString("%1-%2").arg(i % 3 ? "keep" : "DROP").arg(i);
            if (i % 3) manyLeft << many.back();
        }
        QTest::newRow("a third of 300") << many << "drop" << manyLeft << 299 << 199;
        QTest::newRow("a third of 300, current goes") << many << "drop" << manyLeft << 3 << -1;
    }
    void removeByPattern() {
        QFETCH(QStringList, names);
        QFETCH(QString, pattern);
        QFETCH(QStringList, left);
        QFETCH(int, current);
        QFETCH(int, currentAfter);
        ListFixture f(names);
        // Tick every other survivor: the ticks must stay with their names.
        QSet<QString> ticked;
        for (int i = 0; i < left.size(); i += 2)
            ticked.insert(left[i]);
        for (int i = 0; i < f.list.count(); ++i)
            f.list.setTicked(i, ticked.contains(f.list.text(i)));
        f.list.setCurrent(current);
        QCOMPARE(RemoveByPattern(f.list, pattern), int(names.size() - left.size()));
        QCOMPARE(f.names(), left);
        for (int i = 0; i < f.list.count(); ++i)
            QCOMPARE(f.list.ticked(i), ticked.contains(f.list.text(i)));
        QCOMPARE(f.list.current(), currentAfter);
        // The duplicate test follows the removals.
        for (const QString& n : names)
            QCOMPARE(f.list.is_dup_list(n), left.contains(n));
    }

    void findNextByPattern() {
        ListFixture f({"WEB01", "myweb", "w-eb", "Web2", "webby"});
        FindNextByPattern(f.list, "web", 0);
        QCOMPARE(f.list.current(), 1); // letter case counts
        FindNextByPattern(f.list, "web", f.list.current() + 1);
        QCOMPARE(f.list.current(), 4);
        FindNextByPattern(f.list, "web", f.list.current() + 1); // no wrap-around
        QCOMPARE(f.list.current(), 4);
        FindNextByPattern(f.list, "WEB0", 1); // earlier matches are not looked at
        QCOMPARE(f.list.current(), 4);
        FindNextByPattern(f.list, "W", 0);
        QCOMPARE(f.list.current(), 0);
    }

    void patternRule_data() {
        QTest::addColumn<QString>("text");
        QTest::addColumn<bool>("usable");
        QTest::newRow("placeholder") << QString(patternPlaceholder) << false;
        QTest::newRow("empty") << "" << false;
        QTest::newRow("< anywhere") << "web<" << false;
        QTest::newRow("plain") << "web" << true;
        QTest::newRow("blank") << " " << true;
    }
    void patternRule() {
        QFETCH(QString, text);
        QFETCH(bool, usable);
        QCOMPARE(PatternUsable(text), usable);
    }
};

QTEST_MAIN(tst_ListProcs)
#include "tst_listprocs.moc"
