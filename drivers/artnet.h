// The Art-Net driver ("artnet:HOST[:PORT-ADDRESS]"): each frame written
// goes to one Art-Net node as one ArtNzs packet, which the node puts on its
// DMX512 output with the given port address as one packet after a break.
// Listing sends ArtPoll to HOST (a node or a broadcast address) and lists
// the nodes that answer; opening takes the node's address from the listed
// text. The line set-up and break calls do nothing: the node makes the line.
#pragma once

#include <cstdint>
#include <string>

#include "engine/adapter_table.h"

namespace artnet {

struct Settings {
  std::uint16_t nodePort = 6454;   // where nodes listen
  std::uint16_t replyPort = 6454;  // where replies to ArtPoll are awaited (0: any free port)
  unsigned pollWindowMs = 3000;    // how long a listing waits for replies at most
  unsigned settleMs = 200;         // after a named node answered, how long to wait for more
};
// The ports and waits in use; tests move them off the well-known port.
Settings& settings();

// The table for the text after "artnet:"; null with `error` filled in when
// the text names no host or an impossible port address.
const AdapterTable* make(const std::string& argument, std::string& error);

}  // namespace artnet
