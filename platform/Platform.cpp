// The facilities the program reaches the outside world through. The backend is chosen when
// the program is built: the real API on Windows, the simulated network elsewhere.
#include "platform/Platform.h"

#ifdef _WIN32
#include "platform/win32/Backend.h"
#else
#include "platform/sim/Backend.h"
#endif

namespace platform {

namespace {
ServiceControl* serviceControlOverride = nullptr;
Registry* registryOverride = nullptr;
Lsa* lsaOverride = nullptr;
NetworkManagement* networkOverride = nullptr;
ClearTool* clearToolOverride = nullptr;
Directory* directoryOverride = nullptr;
Logon* logonOverride = nullptr;

#ifdef _WIN32
ServiceControl& builtServiceControl() {
    return win32::win32ServiceControl();
}
Registry& builtRegistry() {
    return win32::win32Registry();
}
Lsa& builtLsa() {
    return win32::win32Lsa();
}
NetworkManagement& builtNetwork() {
    return win32::win32Network();
}
ClearTool& builtClearTool() {
    return win32::win32ClearTool();
}
Directory& builtDirectory() {
    return win32::win32Directory();
}
Logon& builtLogon() {
    return win32::win32Logon();
}
#else
ServiceControl& builtServiceControl() {
    return sim::simServiceControl();
}
Registry& builtRegistry() {
    return sim::simRegistry();
}
Lsa& builtLsa() {
    return sim::simLsa();
}
NetworkManagement& builtNetwork() {
    return sim::simNetwork();
}
ClearTool& builtClearTool() {
    return sim::simClearTool();
}
Directory& builtDirectory() {
    return sim::simDirectory();
}
Logon& builtLogon() {
    return sim::simLogon();
}
#endif
} // namespace

ServiceControl& serviceControl() {
    return serviceControlOverride ? *serviceControlOverride : builtServiceControl();
}
Registry& registry() {
    return registryOverride ? *registryOverride : builtRegistry();
}
Lsa& lsa() {
    return lsaOverride ? *lsaOverride : builtLsa();
}
NetworkManagement& network() {
    return networkOverride ? *networkOverride : builtNetwork();
}
ClearTool& clearTool() {
    return clearToolOverride ? *clearToolOverride : builtClearTool();
}
Directory& directory() {
    return directoryOverride ? *directoryOverride : builtDirectory();
}
Logon& logon() {
    return logonOverride ? *logonOverride : builtLogon();
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
