// One run of `orvik`, from its arguments to its exit status, with the
// platform handed in: the real one from main(), fakes in tests. It reads the
// service's status record (read-only) and log files and sends control
// datagrams to 127.0.0.1:8828; it needs nothing of the service but those.
//
// Runs on the caller's thread; output goes out through the two sinks as it
// is made (--follow writes for as long as it runs).
#pragma once

#include <functional>
#include <string>
#include <string_view>
#include <vector>

#include "platform/clock.h"
#include "platform/shared_memory.h"
#include "platform/sockets.h"

namespace orvik {

inline constexpr int kExitOk = 0;
inline constexpr int kExitError = 1;
inline constexpr int kExitNotRunning = 2;
inline constexpr int kExitLinkLost = 3;

using TextSink = std::function<void(std::string_view text)>;

struct CliEnvironment {
  SharedMemory& memory;
  Sockets& sockets;
  Clock& clock;
  // Where the logs are unless --dir says otherwise: the folder of the
  // program, with its trailing "/"; the service keeps them beside itself.
  std::string programFolder;
  TextSink out;
  TextSink err;
  // Asked between looks at a followed log; true ends --follow. Null: never.
  std::function<bool()> stopFollowing;
};

// args: the arguments after the program name.
int runOrvik(const std::vector<std::string>& args, CliEnvironment& env);

}  // namespace orvik
