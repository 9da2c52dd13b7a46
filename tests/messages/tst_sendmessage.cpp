// The send run and SendNetMessage, driven without widgets: a scripted host stands in for the
// main window, and the messenger is either a recording one or the simulated network itself.
#include "RecordingNetwork.h"
#include "messages/SendNetMessage.h"
#include "platform/Platform.h"
#include "platform/sim/SimNetwork.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QTemporaryDir>
#include <QTest>

#include <functional>
#include <stdexcept>

namespace {

struct Client {
    QString name;
    bool ticked;
};

class ScriptedHost : public vantrel::MessageRunHost {
  public:
    std::vector<Client> clients;
    QString text;
    bool stop = false;

    int started = 0;
    int stopped = 0;
    QStringList progressTexts; // start and set texts, in order
    QStringList paneLines;

    // Run when the progress text is set for a machine; lets a test act "while the run yields".
    std::function<void(ScriptedHost&, const QString&)> onProgress;
    bool throwOnName = false;

    int clientCount() const override { return int(clients.size()); }
    bool clientTicked(int i) const override { return clients.at(size_t(i)).ticked; }
    QString clientName(int i) const override {
        if (throwOnName) throw std::runtime_error("list gone");
        return clients.at(size_t(i)).name;
    }
    QString messageText() const override { return text; }
    void startProgress(const QString& msg) override {
        ++started;
        progressTexts << msg;
    }
    void setProgressMessage(const QString& msg) override {
        progressTexts << msg;
        if (onProgress) onProgress(*this, msg);
    }
    void stopProgress() override { ++stopped; }
    void yield() override {}
    bool stopRequested() const override { return stop; }
    void report(const QString& line) override { paneLines << line; }
};

QStringList machinesOf(const RecordingNetwork& net) {
    QStringList out;
    for (const auto& m : net.sent)
        out << m.machine();
    return out;
}

} // namespace

class tst_SendMessage : public QObject {
    Q_OBJECT

  private slots:
    void buffersAndLength_data();
    void buffersAndLength();
    void deliveredOnlyOnStatusZero_data();
    void deliveredOnlyOnStatusZero();
    void failedMachineIsNamedAndRunGoesOn();
    void textIsReadAgainForEachMachine();
    void stopsWhenTheWindowCloses();
    void listShrinkingDuringTheRunIsSafe();
    void unexpectedFaultEndsRunQuietly();
    void simulatedNetworkReceivesWholeMessage();
};

void tst_SendMessage::buffersAndLength_data() {
    QTest::addColumn<QString>("machine");
    QTest::addColumn<QString>("text");
    QTest::addColumn<QString>("sent");
    QTest::addColumn<uint>("byteLength");
    const QString ws = QStringLiteral("WS001");
    QTest::newRow("three characters") << ws << QStringLiteral("abc") << QStringLiteral("abc") << 7u;
    QTest::newRow("one character") << ws << QStringLiteral("x") << QStringLiteral("x") << 3u;
    QTest::newRow("line breaks count") << ws << QStringLiteral("a\r\nb") << QStringLiteral("a\r\nb") << 9u;
    // The text box gives LF alone; the messenger shows lines ended as Windows ends them.
    QTest::newRow("typed line breaks go as CR LF")
        << ws << QStringLiteral("a\nb\n") << QStringLiteral("a\r\nb\r\n") << 13u;
    // A character outside the basic plane is two UTF-16 units and four bytes.
    QTest::newRow("surrogate pair") << ws << QStringLiteral("a\U0001F600") << QStringLiteral("a\U0001F600")
                                    << 7u;
    QTest::newRow("accented") << ws << QStringLiteral("caf\u00E9 \u00FC")
                              << QStringLiteral("caf\u00E9 \u00FC") << 13u;
    QTest::newRow("blanks around the name")
        << QStringLiteral(" WS001  ") << QStringLiteral("x") << QStringLiteral("x") << 3u;
}

