// The DMX512 link over a line's adapter: list, open, set the line up, send
// frames each after a break, close.
#pragma once

#include <cstddef>
#include <cstdint>

#include "engine/ftd2xx_types.h"

struct Line;

// Makes the adapter's calls usable; logs "Error: cannot load ..." when not.
bool linkLoad(Line& line);
// Lists the adapters into cBufLD / pcBufLD / iNumDevs. Logs on failure.
bool linkList(Line& line);
// Opens the wanted adapter (slot 0 unless wantedSerial is set) into ftHandle[0].
bool linkOpen(Line& line);
// 250 000 baud, 8 data bits, 2 stop bits, no parity, RTS cleared.
void linkSetup(Line& line);
// Break, then the bytes. 1 when the write succeeded, -1 otherwise.
int sendData(Line& line, FT_HANDLE handle, std::uint8_t* data, std::uint32_t length);
// Closes ftHandle[0] and logs the close line.
void linkClose(Line& line);
// Logs the driver's own reason for its last failed call, when it has one.
void linkLogReason(Line& line);
// The serial number the link opens (or opened).
const char* linkSerial(const Line& line);
