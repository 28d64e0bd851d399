#include "cli/cli_options.h"

#include <cstdlib>

namespace orvik {
namespace {

struct CommandName {
  const char* name;
  CliCommand command;
};

constexpr CommandName kCommands[] = {
    {"status", CliCommand::kStatus},   {"events", CliCommand::kEvents},
    {"data", CliCommand::kData},       {"test", CliCommand::kTest},
    {"outlet", CliCommand::kOutlet},   {"shutdown-cancel", CliCommand::kShutdownCancel},
    {"metrics", CliCommand::kMetrics},
};

constexpr int kMaxLines = 1000000;

const char* nameOf(CliCommand command) {
  for (const CommandName& entry : kCommands) {
    if (entry.command == command) return entry.name;
  }
  return "";
}

// A whole decimal number from 0 to limit; false for anything else.
bool parseCount(const std::string& text, int limit, int* value) {
  if (text.empty() || text.size() > 9) return false;
  for (char c : text) {
    if (c < '0' || c > '9') return false;
  }
  const int number = std::atoi(text.c_str());
  if (number > limit) return false;
  *value = number;
  return true;
}

std::string seeHelp(CliCommand command) {
  return std::string("; see 'orvik ") + nameOf(command) + " --help'";
}

}  // namespace

std::string parseOptions(const std::vector<std::string>& args, CliOptions* options) {
  *options = CliOptions();
  if (args.empty() || args[0] == "help" || args[0] == "--help" || args[0] == "-h") {
    if (args.size() > 1 && args[0] == "help") {
      // "orvik help status" is "orvik status --help".
      std::vector<std::string> again{args[1], "--help"};
      return parseOptions(again, options);
    }
    return std::string();
  }
  bool known = false;
  for (const CommandName& entry : kCommands) {
    if (args[0] == entry.name) {
      options->command = entry.command;
      known = true;
    }
  }
  if (!known) return "unknown command '" + args[0] + "'; see 'orvik --help'";

  const CliCommand command = options->command;
  const bool takesLines = command == CliCommand::kEvents || command == CliCommand::kData;
  std::vector<std::string> positional;
  for (std::size_t i = 1; i < args.size(); ++i) {
    const std::string& arg = args[i];
    const bool hasValue = i + 1 < args.size();
    if (arg == "--help" || arg == "-h") {
      options->help = true;
      return std::string();  // whatever else there is, the help is wanted
    } else if (arg == "--json" && command == CliCommand::kStatus) {
      options->json = true;
    } else if ((arg == "--follow" || arg == "-f") && command == CliCommand::kEvents) {
      options->follow = true;
    } else if ((arg == "-n" || arg == "--lines") && takesLines) {
      if (!hasValue || !parseCount(args[i + 1], kMaxLines, &options->lines)) {
        return arg + " needs a number of lines from 0 (all) to 1000000" + seeHelp(command);
      }
      ++i;
    } else if (arg.size() > 2 && arg.compare(0, 2, "-n") == 0 && arg[2] != '-' && takesLines) {
      if (!parseCount(arg.substr(2), kMaxLines, &options->lines)) {
        return "-n needs a number of lines from 0 (all) to 1000000" + seeHelp(command);
      }
    } else if (arg == "--dir" && takesLines) {
      if (!hasValue || args[i + 1].empty()) return "--dir needs a folder" + seeHelp(command);
      options->dir = args[++i];
    } else if (!arg.empty() && arg[0] == '-' && arg != "-") {
      return "unknown option '" + arg + "' for " + nameOf(command) + seeHelp(command);
    } else {
      positional.push_back(arg);
    }
  }

  if (command == CliCommand::kOutlet) {
    if (positional.size() != 2) return "outlet needs a number and on or off" + seeHelp(command);
    if (!parseCount(positional[0], 8, &options->outlet) || options->outlet < 1) {
      return "outlet number '" + positional[0] + "' is not 1 to 8";
    }
    if (positional[1] != "on" && positional[1] != "off") {
      return "outlet " + positional[0] + " can be switched on or off, not '" + positional[1] + "'";
    }
    options->outletOn = positional[1] == "on";
  } else if (!positional.empty()) {
    return "unexpected argument '" + positional[0] + "' for " + nameOf(command) + seeHelp(command);
  }
  return std::string();
}

std::string helpText(CliCommand command) {
  switch (command) {
    case CliCommand::kOverview:
      return "Usage: orvik COMMAND [OPTIONS]\n"
             "Shows what the UPS service upskeeper sees and sends it commands.\n"
             "\n"
             "Commands:\n"
             "  status           the UPS, its values and alarms (--json for scripts)\n"
             "  events           the event log, newest last (--follow to keep watching)\n"
             "  data             the data log as a table\n"
             "  test             start a UPS self-test\n"
             "  outlet N on|off  switch outlet N of the UPS\n"
             "  shutdown-cancel  cancel a pending switch-off of the UPS output\n"
             "  metrics          the status in the Prometheus text format\n"
             "\n"
             "'orvik COMMAND --help' describes a command.\n"
             "Exit status: 0 done, 1 error, 2 service not running, 3 UPS link lost.\n";
    case CliCommand::kStatus:
      return "Usage: orvik status [--json]\n"
             "Shows the UPS's identity, the link, the measured values, the battery, the\n"
             "alarm conditions, the last self-test and any shutdown in progress, as the\n"
             "service's status record holds them.\n"
             "\n"
             "  --json  one JSON object with fixed keys (see the README)\n"
             "\n"
             "Exit status: 0 when the service runs and the UPS answers, 2 when the\n"
             "service is not running, 3 when the link to the UPS is lost, 1 on errors.\n";
    case CliCommand::kEvents:
      return "Usage: orvik events [-n N] [--follow] [--dir DIR]\n"
             "Shows the service's event log (kestrel.log), newest last, one event a line\n"
             "with its number and name.\n"
             "\n"
             "  -n N       the last N events (default 20; 0 for all)\n"
             "  --follow   keep watching and show new events as they are logged\n"
             "  -f         the same as --follow\n"
             "  --dir DIR  the service's folder (default: the folder of orvik itself)\n";
    case CliCommand::kData:
      return "Usage: orvik data [-n N] [--dir DIR]\n"
             "Shows the service's data log (kestrel.dat) as a table, newest last: input,\n"
             "output and battery voltage (V), input and output frequency (Hz), load (%),\n"
             "battery temperature (C) and the alarm bits.\n"
             "\n"
             "  -n N       the last N lines (default 20; 0 for all)\n"
             "  --dir DIR  the service's folder (default: the folder of orvik itself)\n";
    case CliCommand::kTest:
      return "Usage: orvik test\n"
             "Asks the service to start a UPS self-test and waits up to 5 s for the\n"
             "service to take it. 'orvik status' shows the result once the UPS reports it.\n";
    case CliCommand::kOutlet:
      return "Usage: orvik outlet N on|off\n"
             "Switches outlet N (1 to the UPS's number of outlets) as the Outlets page\n"
             "does: on at once; off after the outlet's shutdown delay, its dependent\n"
             "hosts told first. Waits up to 10 s for the UPS to report the outlet on.\n";
    case CliCommand::kShutdownCancel:
      return "Usage: orvik shutdown-cancel\n"
             "Tells the UPS to cancel a pending switch-off of its output. A shutdown of\n"
             "this computer that the service has begun goes on.\n";
    case CliCommand::kMetrics:
      return "Usage: orvik metrics\n"
             "Writes the status in the Prometheus text exposition format, for a node\n"
             "exporter's text-file collector, for example:\n"
             "  orvik metrics > /var/lib/prometheus/node-exporter/orvik.prom.$$ &&\n"
             "    mv /var/lib/prometheus/node-exporter/orvik.prom.$$ \\\n"
             "       /var/lib/prometheus/node-exporter/orvik.prom\n"
             "With the service not running it writes orvik_service_up 0 and exits 2.\n";
  }
  return std::string();
}

}  // namespace orvik
