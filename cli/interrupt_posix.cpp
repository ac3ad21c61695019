#include <signal.h>

#include "cli/interrupt.h"

namespace {

void onSignal(int) { requestInterrupt(); }

// A signal the process was started with ignored stays ignored: nohup's
// SIGHUP, and SIGINT for a job a shell started in the background.
void catchUnlessIgnored(int signal, const struct sigaction& action, bool always) {
  struct sigaction old {};
  sigaction(signal, nullptr, &old);
  if (always || old.sa_handler != SIG_IGN) sigaction(signal, &action, nullptr);
}

}  // namespace

void installInterruptHandlers() {
  struct sigaction action {};
  action.sa_handler = onSignal;
  sigemptyset(&action.sa_mask);
  action.sa_flags = SA_RESTART;
  catchUnlessIgnored(SIGINT, action, false);
  catchUnlessIgnored(SIGHUP, action, false);
  catchUnlessIgnored(SIGTERM, action, true);
  // A reader that went away (| head -1) only silences the output.
  signal(SIGPIPE, SIG_IGN);
}
