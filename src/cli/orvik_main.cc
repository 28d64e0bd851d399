// orvik, the command-line tool beside the UPS service: status, logs,
// commands and metrics.
#include <cstdio>
#include <string>
#include <vector>

#include "cli/cli.h"
#include "platform/native_backends.h"
#include "platform/system_info.h"

int main(int argc, char** argv) {
  using namespace orvik;
  const std::string program = nativeSystemInfo().programPath();
  const std::size_t slash = program.find_last_of("/\\");
  CliEnvironment env{
      nativeSharedMemory(),
      nativeSockets(),
      nativeClock(),
      slash == std::string::npos ? std::string("./") : program.substr(0, slash + 1),
      [](std::string_view text) {
        std::fwrite(text.data(), 1, text.size(), stdout);
        std::fflush(stdout);
      },
      [](std::string_view text) {
        std::fwrite(text.data(), 1, text.size(), stderr);
        std::fflush(stderr);
      },
      nullptr,
  };
  return runOrvik(std::vector<std::string>(argv + 1, argv + argc), env);
}
