// The command line of upssim and its help text.
//
//   upssim [--protocol N | --plain-q1] [--link PATH] [--ctl PATH] [--log PATH]
//          [--quiet] [--set NAME=VALUE]...
//   upssim ctl --socket PATH COMMAND [WORD]...
//   upssim --help
#pragma once

#include <string>
#include <vector>

namespace orvik::upssim {

struct Options {
  bool help = false;

  // Simulator.
  int protocol = 3;
  bool plainQ1 = false;  // the plain "Q1" unit; protocol is then 4
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

// args without the program name; false with *error on a bad command line.
bool parseOptions(const std::vector<std::string>& args, Options* options, std::string* error);

std::string helpText();

// The command line of a "ctl" client, args[0] being "ctl": --socket PATH,
// then the command's words, joined by blanks. Shared with modemsim.
bool parseClientOptions(const std::vector<std::string>& args, std::string* socket,
                        std::string* command, bool* help, std::string* error);

}  // namespace orvik::upssim
