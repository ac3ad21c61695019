// What the upload tests run on: a virtual clock, an operator that records
// what it is asked to show, and the simulated adapter, all reset per test.
#pragma once

#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <vector>

#include "drivers/sim.h"
#include "engine/clock.h"
#include "engine/operator.h"
#include "engine/profile.h"

// Time advances only when the upload pauses.
class VirtualClock final : public Clock {
 public:
  void pause(unsigned ms) override {
    pauses.push_back(ms);
    now += static_cast<std::int64_t>(ms) * 1000;
  }
  std::int64_t nowMicros() override { return now; }
  void uploadBegins() override { ++begins; }
  void uploadEnds() override { ++ends; }

  std::int64_t now = 1'000'000;
  std::vector<unsigned> pauses;
  int begins = 0;
  int ends = 0;
};

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

// Base fixture: fresh shared state, sim adapter, virtual clock, a temp dir.
class UploadTest : public ::testing::Test {
 protected:
  void SetUp() override;
  void TearDown() override;

  // Writes `bytes` to a file in the test's folder and chooses it.
  std::string chooseImage(const std::vector<std::uint8_t>& bytes, const char* name = "image.bin");
  // Runs program() with `profile`, capturing the log. Returns its result.
  int run(const ReleaseProfile& profile);

  // Writes made, in order, with their bytes.
  std::vector<const sim::Record*> writes() const;
  std::vector<std::string> logLines() const;

  VirtualClock clock;
  RecordingOperator op{clock};
  std::string dir;
  std::string log;
};

std::vector<std::uint8_t> patternImage(std::size_t n);
