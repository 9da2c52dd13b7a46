// The local security authority. Names are UTF-16 already and pass unchanged; look-ups use
// LsaLookupNames2 and hand back each account as its domain's index and relative id.
#include "platform/win32/Backend.h"
#include "platform/win32/Convert.h"

#include "platform/win32/WindowsApi.h"

#include <cstring>

namespace platform::win32 {

namespace {

constexpr std::uint32_t StatusInvalidParameter = 0xC000000D;

// LSA_UNICODE_STRING points into `text`, which must outlive it. False when too long.
bool toLsaString(const std::u16string& text, LSA_UNICODE_STRING& out) {
    if (text.size() > 0x7FFE) return false;
    out.Buffer = const_cast<PWSTR>(reinterpret_cast<const wchar_t*>(text.c_str()));
    out.Length = static_cast<USHORT>(text.size() * sizeof(wchar_t));
    out.MaximumLength = static_cast<USHORT>(out.Length + sizeof(wchar_t));
    return true;
}

std::u16string fromLsaString(const LSA_UNICODE_STRING& s) {
    if (!s.Buffer) return {};
    return std::u16string(reinterpret_cast<const char16_t*>(s.Buffer), s.Length / sizeof(wchar_t));
}

Sid fromPsid(PSID psid) {
    Sid sid;
    if (!psid || !IsValidSid(psid)) return sid;
    const SID_IDENTIFIER_AUTHORITY* a = ::GetSidIdentifierAuthority(psid);
    std::memcpy(sid.identifierAuthority.data(), a->Value, 6);
    const UCHAR count = *::GetSidSubAuthorityCount(psid);
    for (UCHAR i = 0; i < count; ++i)
        sid.subAuthorities.push_back(*::GetSidSubAuthority(psid, i));
    return sid;
}

// The binary SID: revision, count, the six authority bytes, then little-endian sub-authorities.
std::vector<BYTE> toBinarySid(const Sid& sid) {
    std::vector<BYTE> out(8 + 4 * sid.subAuthorities.size());
    out[0] = sid.revision;
    out[1] = static_cast<BYTE>(sid.subAuthorities.size());
    std::memcpy(&out[2], sid.identifierAuthority.data(), 6);
    for (std::size_t i = 0; i < sid.subAuthorities.size(); ++i)
        std::memcpy(&out[8 + 4 * i], &sid.subAuthorities[i], 4);
    return out;
}

bool validAccount(const Sid& sid) {
    return sid.revision == 1 && sid.subAuthorities.size() <= 15;
}

class Win32Lsa : public Lsa {
  public:
    Result<Handle> LsaOpenPolicy(const std::u16string& systemName, std::uint32_t access) override {
        LSA_OBJECT_ATTRIBUTES attributes{};
        LSA_UNICODE_STRING system{};
        if (!toLsaString(systemName, system)) return {0, StatusInvalidParameter};
        LSA_HANDLE policy = nullptr;
        const NTSTATUS status =
            ::LsaOpenPolicy(systemName.empty() ? nullptr : &system, &attributes, access, &policy);
        if (status != 0) return {0, static_cast<std::uint32_t>(status)};
        return {toHandle(policy), ntstatus::Success};
    }

    LsaLookup LsaLookupNames(Handle policy, const std::vector<std::u16string>& names) override {
        LsaLookup out;
        if (names.empty()) return out; // nothing to look up: done
        std::vector<LSA_UNICODE_STRING> strings(names.size());
        for (std::size_t i = 0; i < names.size(); ++i)
            if (!toLsaString(names[i], strings[i])) {
                out.status = StatusInvalidParameter;
                return out;
            }
        PLSA_REFERENCED_DOMAIN_LIST domains = nullptr;
        PLSA_TRANSLATED_SID2 sids = nullptr;
        const NTSTATUS status =
            LsaLookupNames2(fromHandle<LSA_HANDLE>(policy), 0, static_cast<ULONG>(strings.size()),
                            strings.data(), &domains, &sids);
        out.status = static_cast<std::uint32_t>(status);
        if (domains) {
            for (ULONG i = 0; i < domains->Entries; ++i)
                out.domains.push_back(LsaReferencedDomain{fromLsaString(domains->Domains[i].Name),
                                                          fromPsid(domains->Domains[i].Sid)});
        }
        if (sids) {
            for (std::size_t i = 0; i < names.size(); ++i)
                out.sids.push_back(translate(out, sids[i]));
        } else if (status == 0x00000107 || status == static_cast<NTSTATUS>(ntstatus::NoneMapped)) {
            out.sids.assign(names.size(), LsaTranslatedSid{});
        }
        if (domains) LsaFreeMemory(domains);
        if (sids) LsaFreeMemory(sids);
        return out;
    }

