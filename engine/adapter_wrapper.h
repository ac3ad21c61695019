// An adapter around another one: every call goes through to the adapter it
// wraps, and a subclass overrides the calls it wants to watch (the capture
// tap records writes; tests record what the engine handed over). The
// wrapped adapter runs on the wrapper's clock.
#pragma once

#include "engine/adapter.h"

class AdapterWrapper : public Adapter {
 public:
  explicit AdapterWrapper(Adapter& inner) : Adapter(inner.name(), inner.library()), inner_(inner) {}

  bool load() override {
    inner_.useClock(clock());
    return inner_.load();
  }
  FT_STATUS FT_ListDevices(void* pArg1, void* pArg2, FT_DWORD flags) override {
    return inner_.FT_ListDevices(pArg1, pArg2, flags);
  }
  FT_STATUS FT_OpenEx(void* pArg1, FT_DWORD flags, FT_HANDLE* handle) override {
    return inner_.FT_OpenEx(pArg1, flags, handle);
  }
  FT_STATUS FT_SetBaudRate(FT_HANDLE h, std::uint32_t baud) override {
    return inner_.FT_SetBaudRate(h, baud);
  }
  FT_STATUS FT_SetDataCharacteristics(FT_HANDLE h, std::uint8_t bits, std::uint8_t stop,
                                      std::uint8_t parity) override {
    return inner_.FT_SetDataCharacteristics(h, bits, stop, parity);
  }
  FT_BOOL FT_W32_EscapeCommFunction(FT_HANDLE h, FT_DWORD func) override {
    return inner_.FT_W32_EscapeCommFunction(h, func);
  }
  FT_BOOL FT_W32_SetCommBreak(FT_HANDLE h) override { return inner_.FT_W32_SetCommBreak(h); }
  FT_BOOL FT_W32_ClearCommBreak(FT_HANDLE h) override { return inner_.FT_W32_ClearCommBreak(h); }
  FT_STATUS FT_Write(FT_HANDLE h, void* buffer, FT_DWORD length, FT_DWORD* written) override {
    return inner_.FT_Write(h, buffer, length, written);
  }
  FT_STATUS FT_Close(FT_HANDLE h) override { return inner_.FT_Close(h); }
  const char* lastError() const override { return inner_.lastError(); }
  bool callsMayBlock() const override { return inner_.callsMayBlock(); }
  std::string openingAdvice() const override { return inner_.openingAdvice(); }
  std::string listingDetail(std::size_t index) const override {
    return inner_.listingDetail(index);
  }
  SimulatedLine* simulatedLine() override { return inner_.simulatedLine(); }
  std::optional<std::uint32_t> nodeAddress() const override { return inner_.nodeAddress(); }

 protected:
  Adapter& inner() { return inner_; }

 private:
  Adapter& inner_;
};
