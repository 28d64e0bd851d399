#include <pthread.h>
#include <signal.h>

#include <thread>

#include "platform/posix_backends.h"

namespace orvik {

MessageLoop& posixMessageLoop() {
  static QueuedMessageLoop loop;
  return loop;
}

// A thread that sleeps in sigwait turns the signals into ordinary messages,
// so nothing runs in signal-handler context.
void closeOnTerminationSignals(MessageLoop& loop) {
  sigset_t signals;
  sigemptyset(&signals);
  sigaddset(&signals, SIGTERM);
  sigaddset(&signals, SIGINT);
  pthread_sigmask(SIG_BLOCK, &signals, nullptr);
  std::thread([signals, &loop] {
    for (;;) {
      int received = 0;
      if (sigwait(&signals, &received) == 0) loop.post(WindowMessage::kClose);
    }
  }).detach();
}

}  // namespace orvik
