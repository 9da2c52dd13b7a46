// The network file itself: unusable files, several processes and threads at once, the service
// database lock of live and dead processes, and the simnet tool's load, dump and refusals.
#include "common/SimFixture.h"
#include "platform/Platform.h"

#include <QProcess>
#include <QtTest>

#include <atomic>
#include <thread>
#include <unistd.h>

using namespace platform;

namespace {

const char* const Small = R"({"domains": [{"name": "CORP", "sid": "S-1-5-21-1-2-3", "controller": "WS001"}],
  "machines": [{"name": "WS001", "domain": "CORP", "services": [{"name": "Albd", "state": "stopped"}],
                "registry": [{"key": "SOFTWARE\\Shared"}]},
               {"name": "WS002"}],
  "licence_servers": [{"host": "WS001", "clients": ["WS002"]}]})";

QByteArray readFile(const QString& path) {
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

void writeFile(const QString& path, const QByteArray& bytes) {
    QFile f(path);
    QVERIFY(f.open(QIODevice::WriteOnly | QIODevice::Truncate));
    f.write(bytes);
}

struct Run {
    int code = -1;
    QByteArray out;
    QByteArray err;
};

Run simnet(const QStringList& args, const QByteArray& input = {}) {
    QProcess p;
    p.start(SIMNET_EXE, args);
    if (!p.waitForStarted()) return {};
    p.write(input);
    p.closeWriteChannel();
    p.waitForFinished(60000);
    return {p.exitStatus() == QProcess::NormalExit ? p.exitCode() : -1, p.readAllStandardOutput(),
            p.readAllStandardError()};
}

// Every facility answers as if the network were down, and nothing creates a file.
void expectNetworkDown() {
    QCOMPARE(serviceControl().OpenSCManager("WS001", svc::ScManagerAllAccess).error, 1722u);
    QCOMPARE(registry().RegConnectRegistry("\\\\WS001", reg::LocalMachine).error, 53u);
    QCOMPARE(registry().RegOpenKeyEx(reg::LocalMachine, "SOFTWARE", 0, reg::KeyReadWriteLink).error, 2u);
    QCOMPARE(lsa().LsaOpenPolicy(u"\\\\WS001", lsaconst::PolicyAccessForRights).error, 0xC0020017u);
    QCOMPARE(network().NetMessageBufferSend(u"WS001", u"hi", 5), 53u);
    QCOMPARE(network().NetServerEnum(0xFFFFFFFF).error, 6118u);
    QVERIFY(!clearTool().CmdExec({"lsclients", "-host", "WS001", "-s"}).ok);
    QVERIFY(!directory().BindUser("LDAP://WS001/x,user").ok);
}

} // namespace

class tst_PlatformFile : public QObject {
    Q_OBJECT
    QTemporaryDir dir;

    QString path(const char* name) const { return dir.filePath(name); }

  private slots:
    void cleanup() { sim::useDatabase({}); }

    void missingFileIsNeverCreated() {
        const QString p = path("missing.db");
        sim::useDatabase(p.toStdString());
        expectNetworkDown();
        QVERIFY(!QFile::exists(p));
        QVERIFY(QString::fromStdString(sim::databaseProblem()).contains(p));
        QVERIFY_THROWS_EXCEPTION(sim::SimError, sim::dumpNetwork(p.toStdString()));
        QCOMPARE(simnet({"--db", p, "dump"}).code, 1);
        QVERIFY(!QFile::exists(p));
        // Once a network is written there, the same process uses it without being told again.
        sim::loadNetwork(p.toStdString(), Small);
        QCOMPARE(network().NetServerEnum(0xFFFFFFFF).servers.size(), 2u);
        QVERIFY(sim::databaseProblem().empty());
    }