void tst_SendMessage::buffersAndLength() {
    QFETCH(QString, machine);
    QFETCH(QString, text);
    QFETCH(QString, sent);
    QFETCH(uint, byteLength);
    RecordingNetwork net;
    NetworkInstalled installed(net);

    QVERIFY(vantrel::SendNetMessage(machine, text));
    QCOMPARE(net.sent.size(), size_t(1));
    const SentMessage& m = net.sent.front();
    QCOMPARE(m.msgName, std::u16string(u"WS001") + u'\0');
    QCOMPARE(m.buffer, sent.toStdU16String() + u'\0');
    QCOMPARE(m.byteLength, byteLength);
    QCOMPARE(m.text(), sent);
}

void tst_SendMessage::deliveredOnlyOnStatusZero_data() {
    QTest::addColumn<uint>("status");
    QTest::addColumn<bool>("throws");
    QTest::addColumn<bool>("delivered");
    QTest::newRow("delivered") << 0u << false << true;
    QTest::newRow("unknown name or messenger stopped") << 2273u << false << false;
    QTest::newRow("unreachable") << 53u << false << false;
    QTest::newRow("fault inside the call") << 0u << true << false;
}

void tst_SendMessage::deliveredOnlyOnStatusZero() {
    QFETCH(uint, status);
    QFETCH(bool, throws);
    QFETCH(bool, delivered);
    RecordingNetwork net;
    NetworkInstalled installed(net);
    net.statusFor[QStringLiteral("HOST")] = status;
    net.throwOnSend = throws;
    QCOMPARE(vantrel::SendNetMessage(QStringLiteral("HOST"), QStringLiteral("hi")), delivered);
}

void tst_SendMessage::failedMachineIsNamedAndRunGoesOn() {
    RecordingNetwork net;
    NetworkInstalled installed(net);
    net.statusFor[QStringLiteral("DOWN1")] = 53;
    ScriptedHost host;
    host.text = QStringLiteral("reboot at noon");
    // A blank entry (an empty host-file line) would be this computer: refused, never sent to.
    host.clients = {{QStringLiteral("DOWN1"), true},
                    {QStringLiteral("SKIPPED"), false},
                    {QStringLiteral("  "), true},
                    {QString(), true},
                    {QStringLiteral("UP2"), true}};

    vantrel::SendMessageRun(host);
    QCOMPARE(machinesOf(net), (QStringList{QStringLiteral("DOWN1"), QStringLiteral("UP2")}));
    QCOMPARE(net.sent.back().text(), QStringLiteral("reboot at noon"));
    QCOMPARE(host.paneLines, (QStringList{QStringLiteral("DOWN1:>> FAILED <<: Could not send message"),
                                          vantrel::sendBlankMachineLine(), vantrel::sendBlankMachineLine()}));
    QVERIFY(!vantrel::SendNetMessage(QStringLiteral(" "), QStringLiteral("x")));
    QCOMPARE(net.sent.size(), size_t(2));
    QCOMPARE(host.progressTexts, (QStringList{QStringLiteral("Sending message..."),
                                              QStringLiteral("Sending message to --> DOWN1"),
                                              QStringLiteral("Sending message to --> UP2")}));
    QCOMPARE(host.stopped, 1);
}

void tst_SendMessage::textIsReadAgainForEachMachine() {
    RecordingNetwork net;
    NetworkInstalled installed(net);
    ScriptedHost host;
    host.text = QStringLiteral("first");
    host.clients = {{QStringLiteral("A"), true}, {QStringLiteral("B"), true}};
    // The user edits the message while the run is serving B.
    host.onProgress = [](ScriptedHost& h, const QString& msg) {
        if (msg.endsWith(QLatin1String("B"))) h.text = QStringLiteral("second");
    };

    vantrel::SendMessageRun(host);
    QCOMPARE(net.sent.size(), size_t(2));
    QCOMPARE(net.sent[0].text(), QStringLiteral("first"));
    QCOMPARE(net.sent[1].text(), QStringLiteral("second"));
}

