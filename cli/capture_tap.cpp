#include "cli/capture_tap.h"

namespace {

const AdapterTable* inner = nullptr;
CaptureWriter* writer = nullptr;

bool load() { return inner->load == nullptr || inner->load(); }

FT_STATUS FTAPI listDevices(void* a, void* b, FT_DWORD flags) {
  return inner->FT_ListDevices(a, b, flags);
}

FT_STATUS FTAPI openEx(void* a, FT_DWORD flags, FT_HANDLE* handle) {
  return inner->FT_OpenEx(a, flags, handle);
}

FT_STATUS FTAPI setBaudRate(FT_HANDLE h, std::uint32_t baud) {
  return inner->FT_SetBaudRate(h, baud);
}

FT_STATUS FTAPI setDataCharacteristics(FT_HANDLE h, std::uint8_t bits, std::uint8_t stop,
                                       std::uint8_t parity) {
  return inner->FT_SetDataCharacteristics(h, bits, stop, parity);
}

FT_BOOL FTAPI escapeCommFunction(FT_HANDLE h, FT_DWORD func) {
  return inner->FT_W32_EscapeCommFunction(h, func);
}

FT_BOOL FTAPI setBreak(FT_HANDLE h) { return inner->FT_W32_SetCommBreak(h); }
FT_BOOL FTAPI clearBreak(FT_HANDLE h) { return inner->FT_W32_ClearCommBreak(h); }

FT_STATUS FTAPI write(FT_HANDLE h, void* buffer, FT_DWORD length, FT_DWORD* written) {
  // Stamped when the write is issued: a real adapter's call may return later.
  const std::int64_t issued = wallClockMicros();
  const FT_STATUS status = inner->FT_Write(h, buffer, length, written);
  if (status == FT_OK) writer->write(issued, static_cast<const std::uint8_t*>(buffer), length);
  return status;
}

FT_STATUS FTAPI close(FT_HANDLE h) { return inner->FT_Close(h); }

const char* lastError() { return inner->lastError != nullptr ? inner->lastError() : ""; }

AdapterTable tap;

}  // namespace

const AdapterTable& captureTap(const AdapterTable& innerTable, CaptureWriter& captureWriter) {
  inner = &innerTable;
  writer = &captureWriter;
  tap = AdapterTable{innerTable.name,
                     innerTable.library,
                     load,
                     listDevices,
                     openEx,
                     setBaudRate,
                     setDataCharacteristics,
                     escapeCommFunction,
                     setBreak,
                     clearBreak,
                     write,
                     close,
                     lastError};
  return tap;
}
