// The facilities the program reaches the outside world through. The backend is chosen when
// the program is built: the real API on Windows, the simulated network elsewhere; either one
// behind the guard that stops names holding U+0000 (NulGuard.h).
#include "platform/Platform.h"
#include "platform/NulGuard.h"

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
    static NulGuardedServiceControl guarded(win32::win32ServiceControl());
    return guarded;
}
Registry& builtRegistry() {
    static NulGuardedRegistry guarded(win32::win32Registry());
    return guarded;
}
Lsa& builtLsa() {
    static NulGuardedLsa guarded(win32::win32Lsa());
    return guarded;
}
NetworkManagement& builtNetwork() {
    static NulGuardedNetwork guarded(win32::win32Network());
    return guarded;
}
ClearTool& builtClearTool() {
    return win32::win32ClearTool();
}
Directory& builtDirectory() {
    return win32::win32Directory();
}
Logon& builtLogon() {
    static NulGuardedLogon guarded(win32::win32Logon());
    return guarded;
}
#else
ServiceControl& builtServiceControl() {
    static NulGuardedServiceControl guarded(sim::simServiceControl());
    return guarded;
}
Registry& builtRegistry() {
    static NulGuardedRegistry guarded(sim::simRegistry());
    return guarded;
}
Lsa& builtLsa() {
    static NulGuardedLsa guarded(sim::simLsa());
    return guarded;
}
NetworkManagement& builtNetwork() {
    static NulGuardedNetwork guarded(sim::simNetwork());
    return guarded;
}
ClearTool& builtClearTool() {
    return sim::simClearTool();
}
Directory& builtDirectory() {
    return sim::simDirectory();
}
Logon& builtLogon() {
    static NulGuardedLogon guarded(sim::simLogon());
    return guarded;
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
