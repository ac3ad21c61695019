#include "session/capture_tap.h"

bool CaptureTap::load() {
  unixAtZero_ = wallClockMicros() - clock().nowMicros();
  return AdapterWrapper::load();
}

FT_STATUS CaptureTap::FT_Write(FT_HANDLE h, void* buffer, FT_DWORD length, FT_DWORD* written) {
  // Stamped when the write is issued: a real adapter's call may return later.
  const std::int64_t issued = unixAtZero_ + clock().nowMicros();
  const FT_STATUS status = AdapterWrapper::FT_Write(h, buffer, length, written);
  if (status == FT_OK) writer_.write(issued, static_cast<const std::uint8_t*>(buffer), length);
  return status;
}
