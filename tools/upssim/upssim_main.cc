// upssim: a simulated UPS on a pseudo-terminal. See options.cc for the
// command line and behaviour; device_loop.cc runs it.
#include <cstdio>
#include <memory>
#include <string>
#include <vector>

#include "device_loop.h"
#include "options.h"
#include "simulator.h"

int main(int argc, char** argv) {
  using namespace orvik::upssim;
  std::vector<std::string> args(argv + 1, argv + argc);
  Options options;
  std::string error;
  if (!parseOptions(args, &options, &error)) {
    std::fprintf(stderr, "upssim: %s (see upssim --help)\n", error.c_str());
    return 2;
  }
  if (options.help) {
    std::fputs(helpText().c_str(), stdout);
    return 0;
  }
  if (options.client) return runControlClient(options);

  DeviceRun run;
  run.program = "upssim";
  run.what =
      "protocol " + std::to_string(options.protocol) + (options.plainQ1 ? " (plain Q1)" : "");
  run.setPrefix = "set ";
  // Battery charge and status follow time between commands.
  run.longestWaitMs = 100;
  run.makeDevice = [&options](SimLog& log) {
    return std::make_unique<Simulator>(options.protocol, log, options.plainQ1);
  };
  return runDevice(options, run);
}
