// After a failed opening each driver gives its own advice; only FTDI's D2XX
// library is told about ftdi_sio, in the very lines the window programs log.
#include <gtest/gtest.h>

#include "drivers/d2xx.h"
#include "drivers/protocol_interfaces.h"
#include "drivers/registry.h"
#include "engine/adapter_wrapper.h"

namespace {

std::unique_ptr<Adapter> made(const std::string& argument, DriverSettings given = {}) {
  std::string error;
  std::unique_ptr<Adapter> a = makeAdapter(argument, given, error);
  EXPECT_NE(a, nullptr) << error;
  return a;
}

TEST(OpeningAdvice, FtdisLibraryKeepsTheWindowProgramsLines) {
  std::string error;
  const std::string lines =
      "Use lsmod to check if ftdi_sio (and usbserial) are present.\n"
      "If so, unload them using rmmod, as they conflict with ftd2xx.\n";
  EXPECT_EQ(makeD2xx("", {}, error)->openingAdvice(), lines);
  EXPECT_EQ(made("d2xx")->openingAdvice(), lines);
}

TEST(OpeningAdvice, EveryOtherDriverGivesItsOwn) {
  EXPECT_EQ(made("sim", {{"--sim-fail", "open"}})->openingAdvice(),
            "--sim-fail open: the simulated adapter refuses every opening.\n");
  EXPECT_EQ(made("sim")->openingAdvice(),
            "The simulated adapter is listed as SIM00001 only; --serial must name it.\n");
  for (const char* node : {"artnet:10.0.0.5", "sacn:1"}) {
    const std::string advice = made(node)->openingAdvice();
    EXPECT_NE(advice.find("node's address"), std::string::npos) << node;
    EXPECT_EQ(advice.find("rmmod"), std::string::npos) << node;
  }
  // A wrapper (the capture tap) passes the advice on.
  std::unique_ptr<Adapter> sim = made("sim", {{"--sim-none", ""}});
  AdapterWrapper wrapped(*sim);
  EXPECT_EQ(wrapped.openingAdvice(), "--sim-none: no simulated adapter is attached.\n");
}

TEST(ProtocolInterfaces, AreKnownByTheirProductStrings) {
  for (const char* refused :
       {"DMX USB PRO", "DMX USB PRO Mk2", "dmx usb pro", "ultraDMX Micro", "ultraDMX RDM Pro",
        "DMXking.com ultraDMX2 PRO", "RDM USB PRO", "DMXIS"})
    EXPECT_NE(protocol_interfaces::familyOf(refused), nullptr) << refused;
  for (const char* plain : {"FT232R USB UART", "USB <-> Serial", "OPEN DMX USB", "", "DMX USB"})
    EXPECT_EQ(protocol_interfaces::familyOf(plain), nullptr) << plain;

  const std::string why = protocol_interfaces::refusal("DMX USB PRO Mk2");
  EXPECT_NE(why.find("\"DMX USB PRO Mk2\" names an interface of the Enttec DMX USB Pro kind"),
            std::string::npos)
      << why;
  EXPECT_NE(why.find("\"Open DMX\" style"), std::string::npos) << why;
  EXPECT_EQ(why.find('\n'), std::string::npos);
  EXPECT_EQ(protocol_interfaces::refusal("FT232R USB UART"), "");
}

}  // namespace
