// What the upload tests run on: the window program's line (the module-level
// state) on a virtual clock, an operator that records what it is asked to
// show, a log collected in memory, and a simulated adapter of the test's
// own, all fresh per test.
#pragma once

#include <gtest/gtest.h>

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "drivers/sim.h"
#include "engine/adapter.h"
#include "engine/log.h"
#include "engine/profile.h"
#include "tests/support/stand_ins.h"
#include "tests/support/temp_folder.h"

using VirtualClock = InstantClock;

// One thing the operator was asked to do, in order.
struct OperatorEvent {
  enum Kind { error, info, enable, disable, range, position } kind;
  std::string text;
  std::int32_t value = 0;
  std::int64_t micros = 0;
};

class RecordingOperator final : public Operator {
 public:
  explicit RecordingOperator(VirtualClock& c) : clock(c) {}
  void errorBox(const char* text) override { add(OperatorEvent::error, text, 0); }
  void infoBox(const char* text) override { add(OperatorEvent::info, text, 0); }
  void enableControls(bool enable) override {
    add(enable ? OperatorEvent::enable : OperatorEvent::disable, "", 0);
  }
  void progressRange(std::uint16_t maximum) override { add(OperatorEvent::range, "", maximum); }
  void progressPosition(std::int32_t position) override {
    add(OperatorEvent::position, "", position);
  }

  std::vector<OperatorEvent> events;

 private:
  void add(OperatorEvent::Kind k, const char* text, std::int32_t v) {
    events.push_back({k, text, v, clock.now});
  }
  VirtualClock& clock;
};

// Base fixture: fresh shared state, a simulated adapter, virtual clock, a temp dir.
class UploadTest : public ::testing::Test {
 protected:
  void SetUp() override;
  void TearDown() override;

  // Writes `bytes` to a file in the test's folder and chooses it.
  std::string chooseImage(const std::vector<std::uint8_t>& bytes, const char* name = "image.bin");
  // Runs program() with `profile` on the line's adapter (the simulated one
  // unless the test gave another). Returns its result; the log is in `log`.
  int run(const ReleaseProfile& profile);

  // The test's simulated adapter, its calls and its writes, in order.
  sim::SimAdapter& simulated() { return *sim_; }
  // A new simulated adapter, with the default settings and an empty record.
  void resetSimulated() { sim_ = std::make_unique<sim::SimAdapter>(); }
  const std::vector<sim::Record>& record() const { return sim_->record(); }
  std::vector<const sim::Record*> writes() const;
  std::vector<std::string> logLines() const;

  VirtualClock clock;
  RecordingOperator op{clock};
  std::unique_ptr<sim::SimAdapter> sim_ = std::make_unique<sim::SimAdapter>();
  // The adapter run() uploads through; null: the simulated one.
  Adapter* adapter = nullptr;
  std::unique_ptr<TempFolder> folder;
  std::string dir;  // the folder's path
  std::string log;
};

std::vector<std::uint8_t> patternImage(std::size_t n);
