// The Art-Net driver ("artnet:HOST[:PORT-ADDRESS]"): each frame written
// goes to one Art-Net node as one ArtNzs packet, which the node puts on its
// DMX512 output with the given port address as one packet after a break.
// Listing sends ArtPoll to HOST (a node or a broadcast address) and lists
// the nodes that answer; opening takes the node's address from the listed
// text. The line set-up and break calls do nothing: the node makes the line.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "drivers/registry.h"
#include "engine/adapter.h"

namespace artnet {

struct Settings {
  std::uint16_t nodePort = 6454;   // where nodes listen
  std::uint16_t replyPort = 6454;  // where replies to ArtPoll are awaited (0: any free port)
  unsigned pollWindowMs = 3000;    // how long a listing waits for replies at most
  unsigned settleMs = 200;         // after a named node answered, how long to wait for more
};

// "artnet:HOST:all": a line for every output port of the node.
inline constexpr const char* kAllPorts = "all";

// Reads the text after "artnet:": the node's host and the port address (0
// when left out); false with `error` when it names no host or an impossible
// port address.
bool parseTarget(const std::string& argument, std::string& host, std::uint16_t& portAddress,
                 std::string& error);

// The adapter for the text after "artnet:", with the ports and waits of
// `settings` (tests move them off the well-known port); null with `error`
// filled in when the text names no host or an impossible port address.
std::unique_ptr<Adapter> makeWith(const std::string& argument, const Settings& settings,
                                  std::string& error);
// The nodes that answer an ArtPoll at `host` and the output ports each
// lists (every reply of a node with more than four ports, by bind index),
// each as the adapter argument that makes it a line, with whether RDM is
// on there. False with `why` when the poll failed or nobody answered.
bool nodeLinesWith(const std::string& host, const Settings& settings,
                   std::vector<ListedNode>& nodes, std::string& why);
bool nodeLines(const std::string& host, std::vector<ListedNode>& nodes, std::string& why);

// The registry's maker: the well-known port and waits; no options.
std::unique_ptr<Adapter> make(const std::string& argument, const DriverSettings& given,
                              std::string& error);

}  // namespace artnet
