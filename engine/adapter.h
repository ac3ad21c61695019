// An adapter: one USB-to-DMX interface, network node or simulation, as one
// object that holds all of its state. Its calls are the D2XX-shaped set the
// link makes (the Windows programs load FTDI's library, whose calls these
// are); each driver implements them for its own kind of adapter, so two
// adapters, of one kind or of two, can be open at once in one process.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <optional>
#include <string>

#include "engine/clock.h"
#include "engine/ftd2xx_types.h"

// A line whose frames can be watched as they go out: the simulated
// adapter's, on which a front end puts virtual devices.
class SimulatedLine {
 public:
  using Sink = std::function<void(const std::uint8_t* bytes, std::size_t length)>;
  virtual ~SimulatedLine() = default;
  // The address the simulated device was given; 0: that of the upload.
  virtual int deviceAddress() const = 0;
  // Every frame written, after its break, goes to `sink`; null to stop.
  virtual void watch(Sink sink) = 0;
  // Stops keeping a record of every call (it grows with every write).
  virtual void keepNoRecord() = 0;
};

class Adapter {
 public:
  Adapter(const char* name, const char* library) : name_(name), library_(library) {}
  virtual ~Adapter() = default;
  Adapter(const Adapter&) = delete;
  Adapter& operator=(const Adapter&) = delete;

  // Registry name: "d2xx", "sim", "ftdi", ...
  const char* name() const { return name_; }
  // What load() brings in, named in "cannot load" lines.
  const char* library() const { return library_; }

  // Makes the calls below usable (loads a library, opens the network, ...).
  // False when that is impossible; the link then reports the driver missing.
  virtual bool load() { return true; }

  virtual FT_STATUS FT_ListDevices(void* pArg1, void* pArg2, FT_DWORD Flags) = 0;
  virtual FT_STATUS FT_OpenEx(void* pArg1, FT_DWORD Flags, FT_HANDLE* pHandle) = 0;
  virtual FT_STATUS FT_SetBaudRate(FT_HANDLE ftHandle, std::uint32_t BaudRate) = 0;
  virtual FT_STATUS FT_SetDataCharacteristics(FT_HANDLE ftHandle, std::uint8_t WordLength,
                                              std::uint8_t StopBits, std::uint8_t Parity) = 0;
  virtual FT_BOOL FT_W32_EscapeCommFunction(FT_HANDLE ftHandle, FT_DWORD dwFunc) = 0;
  virtual FT_BOOL FT_W32_SetCommBreak(FT_HANDLE ftHandle) = 0;
  virtual FT_BOOL FT_W32_ClearCommBreak(FT_HANDLE ftHandle) = 0;
  virtual FT_STATUS FT_Write(FT_HANDLE ftHandle, void* lpBuffer, FT_DWORD dwBytesToWrite,
                             FT_DWORD* lpdwBytesWritten) = 0;
  virtual FT_STATUS FT_Close(FT_HANDLE ftHandle) = 0;

  // Whether a call may block for long (a USB transfer, a serial port that
  // does not drain): such an adapter gets a thread of its own when many
  // lines run at once, so that it cannot hold the others up.
  virtual bool callsMayBlock() const { return true; }

  // A person-readable reason for the last failed call (libftdi's error
  // string, errno text, ...); "" when the driver has none.
  virtual const char* lastError() const { return ""; }

  // What a person can do about a failed opening, as whole log lines (each
  // ending with a line break), logged after the reason; "" when the reason
  // already says it.
  virtual std::string openingAdvice() const { return ""; }

  // More about the adapter listed in slot `index` of the last listing, for
  // a person reading the list (product string, where it is plugged in); ""
  // when the driver knows nothing more.
  virtual std::string listingDetail(std::size_t /*index*/) const { return ""; }

  // The simulated line behind this adapter, when it is one; null for real hardware.
  virtual SimulatedLine* simulatedLine() { return nullptr; }

  // Once open: the IPv4 address (host byte order) of the node this line's
  // packets go to, when other lines may send to the same node (an Art-Net
  // node's port, sACN to one host), so that the packets to one node can be
  // spaced; nothing for a line of its own (USB, simulated, a multicast group).
  virtual std::optional<std::uint32_t> nodeAddress() const { return std::nullopt; }

  // The clock the driver stamps and times with: the line's, set when the
  // line starts using the adapter; the machine's until then.
  void useClock(Clock& clock) { clock_ = &clock; }
  Clock& clock() const { return *clock_; }

 private:
  const char* name_;
  const char* library_;
  Clock* clock_ = &realClock();
};

// Writes `text` into slot `index` of a listing's slot array (FT_LIST_ALL's
// pArg1: text pointers ending with a null one); false when the array has no
// such slot. Each slot holds 64 bytes, so longer texts are cut to 63.
bool putListed(void* pArg1, std::size_t index, const std::string& text);
