// The adapter table: the D2XX-shaped calls the link makes, one table per
// driver. A driver fills it in; the link never knows which driver it talks to.
#pragma once

#include "engine/ftd2xx_types.h"

struct AdapterTable {
  const char* name;     // registry name: "d2xx", "sim", "ftdi", ...
  const char* library;  // what load() brings in, named in "cannot load" lines

  // Makes the calls below usable (loads a library, opens a socket, ...).
  // Returns false when that is impossible; the link then reports the driver
  // missing. May be null when there is nothing to load.
  bool (*load)();

  FT_STATUS(FTAPI* FT_ListDevices)(void* pArg1, void* pArg2, FT_DWORD Flags);
  FT_STATUS(FTAPI* FT_OpenEx)(void* pArg1, FT_DWORD Flags, FT_HANDLE* pHandle);
  FT_STATUS(FTAPI* FT_SetBaudRate)(FT_HANDLE ftHandle, std::uint32_t BaudRate);
  FT_STATUS(FTAPI* FT_SetDataCharacteristics)
  (FT_HANDLE ftHandle, std::uint8_t WordLength, std::uint8_t StopBits, std::uint8_t Parity);
  FT_BOOL(FTAPI* FT_W32_EscapeCommFunction)(FT_HANDLE ftHandle, FT_DWORD dwFunc);
  FT_BOOL(FTAPI* FT_W32_SetCommBreak)(FT_HANDLE ftHandle);
  FT_BOOL(FTAPI* FT_W32_ClearCommBreak)(FT_HANDLE ftHandle);
  FT_STATUS(FTAPI* FT_Write)
  (FT_HANDLE ftHandle, void* lpBuffer, FT_DWORD dwBytesToWrite, FT_DWORD* lpdwBytesWritten);
  FT_STATUS(FTAPI* FT_Close)(FT_HANDLE ftHandle);

  // Optional: a person-readable reason for the last failed call (libftdi's
  // error string, errno text, ...). Null or "" when the driver has none.
  const char* (*lastError)();
};
