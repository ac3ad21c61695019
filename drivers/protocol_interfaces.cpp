#include "drivers/protocol_interfaces.h"

#include <algorithm>
#include <cctype>

namespace protocol_interfaces {
namespace {

struct Known {
  const char* part;    // found anywhere in the product string, case ignored
  const char* family;  // named in the refusal
};

// The one list of refused interfaces (docs/adapters.md names them too).
// "DMX USB PRO" covers the Pro and the Pro Mk2; "ultraDMX" every DMXking
// ultraDMX (Micro, Pro, RDM Pro), all of them Pro-compatible.
const Known kKnown[] = {
    {"DMX USB PRO", "Enttec DMX USB Pro"},
    {"RDM USB PRO", "Enttec RDM USB Pro"},
    {"DMXIS", "Enttec DMXIS"},
    {"ultraDMX", "DMXking ultraDMX"},
};

std::string lower(std::string text) {
  std::transform(text.begin(), text.end(), text.begin(),
                 [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
  return text;
}

}  // namespace

const char* familyOf(const std::string& productString) {
  const std::string have = lower(productString);
  for (const Known& k : kKnown)
    if (have.find(lower(k.part)) != std::string::npos) return k.family;
  return nullptr;
}

std::string refusal(const std::string& productString) {
  const char* family = familyOf(productString);
  if (family == nullptr) return "";
  return "\"" + productString + "\" names an interface of the " + family +
         " kind: its own microcontroller takes a message protocol and makes the "
         "line itself, so the uploader's frames would never reach the fixture. Use a plain "
         "FTDI-based USB-to-DMX cable (\"Open DMX\" style) or an Art-Net or sACN node";
}

}  // namespace protocol_interfaces
