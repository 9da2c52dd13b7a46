#include "services/ServiceSurvey.h"

#include "common/Names.h"
#include "platform/Lsa.h"
#include "platform/Platform.h"
#include "platform/ServiceControl.h"
#include "services/modErrorCodes.h"
#include "services/modServices.h"

#include <algorithm>
#include <cctype>
#include <exception>

namespace vantrel {

namespace {

constexpr std::uint32_t ScManagerConnect = 0x0001;
constexpr std::uint32_t ServiceQueryConfig = 0x0001;
constexpr std::uint32_t ServiceQueryStatus = 0x0004;

std::string stepText(const char* step, std::uint32_t code) {
    return "Error::" + ServiceErrorText(static_cast<std::int32_t>(code)) + "::SurveyService:" + step;
}

// The LSA takes names as UTF-16; bytes that are no UTF-8 become U+FFFD, so such a name simply
// maps to no account.
std::u16string utf16(const std::string& text) {
    std::u16string out;
    for (std::size_t i = 0; i < text.size();) {
        const auto lead = static_cast<unsigned char>(text[i]);
        std::size_t length = lead < 0x80             ? 1
                             : (lead & 0xE0) == 0xC0 ? 2
                             : (lead & 0xF0) == 0xE0 ? 3
                             : (lead & 0xF8) == 0xF0 ? 4
                                                     : 0;
        char32_t code = length == 1   ? lead
                        : length == 2 ? lead & 0x1F
                        : length == 3 ? lead & 0x0F
                                      : lead & 0x07;
        bool good = length > 0 && i + length <= text.size();
        for (std::size_t k = 1; good && k < length; ++k) {
            const auto c = static_cast<unsigned char>(text[i + k]);
            good = (c & 0xC0) == 0x80;
            code = (code << 6) | (c & 0x3F);
        }
        if (!good || code > 0x10FFFF || (code >= 0xD800 && code <= 0xDFFF)) {
            out.push_back(0xFFFD);
            ++i;
            continue;
        }
        if (code >= 0x10000) {
            code -= 0x10000;
            out.push_back(static_cast<char16_t>(0xD800 + (code >> 10)));
            out.push_back(static_cast<char16_t>(0xDC00 + (code & 0x3FF)));
        } else {
            out.push_back(static_cast<char16_t>(code));
        }
        i += length;
    }
    return out;
}

bool sameRight(const std::u16string& a, const std::u16string& b) {
    return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(), [](char16_t x, char16_t y) {
               auto lower = [](char16_t c) { return c >= u'A' && c <= u'Z' ? char16_t(c + 32) : c; };
               return lower(x) == lower(y);
           });
}

// The service manager runs these without asking for the right.
bool builtinServiceAccount(const std::string& account) {
    return SameAccount(account, "LocalSystem") || SameAccount(account, ".\\LocalSystem") ||
           SameAccount(account, "NT AUTHORITY\\LocalService") ||
           SameAccount(account, "NT AUTHORITY\\NetworkService") ||
           SameAccount(account, "NT AUTHORITY\\SYSTEM");
}

// "True" when `account` holds SeServiceLogonRight on the machine, "False" when it does not,
// "Unknown" when the machine's LSA could not tell.
std::string logonRight(const std::string& machine, const std::string& account) {
    if (builtinServiceAccount(account)) return "True";
    platform::Lsa& lsa = platform::lsa();
    const auto policy = lsa.LsaOpenPolicy(utf16(machine), platform::lsaconst::PolicyAccessForRights);
    if (!policy.ok()) return "Unknown";
    std::string answer = "Unknown";
    try {
        const platform::LsaLookup lookup = lsa.LsaLookupNames(policy.value, {utf16(account)});
        const bool mapped = (lookup.status == platform::ntstatus::Success) && lookup.sids.size() == 1;
        if (mapped) {
            const platform::LsaTranslatedSid& t = lookup.sids.front();
            const bool known = t.use == platform::lsaconst::SidTypeUser ||
                               t.use == platform::lsaconst::SidTypeGroup ||
                               t.use == platform::lsaconst::SidTypeAlias ||
                               t.use == platform::lsaconst::SidTypeWellKnownGroup;
            if (known && t.domainIndex >= 0 &&
                static_cast<std::size_t>(t.domainIndex) < lookup.domains.size()) {
                platform::Sid sid = lookup.domains[static_cast<std::size_t>(t.domainIndex)].sid;
                // A well-known SID is the referenced domain's own.
                if (t.use != platform::lsaconst::SidTypeWellKnownGroup)
                    sid.subAuthorities.push_back(t.relativeId);
                const auto rights = lsa.LsaEnumerateAccountRights(policy.value, sid);
                if (rights.ok())
                    answer = std::any_of(
                                 rights.value.begin(), rights.value.end(),
                                 [](const std::u16string& r) { return sameRight(r, u"SeServiceLogonRight"); })
                                 ? "True"
                                 : "False";
                else if (rights.error == platform::ntstatus::ObjectNameNotFound)
                    answer = "False"; // the account holds no rights at all there
            }
        }
    } catch (const std::exception&) {
        answer = "Unknown";
    }
    lsa.LsaClose(policy.value);
    return answer;
}

} // namespace

