#pragma once
// Reading, writing and deleting in the registry of a machine on the network. Each call
// connects by itself, closes what it opened and returns whether it worked. The read is
// silent when the value cannot be reached; the write and the delete show a box when their
// key cannot be opened; all three show the standard error box on an unexpected fault.
#include <cstdint>
#include <string>

namespace vantrel {

// "HKLM", "HCU" or "HCR" (exact, case included) to the platform's predefined root; 0 otherwise.
std::uint32_t ToHKeyLong(const std::string& hkeyString);

// machineName is "\\NAME"; the empty text means the local registry (no connection is made).
// The boxes name the machine. When status is given, it receives the Windows status of the step
// that failed (0 on success, and after an unexpected fault, which has no status).

// Reads one value and renders it: REG_SZ up to its first zero byte, REG_DWORD as "&h" and
// upper-case hex, any other type as the empty text. On false keyValue is empty.
bool GetRemoteKeyValue(std::uint32_t root, const std::string& keyPath, const std::string& valueName,
                       std::string& keyValue, const std::string& machineName,
                       std::uint32_t* status = nullptr);

// What a write stored, or why it stored nothing although the key opened.
struct RegistryWrite {
    std::uint32_t type = 0; // the type written; when refused, the value's own type
    enum class Refused {
        No,
        NotANumber,     // REG_DWORD or REG_QWORD, and the text is no decimal or 0x number in its range
        TypeNotWritten, // REG_MULTI_SZ, REG_BINARY or another type text cannot stand for
    } refused = Refused::No;
};

// Stores value under valueName keeping the type the value has: REG_SZ and REG_EXPAND_SZ as
// text, REG_DWORD and REG_QWORD from a decimal or 0x number. A value of another type, or a
// number that is none, is refused with nothing written (false, status 0, *write says why).
// A new value is REG_SZ.
bool SetRemoteKeyValue(std::uint32_t root, const std::string& keyPath, const std::string& valueName,
                       const std::string& value, const std::string& machineName,
                       std::uint32_t* status = nullptr, RegistryWrite* write = nullptr);

// "REG_SZ", "REG_DWORD" ...; "type N" for a type without a name here.
std::string registryTypeName(std::uint32_t type);

// Deletes the key at keyPath with every key below it, children first. True when all are gone.
// A path naming no key below the root (empty, or backslashes only) is refused with status 87.
bool DeleteRemoteKeyValue(std::uint32_t root, const std::string& keyPath, const std::string& machineName,
                          std::uint32_t* status = nullptr);

// The size of the read buffer, in bytes.
constexpr std::uint32_t RegistryReadBufferBytes = 1024;
// The subkey-name buffer of the delete's enumeration, in characters with the terminator.
constexpr std::uint32_t RegistrySubkeyNameChars = 255;

} // namespace vantrel
