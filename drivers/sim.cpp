#include "drivers/sim.h"

#include <chrono>
#include <cstring>

namespace sim {
namespace {

Settings current;
std::vector<Record> calls;
std::size_t writes = 0;
std::function<std::int64_t()> timeSource;
std::function<void(const std::uint8_t*, std::size_t, std::int64_t)> lineSink;
int openCount = 0;
char handleToken;  // the one handle this adapter hands out
std::string why;

std::int64_t now() {
  if (timeSource) return timeSource();
  using namespace std::chrono;
  return duration_cast<microseconds>(steady_clock::now().time_since_epoch()).count();
}

FT_STATUS note(Call call, FT_STATUS status, std::uint32_t a = 0, std::uint32_t b = 0,
               std::uint32_t c = 0) {
  if (current.keepRecord) calls.push_back(Record{call, now(), {a, b, c}, {}, {}, status});
  return status;
}

bool validHandle(FT_HANDLE h) { return h == &handleToken && openCount > 0; }

FT_STATUS FTAPI listDevices(void* pArg1, void* pArg2, FT_DWORD flags) {
  if (current.failList) {
    why = "listing refused (simulated failure)";
    return note(Call::list, FT_OTHER_ERROR, flags);
  }
  char** slots = static_cast<char**>(pArg1);
  std::int32_t n = 0;
  for (const std::string& serial : current.serials) {
    if (slots[n] == nullptr) break;
    std::strncpy(slots[n], serial.c_str(), 63);
    slots[n][63] = '\0';
    ++n;
  }
  *static_cast<std::int32_t*>(pArg2) = static_cast<std::int32_t>(current.serials.size());
  return note(Call::list, FT_OK, flags);
}

FT_STATUS FTAPI openEx(void* pArg1, FT_DWORD flags, FT_HANDLE* handle) {
  const char* serial = static_cast<const char*>(pArg1);
  FT_STATUS status = FT_OK;
  if (current.failOpen) {
    why = "opening refused (simulated failure)";
    status = FT_DEVICE_NOT_OPENED;
  } else {
    status = FT_DEVICE_NOT_FOUND;
    why = std::string("no simulated adapter has serial \"") + serial + "\"";
    for (const std::string& s : current.serials)
      if (s == serial) status = FT_OK;
  }
  if (status == FT_OK) {
    ++openCount;
    *handle = &handleToken;
  }
  if (current.keepRecord)
    calls.push_back(Record{Call::open, now(), {flags, 0, 0}, serial, {}, status});
  return status;
}

FT_STATUS FTAPI setBaudRate(FT_HANDLE h, std::uint32_t baud) {
  return note(Call::setBaudRate, validHandle(h) ? FT_OK : FT_INVALID_HANDLE, baud);
}

FT_STATUS FTAPI setDataCharacteristics(FT_HANDLE h, std::uint8_t bits, std::uint8_t stop,
                                       std::uint8_t parity) {
  return note(Call::setDataCharacteristics, validHandle(h) ? FT_OK : FT_INVALID_HANDLE, bits, stop,
              parity);
}

FT_BOOL FTAPI escapeCommFunction(FT_HANDLE h, FT_DWORD func) {
  return static_cast<FT_BOOL>(note(Call::escapeCommFunction, validHandle(h) ? 1 : 0, func));
}

FT_BOOL FTAPI setBreak(FT_HANDLE h) {
  return static_cast<FT_BOOL>(note(Call::setBreak, validHandle(h) ? 1 : 0));
}

FT_BOOL FTAPI clearBreak(FT_HANDLE h) {
  return static_cast<FT_BOOL>(note(Call::clearBreak, validHandle(h) ? 1 : 0));
}

FT_STATUS FTAPI write(FT_HANDLE h, void* buffer, FT_DWORD length, FT_DWORD* written) {
  ++writes;
  FT_STATUS status = validHandle(h) ? FT_OK : FT_INVALID_HANDLE;
  if (status == FT_OK && current.failWritesFrom > 0 &&
      writes >= static_cast<std::size_t>(current.failWritesFrom)) {
    why = "write refused (simulated failure)";
    status = FT_IO_ERROR;
  }
  const auto* bytes = static_cast<const std::uint8_t*>(buffer);
  const std::int64_t t = now();
  *written = status == FT_OK ? length : 0;
  if (current.keepRecord)
    calls.push_back(Record{Call::write, t, {length, 0, 0}, {}, {bytes, bytes + length}, status});
  if (status == FT_OK && lineSink) lineSink(bytes, length, t);
  return status;
}

FT_STATUS FTAPI close(FT_HANDLE h) {
  const bool valid = validHandle(h);
  if (valid) --openCount;
  return note(Call::close, valid ? FT_OK : FT_INVALID_HANDLE);
}

const char* lastError() { return why.c_str(); }

const AdapterTable table = {"sim",
                            "the simulated adapter",
                            nullptr,
                            listDevices,
                            openEx,
                            setBaudRate,
                            setDataCharacteristics,
                            escapeCommFunction,
                            setBreak,
                            clearBreak,
                            write,
                            close,
                            lastError};

}  // namespace

Settings& settings() { return current; }

void reset() {
  current = Settings{};
  calls.clear();
  calls.shrink_to_fit();
  writes = 0;
  openCount = 0;
  why.clear();
}

const std::vector<Record>& record() { return calls; }
std::size_t writeCount() { return writes; }
void setTimeSource(std::function<std::int64_t()> nowMicros) { timeSource = std::move(nowMicros); }
void setLineSink(std::function<void(const std::uint8_t*, std::size_t, std::int64_t)> sink) {
  lineSink = std::move(sink);
}
const AdapterTable& adapter() { return table; }

}  // namespace sim
