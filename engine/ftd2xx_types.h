// The D2XX types and constants the adapter link uses, declared from FTDI's
// D2XX Programmer's Guide. FTDI's own header is not used: the library is
// loaded at run time and only these few calls are needed.
#pragma once

#include <cstdint>

#if defined(_WIN32)
#define FTAPI __stdcall
#else
#define FTAPI
#endif

using FT_STATUS = std::uint32_t;  // ULONG on every platform D2XX supports
using FT_HANDLE = void*;
using FT_DWORD = std::uint32_t;
using FT_BOOL = std::int32_t;  // Win32 BOOL: non-zero is success

inline constexpr FT_STATUS FT_OK = 0;
inline constexpr FT_STATUS FT_INVALID_HANDLE = 1;
inline constexpr FT_STATUS FT_DEVICE_NOT_FOUND = 2;
inline constexpr FT_STATUS FT_DEVICE_NOT_OPENED = 3;
inline constexpr FT_STATUS FT_IO_ERROR = 4;
inline constexpr FT_STATUS FT_INVALID_PARAMETER = 6;
inline constexpr FT_STATUS FT_OTHER_ERROR = 18;

inline constexpr FT_DWORD FT_OPEN_BY_SERIAL_NUMBER = 1;
inline constexpr FT_DWORD FT_OPEN_BY_DESCRIPTION = 2;
inline constexpr FT_DWORD FT_LIST_ALL = 0x20000000;
inline constexpr FT_DWORD FT_LIST_BY_INDEX = 0x40000000;

inline constexpr std::uint8_t FT_BITS_8 = 8;
inline constexpr std::uint8_t FT_STOP_BITS_2 = 2;
inline constexpr std::uint8_t FT_PARITY_NONE = 0;

inline constexpr FT_DWORD FT_CLRRTS = 4;  // FT_W32_EscapeCommFunction: clear RTS
