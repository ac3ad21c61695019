// upload --read-back: the fixtures that take the upload, read over RDM
// through the Art-Net node before it (their software version) and again
// after it, once they have restarted. An upload counts as taken only where
// a fixture answered afterwards with a version other than before.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "cli/options.h"
#include "drivers/artnet_rdm.h"
#include "engine/clock.h"

// The manufacturer ID in every upload frame, and so in our fixtures' UIDs.
inline constexpr std::uint16_t kFixtureManufacturer = 0x29A9;

struct ReadBackTarget {
  rdm::Uid uid;
  bool answered = false;  // DEVICE_INFO before the upload
  rdm::DeviceInfo before;
  std::string labelBefore;
  std::string seenBefore;  // what came instead of DEVICE_INFO
};

struct ReadBack {
  std::string host;
  std::uint16_t portAddress = 0;
  std::vector<ReadBackTarget> targets;
};

// The ports and waits, apart from the options: tests move them.
struct ReadBackTuning {
  std::uint16_t nodePort = 6454;
  std::uint16_t replyPort = 6454;
  artnet::RdmTimeouts timeouts;
  unsigned settleMsOverride = 0;  // 0: --settle
  unsigned afterBoundMs = 60000;  // after settling, how long to keep asking
  unsigned retryPauseMs = 2000;   // between rounds of asking
  Clock* clock = nullptr;         // null: the machine's
};

// Before the upload: finds the targets and reads their versions. exitDone
// to go on with the upload; otherwise the exit status to end with, the
// reason printed (several lines or an adapter without RDM: usage; no target
// without --force: exitReadBack).
int readBackBefore(const Options& options, ReadBack& readBack, const ReadBackTuning& tuning = {});
// After an upload that ran to its end: waits, reads again and prints, per
// target, version before -> after. exitDone only when every target answered
// with a changed version; else exitReadBack. Both end early with
// exitInterrupted when a stop is asked for (Ctrl-C).
int readBackAfter(const Options& options, ReadBack& readBack, const ReadBackTuning& tuning = {});
