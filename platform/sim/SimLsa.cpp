// The local security authorities of the simulated machines: name look-ups against the
// network's domains and the built-in accounts, and account rights held per machine and SID.
#include "platform/sim/Backend.h"
#include "platform/sim/Core.h"
#include "platform/sim/Text.h"

namespace platform::sim {

namespace {

constexpr std::uint32_t StatusInvalidHandle = 0xC0000008;
constexpr std::uint32_t StatusInvalidParameter = 0xC000000D;

class SimLsa : public Lsa {
  public:
    Result<Handle> LsaOpenPolicy(const std::u16string& systemName, std::uint32_t access) override {
        std::string name = stripUncPrefix(toUtf8(systemName));
        if (name.empty()) name = localHostName();
        MachineRow m;
        switch (reachMachine(name, true, m)) {
        case Reach::Unreachable:
            return {0, ntstatus::RpcServerUnavailable};
        case Reach::Denied:
            return {0, ntstatus::AccessDenied};
        case Reach::Ok:
            break;
        }
        HandleEntry e{HandleKind::LsaPolicy, m.name, {}, {}, {}, access, false};
        return {handles().add(std::move(e)), ntstatus::Success};
    }

    LsaLookup LsaLookupNames(Handle policy, const std::vector<std::u16string>& names) override {
        LsaLookup out;
        const auto h = handles().find(policy, HandleKind::LsaPolicy);
        if (!h) {
            out.status = StatusInvalidHandle;
            return out;
        }
        const std::string machine = h->machine;
        MachineRow m;
        if (reachMachine(machine, false, m) != Reach::Ok) {
            out.status = ntstatus::RpcServerUnavailable;
            return out;
        }
        LsaLookup failed;
        failed.status = ntstatus::RpcServerUnavailable;
        return guarded(
            [&]() -> LsaLookup {
                Connection& c = requireConnection();
                Transaction t(c, false);
                DbAccountSource src(c);
                std::size_t unmapped = 0;
                for (const auto& n : names) {
                    NameResolution r = resolveAccountName(src, m.domain, toUtf8(n));
                    LsaTranslatedSid ts;
                    ts.use = r.use;
                    if (r.use == lsaconst::SidTypeUnknown) {
                        ++unmapped;
                        out.sids.push_back(ts);
                        continue;
                    }
                    ts.relativeId = r.hasRid ? r.rid : 0;
                    ts.domainIndex = domainIndex(out, r);
                    out.sids.push_back(ts);
                }
                if (unmapped > 0)
                    out.status = unmapped == names.size() ? ntstatus::NoneMapped : ntstatus::SomeNotMapped;
                return out;
            },
            failed);
    }

    std::uint32_t LsaAddAccountRights(Handle policy, const Sid& account,
                                      const std::vector<std::u16string>& rights) override {
        const auto h = handles().find(policy, HandleKind::LsaPolicy);
        if (!h) return StatusInvalidHandle;
        const std::string machine = h->machine;
        if (account.revision != 1 || account.subAuthorities.size() > 15) return StatusInvalidParameter;
        std::vector<std::string> canonical;
        for (const auto& r : rights) {
            std::string name = canonicalRightName(toUtf8(r));
            if (name.empty()) return ntstatus::NoSuchPrivilege; // nothing is granted then
            canonical.push_back(name);
        }
        MachineRow m;
        if (reachMachine(machine, false, m) != Reach::Ok) return ntstatus::RpcServerUnavailable;
        return guarded(
            [&]() -> std::uint32_t {
                Connection& c = requireConnection();
                Transaction t(c, true);
                const std::string sid = sidToString(account);
                for (const auto& right : canonical)
                    c.query("INSERT OR IGNORE INTO rights(machine_id, sid, right_name) "
                            "SELECT id, ?, ? FROM machines WHERE name = ?")
                        .bind(1, sid)
                        .bind(2, right)
                        .bind(3, machine)
                        .run();
                t.commit();
                return ntstatus::Success;
            },
            ntstatus::RpcServerUnavailable);
    }

    Result<std::vector<std::u16string>> LsaEnumerateAccountRights(Handle policy,
                                                                  const Sid& account) override {
        const auto h = handles().find(policy, HandleKind::LsaPolicy);
        if (!h) return {{}, StatusInvalidHandle};
        const std::string machine = h->machine;
        MachineRow m;
        if (reachMachine(machine, false, m) != Reach::Ok) return {{}, ntstatus::RpcServerUnavailable};
        using Rights = Result<std::vector<std::u16string>>;
        return guarded(
            [&]() -> Rights {
                Connection& c = requireConnection();
                Transaction t(c, false);
                Rights out;
                Statement q =
                    c.query("SELECT r.right_name FROM rights r JOIN machines m ON m.id = r.machine_id "
                            "WHERE m.name = ? AND r.sid = ? ORDER BY r.right_name");
                q.bind(1, machine).bind(2, sidToString(account));
                while (q.step())
                    out.value.push_back(toUtf16(q.text(0)));
                if (out.value.empty()) out.error = ntstatus::ObjectNameNotFound;
                return out;
            },
            Rights{{}, ntstatus::RpcServerUnavailable});
    }

    std::uint32_t LsaClose(Handle policy) override {
        return handles().remove(policy, HandleKind::LsaPolicy) ? ntstatus::Success : StatusInvalidHandle;
    }

    std::uint32_t LsaNtStatusToWinError(std::uint32_t status) override {
        switch (status) {
        case ntstatus::Success:
            return err::Success;
        case ntstatus::SomeNotMapped:
            return 1301; // ERROR_SOME_NOT_MAPPED
        case ntstatus::NoneMapped:
            return err::NoneMapped;
        case ntstatus::NoSuchPrivilege:
            return err::NoSuchPrivilege;
        case ntstatus::AccessDenied:
            return err::AccessDenied;
        case ntstatus::RpcServerUnavailable:
            return err::RpcServerUnavailable;
        case StatusInvalidHandle:
            return err::InvalidHandle;
        case StatusInvalidParameter:
            return err::InvalidParameter;
        case ntstatus::ObjectNameNotFound:
            return err::FileNotFound;
        case ntstatus::ObjectNameInvalid:
            return err::InvalidName;
        default:
            return 317; // ERROR_MR_MID_NOT_FOUND, as Windows answers for a status it cannot map
        }
    }

  private:
    // The referenced-domain list names each domain once, in the order first used.
    static std::int32_t domainIndex(LsaLookup& out, const NameResolution& r) {
        const std::u16string name = toUtf16(r.domainName);
        for (std::size_t i = 0; i < out.domains.size(); ++i)
            if (equalsNoCase(toUtf8(out.domains[i].name), r.domainName)) return static_cast<std::int32_t>(i);
        LsaReferencedDomain d;
        d.name = name;
        parseSid(r.domainSid, d.sid);
        out.domains.push_back(std::move(d));
        return static_cast<std::int32_t>(out.domains.size() - 1);
    }
};

} // namespace

Lsa& simLsa() {
    static SimLsa instance;
    return instance;
}

} // namespace platform::sim
