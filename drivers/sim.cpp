#include "drivers/sim.h"

#include <cstdio>

#include "files/shown_text.h"

namespace sim {

SimAdapter::SimAdapter(Settings settings)
    : Adapter("sim", "the simulated adapter"), settings_(std::move(settings)) {}

FT_STATUS SimAdapter::note(Call call, FT_STATUS status, std::uint32_t a, std::uint32_t b,
                           std::uint32_t c) {
  if (settings_.keepRecord)
    calls_.push_back(Record{call, clock().nowMicros(), {a, b, c}, {}, {}, status});
  return status;
}

bool SimAdapter::load() {
  if (!settings_.failLoad) return true;
  why_ = "loading refused (simulated failure)";
  return false;
}

FT_STATUS SimAdapter::FT_ListDevices(void* pArg1, void* pArg2, FT_DWORD flags) {
  if (settings_.failList) {
    why_ = "listing refused (simulated failure)";
    return note(Call::list, FT_OTHER_ERROR, flags);
  }
  for (std::size_t i = 0; i < settings_.serials.size(); ++i)
    if (!putListed(pArg1, i, settings_.serials[i])) break;
  *static_cast<std::int32_t*>(pArg2) = static_cast<std::int32_t>(settings_.serials.size());
  return note(Call::list, FT_OK, flags);
}

FT_STATUS SimAdapter::FT_OpenEx(void* pArg1, FT_DWORD flags, FT_HANDLE* handle) {
  const char* serial = static_cast<const char*>(pArg1);
  FT_STATUS status = FT_OK;
  if (settings_.failOpen) {
    why_ = "opening refused (simulated failure)";
    status = FT_DEVICE_NOT_OPENED;
  } else {
    status = FT_DEVICE_NOT_FOUND;
    why_ = settings_.serials.empty() ? std::string("no simulated adapter is attached")
                                     : "no simulated adapter has serial " + files::quoted(serial);
    for (const std::string& s : settings_.serials)
      if (s == serial) status = FT_OK;
  }
  if (status == FT_OK) {
    ++openCount_;
    *handle = &handleToken_;
  }
  if (settings_.keepRecord)
    calls_.push_back(Record{Call::open, clock().nowMicros(), {flags, 0, 0}, serial, {}, status});
  return status;
}

std::string SimAdapter::openingAdvice() const {
  if (settings_.failOpen) return "--sim-fail open: the simulated adapter refuses every opening.\n";
  if (settings_.serials.empty()) return "--sim-none: no simulated adapter is attached.\n";
  std::string names;
  for (const std::string& s : settings_.serials) names += (names.empty() ? "" : ", ") + s;
  return "The simulated adapter is listed as " + names + " only; --serial must name it.\n";
}

FT_STATUS SimAdapter::FT_SetBaudRate(FT_HANDLE h, std::uint32_t baud) {
  return note(Call::setBaudRate, validHandle(h) ? FT_OK : FT_INVALID_HANDLE, baud);
}

FT_STATUS SimAdapter::FT_SetDataCharacteristics(FT_HANDLE h, std::uint8_t bits, std::uint8_t stop,
                                                std::uint8_t parity) {
  return note(Call::setDataCharacteristics, validHandle(h) ? FT_OK : FT_INVALID_HANDLE, bits, stop,
              parity);
}

FT_BOOL SimAdapter::FT_W32_EscapeCommFunction(FT_HANDLE h, FT_DWORD func) {
  return static_cast<FT_BOOL>(note(Call::escapeCommFunction, validHandle(h) ? 1 : 0, func));
}

FT_BOOL SimAdapter::FT_W32_SetCommBreak(FT_HANDLE h) {
  return static_cast<FT_BOOL>(note(Call::setBreak, validHandle(h) ? 1 : 0));
}

FT_BOOL SimAdapter::FT_W32_ClearCommBreak(FT_HANDLE h) {
  return static_cast<FT_BOOL>(note(Call::clearBreak, validHandle(h) ? 1 : 0));
}

FT_STATUS SimAdapter::FT_Write(FT_HANDLE h, void* buffer, FT_DWORD length, FT_DWORD* written) {
  ++writes_;
  FT_STATUS status = validHandle(h) ? FT_OK : FT_INVALID_HANDLE;
  if (status == FT_OK && settings_.failWritesFrom > 0 &&
      writes_ >= static_cast<std::size_t>(settings_.failWritesFrom)) {
    why_ = "write refused (simulated failure)";
    status = FT_IO_ERROR;
  }
  const auto* bytes = static_cast<const std::uint8_t*>(buffer);
  const std::int64_t t = clock().nowMicros();
  *written = status == FT_OK ? length : 0;
  if (settings_.keepRecord)
    calls_.push_back(Record{Call::write, t, {length, 0, 0}, {}, {bytes, bytes + length}, status});
  if (status == FT_OK && lineSink_) lineSink_(bytes, length, t);
  return status;
}

FT_STATUS SimAdapter::FT_Close(FT_HANDLE h) {
  const bool valid = validHandle(h);
  if (valid) --openCount_;
  return note(Call::close, valid ? FT_OK : FT_INVALID_HANDLE);
}

namespace {

bool applyFailure(const std::string& v, Settings& s, std::string& error) {
  static const char kAfter[] = "write-after:";
  long passing = 0;
  if (v == "list") {
    s.failList = true;
  } else if (v == "open") {
    s.failOpen = true;
  } else if (v == "write") {
    s.failWritesFrom = 1;
  } else if (v.rfind(kAfter, 0) == 0) {
    const std::string n = v.substr(sizeof kAfter - 1);
    if (!parseWholeNumber(n, 0, 99'999'999, passing)) {
      error = rangeRefusal("--sim-fail write-after:N", n, 0, 99'999'999);
      return false;
    }
    s.failWritesFrom = passing + 1;
  } else {
    error = "--sim-fail: " + files::quoted(v) + " is not list, open, write or write-after:N";
    return false;
  }
  return true;
}

// The virtual device's address --sim-device gives; false with `error` when out of range.
bool deviceAddressOf(const std::string& value, int& address, std::string& error) {
  long n = 0;
  if (!parseWholeNumber(value, 1, 512, n)) {
    error = rangeRefusal("--sim-device", value, 1, 512);
    return false;
  }
  address = static_cast<int>(n);
  return true;
}

bool checkDevice(const std::string& value, std::string& error) {
  int address = 0;
  return deviceAddressOf(value, address, error);
}

bool checkFailure(const std::string& value, std::string& error) {
  Settings scratch;
  return applyFailure(value, scratch, error);
}

}  // namespace

const DriverOption kOptions[] = {
    {"--sim-device", "N", "sim: address of the virtual device (default: --address)", false,
     checkDevice},
    {"--sim-fail", "WHAT", "sim: fail list, open, write, or write-after:N (N writes pass)", true,
     checkFailure},
    {"--sim-none", nullptr, "sim: no adapter attached", true, nullptr},
    {nullptr, nullptr, nullptr, false, nullptr},
};

std::unique_ptr<Adapter> make(const std::string& argument, const DriverSettings& given,
                              std::string& error) {
  // "sim:N": the Nth simulated line, whose adapter lists a serial of its own.
  long line = 1;
  if (!argument.empty() && !parseWholeNumber(argument, 1, 99999, line)) {
    error = "sim:N takes a line number N from 1, not " + files::quoted(argument);
    return nullptr;
  }
  Settings s;
  char serial[16];
  std::snprintf(serial, sizeof serial, "SIM%05ld", line);
  s.serials = {serial};
  for (const DriverSetting& option : given) {
    if (option.name == "--sim-device") {
      if (!deviceAddressOf(option.value, s.deviceAddress, error)) return nullptr;
    } else if (option.name == "--sim-fail") {
      if (!applyFailure(option.value, s, error)) return nullptr;
    } else if (option.name == "--sim-none") {
      s.serials.clear();
    }
  }
  // With no adapter attached nothing is opened or written to.
  const char* idle = s.deviceAddress != 0                  ? "--sim-device"
                     : s.failOpen || s.failWritesFrom != 0 ? "--sim-fail open or write"
                                                           : nullptr;
  if (s.serials.empty() && idle != nullptr) {
    error = std::string(idle) + " does nothing with --sim-none: no adapter is attached to open";
    return nullptr;
  }
  return std::make_unique<SimAdapter>(std::move(s));
}

}  // namespace sim

namespace sim {

void SimAdapter::watch(SimulatedLine::Sink sink) {
  if (!sink) {
    lineSink_ = nullptr;
    return;
  }
  lineSink_ = [sink = std::move(sink)](const std::uint8_t* bytes, std::size_t n, std::int64_t) {
    sink(bytes, n);
  };
}

}  // namespace sim
