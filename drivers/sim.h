// The simulated adapter: a dry-run backend that lists and opens like a real
// one, takes every call, and records each with a time stamp. It can be told
// to fail the listing, the opening or the writes, so that every failure path
// can be seen without hardware. Frames written reach an optional line sink
// (the command line puts a virtual device there).
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "engine/adapter_table.h"

namespace sim {

enum class Call : std::uint8_t {
  list,
  open,
  setBaudRate,
  setDataCharacteristics,
  escapeCommFunction,
  setBreak,
  clearBreak,
  write,
  close
};

struct Record {
  Call call;
  std::int64_t micros;           // time of the call
  std::uint32_t args[3];         // numeric arguments, in the call's order
  std::string text;              // serial number given to open
  std::vector<std::uint8_t> bytes;  // bytes given to write
  FT_STATUS status;              // what the call answered (1/0 for the BOOL calls)
};

struct Settings {
  std::vector<std::string> serials{"SIM00001"};  // listed in this order
  bool failList = false;
  bool failOpen = false;
  long failWritesFrom = 0;  // 0: writes succeed; N: the Nth write (from 1) and all later fail
  bool keepRecord = true;   // record every call (turn off for long runs)
};

Settings& settings();
// Back to the default settings, with an empty record.
void reset();
const std::vector<Record>& record();
std::size_t writeCount();

// Where time stamps come from; the steady clock when not set.
void setTimeSource(std::function<std::int64_t()> nowMicros);
// Called with every frame written, after its break; null to remove.
void setLineSink(std::function<void(const std::uint8_t*, std::size_t, std::int64_t)> sink);

const AdapterTable& adapter();

}  // namespace sim
