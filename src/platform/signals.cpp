#include "platform/signals.h"

#include <pthread.h>
#include <signal.h>

#include <thread>

namespace orvo {
namespace {

sigset_t quitSignals() {
  sigset_t set;
  sigemptyset(&set);
  sigaddset(&set, SIGINT);
  sigaddset(&set, SIGTERM);
  return set;
}

}  // namespace

void blockQuitSignalsHere() {
  sigset_t set = quitSignals();
  pthread_sigmask(SIG_BLOCK, &set, nullptr);
}

void unblockQuitSignalsHere() {
  sigset_t set = quitSignals();
  pthread_sigmask(SIG_UNBLOCK, &set, nullptr);
}

void watchQuitSignals(std::function<void(int signal)> onSignal) {
  blockQuitSignalsHere();
  std::thread([onSignal = std::move(onSignal)] {
    sigset_t set = quitSignals();
    for (;;) {
      int received = 0;
      if (sigwait(&set, &received) == 0) onSignal(received);
    }
  }).detach();
}

}  // namespace orvo
