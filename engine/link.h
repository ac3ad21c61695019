// The DMX512 link over the adapter table: list, open, set the line up,
// send frames each after a break, close.
#pragma once

#include <cstddef>
#include <cstdint>

#include "engine/ftd2xx_types.h"

// Makes the adapter's calls usable; logs "Error: cannot load ..." when not.
bool linkLoad();
// Lists the adapters into cBufLD / pcBufLD / iNumDevs. Logs on failure.
bool linkList();
// Opens the wanted adapter (slot 0 unless wantedSerial is set) into ftHandle[0].
bool linkOpen();
// 250 000 baud, 8 data bits, 2 stop bits, no parity, RTS cleared.
void linkSetup();
// Break, then the bytes. 1 when the write succeeded, -1 otherwise.
int sendData(FT_HANDLE handle, std::uint8_t* data, std::uint32_t length);
// Closes ftHandle[0] and logs the close line.
void linkClose();
// Logs the driver's own reason for its last failed call, when it has one.
void linkLogReason();
// The serial number the link opens (or opened).
const char* linkSerial();
