#pragma once
// The (remote) registry: RegConnectRegistryA, RegOpenKeyExA, RegOpenKeyA, RegQueryValueExA,
// RegSetValueExA, RegEnumKeyExA, RegDeleteKeyA, RegCloseKey.
#include "platform/Types.h"

#include <string>
#include <vector>

namespace platform {

namespace reg {
// Predefined roots; usable as handles directly (the local registry) or passed to RegConnectRegistry.
constexpr Handle ClassesRoot = 0x80000000;
constexpr Handle CurrentUser = 0x80000001;
constexpr Handle LocalMachine = 0x80000002;
constexpr Handle Users = 0x80000003;

constexpr std::uint32_t None = 0;
constexpr std::uint32_t Sz = 1;
constexpr std::uint32_t ExpandSz = 2;
constexpr std::uint32_t Binary = 3;
constexpr std::uint32_t Dword = 4;
constexpr std::uint32_t MultiSz = 7;
constexpr std::uint32_t Qword = 11;

constexpr std::uint32_t KeyReadWriteLink = 0x2003F;
constexpr std::uint32_t KeyAllAccess = 0xF003F;
} // namespace reg

// RegQueryValueExA with a caller's buffer of bufferBytes. On success data holds the value's
// bytes (at most bufferBytes); on 234 (ERROR_MORE_DATA) data is empty and size is what the
// value needs. type is set whenever the value exists.
struct RegValueRead {
    std::uint32_t error = 0;
    std::uint32_t type = reg::None;
    std::vector<std::uint8_t> data;
    std::uint32_t size = 0;
};

// RegEnumKeyExA at an index with a name buffer of nameBufferChars (terminator included).
struct RegSubkeyName {
    std::uint32_t error = 0;
    std::string name;
};

class Registry {
  public:
    virtual ~Registry() = default;
    // machine in the form "\\NAME" (a bare name is accepted too); root one of reg::*.
    virtual Result<Handle> RegConnectRegistry(const std::string& machine, Handle root) = 0;
    virtual Result<Handle> RegOpenKeyEx(Handle key, const std::string& subKey, std::uint32_t options,
                                        std::uint32_t access) = 0;
    // Opens with the widest access the caller is allowed.
    virtual Result<Handle> RegOpenKey(Handle key, const std::string& subKey) = 0;
    virtual RegValueRead RegQueryValueEx(Handle key, const std::string& valueName,
                                         std::uint32_t bufferBytes) = 0;
    // data are the raw bytes as passed (REG_SZ includes its terminating zero byte).
    virtual std::uint32_t RegSetValueEx(Handle key, const std::string& valueName, std::uint32_t type,
                                        const std::vector<std::uint8_t>& data) = 0;
    virtual RegSubkeyName RegEnumKeyEx(Handle key, std::uint32_t index, std::uint32_t nameBufferChars) = 0;
    // Deletes subKey below key; the empty name deletes key itself. A key with subkeys: 5.
    virtual std::uint32_t RegDeleteKey(Handle key, const std::string& subKey) = 0;
    virtual std::uint32_t RegCloseKey(Handle key) = 0;
};

} // namespace platform
