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

const AdapterTable* makeD2xx(const std::string&, std::string&) { return &d2xxAdapter(); }
const AdapterTable* makeSim(const std::string&, std::string&) { return &sim::adapter(); }
#if defined(UPLOADER_WITH_FTDI)
const AdapterTable* makeFtdi(const std::string&, std::string&) { return &ftdiAdapter(); }
#endif

// One line per driver.
const DriverEntry entries[] = {
    {"d2xx", "d2xx", "FTDI's D2XX library (FTD2XX.dll / libftd2xx.so)", makeD2xx},
    {"sim", "sim", "simulated adapter with a virtual device on the line", makeSim},
#if defined(UPLOADER_WITH_FTDI)
    {"ftdi", "ftdi", "FTDI adapters through libftdi1 (detaches ftdi_sio while in use)", makeFtdi},
#endif
#if defined(UPLOADER_WITH_TTY)
    {"tty", "tty:PATH", "a serial port such as /dev/ttyUSB0 (ftdi_sio or any UART)", ttyAdapter},
#endif
    {"artnet", "artnet:HOST[:PORT-ADDRESS]", "an Art-Net node (ArtNzs, UDP 6454)", artnet::make},
    {"sacn", "sacn:UNIVERSE[@HOST]", "sACN (E1.31) nodes, multicast or to HOST", sacn::make},
    {nullptr, nullptr, nullptr, nullptr},
};

}  // namespace

const DriverEntry* driverEntries() { return entries; }

const AdapterTable* findAdapter(const std::string& name, std::string& error) {
  const std::size_t colon = name.find(':');
  const std::string prefix = name.substr(0, colon);
  const std::string argument = colon == std::string::npos ? "" : name.substr(colon + 1);
  for (const DriverEntry* e = entries; e->prefix != nullptr; ++e)
    if (prefix == e->prefix) return e->make(argument, error);
  error = "unknown adapter \"" + name + "\"";
  return nullptr;
}

const char* defaultAdapterName() {
#if defined(UPLOADER_WITH_FTDI)
  return "ftdi";
#else
  return "d2xx";
#endif
}
