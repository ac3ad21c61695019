// upload --read-back: the fixtures that take the upload, read over RDM
// through the Art-Net node before it (their software version) and again
// after it, once they have restarted. An upload counts as taken only where
// a fixture answered afterwards with a version other than before.
#pragma once

#include <atomic>
#include <cstdint>
#include <string>
#include <vector>

#include "drivers/artnet_rdm.h"
#include "engine/clock.h"
#include "engine/profile.h"
#include "session/service_records.h"

// The manufacturer ID in every upload frame, and so in our fixtures' UIDs.
inline constexpr std::uint16_t kFixtureManufacturer = 0x29A9;

struct ReadBackTarget {
  rdm::Uid uid;
  bool answered = false;  // DEVICE_INFO before the upload
  rdm::DeviceInfo before;
  std::string labelBefore;
  std::string modelLabel;  // DEVICE_MODEL_DESCRIPTION, read when models are checked
  std::string seenBefore;  // what came instead of DEVICE_INFO
  // After the upload (readBackAfter):
  std::string versionBefore;  // "0x00010000 \"1.0\"", or what came instead
  std::string versionAfter;   // the same after the upload ("" before it is read)
  bool confirmed = false;     // answered with another version than before
  std::string why;            // when not confirmed: "kept its version", ...
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

// What the read-back is for.
struct ReadBackRequest {
  std::string adapter;  // the line's adapter argument: "artnet:10.0.0.5:1"
  const ReleaseProfile* profile = nullptr;
  std::vector<int> addresses{1};  // the fixtures at these take the upload (unless every one does)
  bool force = false;             // go on with the upload when no target answers
  bool quiet = false;
  int settleSeconds = 10;
  rdm::Uid controller = artnet::kDefaultController;
  bool models = false;                // read each target's model description too (--model)
  ServiceRecords* records = nullptr;  // each reading goes in; null: none kept
  // Besides a stop of the whole process, a stop of this read-back alone (a
  // console's Stop button); null: none.
  const std::atomic<bool>* stop = nullptr;
};

// With --model: the targets whose DEVICE_INFO model ID is none of `models`
// (or that gave no DEVICE_INFO), one line each naming the fixture: "UID
// at address N: model 0x0102 "Spot 300"". Empty when every target matches.
std::vector<std::string> modelMismatches(const ReadBack& readBack,
                                         const std::vector<std::uint16_t>& models);
// "0x0102 \"Spot 300\"": a model ID as --model takes it, with its label.
std::string modelText(std::uint16_t model, const std::string& label);

// What the read-back tells a person, as it goes.
class ReadBackObserver {
 public:
  virtual ~ReadBackObserver() = default;
  // A fixture's reading: "read back before: ...", "read back: ... -> ...".
  virtual void reading(const std::string& text) = 0;
  // A note or a wait, one line ("note: ...", "waiting 10 s ...").
  virtual void notice(const std::string& text) = 0;
  // What went wrong, one or more lines (the first says what).
  virtual void problem(const std::string& text) = 0;
};

enum class ReadBackStatus : std::uint8_t {
  go,            // before: go on with the upload; after: every target confirmed
  noRdm,         // the adapter cannot read fixtures back (a usage error)
  lineFailed,    // the node could not be reached
  notConfirmed,  // no target before the upload, or one kept its version or went quiet
  stopped,       // a stop was asked for
};

// Before the upload: finds the targets and reads their versions.
ReadBackStatus readBackBefore(const ReadBackRequest& request, ReadBack& readBack,
                              ReadBackObserver& observer, const ReadBackTuning& tuning = {});
// After an upload that ran to its end: waits, reads again and tells, per
// target, version before -> after. `go` only when every target answered
// with a changed version. Both end early when a stop is asked for (Ctrl-C).
ReadBackStatus readBackAfter(const ReadBackRequest& request, ReadBack& readBack,
                             ReadBackObserver& observer, const ReadBackTuning& tuning = {});
