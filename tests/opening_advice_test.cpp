// After a failed opening each driver gives its own advice; only FTDI's D2XX
// library is told about ftdi_sio, in the very lines the window programs log.
#include <gtest/gtest.h>

#include "drivers/d2xx.h"
#include "drivers/protocol_interfaces.h"
#include "drivers/registry.h"
#include "engine/adapter_wrapper.h"

namespace {

std::string adviceOf(const std::string& argument, DriverSettings given = {}) {
  std::string error;
  const std::unique_ptr<Adapter> a = makeAdapter(argument, given, error);
  return a != nullptr ? a->openingAdvice() : error;
}

TEST(OpeningAdvice, FitsTheDriver) {
  const std::string ftd2xx =
      "Use lsmod to check if ftdi_sio (and usbserial) are present.\n"
      "If so, unload them using rmmod, as they conflict with ftd2xx.\n";
  std::string error;
  EXPECT_EQ(makeD2xx("", {}, error)->openingAdvice(), ftd2xx);  // the window programs'
  EXPECT_EQ(adviceOf("d2xx"), ftd2xx);
  EXPECT_EQ(adviceOf("sim", {{"--sim-fail", "open"}}),
            "--sim-fail open: the simulated adapter refuses every opening.\n");
  for (const char* node : {"artnet:10.0.0.5", "sacn:1"})
    EXPECT_NE(adviceOf(node).find("node's address"), std::string::npos) << node;
  // A wrapper (the capture tap) passes it on.
  std::unique_ptr<Adapter> sim = makeAdapter("sim", {{"--sim-none", ""}}, error);
  EXPECT_EQ(AdapterWrapper(*sim).openingAdvice(),
            "--sim-none: no simulated adapter is attached.\n");
}

TEST(ProtocolInterfaces, AreKnownByTheirProductStrings) {
  for (const char* refused : {"DMX USB PRO", "dmx usb pro Mk2", "ultraDMX Micro", "DMXIS"})
    EXPECT_NE(protocol_interfaces::familyOf(refused), nullptr) << refused;
  for (const char* plain : {"FT232R USB UART", "OPEN DMX USB", ""})
    EXPECT_EQ(protocol_interfaces::refusal(plain), "") << plain;
}

}  // namespace