    void unusableFiles_data() {
        QTest::addColumn<QString>("kind");
        QTest::newRow("text") << "text";
        QTest::newRow("truncated network") << "truncated";
        QTest::newRow("damaged pages") << "damaged";
        QTest::newRow("database of something else") << "foreign";
        QTest::newRow("directory") << "directory";
        QTest::newRow("unreadable") << "unreadable";
    }
    void unusableFiles() {
        QFETCH(QString, kind);
        const QString p = path(qPrintable("bad-" + kind + ".db"));
        if (kind == "text") {
            writeFile(p, "this is not a network\n");
        } else if (kind == "directory") {
            QVERIFY(QDir().mkpath(p));
        } else if (kind == "foreign") {
            // A file SQLite accepts that holds something else entirely.
            sim::loadNetwork(p.toStdString(), Small);
            QByteArray bytes = readFile(p);
            const int at = bytes.indexOf("vantrel-simnet");
            QVERIFY(at > 0);
            bytes.replace(at, 14, "someone-else!!");
            writeFile(p, bytes);
        } else {
            auto desc = nlohmann::json::parse(Small);
            for (int i = 3; i < 300; ++i)
                desc["machines"].push_back({{"name", "M" + std::to_string(i)}});
            sim::loadNetwork(p.toStdString(), desc.dump());
            QByteArray bytes = readFile(p);
            QVERIFY(bytes.size() > 16384);
            if (kind == "truncated") bytes.truncate(bytes.size() / 2 + 100);
            if (kind == "damaged")
                for (int i = 8192; i < bytes.size(); i += 7)
                    bytes[i] = char(bytes[i] ^ 0x5A);
            if (kind == "unreadable") {
                if (geteuid() == 0) QSKIP("permissions do not bind the superuser");
                QFile::setPermissions(p, QFileDevice::Permissions());
            } else {
                writeFile(p, bytes);
            }
        }
        const QByteArray before = readFile(p);
        sim::useDatabase(p.toStdString());
        expectNetworkDown();
        QVERIFY(!sim::databaseProblem().empty());
        QVERIFY_THROWS_EXCEPTION(sim::SimError, sim::dumpNetwork(p.toStdString()));
        // Loading over something that is no network leaves it alone rather than destroy it.
        QVERIFY_THROWS_EXCEPTION(sim::SimError, sim::loadNetwork(p.toStdString(), Small));
        const Run dump = simnet({"dump", "--db", p});
        QCOMPARE(dump.code, 1);
        QVERIFY2(dump.err.contains(p.toUtf8()), dump.err.constData());
        QCOMPARE(readFile(p), before);
        QFile::setPermissions(p, QFileDevice::ReadOwner | QFileDevice::WriteOwner);
    }

    // A network written anew at the same path (a new file, not the old one changed) is the one
    // later calls see.
    void fileReplacedUnderARunningProcess() {
        const QString p = path("replaced.db");
        sim::loadNetwork(p.toStdString(), Small);
        sim::useDatabase(p.toStdString());
        QCOMPARE(network().NetServerEnum(0xFFFFFFFF).servers.size(), 2u);
        QVERIFY(QFile::remove(p));
        QCOMPARE(network().NetServerEnum(0xFFFFFFFF).error, 6118u);
        sim::loadNetwork(p.toStdString(), R"({"machines": [{"name": "ONLY"}]})");
        auto e = network().NetServerEnum(0xFFFFFFFF);
        QCOMPARE(e.servers.size(), 1u);
        QCOMPARE(e.servers[0].name, std::u16string(u"ONLY"));
        // An empty file counts as no network yet: loading fills it.
        writeFile(path("empty.db"), {});
        sim::loadNetwork(path("empty.db").toStdString(), Small);
        QCOMPARE(nlohmann::json::parse(sim::dumpNetwork(path("empty.db").toStdString()))["machines"].size(),
                 2u);
    }

