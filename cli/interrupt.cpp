#include "cli/interrupt.h"

#include <cstdlib>

#include "session/stop_requests.h"

bool interruptRequested() { return stopRequested(); }

void requestInterrupt() {
  if (requestStop() > 0) std::_Exit(130);  // asked twice: end now
}
