// The command line every simulator shares (upssim, modemsim):
//
//   NAME [OWN OPTIONS] [--link PATH] [--ctl PATH] [--log PATH] [--quiet]
//        [--set NAME=VALUE]...
//   NAME ctl --socket PATH COMMAND [WORD]...
//   NAME --help
#pragma once

#include <functional>
#include <string>
#include <vector>

namespace orvik::upssim {

struct SimOptions {
  bool help = false;

  // Simulator.
  std::string linkPath;
  std::string controlPath;
  std::string logPath;
  bool quiet = false;                 // no log lines on standard error
  std::vector<std::string> settings;  // "NAME=VALUE", applied in order

  // "ctl" client.
  bool client = false;
  std::string clientSocket;
  std::string clientCommand;  // the words after the options, joined by blanks
};

// A simulator's own options. Asked first with value null: true when name is
// a flag it took. Otherwise, when a value follows, asked again with it: true
// when taken; false for a name it does not know, or with *error set for a
// value it refuses.
using OwnOption =
    std::function<bool(const std::string& name, const std::string* value, std::string* error)>;

// args without the program name; false with *error on a bad command line.
// own may be empty: the simulator has no options of its own.
bool parseSimOptions(const std::vector<std::string>& args, SimOptions* options,
                     const OwnOption& own, std::string* error);

}  // namespace orvik::upssim