void tst_SendMessage::stopsWhenTheWindowCloses() {
    RecordingNetwork net;
    NetworkInstalled installed(net);
    ScriptedHost host;
    host.text = QStringLiteral("bye");
    host.clients = {{QStringLiteral("A"), true}, {QStringLiteral("B"), true}, {QStringLiteral("C"), true}};
    // The window is closed while the progress window names B.
    host.onProgress = [](ScriptedHost& h, const QString& msg) {
        if (msg.endsWith(QLatin1String("B"))) h.stop = true;
    };

    vantrel::SendMessageRun(host);
    QCOMPARE(machinesOf(net), QStringList{QStringLiteral("A")});
    QCOMPARE(host.stopped, 1);
}

void tst_SendMessage::listShrinkingDuringTheRunIsSafe() {
    RecordingNetwork net;
    NetworkInstalled installed(net);
    ScriptedHost host;
    host.text = QStringLiteral("m");
    host.clients = {{QStringLiteral("A"), true}, {QStringLiteral("B"), true}, {QStringLiteral("C"), true}};
    // The user removes the last two entries while A is served.
    host.onProgress = [](ScriptedHost& h, const QString& msg) {
        if (msg.endsWith(QLatin1String("A"))) h.clients.resize(1);
    };

    vantrel::SendMessageRun(host);
    QCOMPARE(machinesOf(net), QStringList{QStringLiteral("A")});
    QCOMPARE(host.stopped, 1);
}

void tst_SendMessage::unexpectedFaultEndsRunQuietly() {
    RecordingNetwork net;
    NetworkInstalled installed(net);
    ScriptedHost host;
    host.text = QStringLiteral("m");
    host.clients = {{QStringLiteral("A"), true}, {QStringLiteral("B"), true}};
    host.throwOnName = true;

    vantrel::SendMessageRun(host);
    QVERIFY(net.sent.empty());
    QVERIFY(host.paneLines.isEmpty());
    QCOMPARE(host.started, 1);
    QCOMPARE(host.stopped, 1);
}

void tst_SendMessage::simulatedNetworkReceivesWholeMessage() {
    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    const std::string db = dir.filePath(QStringLiteral("simnet.db")).toStdString();
    platform::sim::loadNetwork(db, R"({
        "machines": [
            {"name": "WS001", "reachable": false},
            {"name": "WS002"},
            {"name": "WS003", "messenger": false}
        ]})");
    platform::sim::useDatabase(db);

    ScriptedHost host;
    host.text = QStringLiteral("abc");
    host.clients = {{QStringLiteral("WS001"), true},
                    {QStringLiteral("WS002"), true},
                    {QStringLiteral("WS003"), true},
                    {QStringLiteral("NOSUCH"), true}};
    vantrel::SendMessageRun(host);
    platform::sim::useDatabase({});

    QCOMPARE(host.paneLines, (QStringList{vantrel::sendFailedLine(QStringLiteral("WS001")),
                                          vantrel::sendFailedLine(QStringLiteral("WS003")),
                                          vantrel::sendFailedLine(QStringLiteral("NOSUCH"))}));

    const auto network =
        QJsonDocument::fromJson(QByteArray::fromStdString(platform::sim::dumpNetwork(db))).object();
    QMap<QString, QStringList> received;
    for (const auto& m : network.value(QStringLiteral("machines")).toArray()) {
        QStringList texts;
        for (const auto& msg : m.toObject().value(QStringLiteral("messages")).toArray())
            texts << msg.toObject().value(QStringLiteral("text")).toString();
        received[m.toObject().value(QStringLiteral("name")).toString()] = texts;
    }
    QCOMPARE(received.value(QStringLiteral("WS001")), QStringList());
    QCOMPARE(received.value(QStringLiteral("WS002")), QStringList{QStringLiteral("abc")});
    QCOMPARE(received.value(QStringLiteral("WS003")), QStringList());
}

QTEST_GUILESS_MAIN(tst_SendMessage)
#include "tst_sendmessage.moc"
