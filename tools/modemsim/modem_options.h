// The command line of modemsim and its help text.
//
//   modemsim [--link PATH] [--ctl PATH] [--log PATH] [--quiet] [--set NAME=VALUE]...
//   modemsim ctl --socket PATH COMMAND [WORD]...
//   modemsim --help
#pragma once

#include <string>
#include <vector>

namespace orvik::modemsim {

struct Options {
  bool help = false;

  // Simulator.
  std::string linkPath;
  std::string controlPath;
  std::string logPath;
  bool quiet = false;                 // no log lines on standard error
  std::vector<std::string> settings;  // "NAME=VALUE", applied in order as "NAME VALUE"

  // "ctl" client.
  bool client = false;
  std::string clientSocket;
  std::string clientCommand;
};

// args without the program name; false with *error on a bad command line.
bool parseOptions(const std::vector<std::string>& args, Options* options, std::string* error);

std::string helpText();

}  // namespace orvik::modemsim