    std::uint32_t LsaAddAccountRights(Handle policy, const Sid& account,
                                      const std::vector<std::u16string>& rights) override {
        if (!validAccount(account)) return StatusInvalidParameter;
        std::vector<LSA_UNICODE_STRING> strings(rights.size());
        for (std::size_t i = 0; i < rights.size(); ++i)
            if (!toLsaString(rights[i], strings[i])) return StatusInvalidParameter;
        std::vector<BYTE> sid = toBinarySid(account);
        return static_cast<std::uint32_t>(::LsaAddAccountRights(
            fromHandle<LSA_HANDLE>(policy), sid.data(), strings.data(), static_cast<ULONG>(strings.size())));
    }

    Result<std::vector<std::u16string>> LsaEnumerateAccountRights(Handle policy,
                                                                  const Sid& account) override {
        if (!validAccount(account)) return {{}, StatusInvalidParameter};
        std::vector<BYTE> sid = toBinarySid(account);
        PLSA_UNICODE_STRING rights = nullptr;
        ULONG count = 0;
        const NTSTATUS status =
            ::LsaEnumerateAccountRights(fromHandle<LSA_HANDLE>(policy), sid.data(), &rights, &count);
        Result<std::vector<std::u16string>> out;
        out.error = static_cast<std::uint32_t>(status);
        if (rights) {
            if (status == 0)
                for (ULONG i = 0; i < count; ++i)
                    out.value.push_back(fromLsaString(rights[i]));
            LsaFreeMemory(rights);
        }
        return out;
    }

    std::uint32_t LsaClose(Handle policy) override {
        return static_cast<std::uint32_t>(::LsaClose(fromHandle<LSA_HANDLE>(policy)));
    }

    std::uint32_t LsaNtStatusToWinError(std::uint32_t status) override {
        return ::LsaNtStatusToWinError(static_cast<NTSTATUS>(status));
    }

  private:
    // The interface carries an account as its domain's SID plus one relative id. A SID that is
    // not of that shape is handed back without a domain, so no other SID is made up from it.
    static LsaTranslatedSid translate(const LsaLookup& out, const LSA_TRANSLATED_SID2& entry) {
        LsaTranslatedSid t;
        t.use = static_cast<std::uint32_t>(entry.Use);
        if (entry.DomainIndex < 0 || static_cast<std::size_t>(entry.DomainIndex) >= out.domains.size())
            return t;
        const Sid& domain = out.domains[static_cast<std::size_t>(entry.DomainIndex)].sid;
        const Sid sid = fromPsid(entry.Sid);
        if (t.use == lsaconst::SidTypeDomain) {
            t.domainIndex = entry.DomainIndex;
            return t;
        }
        const bool underDomain = sid.identifierAuthority == domain.identifierAuthority &&
                                 sid.subAuthorities.size() == domain.subAuthorities.size() + 1 &&
                                 std::equal(domain.subAuthorities.begin(), domain.subAuthorities.end(),
                                            sid.subAuthorities.begin());
        if (!underDomain) return t;
        t.domainIndex = entry.DomainIndex;
        t.relativeId = sid.subAuthorities.back();
        return t;
    }
};

} // namespace

Lsa& win32Lsa() {
    static Win32Lsa instance;
    return instance;
}

} // namespace platform::win32
