#pragma once
// The local security authority of a machine: LsaOpenPolicy, LsaLookupNames,
// LsaAddAccountRights, LsaEnumerateAccountRights, LsaClose, LsaNtStatusToWinError, and SIDs.
// Statuses are NTSTATUS values; names are UTF-16 as the LSA takes them.
#include "platform/Types.h"

#include <array>
#include <string>
#include <vector>

namespace platform {

namespace lsaconst {
constexpr std::uint32_t PolicyAccessForRights = 0xA0000810;
// SID_NAME_USE
constexpr std::uint32_t SidTypeUser = 1;
constexpr std::uint32_t SidTypeGroup = 2;
constexpr std::uint32_t SidTypeDomain = 3;
constexpr std::uint32_t SidTypeAlias = 4;
constexpr std::uint32_t SidTypeWellKnownGroup = 5;
constexpr std::uint32_t SidTypeDeletedAccount = 6;
constexpr std::uint32_t SidTypeInvalid = 7;
constexpr std::uint32_t SidTypeUnknown = 8;
} // namespace lsaconst

struct Sid {
    std::uint8_t revision = 1;
    std::array<std::uint8_t, 6> identifierAuthority{}; // big-endian, as SID_IDENTIFIER_AUTHORITY
    std::vector<std::uint32_t> subAuthorities;         // at most 15
};

// InitializeSid / GetSidIdentifierAuthority / GetSidSubAuthorityCount / GetSidSubAuthority.
Sid InitializeSid(const std::array<std::uint8_t, 6>& authority, std::uint8_t subAuthorityCount);
const std::array<std::uint8_t, 6>& GetSidIdentifierAuthority(const Sid& sid);
std::uint8_t GetSidSubAuthorityCount(const Sid& sid);
std::uint32_t& GetSidSubAuthority(Sid& sid, std::uint32_t index);
// "S-1-5-21-..." as Windows writes it: the authority in decimal, or 0x and twelve hex digits
// when it does not fit 32 bits. parseSid returns false on malformed text.
std::string sidToString(const Sid& sid);
bool parseSid(const std::string& text, Sid& out);

struct LsaReferencedDomain {
    std::u16string name;
    Sid sid;
};

// LSA_TRANSLATED_SID: use, relative id, index into the referenced domains (-1: none).
struct LsaTranslatedSid {
    std::uint32_t use = lsaconst::SidTypeUnknown;
    std::uint32_t relativeId = 0;
    std::int32_t domainIndex = -1;
};

struct LsaLookup {
    std::uint32_t status = 0; // 0, 0x107 some not mapped, 0xC0000073 none mapped, ...
    std::vector<LsaReferencedDomain> domains;
    std::vector<LsaTranslatedSid> sids; // one per name, in order
};

class Lsa {
  public:
    virtual ~Lsa() = default;
    // system: "\\NAME", a bare name, or empty for this computer. error holds the NTSTATUS.
    virtual Result<Handle> LsaOpenPolicy(const std::u16string& systemName, std::uint32_t access) = 0;
    virtual LsaLookup LsaLookupNames(Handle policy, const std::vector<std::u16string>& names) = 0;
    virtual std::uint32_t LsaAddAccountRights(Handle policy, const Sid& account,
                                              const std::vector<std::u16string>& rights) = 0;
    // The rights the account holds on the policy's machine; 0xC0000034 when it holds none.
    virtual Result<std::vector<std::u16string>> LsaEnumerateAccountRights(Handle policy,
                                                                          const Sid& account) = 0;
    virtual std::uint32_t LsaClose(Handle policy) = 0;
    virtual std::uint32_t LsaNtStatusToWinError(std::uint32_t status) = 0;
};

} // namespace platform