    void severalWritersLoseNothing_data() {
        QTest::addColumn<int>("processes");
        QTest::addColumn<int>("threads"); // of each process
        QTest::newRow("processes") << 4 << 1;
        QTest::newRow("threads of one process") << 1 << 8;
        QTest::newRow("threads of several processes") << 3 << 4;
    }
    void severalWritersLoseNothing() {
        QFETCH(int, processes);
        QFETCH(int, threads);
        const QString p = path("shared.db");
        sim::loadNetwork(p.toStdString(), Small);
        const int each = 25;
        QStringList ids;
        std::vector<std::unique_ptr<QProcess>> procs;
        for (int w = 1; w <= processes; ++w) {
            auto proc = std::make_unique<QProcess>();
            proc->start(WORKER_EXE,
                        {"write", p, QString("w%1").arg(w), QString::number(each), QString::number(threads)});
            QVERIFY(proc->waitForStarted());
            procs.push_back(std::move(proc));
            for (int t = 1; t <= threads; ++t)
                ids << (threads == 1 ? QString("w%1").arg(w) : QString("w%1-%2").arg(w).arg(t));
        }
        for (auto& proc : procs) {
            QVERIFY(proc->waitForFinished(120000));
            QCOMPARE(proc->exitCode(), 0);
        }
        nlohmann::json net = nlohmann::json::parse(sim::dumpNetwork(p.toStdString()));
        const auto& ws = net["machines"][0];
        QSet<QString> messages, values;
        for (const auto& m : ws["messages"])
            messages << QString::fromStdString(m["text"]);
        for (const auto& v : ws["registry"][0]["values"])
            values << QString::fromStdString(v["name"]);
        QCOMPARE(messages.size(), ids.size() * each);
        QCOMPARE(int(ws["messages"].size()), ids.size() * each);
        QCOMPARE(values, messages);
        QCOMPARE(int(ws["rights"].size()), ids.size());
        for (const QString& id : ids)
            for (int i = 0; i < each; ++i)
                QVERIFY(messages.contains(QString("%1:%2").arg(id).arg(i)));
    }

    // Calls that wait seconds for a slow controller, a slow machine and one that does not
    // answer hold back none of the calls, reads and writes, to a fast machine meanwhile.
    void slowMachinesHoldBackNoOther() {
        const QString p = path("slow.db");
        sim::loadNetwork(p.toStdString(), R"({
          "domains": [{"name": "CORP", "sid": "S-1-5-21-1-2-3", "controller": "DC01",
                       "accounts": [{"name": "svc", "rid": 1105, "password": "pw"}]}],
          "machines": [{"name": "DC01", "latency_ms": 5000},
                       {"name": "SLOW", "latency_ms": 5000},
                       {"name": "DOWN", "reachable": false, "timeout_ms": 5000},
                       {"name": "FAST", "latency_ms": 1, "services": [{"name": "Albd"}]}]})");
        sim::useDatabase(p.toStdString());
        std::atomic<int> started{0}, finished{0};
        std::uint32_t logonError = 1, slowError = 1, downError = 0;
        std::vector<std::thread> slow;
        slow.emplace_back([&] {
            ++started;
            logonError = logon().CheckNetworkLogon("CORP", "svc", "pw");
            ++finished;
        });
        slow.emplace_back([&] {
            ++started;
            auto m = serviceControl().OpenSCManager("SLOW", svc::ScManagerAllAccess);
            slowError = m.error;
            serviceControl().CloseServiceHandle(m.value);
            ++finished;
        });
        slow.emplace_back([&] {
            ++started;
            downError = serviceControl().OpenSCManager("DOWN", svc::ScManagerAllAccess).error;
            ++finished;
        });
        QDeadlineTimer deadline(60000);
        while (started < 3 && !deadline.hasExpired())
            std::this_thread::yield();

