// The facilities the program reaches the outside world through. The backend is chosen when
// the program is built; this build uses the simulated network.
#include "platform/Platform.h"

#include "platform/sim/Backend.h"

namespace platform {

namespace {
ServiceControl* serviceControlOverride = nullptr;
Registry* registryOverride = nullptr;
Lsa* lsaOverride = nullptr;
NetworkManagement* networkOverride = nullptr;
ClearTool* clearToolOverride = nullptr;
Directory* directoryOverride = nullptr;
Logon* logonOverride = nullptr;
} // namespace

ServiceControl& serviceControl() {
    return serviceControlOverride ? *serviceControlOverride : sim::simServiceControl();
}
Registry& registry() {
    return registryOverride ? *registryOverride : sim::simRegistry();
}
Lsa& lsa() {
    return lsaOverride ? *lsaOverride : sim::simLsa();
}
NetworkManagement& network() {
    return networkOverride ? *networkOverride : sim::simNetwork();
}
ClearTool& clearTool() {
    return clearToolOverride ? *clearToolOverride : sim::simClearTool();
}
Directory& directory() {
    return directoryOverride ? *directoryOverride : sim::simDirectory();
}
Logon& logon() {
    return logonOverride ? *logonOverride : sim::simLogon();
}

void setServiceControl(ServiceControl* p) {
    serviceControlOverride = p;
}
void setRegistry(Registry* p) {
    registryOverride = p;
}
void setLsa(Lsa* p) {
    lsaOverride = p;
}
void setNetwork(NetworkManagement* p) {
    networkOverride = p;
}
void setClearTool(ClearTool* p) {
    clearToolOverride = p;
}
void setDirectory(Directory* p) {
    directoryOverride = p;
}
void setLogon(Logon* p) {
    logonOverride = p;
}

} // namespace platform
