// Which adapters can read fixtures back over RDM: Art-Net nodes only, for
// now. The node and port address an Art-Net adapter names, and our own
// controller UID.
#pragma once

#include <cstdint>
#include <string>

#include "cli/options.h"
#include "drivers/rdm_wire.h"

// The Art-Net host and port address --adapter names; false with `why`
// saying why this adapter cannot read fixtures back (sACN carries no RDM,
// the USB adapters' RDM is not supported) or what is wrong with its text.
bool rdmTarget(const Options& options, std::string& host, std::uint16_t& portAddress,
               std::string& why);
// --rdm-uid, or the default controller UID.
rdm::Uid controllerUid(const Options& options);
