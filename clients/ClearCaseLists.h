#pragma once
// Filling the client list from a ClearCase licence or registry server's list of clients.
#include "clients/FillProgress.h"

#include <QString>
#include <QStringList>

namespace vantrel {

class ClientNames;

// The client names in the output of "lsclients": lines end at CR LF or at LF alone, and a
// last line without a line end is a name like the others (an empty last piece is not).
QStringList SplitClearCaseOutput(const QString& output);

// Asks `server` for its clients and appends those the list does not hold yet (letter case
// ignored). False when the query gives no output or fails; a failure also shows the standard
// error box. Names appended before a failure stay. A list that fills up keeps the names that
// fitted and is reported as every fill reports it; the result is then true.
bool GetClearCaseClients(const QString& server, ClientNames& list, const FillProgress& progress = {});

} // namespace vantrel
