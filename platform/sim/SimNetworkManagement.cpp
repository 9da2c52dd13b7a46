// The network browser list, the messenger, the ClearCase command line and the domain
// directory of the simulated network.
#include "platform/sim/Backend.h"
#include "platform/sim/Core.h"
#include "platform/sim/Text.h"

namespace platform::sim {

namespace {

class SimNetworkManagement : public NetworkManagement {
  public:
    ServerEnumeration NetServerEnum(std::uint32_t serverType) override {
        ServerEnumeration out;
        // A network file that cannot be used leaves no browser to ask, as when none is running.
        ServerEnumeration failed;
        failed.error = err::BrowserNotStarted;
        return guarded(
            [&]() -> ServerEnumeration {
                Connection& c = checkedConnection();
                Transaction t(c, false);
                {
                    auto q = c.query("SELECT value FROM meta WHERE key = 'browser_available'");
                    if (q.step() && q.text(0) == "0") return failed;
                }
                // Browser lists are stale: machines that are down are listed all the same.
                auto q = c.query("SELECT name, types, platform_id FROM machines ORDER BY id");
                while (q.step()) {
                    const auto types = static_cast<std::uint32_t>(q.integer(1));
                    if (serverType != sv::TypeAll && (types & serverType) == 0) continue;
                    out.servers.push_back(
                        ServerInfo100{static_cast<std::uint32_t>(q.integer(2)), toUtf16(q.text(0))});
                }
                out.totalEntries = static_cast<std::uint32_t>(out.servers.size());
                return out;
            },
            failed);
    }

    std::uint32_t NetMessageBufferSend(const std::u16string& msgName, const std::u16string& buffer,
                                       std::uint32_t byteLength) override {
        const std::u16string name16 = msgName.substr(0, msgName.find(u'\0'));
        const std::string name = stripUncPrefix(toUtf8(name16));
        // The message is byteLength bytes of the buffer: whole UTF-16 units only (an odd count
        // ends in the first byte of the terminator), without the terminating NUL.
        const std::size_t units = std::min<std::size_t>(byteLength / 2, buffer.size());
        std::u16string text = buffer.substr(0, units);
        if (!text.empty() && text.back() == u'\0') text.pop_back();
        MachineRow m;
        bool unknown = false;
        Reach r = reachMachine(name, false, m, &unknown);
        if (unknown) return err::NameNotFound;
        if (r != Reach::Ok) return err::BadNetPath;
        if (!m.messenger) return err::NameNotFound;
        return guarded(
            [&]() -> std::uint32_t {
                Connection& c = requireConnection();
                Transaction t(c, true);
                c.query("INSERT INTO messages(machine_id, text) SELECT id, ? FROM machines WHERE name = ?")
                    .bind(1, toUtf8(text))
                    .bind(2, m.name)
                    .run();
                t.commit();
                return err::Success;
            },
            err::BadNetPath);
    }
};

std::string quoted(const std::string& s) {
    return "\"" + s + "\"";
}

CmdExecResult toolError(const std::string& text) {
    return CmdExecResult{false, {}, "cleartool: Error: " + text};
}

class SimClearTool : public ClearTool {
  public:
    CmdExecResult CmdExec(const std::vector<std::string>& arguments) override {
        if (arguments.empty()) return toolError("No command given.");
        if (arguments[0] != "lsclients")
            return toolError("Unrecognized command: " + quoted(arguments[0]) + ".");
        std::string host;
        bool hostGiven = false, shortForm = false;
        for (std::size_t i = 1; i < arguments.size(); ++i) {
            const std::string& a = arguments[i];
            if (a == "-host") {
                if (i + 1 >= arguments.size()) return toolError("Option \"-host\" needs a host name.");
                host = arguments[++i];
                hostGiven = true;
            } else if (a == "-s" || a == "-short") {
                shortForm = true;
            } else {
                return toolError("Unrecognized option " + quoted(a) + ".");
            }
        }
        if (!hostGiven) return toolError("lsclients: give the license server with -host.");
        if (!shortForm) return toolError("lsclients: only the short listing (-s) is available.");

        // Only a machine of the network can answer, as with every other facility: a host
        // named nowhere else, even one listed as a licence server, cannot be contacted.
        const CmdExecResult unreachable =
            toolError("Unable to contact license server on host " + quoted(host) + ".");
        MachineRow m;
        if (reachMachine(host, false, m) != Reach::Ok) return unreachable;
        return guarded(
            [&]() -> CmdExecResult {
                Connection& conn = requireConnection();
                Transaction t(conn, false);
                auto server = conn.query("SELECT id FROM licence_servers WHERE host = ?");
                server.bind(1, host);
                if (!server.step()) return toolError("Host " + quoted(host) + " is not a license server.");
                CmdExecResult out{true, {}, {}};
                auto q = conn.query("SELECT name FROM licence_clients WHERE server_id = ? ORDER BY id");
                q.bind(1, server.integer(0));
                while (q.step())
                    out.output += q.text(0) + "\r\n";
                return out;
            },
            unreachable);
    }
};

class SimDirectory : public Directory {
  public:
    DirectoryUser BindUser(const std::string& path) override {
        const DirectoryUser none{false, {}, {}, "There is no such object on the server."};
        const std::string prefix = "LDAP://";
        if (path.compare(0, prefix.size(), prefix) != 0) return none;
        const std::string rest = path.substr(prefix.size());
        const auto slash = rest.find('/');
        const auto comma = rest.rfind(',');
        if (slash == std::string::npos || comma == std::string::npos || comma < slash) return none;
        const std::string host = rest.substr(0, slash);
        const std::string name = rest.substr(slash + 1, comma - slash - 1);
        if (!equalsNoCase(rest.substr(comma + 1), "user") || host.empty() || name.empty()) return none;

        // The controller must be a machine of the network and answer before it can look
        // anything up.
        MachineRow m;
        if (reachMachine(host, false, m) != Reach::Ok) return none;
        try {
            auto q = requireConnection().query(
                "SELECT a.description, a.full_name FROM accounts a JOIN domains d "
                "ON d.id = a.domain_id WHERE d.controller = ? COLLATE NOCASE AND a.name = ? "
                "AND a.use = 'user'");
            q.bind(1, host).bind(2, name);
            if (!q.step()) return none;
            return DirectoryUser{true, q.text(0), q.text(1), {}};
        } catch (const DbError& e) {
            Store::instance().fail(e.what());
            return none;
        } catch (const FileUnusable&) {
            return none;
        }
    }
};

} // namespace

NetworkManagement& simNetwork() {
    static SimNetworkManagement instance;
    return instance;
}

ClearTool& simClearTool() {
    static SimClearTool instance;
    return instance;
}

Directory& simDirectory() {
    static SimDirectory instance;
    return instance;
}

} // namespace platform::sim
