// The help text of modemsim, whose command line is the one every simulator
// takes (upssim/sim_options.h), without options of its own:
//
//   modemsim [--link PATH] [--ctl PATH] [--log PATH] [--quiet] [--set NAME=VALUE]...
//   modemsim ctl --socket PATH COMMAND [WORD]...
//   modemsim --help
#pragma once

#include <string>

namespace orvik::modemsim {

std::string helpText();

}  // namespace orvik::modemsim
