// The upload's operator on a terminal: error texts as "error: ..." lines and
// the closing text on standard error, and the progress display. A clock
// wrapper tells it when the line opens and closes, so the progress display
// starts and ends its line around the frames and never inside a log line.
#pragma once

#include <cstdint>

#include "cli/progress.h"
#include "engine/clock.h"
#include "engine/operator.h"

class TerminalOperator final : public Operator {
 public:
  TerminalOperator(bool quiet, bool terminal);

  void errorBox(const char* text) override;
  void infoBox(const char* text) override;
  void enableControls(bool) override {}
  void progressRange(std::uint16_t maximum) override { range_ = maximum; }
  void progressPosition(std::int32_t position) override;

  void lineOpens();
  void lineCloses();
  bool errorShown() const { return errorShown_; }

 private:
  bool quiet_;
  bool errorShown_ = false;
  std::uint16_t range_ = 0;
  ProgressDisplay progress_;
};

// Passes every call to `inner`, and the start and end of the line to the operator.
class OperatorClock final : public Clock {
 public:
  OperatorClock(Clock& inner, TerminalOperator& op) : inner_(inner), op_(op) {}
  void pause(unsigned ms) override { inner_.pause(ms); }
  std::int64_t nowMicros() override { return inner_.nowMicros(); }
  void pauseUntil(std::int64_t deadline) override { inner_.pauseUntil(deadline); }
  void uploadBegins() override {
    inner_.uploadBegins();
    op_.lineOpens();
  }
  void uploadEnds() override {
    inner_.uploadEnds();
    op_.lineCloses();
  }

 private:
  Clock& inner_;
  TerminalOperator& op_;
};

// Writes an error text as "error: FIRST LINE", then its other non-empty lines
// indented below it.
void printError(std::FILE* out, const char* text);
