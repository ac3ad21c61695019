// FTDI adapters through libftdi1 and libusb, with no vendor library and no
// kernel serial driver: the kernel's ftdi_sio is detached from the adapter
// while it is held and given back when it is closed.
#pragma once

#include <memory>
#include <string>

#include "drivers/registry.h"
#include "engine/adapter.h"

// The registry's maker: "ftdi" takes no argument and no options.
std::unique_ptr<Adapter> makeFtdi(const std::string& argument, const DriverSettings& given,
                                  std::string& error);
