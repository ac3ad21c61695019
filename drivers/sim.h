// The simulated adapter: a dry-run backend that lists and opens like a real
// one, takes every call, and records each with a time stamp from its clock.
// It can be told to fail the listing, the opening or the writes, so that
// every failure path can be seen without hardware. Frames written reach an
// optional line sink (the command line puts a virtual device there).
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "drivers/registry.h"
#include "engine/adapter.h"

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
  std::int64_t micros;              // time of the call
  std::uint32_t args[3];            // numeric arguments, in the call's order
  std::string text;                 // serial number given to open
  std::vector<std::uint8_t> bytes;  // bytes given to write
  FT_STATUS status;                 // what the call answered (1/0 for the BOOL calls)
};

struct Settings {
  std::vector<std::string> serials{"SIM00001"};  // listed in this order
  bool failLoad = false;                         // as a driver whose library is missing
  bool failList = false;
  bool failOpen = false;
  long failWritesFrom = 0;  // 0: writes succeed; N: the Nth write (from 1) and all later fail
  bool keepRecord = true;   // record every call (turn off for long runs)
  int deviceAddress = 0;    // the virtual device's address; 0: the upload's
};

using LineSink = std::function<void(const std::uint8_t*, std::size_t, std::int64_t)>;

class SimAdapter final : public Adapter, public SimulatedLine {
 public:
  explicit SimAdapter(Settings settings = {});

  bool load() override;
  FT_STATUS FT_ListDevices(void* pArg1, void* pArg2, FT_DWORD Flags) override;
  FT_STATUS FT_OpenEx(void* pArg1, FT_DWORD Flags, FT_HANDLE* pHandle) override;
  FT_STATUS FT_SetBaudRate(FT_HANDLE h, std::uint32_t baud) override;
  FT_STATUS FT_SetDataCharacteristics(FT_HANDLE h, std::uint8_t bits, std::uint8_t stop,
                                      std::uint8_t parity) override;
  FT_BOOL FT_W32_EscapeCommFunction(FT_HANDLE h, FT_DWORD func) override;
  FT_BOOL FT_W32_SetCommBreak(FT_HANDLE h) override;
  FT_BOOL FT_W32_ClearCommBreak(FT_HANDLE h) override;
  FT_STATUS FT_Write(FT_HANDLE h, void* buffer, FT_DWORD length, FT_DWORD* written) override;
  FT_STATUS FT_Close(FT_HANDLE h) override;
  const char* lastError() const override { return why_.c_str(); }
  bool callsMayBlock() const override { return false; }
  std::string openingAdvice() const override;
  SimulatedLine* simulatedLine() override { return this; }
  int deviceAddress() const override { return settings_.deviceAddress; }
  void watch(SimulatedLine::Sink sink) override;
  void keepNoRecord() override { settings_.keepRecord = false; }

  Settings& settings() { return settings_; }
  const std::vector<Record>& record() const { return calls_; }
  std::size_t writeCount() const { return writes_; }
  // Called with every frame written, after its break; null to remove.
  void setLineSink(LineSink sink) { lineSink_ = std::move(sink); }

 private:
  FT_STATUS note(Call call, FT_STATUS status, std::uint32_t a = 0, std::uint32_t b = 0,
                 std::uint32_t c = 0);
  bool validHandle(FT_HANDLE h) const { return h == &handleToken_ && openCount_ > 0; }

  Settings settings_;
  std::vector<Record> calls_;
  std::size_t writes_ = 0;
  LineSink lineSink_;
  int openCount_ = 0;
  char handleToken_ = 0;  // the one handle this adapter hands out
  std::string why_;
};

// --sim-device, --sim-fail, --sim-none.
extern const DriverOption kOptions[];
// The registry's maker: "sim" takes no argument; its options set up the
// listing, the failures and the virtual device's address.
std::unique_ptr<Adapter> make(const std::string& argument, const DriverSettings& given,
                              std::string& error);

}  // namespace sim
