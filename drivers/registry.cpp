#include "drivers/registry.h"

#include "drivers/artnet.h"
#include "drivers/d2xx.h"
#if defined(UPLOADER_WITH_FTDI)
#include "drivers/ftdi.h"
#endif
#include "drivers/sacn.h"
#include "drivers/sim.h"
#if defined(UPLOADER_WITH_TTY)
#include "drivers/tty.h"
#endif

namespace {

const DriverOption kNoOptions[] = {{nullptr, nullptr, nullptr, false, nullptr}};

// One line per driver.
const DriverEntry entries[] = {
    {"d2xx", "d2xx", "FTDI's D2XX library (FTD2XX.dll / libftd2xx.so)", kNoOptions,
     makeD2xxReadingDescriptions},
    {"sim", "sim", "simulated adapter with a virtual device on the line", sim::kOptions, sim::make},
#if defined(UPLOADER_WITH_FTDI)
    {"ftdi", "ftdi", "FTDI adapters through libftdi1 (detaches ftdi_sio while in use)", kNoOptions,
     makeFtdi},
#endif
#if defined(UPLOADER_WITH_TTY)
    {"tty", "tty:PATH", "a serial port such as /dev/ttyUSB0 (ftdi_sio or any UART)", kNoOptions,
     makeTty},
#endif
    {"artnet", "artnet:HOST[:PORT-ADDRESS]", "an Art-Net node (ArtNzs, UDP 6454)", kNoOptions,
     artnet::make},
    {"sacn", "sacn:UNIVERSE[@HOST]", "sACN (E1.31) nodes, multicast or to HOST", sacn::kOptions,
     sacn::make},
    {nullptr, nullptr, nullptr, nullptr, nullptr},
};

}  // namespace

const DriverEntry* driverEntries() { return entries; }

const DriverEntry* findDriver(const std::string& argument) {
  const std::string prefix = argument.substr(0, argument.find(':'));
  for (const DriverEntry* e = entries; e->prefix != nullptr; ++e)
    if (prefix == e->prefix) return e;
  return nullptr;
}

const DriverEntry* driverOfOption(const std::string& name, const DriverOption** option) {
  for (const DriverEntry* e = entries; e->prefix != nullptr; ++e)
    for (const DriverOption* o = e->options; o->name != nullptr; ++o)
      if (name == o->name) {
        if (option != nullptr) *option = o;
        return e;
      }
  return nullptr;
}

std::unique_ptr<Adapter> makeAdapter(const std::string& argument, const DriverSettings& settings,
                                     std::string& error) {
  const DriverEntry* e = findDriver(argument);
  if (e == nullptr) {
    error = "unknown adapter \"" + argument + "\"";
    return nullptr;
  }
  const std::size_t colon = argument.find(':');
  return e->make(colon == std::string::npos ? "" : argument.substr(colon + 1), settings, error);
}

const char* defaultAdapterName() {
#if defined(UPLOADER_WITH_FTDI)
  return "ftdi";
#else
  return "d2xx";
#endif
}

bool parseWholeNumber(const std::string& text, long low, long high, long& out) {
  if (text.empty() || text.size() > 9) return false;
  long n = 0;
  for (char c : text) {
    if (c < '0' || c > '9') return false;
    n = n * 10 + (c - '0');
  }
  if (n < low || n > high) return false;
  out = n;
  return true;
}

const std::string* settingValue(const DriverSettings& settings, const char* name) {
  for (const DriverSetting& s : settings)
    if (s.name == name) return &s.value;
  return nullptr;
}
