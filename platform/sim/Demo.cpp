// The demonstration network that "simnet init --demo" writes.
//
// Domain CORP: controller DC01, backup controller BDC01. Licence server LIC01 lists the
// clients WS001 to WS036. Every workstation WS001 to WS040 runs Albd under the old account
// CORP\svc_old (password 0ld!pass), which holds the right to log on as a service everywhere.
// The account to change to is CORP\svc_albd with password N3w!pass; it holds that right only
// on WS001 to WS003, so elsewhere the run must grant it (or the restart fails with 1069).
//
// The workstations that behave differently:
//   WS007  Albd is disabled (start fails with 1058)
//   WS013  Albd runs, but once stopped its start hangs in start pending
//   WS021  unreachable (every call fails after a two-second timeout)
//   WS027  refuses access (the account is no administrator there: error 5)
//   WS034  has no Albd service (1060)
// Other accounts for trying the refusals: CORP\svc_disabled (disabled), CORP\svc_locked
// (locked out), CORP\oldsvc (deleted), CORP\broken (invalid), CORP\ccusers (a group).
#include "platform/sim/SimNetwork.h"

#include <nlohmann/json.hpp>

#include <cstdio>

namespace platform::sim {

namespace {

using ojson = nlohmann::ordered_json;

std::string workstation(int n) {
    char buf[8];
    std::snprintf(buf, sizeof buf, "WS%03d", n);
    return buf;
}

ojson value(const char* name, const char* type, ojson data) {
    return ojson{{"name", name}, {"type", type}, {"data", std::move(data)}};
}

ojson service(const char* name, const char* display, const char* account, const char* password) {
    return ojson{{"name", name},       {"display_name", display}, {"start", "auto"},
                 {"state", "running"}, {"account", account},      {"password", password},
                 {"start_ms", 1500},   {"stop_ms", 800},          {"wait_hint_ms", 3000}};
}

// Settings the registry page's preset keys read.
ojson registry(int n, const std::string& user) {
    const char* region = n % 10 == 0 ? "corp_lab" : "corp_nt";
    return ojson::array(
        {{{"root", "HKLM"},
          {"key", "SOFTWARE\\Atria\\ClearCase\\CurrentVersion"},
          {"values",
           ojson::array(
               {value("AtriaRegy", "REG_SZ", "LIC01"), value("ClearCaseGroupName", "REG_SZ", "ccusers"),
                value("ClearCaseMajorVersion", "REG_SZ", "7"), value("HostData", "REG_BINARY", "0a0b0c0d"),
                value("InteropRegion", "REG_SZ", "corp_unix"), value("LicenseHost", "REG_SZ", "LIC01"),
                value("NetworkReleaseArea", "REG_SZ", "\\\\LIC01\\release"),
                value("ProductHome", "REG_SZ", "C:\\Program Files\\ClearCase"),
                value("Region", "REG_SZ", region), value("VobSchemaRev", "REG_DWORD", 80)})}},
         {{"root", "HKLM"},
          {"key", "SOFTWARE\\Atria\\ClearCase\\CurrentVersion\\ClearCase Explorer"},
          {"values", ojson::array({value("ViewsPage", "REG_DWORD", n % 2)})}},
         {{"root", "HKLM"},
          {"key", "SOFTWARE\\Rational Software\\RSSetup\\Products\\wsbuEnterprise"},
          {"values", ojson::array({value("Build", "REG_SZ", "2003.06.00.436")})}},
         {{"root", "HKLM"},
          {"key", "SOFTWARE\\Rational Software\\Licensing\\1.0"},
          {"values", ojson::array({value("LicenseServerName", "REG_SZ", "LIC01")})}},
         {{"root", "HKLM"},
          {"key", "SOFTWARE\\Microsoft\\Windows NT\\CurrentVersion\\Winlogon"},
          {"values",
           ojson::array(
               {value("AutoAdminLogon", "REG_SZ", "0"), value("CachePrimaryDomain", "REG_SZ", "CORP"),
                value("DefaultDomainName", "REG_SZ", "CORP"), value("DefaultUserName", "REG_SZ", user),
                value("LegalNoticeCaption", "REG_SZ", "CORP workstation"),
                value("LegalNoticeText", "REG_SZ", "For authorised use only."),
                value("Shell", "REG_SZ", "explorer.exe")})}}});
}

ojson rights(bool newAccountToo) {
    ojson r =
        ojson::array({{{"account", "CORP\\svc_old"}, {"rights", {"SeServiceLogonRight"}}},
                      {{"account", "BUILTIN\\Administrators"},
                       {"rights", {"SeBackupPrivilege", "SeRestorePrivilege", "SeShutdownPrivilege"}}}});
    if (newAccountToo) r.push_back({{"account", "CORP\\svc_albd"}, {"rights", {"SeServiceLogonRight"}}});
    return r;
}

ojson machine(const std::string& name, std::initializer_list<const char*> types) {
    ojson m{{"name", name},
            {"domain", "CORP"},
            {"types", ojson::array()},
            {"latency_ms", 10},
            {"timeout_ms", 2000}};
    for (const char* t : types)
        m["types"].push_back(t);
    return m;
}

} // namespace

std::string demoNetworkJson() {
    ojson net;
    net["browser_available"] = true;
    ojson accounts = ojson::array({{{"name", "Administrator"},
                                    {"rid", 500},
                                    {"use", "user"},
                                    {"password", "Adm1n!pass"},
                                    {"description", "Built-in account for administering the domain"},
                                    {"full_name", "Administrator"}},
                                   {{"name", "svc_old"},
                                    {"rid", 1104},
                                    {"use", "user"},
                                    {"password", "0ld!pass"},
                                    {"description", "Former ALBD service account"},
                                    {"full_name", "ALBD Service (old)"}},
                                   {{"name", "svc_albd"},
                                    {"rid", 1105},
                                    {"use", "user"},
                                    {"password", "N3w!pass"},
                                    {"description", "ALBD service account"},
                                    {"full_name", "ALBD Service"}},
                                   {{"name", "svc_disabled"},
                                    {"rid", 1106},
                                    {"use", "user"},
                                    {"password", "D1s!pass"},
                                    {"description", "Retired service account"},
                                    {"full_name", "Disabled Service"},
                                    {"disabled", true}},
                                   {{"name", "svc_locked"},
                                    {"rid", 1107},
                                    {"use", "user"},
                                    {"password", "L0ck!pass"},
                                    {"description", "Locked-out service account"},
                                    {"full_name", "Locked Service"},
                                    {"locked", true}},
                                   {{"name", "ccusers"}, {"rid", 1201}, {"use", "group"}},
                                   {{"name", "ccadmins"}, {"rid", 1202}, {"use", "alias"}},
                                   {{"name", "oldsvc"}, {"rid", 1300}, {"use", "deleted"}},
                                   {{"name", "broken"}, {"rid", 1301}, {"use", "invalid"}}});
    net["domains"] = ojson::array({{{"name", "CORP"},
                                    {"sid", "S-1-5-21-1004336348-1177238915-682003330"},
                                    {"controller", "DC01"},
                                    {"accounts", accounts}}});

    ojson machines = ojson::array();
    ojson dc = machine("DC01", {"server", "domain_ctrl"});
    dc["services"] = ojson::array({service("Netlogon", "Net Logon", "LocalSystem", "")});
    dc["rights"] = rights(false);
    machines.push_back(dc);
    ojson bdc = machine("BDC01", {"server", "domain_bakctrl"});
    bdc["services"] = ojson::array({service("Netlogon", "Net Logon", "LocalSystem", "")});
    bdc["rights"] = rights(false);
    machines.push_back(bdc);
    ojson lic = machine("LIC01", {"server"});
    lic["services"] = ojson::array({service("Albd", "Atria Location Broker", "LocalSystem", ""),
                                    service("Lockmgr", "Atria Lock Manager", "LocalSystem", "")});
    lic["rights"] = rights(false);
    machines.push_back(lic);

    for (int n = 1; n <= 40; ++n) {
        const std::string name = workstation(n);
        ojson m = machine(name, {"workstation"});
        ojson albd = service("Albd", "Atria Location Broker", "CORP\\svc_old", "0ld!pass");
        if (n == 7) {
            albd["start"] = "disabled";
            albd["state"] = "stopped";
        }
        if (n == 13) albd["hang"] = true;
        ojson services = ojson::array();
        if (n != 34) services.push_back(albd);
        services.push_back(service("LanmanWorkstation", "Workstation", "LocalSystem", ""));
        services.push_back(service("Messenger", "Messenger", "LocalSystem", ""));
        services.push_back(service("Spooler", "Print Spooler", "LocalSystem", ""));
        m["services"] = services;
        if (n == 21) m["reachable"] = false;
        if (n == 27) m["admin"] = false;
        char user[16];
        std::snprintf(user, sizeof user, "user%03d", n);
        m["registry"] = registry(n, user);
        m["rights"] = rights(n <= 3);
        machines.push_back(m);
    }
    net["machines"] = machines;

    ojson clients = ojson::array();
    for (int n = 1; n <= 36; ++n)
        clients.push_back(workstation(n));
    net["licence_servers"] = ojson::array({{{"host", "LIC01"}, {"clients", clients}}});
    return net.dump(2) + "\n";
}

} // namespace platform::sim
