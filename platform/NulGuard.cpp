#include "platform/NulGuard.h"

#include <algorithm>

namespace platform {

namespace {

template <class Text> bool holdsNul(const Text& text) {
    return text.find(typename Text::value_type(0)) != Text::npos;
}

bool holdsNul(const std::optional<std::string>& text) {
    return text && holdsNul(*text);
}

} // namespace

Result<Handle> NulGuardedServiceControl::OpenSCManager(const std::string& machine, std::uint32_t access) {
    if (holdsNul(machine)) return {0, err::InvalidName};
    return in_.OpenSCManager(machine, access);
}

Result<Handle> NulGuardedServiceControl::OpenService(Handle manager, const std::string& serviceName,
                                                     std::uint32_t access) {
    if (holdsNul(serviceName)) return {0, err::InvalidName};
    return in_.OpenService(manager, serviceName, access);
}

std::uint32_t NulGuardedServiceControl::ChangeServiceConfig(Handle service,
                                                            const ServiceConfigChange& change) {
    if (holdsNul(change.serviceStartName) || holdsNul(change.password) || holdsNul(change.displayName))
        return err::InvalidName;
    return in_.ChangeServiceConfig(service, change);
}

Result<Handle> NulGuardedRegistry::RegConnectRegistry(const std::string& machine, Handle root) {
    if (holdsNul(machine)) return {0, err::InvalidName};
    return in_.RegConnectRegistry(machine, root);
}

Result<Handle> NulGuardedRegistry::RegOpenKeyEx(Handle key, const std::string& subKey, std::uint32_t options,
                                                std::uint32_t access) {
    if (holdsNul(subKey)) return {0, err::InvalidName};
    return in_.RegOpenKeyEx(key, subKey, options, access);
}

Result<Handle> NulGuardedRegistry::RegOpenKey(Handle key, const std::string& subKey) {
    if (holdsNul(subKey)) return {0, err::InvalidName};
    return in_.RegOpenKey(key, subKey);
}

RegValueRead NulGuardedRegistry::RegQueryValueEx(Handle key, const std::string& valueName,
                                                 std::uint32_t bufferBytes) {
    if (holdsNul(valueName)) return {err::InvalidName, reg::None, {}, 0};
    return in_.RegQueryValueEx(key, valueName, bufferBytes);
}

std::uint32_t NulGuardedRegistry::RegSetValueEx(Handle key, const std::string& valueName, std::uint32_t type,
                                                const std::vector<std::uint8_t>& data) {
    if (holdsNul(valueName)) return err::InvalidName;
    return in_.RegSetValueEx(key, valueName, type, data);
}

std::uint32_t NulGuardedRegistry::RegDeleteKey(Handle key, const std::string& subKey) {
    if (holdsNul(subKey)) return err::InvalidName;
    return in_.RegDeleteKey(key, subKey);
}

Result<Handle> NulGuardedLsa::LsaOpenPolicy(const std::u16string& systemName, std::uint32_t access) {
    if (holdsNul(systemName)) return {0, ntstatus::ObjectNameInvalid};
    return in_.LsaOpenPolicy(systemName, access);
}

LsaLookup NulGuardedLsa::LsaLookupNames(Handle policy, const std::vector<std::u16string>& names) {
    if (std::any_of(names.begin(), names.end(), [](const auto& n) { return holdsNul(n); }))
        return {ntstatus::ObjectNameInvalid, {}, {}};
    return in_.LsaLookupNames(policy, names);
}

std::uint32_t NulGuardedNetwork::NetMessageBufferSend(const std::u16string& msgName,
                                                      const std::u16string& buffer,
                                                      std::uint32_t byteLength) {
    const auto nul = msgName.find(u'\0');
    if (nul != std::u16string::npos && nul + 1 < msgName.size()) return err::InvalidName;
    return in_.NetMessageBufferSend(msgName, buffer, byteLength);
}

std::uint32_t NulGuardedLogon::CheckNetworkLogon(const std::string& domain, const std::string& user,
                                                 const std::string& password) {
    if (holdsNul(domain) || holdsNul(user) || holdsNul(password)) return err::InvalidName;
    return in_.CheckNetworkLogon(domain, user, password);
}

} // namespace platform
