// The command line of `orvik`: which command, with which options, and the
// help texts (each fits 80 columns).
#pragma once

#include <string>
#include <vector>

namespace orvik {

enum class CliCommand {
  kOverview,  // no command, "help", or --help alone
  kStatus,
  kEvents,
  kData,
  kTest,
  kOutlet,
  kShutdownCancel,
  kMetrics,
};

struct CliOptions {
  CliCommand command = CliCommand::kOverview;
  bool help = false;  // --help after a command: that command's help
  bool json = false;
  bool follow = false;
  int lines = 20;   // -n; 0 means all
  std::string dir;  // --dir: where the logs are; empty for the default
  int outlet = 0;   // 1 to 8
  bool outletOn = false;
};

// Reads the arguments after the program name. Empty on success, else the
// one-line complaint (without the program name).
std::string parseOptions(const std::vector<std::string>& args, CliOptions* options);

// The help of a command (kOverview: of the program), "\n"-terminated.
std::string helpText(CliCommand command);

}  // namespace orvik
