// Starting other programs: the commands configured for events, the
// application closer, the power-off command. A program is started from a
// command line without a shell (see command_line.h for how it is cut into
// words), in the caller's current directory and environment, and is never
// killed by us; whenever it ends it is reaped, so it leaves nothing behind.
//
// Threads: any thread may start programs; a ChildProcess belongs to the
// thread that started it.
#pragma once

#include <cstdint>
#include <memory>
#include <string>

namespace orvik {

// A started program. Dropping this object neither waits for the program nor
// ends it.
class ChildProcess {
 public:
  virtual ~ChildProcess() = default;
  // The system's process identifier, above 0.
  virtual int32_t id() const = 0;
  virtual bool ended() = 0;
  // The program's exit status once it has ended normally; -1 while it runs
  // or when it was ended by a signal.
  virtual int exitCode() = 0;
};

class ProcessStarter {
 public:
  virtual ~ProcessStarter() = default;
  // Starts the program that the command line's first word names. Null when
  // it cannot be started: an empty or blank command line, a program that
  // does not exist, is a directory or may not be run. show asks for a
  // visible window where there is a desktop; elsewhere it means nothing.
  virtual std::unique_ptr<ChildProcess> startProcess(const char* commandLine, bool show) = 0;
  // What this system puts after a program file's base name ("" or ".exe").
  virtual std::string programSuffix() const = 0;
};

}  // namespace orvik
