// The stand-ins every test, fuzz target and benchmark runs the engine with:
// a clock whose time passes only when the upload pauses, and an operator
// that shows nothing and keeps what it was told. Header-only, so that
// programs without GoogleTest (fuzz targets, benchmarks) can use it.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "engine/clock.h"
#include "engine/operator.h"

// Time advances only when the upload pauses: a whole upload takes no time.
class InstantClock final : public Clock {
 public:
  void pause(unsigned ms) override {
    pauses.push_back(ms);
    now += static_cast<std::int64_t>(ms) * 1000;
  }
  std::int64_t nowMicros() override { return now; }
  void pauseUntil(std::int64_t deadline) override {
    if (deadline > now) now = deadline;
  }
  void waitUntil(std::int64_t deadline, std::condition_variable&,
                 std::unique_lock<std::mutex>&) override {
    pauseUntil(deadline);
  }
  void spinUntil(std::int64_t deadline) override { pauseUntil(deadline); }
  void uploadBegins() override { ++begins; }
  void uploadEnds() override { ++ends; }

  std::int64_t now = 1'000'000;
  std::vector<unsigned> pauses;
  int begins = 0;
  int ends = 0;
};

// Shows nothing; keeps the last texts and counts.
class QuietOperator final : public Operator {
 public:
  void errorBox(const char* text) override {
    ++errors;
    lastError = text;
  }
  void infoBox(const char* text) override {
    ++infos;
    lastInfo = text;
  }
  void enableControls(bool enable) override { enabledLast = enable; }
  void progressRange(std::uint16_t maximum) override { range = maximum; }
  void progressPosition(std::int32_t position) override { this->position = position; }

  int errors = 0;
  int infos = 0;
  std::string lastError;
  std::string lastInfo;
  bool enabledLast = false;
  std::uint16_t range = 0;
  std::int32_t position = 0;
};
