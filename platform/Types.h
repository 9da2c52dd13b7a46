#pragma once
// Values shared by every platform facility. Codes are the Windows ones, so the same
// procedures run unchanged on the real API and on the simulated network.
#include <cstdint>
#include <stdexcept>
#include <string>

namespace platform {

// An opaque handle as the facility hands it out; 0 is "no handle".
using Handle = std::uint64_t;

// A value with the Windows error code (or NTSTATUS for the LSA) of the call that made it.
template <class T> struct Result {
    T value{};
    std::uint32_t error = 0;
    bool ok() const { return error == 0; }
};

// Thrown when the platform itself breaks (for example the simulated network's file is
// corrupt); callers treat it as an unexpected run-time fault with this description.
class PlatformFault : public std::runtime_error {
  public:
    using std::runtime_error::runtime_error;
};

namespace err {
constexpr std::uint32_t Success = 0;
constexpr std::uint32_t FileNotFound = 2;
constexpr std::uint32_t AccessDenied = 5;
constexpr std::uint32_t InvalidHandle = 6;
constexpr std::uint32_t BadNetPath = 53;
constexpr std::uint32_t InvalidParameter = 87;
constexpr std::uint32_t CallNotImplemented = 120;
constexpr std::uint32_t InvalidName = 123; // a name holding U+0000 (see NulGuard.h)
constexpr std::uint32_t MoreData = 234;
constexpr std::uint32_t WaitTimeout = 258;
constexpr std::uint32_t NoMoreItems = 259;
constexpr std::uint32_t IoPending = 997;
constexpr std::uint32_t ServiceRequestTimeout = 1053;
constexpr std::uint32_t ServiceDatabaseLocked = 1055;
constexpr std::uint32_t ServiceAlreadyRunning = 1056;
constexpr std::uint32_t InvalidServiceAccount = 1057;
constexpr std::uint32_t ServiceDisabled = 1058;
constexpr std::uint32_t ServiceDoesNotExist = 1060;
constexpr std::uint32_t ServiceCannotAcceptControl = 1061;
constexpr std::uint32_t ServiceNotActive = 1062;
constexpr std::uint32_t ProcessAborted = 1067;
constexpr std::uint32_t ServiceLogonFailed = 1069;
constexpr std::uint32_t Cancelled = 1223;
constexpr std::uint32_t NoneMapped = 1332;
constexpr std::uint32_t NoSuchPrivilege = 1313;
constexpr std::uint32_t RpcServerUnavailable = 1722;
constexpr std::uint32_t NameNotFound = 2273;      // NERR_NameNotFound (messenger)
constexpr std::uint32_t BrowserNotStarted = 6118; // ERROR_NO_BROWSER_SERVERS_FOUND
} // namespace err

namespace ntstatus {
constexpr std::uint32_t Success = 0x00000000;
constexpr std::uint32_t SomeNotMapped = 0x00000107;
constexpr std::uint32_t AccessDenied = 0xC0000022;
constexpr std::uint32_t ObjectNameInvalid = 0xC0000033; // maps to 123
constexpr std::uint32_t ObjectNameNotFound = 0xC0000034;
constexpr std::uint32_t NoSuchPrivilege = 0xC0000060;
constexpr std::uint32_t NoneMapped = 0xC0000073;
constexpr std::uint32_t RpcServerUnavailable = 0xC0020017;
} // namespace ntstatus

} // namespace platform
