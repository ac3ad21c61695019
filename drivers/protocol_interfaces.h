// USB-DMX interfaces that carry a microcontroller of their own. They sit
// behind an FTDI chip on FTDI's vendor and product ids, so they list and
// open like a plain adapter, but they take a packet protocol over USB and
// make the DMX512 line themselves: raw frames written to them never reach
// the line, and an upload through one would end in a false DONE. The
// drivers that can read an adapter's product string refuse these.
#pragma once

#include <string>

namespace protocol_interfaces {

// The product string's family when it names such an interface ("Enttec
// DMX USB Pro", ...); null when it does not. Case is ignored.
const char* familyOf(const std::string& productString);

// Why an adapter with this product string is refused and what works
// instead, one line; "" when it is not refused.
std::string refusal(const std::string& productString);

}  // namespace protocol_interfaces
