// FTDI's own D2XX library, loaded when an upload first needs it:
// FTD2XX.dll on Windows, libftd2xx.so on Linux. A machine without it still
// runs the program; the upload then reports the library missing.
#pragma once

#include <memory>
#include <string>

#include "drivers/registry.h"
#include "engine/adapter.h"

// The adapter as the window programs use it: "d2xx" takes no argument and
// no options, and only the calls the window programs have always made are made.
std::unique_ptr<Adapter> makeD2xx(const std::string& argument, const DriverSettings& given,
                                  std::string& error);
// The registry's maker, for the command line: after each listing it also
// reads every adapter's description (FT_LIST_BY_INDEX | FT_OPEN_BY_DESCRIPTION),
// shows it in listings and refuses to open an interface that takes a
// protocol of its own (drivers/protocol_interfaces.h).
std::unique_ptr<Adapter> makeD2xxReadingDescriptions(const std::string& argument,
                                                     const DriverSettings& given,
                                                     std::string& error);
