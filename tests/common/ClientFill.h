#pragma once
// Fills the client list as a search or a host file would leave it, for tests of the commands
// that work on it.
#include "clients/ClientList.h"

#include <QList>
#include <QStringList>

namespace simtest {

// Replaces the entries with `entries` and ticks those at the indexes in `ticked`.
inline void fillClients(vantrel::ClientList& list, const QStringList& entries,
                        const QList<int>& ticked = {}) {
    list.clear();
    for (const QString& e : entries)
        list.append(e);
    for (int i : ticked)
        list.setTicked(i, true);
}

} // namespace simtest