        int fastFailures = 0;
        for (int i = 0; i < 10; ++i) {
            auto m = serviceControl().OpenSCManager("FAST", svc::ScManagerAllAccess);
            auto s = serviceControl().OpenService(m.value, "Albd", svc::ServiceAllAccess);
            fastFailures += serviceControl().QueryServiceStatusEx(s.value).error != 0;
            fastFailures += network().NetMessageBufferSend(u"FAST", u"hi", 5) != 0;
            fastFailures += serviceControl().CloseServiceHandle(s.value) != 0;
            fastFailures += serviceControl().CloseServiceHandle(m.value) != 0;
        }
        const int finishedMeanwhile = finished;
        for (auto& t : slow)
            t.join();
        QCOMPARE(fastFailures, 0);
        QCOMPARE(finishedMeanwhile, 0);
        QCOMPARE(logonError, 0u);
        QCOMPARE(slowError, 0u);
        QCOMPARE(downError, 1722u);
    }

    void lockOfLiveAndDeadProcesses() {
        const QString p = path("locks.db");
        sim::loadNetwork(p.toStdString(), Small);
        sim::useDatabase(p.toStdString());
        auto manager = serviceControl().OpenSCManager("WS001", svc::ScManagerAllAccess);
        QVERIFY(manager.ok());

        QProcess holder;
        holder.start(WORKER_EXE, {"lock", p, "WS001", "hold"});
        QVERIFY(holder.waitForReadyRead(60000));
        QCOMPARE(holder.readLine(), QByteArray("locked\n"));
        QCOMPARE(serviceControl().LockServiceDatabase(manager.value).error, 1055u);
        // Another machine's database is not locked by it.
        auto other = serviceControl().OpenSCManager("WS002", svc::ScManagerAllAccess);
        auto otherLock = serviceControl().LockServiceDatabase(other.value);
        QCOMPARE(otherLock.error, 0u);
        serviceControl().UnlockServiceDatabase(otherLock.value);
        serviceControl().CloseServiceHandle(other.value);
        holder.closeWriteChannel();
        QVERIFY(holder.waitForFinished(60000));
        QCOMPARE(holder.exitCode(), 0);
        auto mine = serviceControl().LockServiceDatabase(manager.value);
        QCOMPARE(mine.error, 0u);

        // While this process holds it, another is refused.
        QProcess refused;
        refused.start(WORKER_EXE, {"lock", p, "WS001", "hold"});
        QVERIFY(refused.waitForFinished(60000));
        QCOMPARE(refused.readAll(), QByteArray("refused 1055\n"));
        QCOMPARE(serviceControl().UnlockServiceDatabase(mine.value), 0u);

        // A holder that ends without unlocking leaves a lock that counts as released.
        QProcess leaver;
        leaver.start(WORKER_EXE, {"lock", p, "WS001", "leave"});
        QVERIFY(leaver.waitForFinished(60000));
        QCOMPARE(leaver.readAll(), QByteArray("locked\n"));
        QProcess killed;
        killed.start(WORKER_EXE, {"lock", p, "WS002", "hold"});
        QVERIFY(killed.waitForReadyRead(60000));
        killed.kill();
        QVERIFY(killed.waitForFinished(60000));
        for (const char* machine : {"WS001", "WS002"}) {
            auto m = serviceControl().OpenSCManager(machine, svc::ScManagerAllAccess);
            auto l = serviceControl().LockServiceDatabase(m.value);
            QCOMPARE(l.error, 0u);
            serviceControl().UnlockServiceDatabase(l.value);
            serviceControl().CloseServiceHandle(m.value);
        }
        serviceControl().CloseServiceHandle(manager.value);
    }

    void simnetRoundTrip() {
        const QString p = path("roundtrip.db");
        QCOMPARE(simnet({"init", "--db", p, "--demo"}).code, 0);
        const Run first = simnet({"--db=" + p, "dump"});
        QCOMPARE(first.code, 0);
        QCOMPARE(simnet({"--db", p, "load", "-"}, first.out).code, 0);
        const Run second = simnet({"--db", p, "dump"});
        QCOMPARE(second.out, first.out);
        // --if-missing keeps what is there.
        QCOMPARE(simnet({"--db", p, "load", "-"}, Small).code, 0);
        QCOMPARE(simnet({"--db", p, "init", "--demo", "--if-missing"}).code, 0);
        QCOMPARE(nlohmann::json::parse(simnet({"--db", p, "dump"}).out.toStdString())["machines"].size(), 2u);
    }

    // Everything the file can hold, including what only the platform calls can make (pending
    // states, a start hung for hours, registry data without a natural form, rights of SIDs no
    // account has or whose name the domain's own accounts shadow, messages holding NULs, a call
    // limit partly spent) comes back from a dump unchanged.
    void dumpLoadsBackToTheSameNetwork() {
        simtest::SimNetworkFile net(R"({"browser_available": false,
          "domains": [{"name": "CORP", "sid": "S-1-0x010000000000-21-7", "controller": "DC01",
            "accounts": [{"name": "svc", "rid": 1105, "password": "p", "description": "d", "full_name": "f",
                          "disabled": true, "locked": true}, {"name": "x", "rid": 7, "use": "deleted"},
                         {"name": "Everyone", "rid": 8, "use": "group"}]}],
          "machines": [{"name": "ws001", "domain": "CORP", "types": ["server", "local_list_only"],
            "platform_id": 600, "admin": false, "latency_ms": 0, "timeout_ms": 3,
            "unreachable_after_calls": 9,
            "services": [{"name": "Hung", "state": "stopped", "hang": true, "wait_hint_ms": 100000},
                         {"name": "Hours", "state": "start_pending", "hang": true, "pending_ms": 36000000},
                         {"name": "Plain", "display_name": "Plain one", "start": "demand", "state": "stopped",
                          "account": "CORP\\svc", "password": "p", "start_ms": 1, "stop_ms": 2, "fail": true}],
            "registry": [{"root": "HKU", "key": "A\\B", "denied": true, "values": [
                           {"name": "q", "type": "REG_QWORD", "data": 18446744073709551615},
                           {"name": "e", "type": "REG_EXPAND_SZ", "data": "%x%"},
                           {"name": "n", "type": "REG_NONE", "data": ""},
                           {"name": "m", "type": "REG_MULTI_SZ", "data": []},
                           {"name": "odd", "type": 9, "data": "c0ffee"},
                           {"name": "raw", "type": "REG_SZ", "hex": "6162"}]},
                         {"root": "HKCR", "key": "Leaf"}],
            "rights": [{"account": "S-1-5-21-9-9-9-1", "rights": ["SeDebugPrivilege"]},
                       {"account": "Everyone", "rights": ["SeChangeNotifyPrivilege"]},
                       {"account": "S-1-1-0", "rights": ["SeNetworkLogonRight"]},
                       {"account": "CORP\\x", "rights": ["SeBatchLogonRight"]}],
            "messages": [{"text": "one"}, {"text": ""}]}],
          "licence_servers": [{"host": "L", "clients": ["a", "a", ""]}]})");
        QVERIFY2(net.isValid(), net.error().c_str());
        auto m = serviceControl().OpenSCManager("WS001", svc::ScManagerAllAccess);
        QCOMPARE(m.error, 5u); // no administrator there: make the pending state through a reload
        auto desc = net.dump();
        desc["machines"][0]["admin"] = true;
        QVERIFY(net.load(desc.dump()));
        m = serviceControl().OpenSCManager("WS001", svc::ScManagerAllAccess);
        auto s = serviceControl().OpenService(m.value, "hung", svc::ServiceAllAccess);
        QCOMPARE(serviceControl().StartService(s.value), 0u);
        serviceControl().CloseServiceHandle(s.value);
        serviceControl().CloseServiceHandle(m.value);
        QCOMPARE(network().NetMessageBufferSend(u"WS001", std::u16string(u"a\0b\0", 4), 8), 0u);

        const nlohmann::json first = net.dump();
        QCOMPARE(first["machines"][0]["unreachable_after_calls"], 4); // a refused open counts too
        QCOMPARE(first["machines"][0]["messages"][2]["text"], std::string("a\0b", 3));
        QVERIFY(first["machines"][0]["services"][1]["pending_ms"] >= 36000000);
        QCOMPARE(first["machines"][0]["services"][0]["state"], "start_pending");
        QCOMPARE(first["machines"][0]["registry"][0]["values"][5]["hex"], "6162");
        QVERIFY(net.load(first.dump()));
        nlohmann::json second = net.dump();
        // Only the time spent pending moves on.
        for (int i : {0, 1})
            second["machines"][0]["services"][i]["pending_ms"] =
                first["machines"][0]["services"][i]["pending_ms"];
        QCOMPARE(second, first);
    }

    void refusals_data() {
        QTest::addColumn<QString>("pointer"); // where in Small to put the value; empty: whole text
        QTest::addColumn<QString>("value");
        QTest::addColumn<QString>("message");
        QTest::newRow("start mode") << "/machines/0/services/0/start"
                                    << "\"sometimes\""
                                    << "machines[0].services[0].start: expected auto, demand or disabled";
        QTest::newRow("number as text") << "/machines/1/latency_ms"
                                        << "\"10\""
                                        << "machines[1].latency_ms: expected a whole number";
        QTest::newRow("negative") << "/machines/1/timeout_ms"
                                  << "-1"
                                  << "machines[1].timeout_ms: expected a whole number";
        QTest::newRow("fraction") << "/machines/1/timeout_ms"
                                  << "1.5"
                                  << "machines[1].timeout_ms: expected a whole number";
        QTest::newRow("huge") << "/machines/1/latency_ms"
                              << "1e300"
                              << "machines[1].latency_ms: expected a whole number";
        QTest::newRow("over an hour") << "/machines/1/latency_ms"
                                      << "3600001"
                                      << "machines[1].latency_ms: expected a whole number from 0 to 3600000";
        QTest::newRow("rid beyond 32 bits") << "/domains/0/accounts"
                                            << R"([{"name": "a", "rid": 4294967296}])"
                                            << "domains[0].accounts[0].rid";
        QTest::newRow("flag as number") << "/machines/1/reachable"
                                        << "1"
                                        << "machines[1].reachable: expected true or false";
        QTest::newRow("account flag as text") << "/domains/0/accounts"
                                              << R"([{"name": "a", "rid": 1, "locked": "yes"}])"
                                              << "domains[0].accounts[0].locked: expected true or false";
        QTest::newRow("missing name") << "/machines/1"
                                      << "{}"
                                      << "machines[1].name: missing";
        QTest::newRow("empty name") << "/machines/1/name"
                                    << "\"\""
                                    << "machines[1].name: must not be empty";
        QTest::newRow("name with NUL") << "/machines/1/name"
                                       << "\"a\\u0000b\""
                                       << "machines[1].name: must not contain a NUL";
        QTest::newRow("same machine twice") << "/machines/1/name"
                                            << "\"ws001\""
                                            << "machines[1].name: a machine of that name";
        QTest::newRow("same service twice") << "/machines/0/services/1"
                                            << R"({"name": "ALBD"})"
                                            << "machines[0].services[1].name";
        QTest::newRow("unknown field") << "/machines/1/colour"
                                       << "\"red\""
                                       << "machines[1].colour: unknown field";
        QTest::newRow("unknown type") << "/machines/1/types"
                                      << R"(["router"])"
                                      << "machines[1].types[0]: expected workstation";
        QTest::newRow("list expected") << "/machines"
                                       << "{}"
                                       << "machines: expected a list";
        QTest::newRow("object expected") << "/machines/1"
                                         << "[]"
                                         << "machines[1]: expected an object";
        QTest::newRow("bad SID") << "/domains/0/sid"
                                 << "\"S-1-5-x\""
                                 << "domains[0].sid: expected a SID";
        QTest::newRow("duplicate rid") << "/domains/0/accounts"
                                       << R"([{"name": "a", "rid": 5}, {"name": "b", "rid": 5}])"
                                       << "domains[0].accounts[1].rid: already the relative id of a";
        QTest::newRow("unknown rights account") << "/machines/1/rights"
                                                << R"([{"account": "CORP\\nobody", "rights": []}])"
                                                << "machines[1].rights[0].account";
        QTest::newRow("unknown right") << "/machines/1/rights"
                                       << R"([{"account": "Everyone", "rights": ["SeFlyPrivilege"]}])"
                                       << "machines[1].rights[0].rights[0]";
        QTest::newRow("unknown root") << "/machines/1/registry"
                                      << R"([{"root": "HKXX", "key": "A"}])"
                                      << "machines[1].registry[0].root";
        QTest::newRow("key with empty part") << "/machines/1/registry"
                                             << R"([{"key": "A\\\\B"}])"
                                             << "machines[1].registry[0].key";
        QTest::newRow("same key twice") << "/machines/1/registry"
                                        << R"([{"key": "A\\B"}, {"key": "a\\b"}])"
                                        << "machines[1].registry[1].key";
        QTest::newRow("dword as text")
            << "/machines/1/registry"
            << R"([{"key": "A", "values": [{"name": "v", "type": "REG_DWORD", "data": "7"}]}])"
            << "machines[1].registry[0].values[0].data";
        QTest::newRow("dword too big")
            << "/machines/1/registry"
            << R"([{"key": "A", "values": [{"name": "v", "type": "REG_DWORD", "data": 4294967296}]}])"
            << "machines[1].registry[0].values[0].data";
        QTest::newRow("odd hex")
            << "/machines/1/registry"
            << R"([{"key": "A", "values": [{"name": "v", "type": "REG_BINARY", "data": "abc"}]}])"
            << "machines[1].registry[0].values[0].data";
        QTest::newRow("pending time of a running service") << "/machines/0/services/0/pending_ms"
                                                           << "5"
                                                           << "machines[0].services[0].pending_ms";
        QTest::newRow("pending beyond any clock")
            << "/machines/0/services/0"
            << R"({"name": "Albd", "state": "start_pending", "hang": true, "pending_ms": 9007199254740992})"
            << "machines[0].services[0].pending_ms: expected a whole number";
        QTest::newRow("negative call limit")
            << "/machines/1/unreachable_after_calls"
            << "-1"
            << "machines[1].unreachable_after_calls: expected a whole number";
        QTest::newRow("call limit as flag") << "/machines/1/unreachable_after_calls"
                                            << "true"
                                            << "machines[1].unreachable_after_calls: expected a whole number";
        QTest::newRow("licence client not text") << "/licence_servers/0/clients"
                                                 << "[1]"
                                                 << "licence_servers[0].clients[0]";
        QTest::newRow("not JSON") << ""
                                  << "{\"machines\": ["
                                  << "not a valid JSON description";
        QTest::newRow("not an object") << ""
                                       << "[]"
                                       << "the description: expected an object";
        QTest::newRow("invalid UTF-8") << ""
                                       << "INVALID-UTF-8"
                                       << "not a valid JSON description";
    }
    void refusals() {
        QFETCH(QString, pointer);
        QFETCH(QString, value);
        QFETCH(QString, message);
        const QString p = path("refusals.db");
        sim::loadNetwork(p.toStdString(), Small);
        const std::string before = sim::dumpNetwork(p.toStdString());
        QByteArray text =
            value == "INVALID-UTF-8" ? QByteArray("{\"machines\": [{\"name\": \"\xff\"}]}") : value.toUtf8();
        if (!pointer.isEmpty()) {
            auto desc = nlohmann::json::parse(Small);
            desc[nlohmann::json::json_pointer(pointer.toStdString())] =
                nlohmann::json::parse(value.toStdString());
            text = QByteArray::fromStdString(desc.dump());
        }
        const Run r = simnet({"--db", p, "load", "-"}, text);
        QCOMPARE(r.code, 1);
        QVERIFY2(r.err.startsWith("simnet: " + message.toUtf8()), r.err.constData());
        QCOMPARE(sim::dumpNetwork(p.toStdString()), before);
    }

    void usage_data() {
        QTest::addColumn<QStringList>("args");
        QTest::addColumn<int>("code");
        QTest::newRow("no command") << QStringList{} << 2;
        QTest::newRow("unknown command") << QStringList{"fly"} << 2;
        QTest::newRow("init without --demo") << QStringList{"init"} << 2;
        QTest::newRow("load without file") << QStringList{"load"} << 2;
        QTest::newRow("--db without path") << QStringList{"dump", "--db"} << 2;
        QTest::newRow("file that cannot be read")
            << QStringList{"load", "/nonexistent/description.json"} << 1;
        QTest::newRow("help") << QStringList{"--help"} << 0;
    }
    void usage() {
        QFETCH(QStringList, args);
        QFETCH(int, code);
        const Run r = simnet(QStringList{"--db", path("usage.db")} + args);
        QCOMPARE(r.code, code);
        QCOMPARE(r.err.isEmpty(), code == 0);
        QVERIFY(!QFile::exists(path("usage.db")));
    }
};

QTEST_GUILESS_MAIN(tst_PlatformFile)
#include "tst_platform_file.moc"
