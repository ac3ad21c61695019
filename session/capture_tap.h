// A tap on an adapter: every call goes through to the adapter it wraps, and
// each packet that adapter accepts is also written to a capture, stamped by
// the line's clock when the write was issued. Each line has a tap of its
// own around its own adapter.
#pragma once

#include <cstdint>

#include "engine/adapter_wrapper.h"
#include "session/capture_writer.h"

class CaptureTap final : public AdapterWrapper {
 public:
  CaptureTap(Adapter& inner, CaptureWriter& writer) : AdapterWrapper(inner), writer_(writer) {}

  bool load() override;
  FT_STATUS FT_Write(FT_HANDLE h, void* buffer, FT_DWORD length, FT_DWORD* written) override;

 private:
  CaptureWriter& writer_;
  // Wall-clock time at the clock's zero: records carry dates, taken from the
  // clock so that they keep the pauses' spacing.
  std::int64_t unixAtZero_ = 0;
};
