#include "drivers/registry.h"

#include <filesystem>

#include "drivers/artnet.h"
#include "drivers/d2xx.h"
#include "drivers/e131_wire.h"
#include "drivers/netio.h"
#include "files/shown_text.h"
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

bool artnetRdmPort(const std::string& argument, RdmPort& port, std::string& why) {
  return artnet::parseTarget(argument, port.host, port.portAddress, why);
}

// A host by its address, so that a name and its address are one host; the
// name as written when it cannot be looked up (the opening will say why).
std::string hostKey(const std::string& host) {
  std::string why;
  std::uint32_t address = 0;
  if (!netio::startup(why) || !netio::resolve(host, address, why)) return host;
  return netio::addressText(address);
}

// The node and its port address: "10.0.0.5:1" for artnet:10.0.0.5:0:0:1.
std::string artnetLineKey(const std::string& argument) {
  std::string host;
  std::string why;
  std::uint16_t portAddress = 0;
  if (!artnet::parseTarget(argument, host, portAddress, why)) return "";
  return hostKey(host) + ":" + std::to_string(portAddress);
}

// The universe and where its packets go: "1@239.255.0.1" for sacn:01.
std::string sacnLineKey(const std::string& argument) {
  const std::size_t at = argument.find('@');
  long universe = 0;
  if (!parseWholeNumber(argument.substr(0, at), e131::kMinUniverse, e131::kMaxUniverse, universe))
    return "";
  const std::string to =
      at == std::string::npos
          ? netio::addressText(e131::multicastGroup(static_cast<std::uint16_t>(universe)))
          : hostKey(argument.substr(at + 1));
  return std::to_string(universe) + "@" + to;
}

#if defined(UPLOADER_WITH_TTY)
// The device a path leads to: /dev/serial/by-id/... and /dev/ttyUSB0 are one port.
std::string ttyLineKey(const std::string& argument) {
  std::error_code ec;
  const std::filesystem::path real = std::filesystem::weakly_canonical(argument, ec);
  return ec ? argument : real.string();
}
#endif

// Why a USB or serial adapter does not read fixtures back, after "the NAME adapter".
#define UPLOADER_USB_NO_RDM                                                          \
  " adapter cannot read fixtures back: RDM through a USB or serial adapter needs a " \
  "transceiver wired for RDM and is not supported yet (use --adapter artnet:NODE)"

// One line per driver.
const DriverEntry entries[] = {
    {"d2xx", "d2xx[:SERIAL|:all]", "FTDI's D2XX library (FTD2XX.dll / libftd2xx.so)", kNoOptions,
     makeD2xxReadingDescriptions, LineForm::serialOrAll, true, nullptr,
     ("the d2xx" UPLOADER_USB_NO_RDM)},
    {"sim", "sim[:N]", "simulated adapter (N lines), a virtual device on each line", sim::kOptions,
     sim::make, LineForm::count, true, nullptr,
     ("the simulated adapter has no RDM responders; fixtures are read through --adapter "
      "artnet:NODE")},
#if defined(UPLOADER_WITH_FTDI)
    {"ftdi", "ftdi[:SERIAL|:all]",
     "FTDI adapters through libftdi1 (detaches ftdi_sio while in use)", kNoOptions, makeFtdi,
     LineForm::serialOrAll, true, nullptr, ("the ftdi" UPLOADER_USB_NO_RDM)},
#endif
#if defined(UPLOADER_WITH_TTY)
    {"tty", "tty:PATH", "a serial port such as /dev/ttyUSB0 (ftdi_sio or any UART)", kNoOptions,
     makeTty, LineForm::single, false, nullptr, ("the tty" UPLOADER_USB_NO_RDM), nullptr,
     ttyLineKey},
#endif
    {"artnet", "artnet:HOST[:PORT-ADDRESS]",
     "an Art-Net node (ArtNzs, UDP 6454; HOST:all each port)", kNoOptions, artnet::make,
     LineForm::single, false, artnetRdmPort, nullptr, artnet::nodeLines, artnetLineKey},
    {"sacn", "sacn:UNIVERSE[@HOST]", "sACN (E1.31) nodes, multicast or to HOST", sacn::kOptions,
     sacn::make, LineForm::single, false, nullptr,
     "sACN cannot read fixtures back: E1.31 carries no RDM (use --adapter artnet:NODE)", nullptr,
     sacnLineKey},
    {nullptr, nullptr, nullptr, nullptr, nullptr, LineForm::single, false, nullptr, nullptr},
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

bool adapterRdmPort(const std::string& argument, RdmPort& port, std::string& why) {
  const DriverEntry* e = findDriver(argument);
  if (e == nullptr) {
    why = "unknown adapter \"" + argument + "\"";
    return false;
  }
  const std::size_t colon = argument.find(':');
  const std::string rest = colon == std::string::npos ? "" : argument.substr(colon + 1);
  if (e->rdmPort == nullptr) {
    why = e->noRdm;
    return false;
  }
  if (e->rdmPort(rest, port, why)) return true;
  why = "--adapter: " + why;
  return false;
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

std::string rangeRefusal(const std::string& what, const std::string& text, long low, long high) {
  const std::string range = std::to_string(low) + " to " + std::to_string(high);
  const std::size_t sign = text.size() > 1 && text[0] == '-' ? 1 : 0;
  const bool number =
      text.size() > sign && text.find_first_not_of("0123456789", sign) == std::string::npos;
  if (number) return what + " takes " + range + ", not " + text;
  return what + " takes a number from " + range + ", not " + files::quoted(text);
}

const std::string* settingValue(const DriverSettings& settings, const char* name) {
  for (const DriverSetting& s : settings)
    if (s.name == name) return &s.value;
  return nullptr;
}
