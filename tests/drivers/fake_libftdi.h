// A stand-in for libftdi1 and the few libusb calls the ftdi driver makes,
// linked into the driver's tests in place of the real libraries. It holds
// a set of pretend adapters, answers as libftdi 1.5 does (its return codes
// and error strings), and records every call with its arguments.
#pragma once

#include <chrono>
#include <cstdint>
#include <string>
#include <vector>

class Clock;

namespace fake_ftdi {

struct Adapter {
  std::string serial;                       // "" when the chip has no serial string
  bool serialReadable = true;               // false: libusb_open fails while listing
  std::string product = "FT232R USB UART";  // the USB product string (libftdi's description)
  std::uint8_t bus = 1;
  std::vector<std::uint8_t> ports{1};
  std::uint8_t address = 2;
  int openResult = 0;      // what ftdi_usb_open_dev answers
  int openErrno = 0;       // errno it leaves behind
  int baudResult = 0;      // what ftdi_set_baudrate answers
  long unplugAtWrite = 0;  // 0: never; N: pulled out during the Nth write (from 1)
};

struct Call {
  std::string name;                          // the libftdi function
  std::vector<long> args;                    // its numeric arguments, in order
  std::vector<std::uint8_t> bytes;           // what ftdi_write_data was given
  std::string adapter;                       // serial of the adapter it acted on ("" for none)
  std::chrono::steady_clock::time_point at;  // entry; for writes, return (World::clock's time)
  int result = 0;
};

struct World {
  std::vector<Adapter> adapters;
  bool failNew = false;   // ftdi_new returns null (libusb cannot start)
  int findAllResult = 0;  // < 0: ftdi_usb_find_all fails with it
  std::vector<Call> calls;
  int contexts = 0;              // contexts allocated and not yet freed
  int opened = 0;                // adapters opened and not yet closed
  std::vector<int> detachModes;  // module_detach_mode at each ftdi_usb_open_dev
  Clock* clock = nullptr;        // what calls are stamped with; null: steady_clock
};

World& world();
void reset();
// Calls named `name`, in order.
std::vector<const Call*> callsNamed(const std::string& name);

}  // namespace fake_ftdi
