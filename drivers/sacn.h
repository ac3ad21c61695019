// The sACN driver ("sacn:UNIVERSE[@HOST]"): each frame written goes out as
// one ANSI E1.31 data packet whose property values are the frame itself
// (its START code, then its slots), to the universe's multicast group
// 239.255.hi.lo or to HOST, on UDP port 5568. The source keeps one CID from
// run to run, is named "uploader", sends at priority 100 and numbers its
// packets per universe. Closing sends the three Stream_Terminated packets
// E1.31 asks of a source that stops. Line set-up and break calls do
// nothing: the node makes the line.
#pragma once

#include <cstdint>
#include <memory>
#include <string>

#include "drivers/registry.h"
#include "engine/adapter.h"

namespace sacn {

struct Settings {
  std::uint16_t port = 5568;  // where receivers listen; tests move it
  // The source's CID as text ("xxxxxxxx-xxxx-xxxx-xxxx-xxxxxxxxxxxx");
  // empty: the one kept in the user's settings folder.
  std::string cid;
};

// --cid.
extern const DriverOption kOptions[];

// The adapter for the text after "sacn:" with `settings`; null with `error`
// filled in when the universe is not 1 to 63999, the host is missing after
// "@", or the CID given is no CID.
std::unique_ptr<Adapter> makeWith(const std::string& argument, const Settings& settings,
                                  std::string& error);
// The registry's maker: port 5568, and the CID --cid gives.
std::unique_ptr<Adapter> make(const std::string& argument, const DriverSettings& given,
                              std::string& error);

}  // namespace sacn
