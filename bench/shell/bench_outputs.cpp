// The cost of the output facilities in a long run: the message pane takes one line per event
// per client, the summary window one piece per machine. Both must stay linear in the number
// of calls: the pane because it is emptied past 5000 characters, the summary because pieces
// are appended, not re-set.
#include "shell/frmMain.h"
#include "shell/frmQuery.h"

#include <QApplication>
#include <QElapsedTimer>

#include <cstdio>

namespace {

void paneRun(frmMain& w, int lines) {
    QElapsedTimer t;
    t.start();
    for (int i = 0; i < lines; ++i)
        w.SetMsg(QStringLiteral("WS%1: Service account updated. Service restarted.")
                     .arg(i, 5, 10, QLatin1Char('0')));
    std::printf("SetMsg       %6d lines   %8.1f ms   %6.2f us/line\n", lines, double(t.nsecsElapsed()) / 1e6,
                double(t.nsecsElapsed()) / 1e3 / lines);
}

void summaryRun(frmMain& w, int pieces) {
    frmQuery* q = w.query();
    q->textClear();
    QElapsedTimer t;
    t.start();
    for (int i = 0; i < pieces; ++i)
        q->SetText(
            QStringLiteral("WS%1:ProductHome=C:\\Program Files\\Atria\r\n").arg(i, 5, 10, QLatin1Char('0')),
            true);
    std::printf("SetText      %6d pieces  %8.1f ms   %6.2f us/piece  (%lld characters)\n", pieces,
                double(t.nsecsElapsed()) / 1e6, double(t.nsecsElapsed()) / 1e3 / pieces,
                static_cast<long long>(q->text().size()));
}

} // namespace

int main(int argc, char** argv) {
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    frmMain w;
    w.Form_Load();
    for (int n : {1000, 10000})
        paneRun(w, n);
    for (int n : {1000, 10000, 30000})
        summaryRun(w, n);
    return 0;
}
