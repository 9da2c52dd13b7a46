// Network logons through the simulated domains' controllers.
#include "platform/sim/Backend.h"
#include "platform/sim/Core.h"

namespace platform::sim {

namespace {

class SimLogon : public Logon {
  public:
    std::uint32_t CheckNetworkLogon(const std::string& domainGiven, const std::string& userGiven,
                                    const std::string& password) override {
        std::string domain = domainGiven, user = userGiven;
        // No domain: the user is written name@suffix, and the suffix's first label names the
        // domain (svc@corp.example.com and svc@CORP are both CORP\svc).
        if (domain.empty()) {
            const auto at = user.rfind('@');
            if (at == std::string::npos || at == 0) return err::LogonFailure;
            domain = user.substr(at + 1, user.find('.', at) - at - 1);
            user.resize(at);
        }
        std::string controller;
        try {
            Connection* c = Store::instance().connection();
            if (!c) return err::NoLogonServers;
            auto q = c->query("SELECT controller FROM domains WHERE name = ?");
            q.bind(1, domain);
            // A domain nobody knows has no account to log on with.
            if (!q.step()) return err::LogonFailure;
            controller = q.text(0);
        } catch (const DbError& e) {
            Store::instance().fail(e.what());
            return err::NoLogonServers;
        }
        MachineRow m;
        if (reachMachine(controller, false, m) != Reach::Ok) return err::NoLogonServers;
        return guarded(
            [&]() -> std::uint32_t {
                Connection& c = requireConnection();
                auto q = c.query("SELECT a.password, a.disabled, a.locked, a.password_expired, "
                                 "a.network_logon_denied FROM accounts a JOIN domains d "
                                 "ON d.id = a.domain_id WHERE d.name = ? AND a.name = ? AND a.use = 'user'");
                q.bind(1, domain).bind(2, user);
                if (!q.step()) return err::LogonFailure;
                // As a domain controller answers: a locked-out account says so whatever the
                // password; the account's restrictions only once the password is proven, and
                // the logon type's right last.
                if (q.integer(2) != 0) return err::AccountLockedOut;
                if (q.text(0) != password) return err::LogonFailure;
                if (q.integer(1) != 0) return err::AccountDisabled;
                if (q.integer(3) != 0) return err::PasswordExpired;
                if (q.integer(4) != 0) return err::LogonTypeNotGranted;
                return err::Success;
            },
            err::NoLogonServers);
    }
};

} // namespace

Logon& simLogon() {
    static SimLogon instance;
    return instance;
}

} // namespace platform::sim
