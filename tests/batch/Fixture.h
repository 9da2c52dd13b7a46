#pragma once
// The simulated network the batch tests run on, shared by the window's tests and the console
// program's, so both front ends are held to the same machines and the same inputs.
#include <QByteArray>
#include <QProcess>
#include <QString>
#include <QStringList>

namespace batchtest {

inline const QString Password = "N3w!pass";
inline const QString Account = "CORP\\svc_new";
inline const QString Saved = "Saved results to file --> ";
inline const QByteArray Header = "MACHINE,STOPPED,UPDATED,RESTARTED,ERROR MESSAGE\r\n";

inline QString albd(const QString& state, const QString& start, int stopMs = 0, const QString& more = "") {
    return QString(R"({"name": "Albd", "display_name": "Atria Location Broker", "start": "%1", "state": "%2",
        "account": "CORP\\svc_old", "password": "0ld!pass", "start_ms": 0, "stop_ms": %3, "wait_hint_ms": 3000%4})")
        .arg(start, state)
        .arg(stopMs)
        .arg(more);
}

inline QString machine(const QString& name, const QString& services, bool reachable = true) {
    return QString(R"({"name": "%1", "domain": "CORP", "reachable": %2, "services": [%3],
        "rights": [{"account": "CORP\\svc_old", "rights": ["SeServiceLogonRight"]}]})")
        .arg(name, reachable ? "true" : "false", services);
}

// WS001 running, WS002 stopped, WS003 disabled, WS004 without the service, WS005 unreachable,
// WS006 running with a stop that takes `slowStopMs`, WS007 stopped with a start that hangs;
// then `more` running machines WS101... The domain's controller DC01 answers logon checks when
// `controller` is true.
inline QString network(int slowStopMs = 0, int more = 0, bool controller = true) {
    QStringList machines = {
        machine("WS001", albd("running", "auto")),
        machine("WS002", albd("stopped", "demand")),
        machine("WS003", albd("stopped", "disabled")),
        machine("WS004", ""),
        machine("WS005", albd("running", "auto"), false),
        machine("WS006", albd("running", "auto", slowStopMs)),
        machine("WS007", albd("stopped", "auto", 0, R"(, "hang": true, "wait_hint_ms": 200)")),
        machine("DC01", "", controller)};
    for (int i = 1; i <= more; ++i)
        machines << machine(QString("WS%1").arg(100 + i), albd("running", "auto"));
    return R"({"domains": [{"name": "CORP", "sid": "S-1-5-21-1-2-3", "controller": "DC01", "accounts": [
        {"name": "svc_old", "rid": 1100, "use": "user", "password": "0ld!pass"},
        {"name": "svc_new", "rid": 1105, "use": "user", "password": "N3w!pass"},
        {"name": "svc_dis", "rid": 1106, "use": "user", "password": "N3w!pass", "disabled": true},
        {"name": "svc_lock", "rid": 1107, "use": "user", "password": "N3w!pass", "locked": true},
        {"name": "svc_exp", "rid": 1108, "use": "user", "password": "N3w!pass", "password_expired": true},
        {"name": "svc_net", "rid": 1109, "use": "user", "password": "N3w!pass", "network_logon_denied": true},
        {"name": "svc_sp", "rid": 1110, "use": "user", "password": " N3w pass "}]}],
        "machines": [)" +
           machines.join(",") + "]}";
}

// vantrel-run as a scheduler starts it: the password on standard input, the results file in
// its working folder, the network of $SIMNET_DB.
struct ConsoleRun {
    int status = -1;
    QByteArray out;
    QByteArray err;
};
inline ConsoleRun runConsole(const QStringList& arguments, const QByteArray& input, const QString& folder,
                             const QString& program = qEnvironmentVariable("VANTREL_BIN_DIR") +
                                                      "/vantrel-run") {
    QProcess p;
    p.setWorkingDirectory(folder);
    p.start(program, arguments);
    p.write(input);
    p.closeWriteChannel();
    ConsoleRun run;
    if (!p.waitForFinished(120000) || p.exitStatus() != QProcess::NormalExit) {
        p.kill();
        p.waitForFinished();
        run.err = "did not end normally: " + p.readAllStandardError();
        return run;
    }
    run.status = p.exitCode();
    run.out = p.readAllStandardOutput();
    run.err = p.readAllStandardError();
    return run;
}

} // namespace batchtest
