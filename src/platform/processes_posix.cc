// Programs started with posix_spawnp: no shell ever reads the command line,
// so no character in it can start a second program. The child gets the
// service's current directory and environment, standard input from
// /dev/null, the service's standard output and error, no other descriptor,
// an empty signal mask and default signal actions (the service blocks the
// termination signals in all its threads, and a child must not inherit
// that), and a session of its own, so a terminal's Ctrl-C that stops the
// service does not reach it. One small thread per child waits for its end,
// so it is reaped whenever it ends, whether anybody still asks or not.
#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <thread>
#include <vector>

#include "platform/command_line.h"
#include "platform/posix_backends.h"

extern char** environ;

namespace orvik {
namespace {

struct ChildState {
  std::atomic<bool> ended{false};
  std::atomic<int> exitCode{-1};
};

void reap(pid_t pid, ChildState& state) {
  int status = 0;
  pid_t got;
  do {
    got = waitpid(pid, &status, 0);
  } while (got < 0 && errno == EINTR);
  if (got == pid && WIFEXITED(status)) state.exitCode = WEXITSTATUS(status);
  state.ended = true;
}

class PosixChild final : public ChildProcess {
 public:
  PosixChild(pid_t pid, std::shared_ptr<ChildState> state, bool reapedHere)
      : pid_(pid), state_(std::move(state)), reapedHere_(reapedHere) {}

  int32_t id() const override { return static_cast<int32_t>(pid_); }
  bool ended() override {
    if (reapedHere_ && !state_->ended) {
      int status = 0;
      const pid_t got = waitpid(pid_, &status, WNOHANG);
      if (got == pid_ && WIFEXITED(status)) state_->exitCode = WEXITSTATUS(status);
      if (got == pid_ || (got < 0 && errno == ECHILD)) state_->ended = true;
    }
    return state_->ended;
  }
  int exitCode() override { return ended() ? state_->exitCode.load() : -1; }

 private:
  pid_t pid_;
  std::shared_ptr<ChildState> state_;
  // No waiting thread could be started: ended() reaps instead.
  bool reapedHere_;
};

class SpawnSettings {
 public:
  SpawnSettings() {
    posix_spawn_file_actions_init(&files_);
    posix_spawn_file_actions_addopen(&files_, 0, "/dev/null", O_RDONLY, 0);
    posix_spawn_file_actions_addclosefrom_np(&files_, 3);
    posix_spawnattr_init(&attr_);
    sigset_t none;
    sigemptyset(&none);
    posix_spawnattr_setsigmask(&attr_, &none);
    sigset_t all;
    sigfillset(&all);
    sigdelset(&all, SIGKILL);
    sigdelset(&all, SIGSTOP);
    posix_spawnattr_setsigdefault(&attr_, &all);
    posix_spawnattr_setflags(&attr_,
                             POSIX_SPAWN_SETSIGMASK | POSIX_SPAWN_SETSIGDEF | POSIX_SPAWN_SETSID);
  }
  ~SpawnSettings() {
    posix_spawn_file_actions_destroy(&files_);
    posix_spawnattr_destroy(&attr_);
  }
  SpawnSettings(const SpawnSettings&) = delete;
  SpawnSettings& operator=(const SpawnSettings&) = delete;

  const posix_spawn_file_actions_t* files() const { return &files_; }
  const posix_spawnattr_t* attr() const { return &attr_; }

 private:
  posix_spawn_file_actions_t files_;
  posix_spawnattr_t attr_;
};

class PosixProcessStarter final : public ProcessStarter {
 public:
  std::unique_ptr<ChildProcess> startProcess(const char* commandLine, bool /*show*/) override {
    std::vector<std::string> words = splitCommandLine(commandLine);
    if (words.empty() || words[0].empty()) return nullptr;
    std::vector<char*> argv;
    for (std::string& word : words) argv.push_back(word.data());
    argv.push_back(nullptr);

    // glibc's posix_spawnp reports a program that cannot be run (missing,
    // a directory, not executable, not a binary or "#!" script) as an
    // error here, before anything runs.
    pid_t pid = 0;
    if (posix_spawnp(&pid, argv[0], settings_.files(), settings_.attr(), argv.data(), environ) !=
        0) {
      return nullptr;
    }
    auto state = std::make_shared<ChildState>();
    bool reapedHere = false;
    try {
      std::thread([pid, state] { reap(pid, *state); }).detach();
    } catch (...) {
      reapedHere = true;
    }
    return std::make_unique<PosixChild>(pid, std::move(state), reapedHere);
  }

  std::string programSuffix() const override { return ""; }

 private:
  SpawnSettings settings_;
};

}  // namespace

ProcessStarter& posixProcessStarter() {
  static PosixProcessStarter starter;
  return starter;
}

}  // namespace orvik
