#pragma once
// Filling the client list from the network browser's list of machines.
#include "clients/FillProgress.h"

#include <QString>
#include <QStringList>

#include <cstdint>

namespace vantrel {

class ClientNames;

// The server-type mask of one of the search criteria ("Local List Only", "Workstation Only",
// "Server Only", "All Systems", "Domain Controllers", "Backup Domain Controllers"), compared
// exactly and in full; 0 for any other text.
std::uint32_t CriteriaToServerType(const QString& criterion);

// Those criteria, in the window's order.
QStringList ServerTypeCriteria();

// Appends, in the browser's order, the name of every machine the enumeration for `mask`
// returns: no duplicate test, no trimming. The list is not emptied here. A failed
// enumeration appends nothing and reports nothing; a list that fills up is reported as every
// fill reports it. Returns the number of machines read.
int SearchNetwork(ClientNames& list, std::uint32_t mask, const FillProgress& progress = {});

} // namespace vantrel
