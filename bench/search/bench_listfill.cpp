// Timings of the list fills and of Remove by pattern at the list's full size (32767 entries),
// each through the main window as a user starts it. Prints one line per figure with its
// target; exit status 1 when a target is missed or a result is wrong.
#include "clients/ClientList.h"
#include "common/AppEnv.h"
#include "common/Dialogs.h"
#include "platform/Platform.h"
#include "platform/sim/SimNetwork.h"
#include "shell/frmMain.h"

#include <QApplication>
#include <QComboBox>
#include <QElapsedTimer>
#include <QFile>
#include <QLineEdit>
#include <QPushButton>
#include <QTemporaryDir>

#include <cstdio>
#include <functional>
#include <memory>

using namespace vantrel;

namespace {

constexpr int fullList = ClientList::MaxEntries;

QString machineName(int i) {
    return QStringLiteral("WS%1").arg(i, 5, 10, QChar('0'));
}

// A browser answering at once, to tell the list's share from the simulated network's.
struct Browser : platform::NetworkManagement {
    std::vector<platform::ServerInfo100> servers;
    platform::ServerEnumeration NetServerEnum(std::uint32_t) override {
        return {0, servers, static_cast<std::uint32_t>(servers.size())};
    }
    std::uint32_t NetMessageBufferSend(const std::u16string&, const std::u16string&, std::uint32_t) override {
        return 0;
    }
};

std::unique_ptr<frmMain> shownWindow() {
    auto w = std::make_unique<frmMain>();
    w->Form_Load();
    w->show();
    QApplication::processEvents();
    return w;
}

void choose(QComboBox* combo, const QString& text) {
    const int index = combo->findText(text);
    combo->setCurrentIndex(index);
    emit combo->activated(index);
}

double timed(const std::function<void()>& work) {
    QElapsedTimer t;
    t.start();
    work();
    return static_cast<double>(t.nsecsElapsed()) / 1e6;
}

bool report(const char* what, double ms, double targetMs, int entries, bool right) {
    const bool ok = right && ms < targetMs;
    std::printf("%-72s %8.1f ms  (target < %.0f ms; %d entries%s) %s\n", what, ms, targetMs, entries,
                right ? "" : ", WRONG RESULT", ok ? "ok" : "MISSED");
    return ok;
}

} // namespace

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    setYieldFunction([] { QCoreApplication::processEvents(); });
    ScriptedDialogs boxes;
    setDialogs(&boxes);
    QTemporaryDir dir;
    bool ok = true;

    {
        const QString path = dir.filePath("hosts.txt");
        QFile f(path);
        if (!f.open(QIODevice::WriteOnly)) return 2;
        for (int i = 0; i < fullList; ++i)
            f.write((QStringLiteral("client-") + machineName(i) + "\r\n").toUtf8());
        for (int i = 0; i < fullList; ++i)
            f.write((QStringLiteral("CLIENT-") + machineName(i) + "\r\n").toUtf8());
        f.close();
        auto w = shownWindow();
        boxes.files = {path.toStdString()};
        const double ms = timed([&] { choose(w->searchCriteriaCombo, "Load from File"); });
        ok &= report("Load from File: 32767 names + each again in other case, empty list", ms, 1000,
                     w->clients->count(), w->clients->count() == fullList && boxes.shown.size() == 1);
    }

    {
        std::string json = R"({"machines": [)";
        for (int i = 0; i < fullList; ++i)
            json += (i ? R"(,{"name": ")" : R"({"name": ")") + machineName(i).toStdString() + "\"}";
        json += "]}";
        const std::string db = dir.filePath("simnet.db").toStdString();
        platform::sim::loadNetwork(db, json);
        platform::sim::useDatabase(db);
        auto w = shownWindow();
        w->clients->append("old");
        const double ms = timed([&] { choose(w->searchCriteriaCombo, "All Systems"); });
        ok &= report("All Systems: simulated browser of 32767 machines", ms, 1000, w->clients->count(),
                     w->clients->count() == fullList &&
                         w->clients->text(fullList - 1) == machineName(fullList - 1));
        platform::sim::useDatabase({});

        Browser browser;
        for (int i = 0; i < fullList; ++i)
            browser.servers.push_back({500, machineName(i).toStdU16String()});
        platform::setNetwork(&browser);
        const double listOnly = timed([&] { choose(w->searchCriteriaCombo, "All Systems"); });
        platform::setNetwork(nullptr);
        ok &= report("All Systems again: 32767 machines from a browser answering at once", listOnly, 1000,
                     w->clients->count(), w->clients->count() == fullList);
    }

    {
        auto w = shownWindow();
        for (int i = 0; i < fullList; ++i)
            w->clients->append((i % 2 ? QStringLiteral("keep-") : QStringLiteral("Drop-")) + machineName(i));
        QApplication::processEvents();
        choose(w->removeSettingCombo, "Remove");
        w->patternTxt->setText("drop");
        const double ms = timed([&] { w->removeBut->click(); });
        const int left = w->clients->count();
        ok &=
            report("Remove by a pattern matching every other entry of a full list", ms, 200, fullList - left,
                   left == fullList / 2 && w->clients->text(0) == "keep-" + machineName(1));
    }

    setDialogs(nullptr);
    return ok ? 0 : 1;
}
