// linkbench: runs status exchanges back to back through the service's serial
// link for a while and prints what they cost in CPU time. bench/serial.sh
// points it at upssim.
//
//   linkbench [--ini FILE] [--seconds N] [--protocol N]
//
// FILE maps COM1 onto the device; by default it is platform.ini beside the
// program, as for the service.
#include <sys/resource.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "platform/posix_backends.h"
#include "service/link/serial_link.h"

namespace {

struct StatusExchange {
  const char* command;
  int length;
  int terminator;
  int maxLength;
  int byteDelayMs;
  int settleMs;
  int timeoutMs;
  unsigned speed;
};

// The status command of each protocol family with the serial settings the
// poll cycle uses for it.
StatusExchange statusExchange(int protocol) {
  if (protocol == 1) return {"\x01", 1, orvik::kNoTerminator, 16, 20, 10, 1000, 1200};
  if (protocol <= 4) return {"Q1\r", 3, '\r', 99, 20, 10, 1000, 2400};
  if (protocol == 5) return {"AG\r\n", 4, '\r', 8, 0, 10, 600, 2400};
  if (protocol == 8) return {"AG\r\n", 4, '\r', 8, 20, 20, 1000, 2400};
  return {"AG\r\n", 4, '\r', 8, 20, 10, 600, 2400};
}

double cpuSeconds() {
  rusage usage{};
  getrusage(RUSAGE_SELF, &usage);
  return static_cast<double>(usage.ru_utime.tv_sec + usage.ru_stime.tv_sec) +
         static_cast<double>(usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e6;
}

int usage() {
  std::fprintf(stderr, "usage: linkbench [--ini FILE] [--seconds N] [--protocol 1-9]\n");
  return 2;
}

}  // namespace

int main(int argc, char** argv) {
  std::string ini;
  int seconds = 60;
  int protocol = 3;
  for (int i = 1; i + 1 < argc; i += 2) {
    if (std::strcmp(argv[i], "--ini") == 0) {
      ini = argv[i + 1];
    } else if (std::strcmp(argv[i], "--seconds") == 0) {
      seconds = std::atoi(argv[i + 1]);
    } else if (std::strcmp(argv[i], "--protocol") == 0) {
      protocol = std::atoi(argv[i + 1]);
    } else {
      return usage();
    }
  }
  if (argc % 2 == 0 || seconds < 1 || protocol < 1 || protocol > 9) return usage();

  using namespace orvik;
  if (!ini.empty()) setSerialDeviceFile(ini);
  const Platform platform = posixPlatform();
  SerialLink link(platform);
  if (link.openPort(kUpsSlot, 0) != 0) {
    std::fprintf(stderr, "linkbench: COM1 cannot be opened\n");
    return 1;
  }
  const StatusExchange s = statusExchange(protocol);
  link.setPortSpeed(kUpsSlot, s.speed);

  const double cpuStart = cpuSeconds();
  const int64_t start = platform.clock->monotonicMs();
  const int64_t end = start + int64_t{seconds} * 1000;
  int exchanges = 0;
  int answered = 0;
  char reply[128];
  while (platform.clock->monotonicMs() < end) {
    int count = 0;
    link.serialTransaction(s.command, s.length, s.byteDelayMs, s.settleMs, reply, &count,
                           s.terminator, s.maxLength, s.timeoutMs);
    ++exchanges;
    if (count > 0) ++answered;
  }
  const double wall = static_cast<double>(platform.clock->monotonicMs() - start) / 1000.0;
  const double cpu = cpuSeconds() - cpuStart;
  std::printf("protocol %d: %d exchanges (%d answered) in %.1f s\n", protocol, exchanges, answered,
              wall);
  std::printf("linkbench CPU: %.3f s = %.3f %% of one core\n", cpu, 100.0 * cpu / wall);
  link.closePort(kUpsSlot);
  return answered > 0 ? 0 : 1;
}
