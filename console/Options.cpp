#include "console/Options.h"

#include "batch/RunSettings.h"
#include "clients/Discovery.h"

#include <charconv>
#include <functional>
#include <map>

namespace vantrel::console {

namespace {

// "--name" or "--name=value"; false when `arg` is no option.
bool splitOption(const std::string& arg, std::string& name, std::optional<std::string>& value) {
    if (arg.size() < 3 || arg.compare(0, 2, "--") != 0) return false;
    const auto eq = arg.find('=');
    name = arg.substr(0, eq);
    if (eq != std::string::npos) value = arg.substr(eq + 1);
    return true;
}

std::optional<int> wholeNumber(const std::string& text) {
    int n = 0;
    const auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), n);
    if (ec != std::errc() || end != text.data() + text.size()) return std::nullopt;
    return n;
}

} // namespace

Options parseOptions(const std::vector<std::string>& args) {
    Options o;
    using Setter = std::function<std::string(const std::string&)>; // a reason when the value is wrong
    const auto text = [](std::string& field) {
        return Setter([&field](const std::string& v) {
            field = v;
            return v.empty() ? std::string("needs a value") : std::string();
        });
    };
    const std::map<std::string, Setter> valued = {
        {"--service", text(o.service)},
        {"--account", text(o.account)},
        {"--password-file", text(o.passwordFile)},
        {"--hosts", text(o.hostsFile)},
        {"--licence-server", text(o.licenceServer)},
        {"--results", text(o.resultsFile)},
        {"--log", text(o.logFile)},
        {"--machines-at-once",
         [&o](const std::string& v) {
             const auto n = wholeNumber(v);
             if (!n || *n < MinMachinesAtOnce || *n > MaxMachinesAtOnce)
                 return "must be a whole number from " + std::to_string(MinMachinesAtOnce) + " to " +
                        std::to_string(MaxMachinesAtOnce);
             o.machinesAtOnce = *n;
             return std::string();
         }},
        {"--network",
         [&o](const std::string& v) {
             // The window's names, letter case aside.
             for (const QString& type : ServerTypeCriteria())
                 if (type.compare(QString::fromStdString(v), Qt::CaseInsensitive) == 0)
                     o.network = type.toStdString();
             return o.network.empty() ? std::string("must be one of the types listed below") : std::string();
         }},
        {"--on-logon-failure",
         [&o](const std::string& v) {
             if (v != "stop" && v != "go-on") return std::string("must be stop or go-on");
             o.goOnAfterLogonFailure = v == "go-on";
             return std::string();
         }},
    };
    const std::map<std::string, bool*> flags = {
        {"--help", &o.help},
        {"--password-stdin", &o.passwordStdin},
        {"--grant-right", &o.grantRight},
        {"--restart", &o.restart},
        {"--wait", &o.wait},
        {"--skip-logon-check", &o.skipLogonCheck},
    };

    bool optionsEnded = false;
    for (std::size_t i = 0; i < args.size() && o.error.empty(); ++i) {
        const std::string& arg = args[i];
        std::string name;
        std::optional<std::string> value;
        if (optionsEnded || !splitOption(arg, name, value)) {
            if (arg == "--") {
                optionsEnded = true;
            } else if (!optionsEnded && arg.size() > 1 && arg[0] == '-') {
                o.error = "unknown option " + arg;
            } else if (o.action.empty()) {
                o.action = arg;
            } else {
                o.machines.push_back(arg);
            }
            continue;
        }
        if (const auto flag = flags.find(name); flag != flags.end()) {
            if (value) o.error = name + " takes no value";
            *flag->second = true;
        } else if (const auto setter = valued.find(name); setter != valued.end()) {
            if (!value) {
                if (i + 1 == args.size()) {
                    o.error = name + " needs a value";
                    break;
                }
                value = args[++i];
            }
            if (const std::string reason = setter->second(*value); !reason.empty())
                o.error = name + " " + reason;
        } else {
            o.error = "unknown option " + name;
        }
    }
    if (o.help || !o.error.empty()) return o;

    if (o.action != "update" && o.action != "start" && o.action != "stop" && o.action != "survey")
        o.error = o.action.empty() ? "no ACTION given" : "unknown ACTION " + o.action;
    else if (o.action == "update" && o.account.empty())
        o.error = "update needs --account";
    else if (o.action == "update" && (o.passwordStdin == !o.passwordFile.empty()))
        o.error = "update needs the password from one of --password-stdin and --password-file";
    else if (o.action == "survey" &&
             (o.passwordStdin || !o.passwordFile.empty() || o.grantRight || o.restart))
        o.error = "survey changes nothing: it takes no password, --grant-right or --restart";
    else if (o.action != "update" && o.action != "survey" &&
             (o.passwordStdin || !o.passwordFile.empty() || !o.account.empty()))
        o.error = o.action + " takes no account or password";
    else if (o.machines.empty() && o.hostsFile.empty() && o.licenceServer.empty() && o.network.empty())
        o.error = "no machines given";
    return o;
}

