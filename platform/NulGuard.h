#pragma once
// Names holding U+0000 stopped in front of either backend. Windows' own calls take names that
// end at their first NUL: "\0WS001" would reach this computer (the empty machine name) and
// "WS001\0x" a machine nobody typed. So every call that names a machine, service, account,
// registry key or value refuses such a name with 123 (ERROR_INVALID_NAME; the LSA with
// STATUS_OBJECT_NAME_INVALID, which it maps to 123) before the backend sees it, and so does
// the logon check and the service change for a password holding one.
#include "platform/Logon.h"
#include "platform/Lsa.h"
#include "platform/Network.h"
#include "platform/Registry.h"
#include "platform/ServiceControl.h"

namespace platform {

class NulGuardedServiceControl : public ServiceControl {
  public:
    explicit NulGuardedServiceControl(ServiceControl& inner) : in_(inner) {}
    Result<Handle> OpenSCManager(const std::string& machine, std::uint32_t access) override;
    Result<Handle> OpenService(Handle manager, const std::string& serviceName, std::uint32_t access) override;
    std::uint32_t StartService(Handle service) override { return in_.StartService(service); }
    Result<ServiceStatus> ControlService(Handle service, std::uint32_t control) override {
        return in_.ControlService(service, control);
    }
    Result<ServiceStatus> QueryServiceStatusEx(Handle service) override {
        return in_.QueryServiceStatusEx(service);
    }
    Result<ServiceConfig> QueryServiceConfig(Handle service) override {
        return in_.QueryServiceConfig(service);
    }
    std::uint32_t ChangeServiceConfig(Handle service, const ServiceConfigChange& change) override;
    Result<Handle> LockServiceDatabase(Handle manager) override { return in_.LockServiceDatabase(manager); }
    std::uint32_t UnlockServiceDatabase(Handle lock) override { return in_.UnlockServiceDatabase(lock); }
    ServiceEnumeration EnumServicesStatus(Handle manager, std::uint32_t serviceType,
                                          std::uint32_t serviceState, std::uint32_t bufferBytes) override {
        return in_.EnumServicesStatus(manager, serviceType, serviceState, bufferBytes);
    }
    std::uint32_t CloseServiceHandle(Handle handle) override { return in_.CloseServiceHandle(handle); }
    Result<ServiceStatus> WaitServiceStatus(Handle service, std::uint32_t states,
                                            const StatusWait& how) override {
        return in_.WaitServiceStatus(service, states, how);
    }

  private:
    ServiceControl& in_;
};

class NulGuardedRegistry : public Registry {
  public:
    explicit NulGuardedRegistry(Registry& inner) : in_(inner) {}
    Result<Handle> RegConnectRegistry(const std::string& machine, Handle root) override;
    Result<Handle> RegOpenKeyEx(Handle key, const std::string& subKey, std::uint32_t options,
                                std::uint32_t access) override;
    Result<Handle> RegOpenKey(Handle key, const std::string& subKey) override;
    RegValueRead RegQueryValueEx(Handle key, const std::string& valueName,
                                 std::uint32_t bufferBytes) override;
    std::uint32_t RegSetValueEx(Handle key, const std::string& valueName, std::uint32_t type,
                                const std::vector<std::uint8_t>& data) override;
    RegSubkeyName RegEnumKeyEx(Handle key, std::uint32_t index, std::uint32_t nameBufferChars) override {
        return in_.RegEnumKeyEx(key, index, nameBufferChars);
    }
    std::uint32_t RegDeleteKey(Handle key, const std::string& subKey) override;
    std::uint32_t RegCloseKey(Handle key) override { return in_.RegCloseKey(key); }

  private:
    Registry& in_;
};

class NulGuardedLsa : public Lsa {
  public:
    explicit NulGuardedLsa(Lsa& inner) : in_(inner) {}
    Result<Handle> LsaOpenPolicy(const std::u16string& systemName, std::uint32_t access) override;
    LsaLookup LsaLookupNames(Handle policy, const std::vector<std::u16string>& names) override;
    std::uint32_t LsaAddAccountRights(Handle policy, const Sid& account,
                                      const std::vector<std::u16string>& rights) override {
        return in_.LsaAddAccountRights(policy, account, rights);
    }
    Result<std::vector<std::u16string>> LsaEnumerateAccountRights(Handle policy,
                                                                  const Sid& account) override {
        return in_.LsaEnumerateAccountRights(policy, account);
    }
    std::uint32_t LsaClose(Handle policy) override { return in_.LsaClose(policy); }
    std::uint32_t LsaNtStatusToWinError(std::uint32_t status) override {
        return in_.LsaNtStatusToWinError(status);
    }

  private:
    Lsa& in_;
};

class NulGuardedNetwork : public NetworkManagement {
  public:
    explicit NulGuardedNetwork(NetworkManagement& inner) : in_(inner) {}
    ServerEnumeration NetServerEnum(std::uint32_t serverType) override {
        return in_.NetServerEnum(serverType);
    }
    // The name's own terminator is allowed; a NUL before it is not.
    std::uint32_t NetMessageBufferSend(const std::u16string& msgName, const std::u16string& buffer,
                                       std::uint32_t byteLength) override;

  private:
    NetworkManagement& in_;
};

class NulGuardedLogon : public Logon {
  public:
    explicit NulGuardedLogon(Logon& inner) : in_(inner) {}
    std::uint32_t CheckNetworkLogon(const std::string& domain, const std::string& user,
                                    const std::string& password) override;

  private:
    Logon& in_;
};

} // namespace platform
