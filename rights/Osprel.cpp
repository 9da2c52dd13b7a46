#include "rights/Osprel.h"

#include "platform/Platform.h"

#include <algorithm>
#include <exception>
#include <optional>
#include <vector>

namespace osprel {

std::u16string fromCodePage(std::string_view text) {
    constexpr char16_t Replacement = 0xFFFD;
    std::u16string out;
    out.reserve(text.size());
    std::size_t i = 0;
    while (i < text.size()) {
        const auto lead = static_cast<unsigned char>(text[i]);
        if (lead < 0x80) {
            out.push_back(lead);
            ++i;
            continue;
        }
        std::size_t length = 0;
        char32_t code = 0;
        char32_t smallest = 0;
        if ((lead & 0xE0) == 0xC0) {
            length = 2, code = lead & 0x1F, smallest = 0x80;
        } else if ((lead & 0xF0) == 0xE0) {
            length = 3, code = lead & 0x0F, smallest = 0x800;
        } else if ((lead & 0xF8) == 0xF0) {
            length = 4, code = lead & 0x07, smallest = 0x10000;
        } else {
            out.push_back(Replacement);
            ++i;
            continue;
        }
        std::size_t taken = 1;
        for (; taken < length && i + taken < text.size(); ++taken) {
            const auto next = static_cast<unsigned char>(text[i + taken]);
            if ((next & 0xC0) != 0x80) break;
            code = (code << 6) | (next & 0x3F);
        }
        // Overlong forms, surrogates and values past U+10FFFF are not characters: replace only
        // the lead byte and look at what follows afresh.
        if (taken < length || code < smallest || code > 0x10FFFF || (code >= 0xD800 && code <= 0xDFFF)) {
            out.push_back(Replacement);
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

} // namespace osprel

namespace {

using platform::Handle;
using platform::Sid;

constexpr std::uint8_t MaxSubAuthorities = 15; // SID_MAX_SUB_AUTHORITIES

void printUsage(std::FILE* out) {
    const char* const stars = "****************************************************************";
    std::fprintf(out,
                 "%s\n"
                 "Usage: Osprel computername [-u username ...] [-p privilege ...]\n"
                 "    - Assigns named privileges to accounts on the given machine.\n"
                 "      where <privilege> is,\n"
                 "\n"
                 "\t\t\tSeServiceLogonRight - logon as a service\n"
                 "\t\t\tSeShutdownPrivilege - shutdown the system\n"
                 "\t\t\tSeInteractiveLogonRight - logon on locally\n"
                 "\t\t\tetc... (refer to Microsoft for more info)\n"
                 "%s\n",
                 stars, stars);
}

void printFatal(std::FILE* out, const char* tag, std::uint32_t status) {
    std::fprintf(out, "%s: ntstatus %lu [%lXh], gle %lu\n", tag, static_cast<unsigned long>(status),
                 static_cast<unsigned long>(status),
                 static_cast<unsigned long>(platform::lsa().LsaNtStatusToWinError(status)));
}

// "[S-1-5-32-544]": the revision always reads 1; an authority that needs more than 32 bits is
// written as all six bytes in hexadecimal.
std::string sidText(Sid sid) {
    const auto& authority = platform::GetSidIdentifierAuthority(sid);
    char buffer[32];
    std::string text = "[S-1-";
    if (authority[0] != 0 || authority[1] != 0) {
        std::snprintf(buffer, sizeof buffer, "0x%02hx%02hx%02hx%02hx%02hx%02hx",
                      static_cast<unsigned short>(authority[0]), static_cast<unsigned short>(authority[1]),
                      static_cast<unsigned short>(authority[2]), static_cast<unsigned short>(authority[3]),
                      static_cast<unsigned short>(authority[4]), static_cast<unsigned short>(authority[5]));
    } else {
        const unsigned long value = (static_cast<unsigned long>(authority[2]) << 24) |
                                    (static_cast<unsigned long>(authority[3]) << 16) |
                                    (static_cast<unsigned long>(authority[4]) << 8) | authority[5];
        std::snprintf(buffer, sizeof buffer, "%lu", value);
    }
    text += buffer;
    const std::uint8_t count = platform::GetSidSubAuthorityCount(sid);
    for (std::uint8_t i = 0; i < count; ++i) {
        std::snprintf(buffer, sizeof buffer, "-%lu",
                      static_cast<unsigned long>(platform::GetSidSubAuthority(sid, i)));
        text += buffer;
    }
    return text + "]";
}

// The account's SID is its referenced domain's SID with the relative id appended. A lookup
// entry without a usable domain (no index, an index past the list, or a domain SID already
// at the sub-authority limit) gives no SID.
std::optional<Sid> accountSid(const platform::LsaLookup& lookup, const platform::LsaTranslatedSid& entry) {
    if (entry.domainIndex < 0 || static_cast<std::size_t>(entry.domainIndex) >= lookup.domains.size())
        return std::nullopt;
    Sid domain = lookup.domains[static_cast<std::size_t>(entry.domainIndex)].sid;
    const std::uint8_t count = platform::GetSidSubAuthorityCount(domain);
    if (count >= MaxSubAuthorities) return std::nullopt;
    Sid sid = platform::InitializeSid(platform::GetSidIdentifierAuthority(domain), count + 1);
    for (std::uint8_t i = 0; i < count; ++i)
        platform::GetSidSubAuthority(sid, i) = platform::GetSidSubAuthority(domain, i);
    platform::GetSidSubAuthority(sid, count) = entry.relativeId;
    return sid;
}

// Closes the policy on every way out, so a fatal status or a platform fault never leaves the
// handle open inside a longer-lived process (the tests run Osprel in-process).
class PolicyGuard {
  public:
    explicit PolicyGuard(Handle policy) : policy_(policy) {}
    PolicyGuard(const PolicyGuard&) = delete;
    PolicyGuard& operator=(const PolicyGuard&) = delete;
    ~PolicyGuard() {
        if (policy_ == 0) return;
        try {
            platform::lsa().LsaClose(policy_);
        } catch (...) {
        }
    }
    Handle get() const { return policy_; }
    void close() {
        const Handle policy = policy_;
        policy_ = 0;
        platform::lsa().LsaClose(policy);
    }

  private:
    Handle policy_;
};

struct Account {
    std::string typed; // as on the command line, for printing
    std::u16string name;
    std::optional<Sid> sid;
};

// What the command line asks for.
struct Request {
    std::u16string computer;
    std::vector<Account> accounts;
    std::vector<std::u16string> privileges;
};

// The name as the LSA gets it. A name longer than its 512-byte buffer holds is refused (the
// line says so) rather than cut: a cut name could grant rights to a different account.
std::optional<std::u16string> nameFor(const std::string& typed, const char* kind, std::FILE* out) {
    std::u16string name = osprel::fromCodePage(typed);
    if (name.size() <= osprel::MaxNameUnits) return name;
    std::fprintf(out, "'%s': %s name longer than %zu characters.\n", typed.c_str(), kind,
                 osprel::MaxNameUnits);
    return std::nullopt;
}

// Blanks and backslashes alone name no computer, and to the LSA no name means this one: a
// blank entry of Vantrel's list must never grant rights on the administrator's own machine.
bool namesNoComputer(const std::string& typed) {
    return typed.find_first_not_of(" \\") == std::string::npos;
}

// The command line as a request; nothing when it is refused, after the line that says why
// (or the usage).
std::optional<Request> parseArguments(int argc, char** argv, std::FILE* out) {
    if (argc < 3 || argv == nullptr) {
        printUsage(out);
        return std::nullopt;
    }
    const auto arg = [argv](int i) -> std::string { return argv[i] != nullptr ? argv[i] : ""; };

    Request request;
    const std::string computerTyped = arg(1);
    if (namesNoComputer(computerTyped)) {
        std::fprintf(out, "'%s': computer name is empty.\n", computerTyped.c_str());
        return std::nullopt;
    }
    std::optional<std::u16string> computer = nameFor(computerTyped, "computer", out);
    if (!computer) return std::nullopt;
    request.computer = std::move(*computer);

    enum class Mode { None, Accounts, Privileges };
    Mode mode = Mode::None;
    for (int i = 2; i < argc; ++i) {
        const std::string text = arg(i);
        if (!text.empty() && (text[0] == '-' || text[0] == '/')) {
            const char kind = text.size() > 1 ? text[1] : '\0';
            if (kind == 'u' || kind == 'U') {
                mode = Mode::Accounts;
            } else if (kind == 'p' || kind == 'P') {
                mode = Mode::Privileges;
            } else {
                std::fprintf(out, "'%s': illegal switch.\n", text.c_str());
                return std::nullopt;
            }
            continue;
        }
        switch (mode) {
        case Mode::None:
            std::fprintf(out, "'%s': use -u and -p to distinguish accounts from privileges.\n", text.c_str());
            return std::nullopt;
        case Mode::Accounts: {
            if (request.accounts.size() >= osprel::MaxAccounts) {
                std::fprintf(out, "Sorry, only %d account names allowed.\n", osprel::MaxAccounts);
                return std::nullopt;
            }
            std::optional<std::u16string> name = nameFor(text, "account", out);
            if (!name) return std::nullopt;
            request.accounts.push_back({text, std::move(*name), std::nullopt});
            break;
        }
        case Mode::Privileges: {
            if (request.privileges.size() >= osprel::MaxPrivileges) {
                std::fprintf(out, "Sorry, only %d privileges allowed.\n", osprel::MaxPrivileges);
                return std::nullopt;
            }
            std::optional<std::u16string> name = nameFor(text, "privilege", out);
            if (!name) return std::nullopt;
            request.privileges.push_back(std::move(*name));
            break;
        }
        }
    }
    return request;
}

// The first pass's text for one account: its SID, which it now holds, or why it has none;
// empty for a use Osprel does not know, which prints nothing.
std::string lookedUp(const platform::LsaLookup& lookup, const platform::LsaTranslatedSid& entry,
                     std::optional<Sid>& sid) {
    switch (entry.use) {
    case platform::lsaconst::SidTypeUser:
    case platform::lsaconst::SidTypeGroup:
    case platform::lsaconst::SidTypeAlias:
    case platform::lsaconst::SidTypeWellKnownGroup:
        sid = accountSid(lookup, entry);
        return sid ? sidText(*sid) : "no domain";
    case platform::lsaconst::SidTypeDomain:
        return "domain";
    case platform::lsaconst::SidTypeDeletedAccount:
        return "deleted";
    case platform::lsaconst::SidTypeInvalid:
        return "invalid";
    case platform::lsaconst::SidTypeUnknown:
        return "unknown";
    default:
        return {};
    }
}

// The first pass: looks the accounts' names up, gives each account that has one its SID and
// prints a line per account the LSA handed back. False after a fatal status.
bool lookUpNames(Handle policy, std::vector<Account>& accounts, std::FILE* out) {
    platform::Lsa& lsa = platform::lsa();
    std::vector<std::u16string> names;
    names.reserve(accounts.size());
    for (const Account& account : accounts)
        names.push_back(account.name);
    const platform::LsaLookup lookup = lsa.LsaLookupNames(policy, names);
    if (lookup.status == platform::ntstatus::SomeNotMapped) {
        std::fprintf(out, "Some names were not mapped.\n");
    } else if (lookup.status != platform::ntstatus::Success) {
        printFatal(out, "LLN()", lookup.status);
        return false;
    }

    // An entry the LSA did not hand back counts as a use we do not know: nothing printed.
    const std::size_t answered = std::min(accounts.size(), lookup.sids.size());
    for (std::size_t i = 0; i < answered; ++i) {
        const std::string text = lookedUp(lookup, lookup.sids[i], accounts[i].sid);
        if (!text.empty()) std::fprintf(out, "%-30.30s %s\n", accounts[i].typed.c_str(), text.c_str());
    }
    return true;
}

// The second pass: grants the privileges to every account with a SID, a line each. False
// after a fatal status.
bool grant(Handle policy, const std::vector<Account>& accounts, const std::vector<std::u16string>& privileges,
           std::FILE* out) {
    platform::Lsa& lsa = platform::lsa();
    for (const Account& account : accounts) {
        std::fprintf(out, "%-30.30s ", account.typed.c_str());
        if (!account.sid) {
            std::fprintf(out, "no SID, skipped\n");
            continue;
        }
        const std::uint32_t status = lsa.LsaAddAccountRights(policy, *account.sid, privileges);
        std::fprintf(out, "%lu [%08lxh], gle = %lu\n", static_cast<unsigned long>(status),
                     static_cast<unsigned long>(status),
                     static_cast<unsigned long>(lsa.LsaNtStatusToWinError(status)));
        if (status != platform::ntstatus::Success) {
            printFatal(out, "LAAR()", status);
            return false;
        }
    }
    return true;
}

int run(int argc, char** argv, std::FILE* out) {
    std::optional<Request> request = parseArguments(argc, argv, out);
    if (!request) return 1;

    const platform::Result<Handle> opened =
        platform::lsa().LsaOpenPolicy(request->computer, platform::lsaconst::PolicyAccessForRights);
    if (!opened.ok()) {
        printFatal(out, "LOP()", opened.error);
        return 1;
    }
    PolicyGuard policy(opened.value);

    if (!lookUpNames(policy.get(), request->accounts, out)) return 1;
    std::fprintf(out, "\n");
    if (!grant(policy.get(), request->accounts, request->privileges, out)) return 1;
    policy.close();
    return 0;
}

} // namespace

int osprelMain(int argc, char** argv, std::FILE* out) {
    int code = 1;
    try {
        code = run(argc, argv, out);
    } catch (const std::exception& fault) {
        // The platform itself broke (for example an unusable network file): say so and fail.
        std::fprintf(out, "Osprel: %s\n", fault.what());
        code = 1;
    } catch (...) {
        std::fprintf(out, "Osprel: unexpected fault\n");
        code = 1;
    }
    std::fflush(out);
    return code;
}
