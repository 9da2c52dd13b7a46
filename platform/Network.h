#pragma once
// Network management (NetServerEnum level 100, NetMessageBufferSend), the ClearCase
// automation interface's CmdExec, and a directory bind of a user object.
#include "platform/Types.h"

#include <string>
#include <vector>

namespace platform {

namespace sv {
constexpr std::uint32_t TypeWorkstation = 0x00000001;
constexpr std::uint32_t TypeServer = 0x00000002;
constexpr std::uint32_t TypeDomainCtrl = 0x00000008;
constexpr std::uint32_t TypeDomainBakCtrl = 0x00000010;
constexpr std::uint32_t TypeLocalListOnly = 0x40000000;
constexpr std::uint32_t TypeAll = 0xFFFFFFFF;
} // namespace sv

// SERVER_INFO_100.
struct ServerInfo100 {
    std::uint32_t platformId = 500;
    std::u16string name;
};

struct ServerEnumeration {
    std::uint32_t error = 0; // NERR_Success = 0
    std::vector<ServerInfo100> servers; // entries read
    std::uint32_t totalEntries = 0;
};

class NetworkManagement {
public:
    virtual ~NetworkManagement() = default;
    // NetServerEnum(null, 100, ..., MAX_PREFERRED_LENGTH, ..., serverType, null domain, resume 0).
    virtual ServerEnumeration NetServerEnum(std::uint32_t serverType) = 0;
    // NetMessageBufferSend(null, msgName, null, buffer, byteLength): buffer and msgName are the
    // UTF-16 units as built by the caller (terminators included); only byteLength bytes of the
    // buffer are the message, as on Windows.
    virtual std::uint32_t NetMessageBufferSend(const std::u16string& msgName, const std::u16string& buffer,
                                               std::uint32_t byteLength) = 0;
};

// The ClearTool object's CmdExec. The sub-command comes as separate arguments (no tool
// name, nothing interpreted by a shell); a raised error carries its description.
struct CmdExecResult {
    bool ok = false;
    std::string output;
    std::string errorDescription;
};

class ClearTool {
public:
    virtual ~ClearTool() = default;
    virtual CmdExecResult CmdExec(const std::vector<std::string>& arguments) = 0;
};

// Bind to "LDAP://HOST/NAME,user" as a directory user.
struct DirectoryUser {
    bool ok = false;
    std::string description;
    std::string fullName;
    std::string errorDescription; // "There is no such object on the server." etc.
};

class Directory {
public:
    virtual ~Directory() = default;
    virtual DirectoryUser BindUser(const std::string& path) = 0;
};

} // namespace platform
