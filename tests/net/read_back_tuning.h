// The read-back's ports and waits for a node of the tests' own: its port,
// any free reply port, and waits short enough for tests.
#pragma once

#include <cstdint>

#include "session/read_back.h"

inline ReadBackTuning quickReadBackTuning(std::uint16_t nodePort) {
  ReadBackTuning tuning;
  tuning.nodePort = nodePort;
  tuning.replyPort = 0;
  tuning.timeouts = {400, 150, 2, 3, 2000};
  tuning.settleMsOverride = 1;
  tuning.afterBoundMs = 300;
  tuning.retryPauseMs = 50;
  return tuning;
}
