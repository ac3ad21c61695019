#include <windows.h>

#include "cli/interrupt.h"
#include "session/stop_requests.h"

namespace {

// Runs on a thread of its own that the system starts for each event.
BOOL WINAPI onConsoleEvent(DWORD event) {
  switch (event) {
    case CTRL_C_EVENT:
    case CTRL_BREAK_EVENT:
      requestInterrupt();
      return TRUE;
    case CTRL_CLOSE_EVENT:
    case CTRL_LOGOFF_EVENT:
    case CTRL_SHUTDOWN_EVENT:
      // The process ends when this returns; give the lines the few seconds
      // Windows allows to close their adapters.
      requestInterrupt();
      for (int waited = 0; watchedLines() > 0 && waited < 4500; waited += 50) Sleep(50);
      return TRUE;
    default:
      return FALSE;
  }
}

}  // namespace

void installInterruptHandlers() { SetConsoleCtrlHandler(onConsoleEvent, TRUE); }
