// The command line of upssim and its help text.
//
//   upssim [--protocol N | --plain-q1] [--link PATH] [--ctl PATH] [--log PATH]
//          [--quiet] [--set NAME=VALUE]...
//   upssim ctl --socket PATH COMMAND [WORD]...
//   upssim --help
#pragma once

#include <string>
#include <vector>

#include "sim_options.h"

namespace orvik::upssim {

// The shared options (sim_options.h) and upssim's own.
struct Options : SimOptions {
  int protocol = 3;
  bool plainQ1 = false;  // the plain "Q1" unit; protocol is then 4
};

// args without the program name; false with *error on a bad command line.
bool parseOptions(const std::vector<std::string>& args, Options* options, std::string* error);

std::string helpText();

}  // namespace orvik::upssim
