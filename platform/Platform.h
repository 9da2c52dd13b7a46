#pragma once
// The one place subsystems reach the outside world. The backend is chosen at build time
// (the simulated network on Linux); tests may install their own.
#include "platform/Logon.h"
#include "platform/Lsa.h"
#include "platform/Network.h"
#include "platform/Registry.h"
#include "platform/ServiceControl.h"

namespace platform {

ServiceControl& serviceControl();
Registry& registry();
Lsa& lsa();
NetworkManagement& network();
ClearTool& clearTool();
Directory& directory();
Logon& logon();

// Replace a facility (not owned); nullptr restores the build's backend.
void setServiceControl(ServiceControl* p);
void setRegistry(Registry* p);
void setLsa(Lsa* p);
void setNetwork(NetworkManagement* p);
void setClearTool(ClearTool* p);
void setDirectory(Directory* p);
void setLogon(Logon* p);

} // namespace platform
