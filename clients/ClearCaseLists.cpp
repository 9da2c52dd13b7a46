#include "clients/ClearCaseLists.h"

#include "clients/ClientNames.h"
#include "common/Dialogs.h"
#include "platform/Platform.h"

#include <exception>

namespace vantrel {

namespace {
const char* const failureContext = "Could not get ClearCase Clients Only";
} // namespace

QStringList SplitClearCaseOutput(const QString& output) {
    QStringList names;
    qsizetype start = 0;
    for (;;) {
        const qsizetype lf = output.indexOf(QLatin1Char('\n'), start);
        if (lf < 0) break;
        qsizetype end = lf;
        if (end > start && output.at(end - 1) == QLatin1Char('\r')) --end;
        names.append(output.mid(start, end - start));
        start = lf + 1;
    }
    if (start < output.size()) names.append(output.mid(start));
    return names;
}

bool GetClearCaseClients(const QString& server, ClientNames& list, const FillProgress& progress) {
    if (!progress.turn()) return true; // the window is closing: nothing more to report

    if (server.contains(QChar(u'\0'))) {
        // The tool would get the name cut at the NUL and list another server's clients.
        showErrorBox("The licence server name holds a NUL character", failureContext);
        return false;
    }
    platform::CmdExecResult result;
    try {
        // The server name is one argument of its own: nothing in it reaches a shell.
        result = platform::clearTool().CmdExec({"lsclients", "-host", server.toStdString(), "-s"});
    } catch (const std::exception& e) {
        result.ok = false;
        result.errorDescription = e.what();
    }
    if (!result.ok) {
        showErrorBox(result.errorDescription, failureContext);
        return false;
    }
    if (result.output.empty()) return false;

    const QStringList names = SplitClearCaseOutput(QString::fromStdString(result.output));
    for (qsizetype i = 0; i < names.size(); ++i) {
        const QString& name = names[i];
        // The step shown is the name reached at each turn.
        if (progress.turnDue(i)) {
            if (!progress.turn()) return true;
            progress.message(QStringLiteral("Found --> ") + name);
        }
        if (list.is_dup_list(name)) continue;
        if (!list.append(name)) {
            // The names that fit were taken: the fill worked, and the count shows them.
            reportClientListFull("GetClearCaseClients()");
            return true;
        }
    }
    return true;
}

} // namespace vantrel
