// A serial port the kernel exposes, such as /dev/ttyUSB0 from ftdi_sio:
// "tty:PATH". Linux only (termios2 for the 250 000 baud rate).
#pragma once

#include <memory>
#include <string>

#include "drivers/registry.h"
#include "drivers/tty_system.h"
#include "engine/adapter.h"

// The adapter for the port at `path`, through `system`; null with `error`
// filled in when the path is unusable. The listing reports just this path.
std::unique_ptr<Adapter> makeTtyOn(const std::string& path, TtySystem& system, std::string& error);
// The registry's maker: the port through the kernel's calls.
std::unique_ptr<Adapter> makeTty(const std::string& argument, const DriverSettings& given,
                                 std::string& error);
