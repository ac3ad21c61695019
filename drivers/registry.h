// The driver registry: maps an adapter name given by a person ("sim",
// "d2xx", "ftdi", "tty:/dev/ttyUSB0", ...) to a driver's adapter table.
#pragma once

#include <string>

#include "engine/adapter_table.h"

struct DriverEntry {
  const char* prefix;   // "sim", or "tty" for "tty:PATH"
  const char* usage;    // how it is written, for help texts: "tty:PATH"
  const char* summary;  // one line for help texts
  // Builds the table for the text after "prefix:" (empty when none);
  // null with `error` filled in when the argument is unusable.
  const AdapterTable* (*make)(const std::string& argument, std::string& error);
};

// All drivers built into this program, ending with an entry whose prefix is null.
const DriverEntry* driverEntries();
// The adapter named by `name`; null with `error` filled in when there is none.
const AdapterTable* findAdapter(const std::string& name, std::string& error);
// The driver used when none is named.
const char* defaultAdapterName();
