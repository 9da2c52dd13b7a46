// The output of "lsclients": split into names as the documented line rule says, and a fill
// from a licence server that prints it adds each name once and nothing else.
#include "Check.h"
#include "QtApp.h"
#include "clients/ClearCaseLists.h"
#include "clients/ClientList.h"
#include "common/Dialogs.h"
#include "platform/Platform.h"

#include <QLabel>
#include <QListWidget>

namespace {

class PrintingClearTool : public platform::ClearTool {
  public:
    std::string output;
    bool ok = true;
    platform::CmdExecResult CmdExec(const std::vector<std::string>&) override {
        platform::CmdExecResult r;
        r.ok = ok;
        r.output = output;
        if (!ok) r.errorDescription = "failed";
        return r;
    }
};

// LF ends a line and a CR right before it goes with it; the piece after the last LF is a name
// when it is not empty.
QStringList expectedNames(const QString& output) {
    QStringList pieces = output.split(QLatin1Char('\n'));
    const QString last = pieces.takeLast();
    for (QString& piece : pieces)
        if (piece.endsWith(QLatin1Char('\r'))) piece.chop(1);
    if (!last.isEmpty()) pieces.append(last);
    return pieces;
}

} // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    fuzzcheck::startQt();
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    PrintingClearTool tool;
    tool.ok = size % 7 != 0;
    tool.output.assign(reinterpret_cast<const char*>(data), size);
    const QString output = QString::fromStdString(tool.output);
    const QStringList names = vantrel::SplitClearCaseOutput(output);
    FUZZ_CHECK(names == expectedNames(output), "the names differ from the line rule's");

    vantrel::ScriptedDialogs boxes;
    vantrel::setDialogs(&boxes);
    platform::setClearTool(&tool);
    QListWidget widget;
    QLabel label;
    vantrel::ClientList list(&widget, &label);
    vantrel::GetClearCaseClients(QStringLiteral("LICSRV"), list);
    platform::setClearTool(nullptr);
    vantrel::setDialogs(nullptr);
    if (!tool.ok) {
        FUZZ_CHECK(list.count() == 0 && boxes.shown.size() == 1,
                   "a failed query added names or said nothing");
        return 0;
    }
    QListWidget otherWidget;
    QLabel otherLabel;
    vantrel::ClientList seen(&otherWidget, &otherLabel);
    for (int i = 0; i < list.count(); ++i) {
        FUZZ_CHECK(names.contains(list.text(i)), "the list holds a name the server did not give");
        FUZZ_CHECK(!seen.is_dup_list(list.text(i)), "the list holds a name twice");
        seen.append(list.text(i));
    }
    for (const QString& name : names)
        FUZZ_CHECK(list.is_dup_list(name), "a name the server gave is missing");
    return 0;
}
