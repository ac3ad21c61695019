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
#include <string>

#include "engine/adapter_table.h"

// Uses the CID written in `text` ("xxxxxxxx-xxxx-xxxx-xxxx-xxxxxxxxxxxx")
// instead of the one kept in the user's settings folder; an empty text goes
// back to the kept one. False with `error` filled in when `text` is no CID.
bool sacnSetCid(const std::string& text, std::string& error);

namespace sacn {

struct Settings {
  std::uint16_t port = 5568;  // where receivers listen; tests move it
};
Settings& settings();

// The table for the text after "sacn:"; null with `error` filled in when the
// universe is not 1 to 63999 or the host is missing after "@".
const AdapterTable* make(const std::string& argument, std::string& error);

}  // namespace sacn
