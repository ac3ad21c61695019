// FTDI adapters through libftdi1 and libusb, with no vendor library and no
// kernel serial driver: the kernel's ftdi_sio is detached from the adapter
// while it is held and given back when it is closed.
#pragma once

#include "engine/adapter_table.h"

const AdapterTable& ftdiAdapter();
