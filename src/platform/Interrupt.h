// Interrupt: the run's reaction to SIGINT and SIGTERM. Once the handlers are
// installed, the first of these signals only sets a flag; the pass polls it
// at the next event and ends the run, which publishes nothing and ends the
// process with the conventional status 128 + signal. The handlers reset
// themselves, so a second signal ends the process at once; a signal that
// the parent made the process ignore stays ignored. The flag may be read
// from any thread.
#pragma once

namespace platform {

// Installs the handlers (once per process; later calls do nothing).
void InstallInterruptHandlers();
// The signal that interrupted the run, or 0.
int InterruptSignal();
inline bool Interrupted() { return InterruptSignal() != 0; }
// 128 + the signal; 0 when the run was not interrupted.
int InterruptExitStatus();
// Sets the signal as if it had arrived (tests; 0 clears it).
void SetInterruptForTesting(int signal);

}  // namespace platform