std::string usageText() {
    std::string types;
    for (const QString& type : ServerTypeCriteria())
        types += "                            \"" + type.toStdString() + "\"\n";
    return "Usage: vantrel-run ACTION [OPTIONS] [MACHINE...]\n"
           "\n"
           "Runs Vantrel's batch run over the machines named, unattended: the same steps,\n"
           "lines and results file as the window's Execute button.\n"
           "\n"
           "ACTION is one of:\n"
           "  update                    give the service a new logon account and password\n"
           "  start                     start the service\n"
           "  stop                      stop the service\n"
           "  survey                    read, for each machine, the service's state, start type\n"
           "                            and logon account, and whether the account holds the\n"
           "                            right to log on as a service there; changes nothing\n"
           "\n"
           "Options:\n"
           "  --service NAME            the service (default: Albd)\n"
           "  --account ACCOUNT         update: the account the service logs on with;\n"
           "                            survey: the account whose logon right is read\n"
           "                            (default: each service's own account)\n"
           "  --password-stdin          update: the password is the first line of standard input\n"
           "  --password-file FILE      update: the password is the first line of FILE, which\n"
           "                            no other user may read\n"
           "  --grant-right             grant the account the right to log on as a service\n"
           "  --restart                 update: stop the service and start it again\n"
           "  --wait                    wait until each start or stop has finished\n"
           "  --machines-at-once N      machines worked on at the same time, 1 to 64\n"
           "                            (default: the window's setting)\n"
           "  --hosts FILE              the machines of a host file, one name a line\n"
           "  --licence-server HOST     the clients of a ClearCase licence or registry server\n"
           "  --network TYPE            the machines the network browser lists, of a type:\n" +
           types +
           "  --results FILE            the results or survey file to create; an existing\n"
           "                            file is refused (default: _resultsMMYYYY_HHMMSS.csv,\n"
           "                            for survey _surveyMMYYYY_HHMMSS.csv, in the current\n"
           "                            folder)\n"
           "  --log FILE                the run log to create, every line of standard output\n"
           "                            with its date and time; an existing file is refused\n"
           "                            (default: _runMMYYYY_HHMMSS.log beside the results)\n"
           "  --skip-logon-check        go on when the domain controller cannot be reached to\n"
           "                            check the password (default: refuse the run)\n"
           "  --on-logon-failure stop|go-on\n"
           "                            when the service does not start with the new account,\n"
           "                            stop the run (default) or go on with the other machines\n"
           "  --help                    show this text\n"
           "\n"
           "Machines named more than once are worked on once. Each machine's lines go to\n"
           "standard output, then one summary line.\n"
           "\n"
           "Exit status: 0 every machine succeeded (survey: every machine was read); 1 the\n"
           "run finished with failed machines or machines not tried (survey: any machine\n"
           "could not be read); 2 the run was refused before any machine was touched;\n"
           "3 the run stopped after a logon failure.\n";
}

} // namespace vantrel::console
