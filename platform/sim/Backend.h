#pragma once
// The simulated network's facilities, as Platform.cpp installs them.
#include "platform/Logon.h"
#include "platform/Lsa.h"
#include "platform/Network.h"
#include "platform/Registry.h"
#include "platform/ServiceControl.h"

namespace platform::sim {

ServiceControl& simServiceControl();
Registry& simRegistry();
Lsa& simLsa();
NetworkManagement& simNetwork();
ClearTool& simClearTool();
Directory& simDirectory();
Logon& simLogon();

} // namespace platform::sim
