// FTDI's own D2XX library, loaded when first used: FTD2XX.dll on Windows,
// libftd2xx.so on Linux. A machine without it still runs the program; the
// upload then reports the library missing.
#pragma once

#include "engine/adapter_table.h"

const AdapterTable& d2xxAdapter();
