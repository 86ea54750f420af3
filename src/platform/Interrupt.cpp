#include "platform/Interrupt.h"

#include <signal.h>

#include <atomic>

namespace platform {

namespace {

// Lock-free, so the handler may store into it.
std::atomic<int> g_signal{0};
static_assert(std::atomic<int>::is_always_lock_free);

extern "C" void OnInterrupt(int signal) { g_signal.store(signal, std::memory_order_relaxed); }

}  // namespace

void InstallInterruptHandlers() {
  static const bool installed = [] {
    struct sigaction action {};
    action.sa_handler = OnInterrupt;
    sigemptyset(&action.sa_mask);
    // Interrupted system calls resume: the flag is polled, not the calls.
    action.sa_flags = SA_RESTART | SA_RESETHAND;
    for (int signal : {SIGINT, SIGTERM}) {
      // A signal the parent ignores (a background job of a script) stays ignored.
      struct sigaction previous {};
      if (::sigaction(signal, nullptr, &previous) == 0 && previous.sa_handler == SIG_IGN) continue;
      ::sigaction(signal, &action, nullptr);
    }
    return true;
  }();
  (void)installed;
}

int InterruptSignal() { return g_signal.load(std::memory_order_relaxed); }

int InterruptExitStatus() {
  const int signal = InterruptSignal();
  return signal == 0 ? 0 : 128 + signal;
}

void SetInterruptForTesting(int signal) { g_signal.store(signal, std::memory_order_relaxed); }

}  // namespace platform