std::string ServiceStateText(std::uint32_t state) {
    switch (state) {
    case 1:
        return "Stopped";
    case 2:
        return "Start Pending";
    case 3:
        return "Stop Pending";
    case 4:
        return "Running";
    case 5:
        return "Continue Pending";
    case 6:
        return "Pause Pending";
    case 7:
        return "Paused";
    default:
        return "Unknown (" + std::to_string(state) + ")";
    }
}

std::string StartTypeText(std::uint32_t startType) {
    switch (startType) {
    case 0:
        return "Boot";
    case 1:
        return "System";
    case 2:
        return "Auto";
    case 3:
        return "Demand";
    case 4:
        return "Disabled";
    default:
        return "Unknown (" + std::to_string(startType) + ")";
    }
}

bool SameAccount(const std::string& a, const std::string& b) {
    return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) {
               return std::tolower(static_cast<unsigned char>(x)) ==
                      std::tolower(static_cast<unsigned char>(y));
           });
}

ServiceSurvey SurveyService(const std::string& machine, const std::string& service,
                            const std::string& rightsAccount) {
    ServiceSurvey out;
    const std::string name = machineName(machine);
    if (name.empty()) {
        out.error = BlankMachineText;
        return out;
    }
    platform::ServiceControl& sc = platform::serviceControl();
    platform::Handle manager = 0, handle = 0;
    std::uint32_t managerError = 0; // the machine did not answer, or refused us
    bool faulted = false;
    try {
        const auto m = sc.OpenSCManager(name, ScManagerConnect);
        if (!m.ok()) {
            managerError = m.error;
            out.error = stepText("OpenSCManager", m.error);
        } else {
            manager = m.value;
            const auto s =
                sc.OpenService(manager, trimBlanks(service), ServiceQueryConfig | ServiceQueryStatus);
            if (!s.ok()) {
                out.error = stepText("OpenService", s.error);
            } else {
                handle = s.value;
                const auto status = sc.QueryServiceStatusEx(handle);
                if (status.ok())
                    out.state = ServiceStateText(status.value.currentState);
                else
                    out.error = stepText("QueryServiceStatus", status.error);
                const auto config = sc.QueryServiceConfig(handle);
                if (config.ok()) {
                    out.startType = StartTypeText(config.value.startType);
                    out.account = config.value.serviceStartName;
                } else if (out.error.empty()) {
                    out.error = stepText("QueryServiceConfig", config.error);
                }
            }
        }
    } catch (const std::exception& e) {
        out.error = std::string("Error::") + e.what();
        faulted = true;
    }
    try {
        if (handle) sc.CloseServiceHandle(handle);
        if (manager) sc.CloseServiceHandle(manager);
    } catch (const std::exception&) {
        // The handles went with the broken layer; the fault is in the row already.
    }
    const std::string& whose = rightsAccount.empty() ? out.account : rightsAccount;
    out.logonRight = whose.empty() || managerError || faulted ? "Unknown" : logonRight(name, whose);
    return out;
}

} // namespace vantrel
