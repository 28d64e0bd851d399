// modemsim: a simulated Hayes modem on a pseudo-terminal. See
// modem_options.cc for the command line and behaviour; upssim's device loop
// runs it.
#include <cstdio>
#include <memory>
#include <string>
#include <vector>

#include "hayes_modem.h"
#include "modem_options.h"
#include "upssim/device_loop.h"

int main(int argc, char** argv) {
  using namespace orvik::upssim;
  std::vector<std::string> args(argv + 1, argv + argc);
  SimOptions options;
  std::string error;
  if (!parseSimOptions(args, &options, nullptr, &error)) {
    std::fprintf(stderr, "modemsim: %s (see modemsim --help)\n", error.c_str());
    return 2;
  }
  if (options.help) {
    std::fputs(orvik::modemsim::helpText().c_str(), stdout);
    return 0;
  }
  if (options.client) return runControlClient(options);

  DeviceRun run;
  run.program = "modemsim";
  run.what = "modem";
  run.longestWaitMs = 1000;
  run.makeDevice = [](SimLog& log) { return std::make_unique<orvik::modemsim::HayesModem>(log); };
  return runDevice(options, run);
}
