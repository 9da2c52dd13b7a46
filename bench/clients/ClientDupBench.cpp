// How long the duplicate test takes on a full client list: 32,767 look-ups (half of them
// present in another letter case, half absent) against 32,767 entries. Target: under 50 ms.
#include "clients/ClientList.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QLabel>
#include <QListWidget>
#include <QLocale>

#include <cstdio>

namespace {

QString nameAt(int i) {
    return QStringLiteral("ws%1.corp.halcyra.example").arg(i, 5, 10, QLatin1Char('0'));
}

void run(const QLocale& locale) {
    QLocale::setDefault(locale);
    QListWidget widget;
    QLabel label;
    vantrel::ClientList list(&widget, &label);
    constexpr int n = vantrel::ClientList::MaxEntries;

    QElapsedTimer timer;
    timer.start();
    list.hide();
    for (int i = 0; i < n; ++i)
        list.append(nameAt(2 * i)); // even numbers only
    list.show();
    const qint64 fillMs = timer.elapsed();

    // Odd i: absent; even i: present, asked for in capitals.
    QList<QString> probes;
    probes.reserve(n);
    for (int i = 0; i < n; ++i)
        probes.append(i % 2 ? nameAt(2 * i + 1) : nameAt(2 * i).toUpper());

    timer.restart();
    int found = 0;
    for (const QString& probe : probes)
        found += list.is_dup_list(probe) ? 1 : 0;
    const qint64 lookupNs = timer.nsecsElapsed();

    std::printf("locale %-6s  fill %d entries: %lld ms   %d is_dup_list look-ups: %.1f ms (%d found, "
                "expected %d)   target < 50 ms\n",
                qPrintable(locale.name()), n, static_cast<long long>(fillMs), n, lookupNs / 1e6, found,
                (n + 1) / 2);
}

} // namespace

int main(int argc, char** argv) {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    run(QLocale::c());
    run(QLocale(QLocale::English, QLocale::UnitedStates));
    run(QLocale(QLocale::German, QLocale::Germany));
    return 0;
}
