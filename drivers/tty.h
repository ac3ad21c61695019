// A serial port the kernel exposes, such as /dev/ttyUSB0 from ftdi_sio:
// "tty:PATH". Linux only (termios2 for the 250 000 baud rate).
#pragma once

#include <string>

#include "engine/adapter_table.h"

// The table for the port at `path`; null with `error` filled in when the
// path is unusable. The listing reports just this path.
const AdapterTable* ttyAdapter(const std::string& path, std::string& error);
