// Timings of the list fills and of Remove by pattern at the list's full size (32767 entries).
// Prints one line per figure with its target; exit status 1 when a target is missed.
#include "clients/ClientList.h"
#include "clients/Discovery.h"
#include "clients/HostFiles.h"
#include "clients/PatternFilter.h"
#include "common/AppEnv.h"
#include "platform/Platform.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QLabel>
#include <QListWidget>
#include <QTemporaryDir>

#include <cstdio>
#include <functional>

using namespace vantrel;

namespace {

constexpr int fullList = ClientList::MaxEntries;

struct Browser : platform::NetworkManagement {
    std::vector<platform::ServerInfo100> servers;
    platform::ServerEnumeration NetServerEnum(std::uint32_t) override {
        return {0, servers, static_cast<std::uint32_t>(servers.size())};
    }
    std::uint32_t NetMessageBufferSend(const std::u16string&, const std::u16string&, std::uint32_t) override {
        return 0;
    }
};

// A shown list window, hidden by the procedure under test as the window's fills do.
struct Window {
    QWidget top;
    QListWidget* widget = new QListWidget(&top);
    QLabel* count = new QLabel(&top);
    ClientList list{widget, count};
    Window() {
        top.resize(400, 600);
        top.show();
        QApplication::processEvents();
    }
};

bool report(const char* what, double ms, double targetMs, int entries) {
    const bool ok = ms < targetMs;
    std::printf("%-70s %8.1f ms  (target < %.0f ms, %d entries) %s\n", what, ms, targetMs, entries,
                ok ? "ok" : "MISSED");
    return ok;
}

double timed(const std::function<void()>& work) {
    QElapsedTimer t;
    t.start();
    work();
    return static_cast<double>(t.nsecsElapsed()) / 1e6;
}

} // namespace

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    setYieldFunction([] { QCoreApplication::processEvents(); });
    const FillProgress progress{{}, [] {
                                    yieldEvents();
                                    return true;
                                }};
    bool ok = true;

    {
        QTemporaryDir dir;
        const QString path = dir.filePath("hosts.txt");
        QFile f(path);
        if (!f.open(QIODevice::WriteOnly)) return 2;
        for (int i = 0; i < fullList; ++i)
            f.write(QStringLiteral("client-%1.corp.example\r\n").arg(i, 5, 10, QChar('0')).toUtf8());
        for (int i = 0; i < fullList; ++i)
            f.write(QStringLiteral("CLIENT-%1.Corp.Example\r\n").arg(i, 5, 10, QChar('0')).toUtf8());
        f.close();
        Window w;
        const double ms = timed([&] {
            w.list.hide();
            ReadHostFile(path, w.list);
            w.list.updateCountLabel();
            w.list.show();
        });
        ok &=
            report("host file: 32767 names + each again in other case, empty list", ms, 1000, w.list.count());
        if (w.list.count() != fullList) ok = false;
    }

    {
        Browser browser;
        for (int i = 0; i < fullList; ++i)
            browser.servers.push_back(
                {500, QStringLiteral("WS%1").arg(i, 5, 10, QChar('0')).toStdU16String()});
        platform::setNetwork(&browser);
        Window w;
        w.list.append("old");
        const double ms = timed([&] {
            w.list.hide();
            w.list.clear();
            SearchNetwork(w.list, platform::sv::TypeAll, progress);
            w.list.updateCountLabel();
            w.list.show();
        });
        platform::setNetwork(nullptr);
        ok &= report("network search returning 32767 machines (one yield per machine)", ms, 1000,
                     w.list.count());
        if (w.list.count() != fullList) ok = false;
    }

    {
        Window w;
        for (int i = 0; i < fullList; ++i)
            w.list.append(i % 2 ? QStringLiteral("keep-%1").arg(i) : QStringLiteral("Drop-%1").arg(i));
        int removed = 0;
        const double ms = timed([&] {
            w.list.hide();
            removed = RemoveByPattern(w.list, QStringLiteral("drop"));
            w.list.show();
            w.list.updateCountLabel();
        });
        ok &= report("Remove by pattern matching every other entry of a full list", ms, 200, removed);
        if (w.list.count() != fullList - removed || removed != (fullList + 1) / 2) ok = false;
    }
    return ok ? 0 : 1;
}
