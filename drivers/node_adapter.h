// What the network drivers share: an adapter that reaches one node over one
// UDP socket. The node makes the DMX512 line itself (its break, its baud
// rate), so the line set-up and break calls only check the handle; the
// handle is the adapter itself.
#pragma once

#include <cstdint>
#include <optional>
#include <string>

#include "drivers/netio.h"
#include "drivers/udp_link.h"
#include "engine/adapter.h"

class NodeAdapter : public Adapter {
 public:
  using Adapter::Adapter;

  bool load() override { return netio::startup(why_); }

  FT_STATUS FT_SetBaudRate(FT_HANDLE h, std::uint32_t) override { return status(h); }
  FT_STATUS FT_SetDataCharacteristics(FT_HANDLE h, std::uint8_t, std::uint8_t,
                                      std::uint8_t) override {
    return status(h);
  }
  FT_BOOL FT_W32_EscapeCommFunction(FT_HANDLE h, FT_DWORD) override { return isOpen(h) ? 1 : 0; }
  // The node makes the break before every packet it puts on the line.
  FT_BOOL FT_W32_SetCommBreak(FT_HANDLE h) override { return isOpen(h) ? 1 : 0; }
  FT_BOOL FT_W32_ClearCommBreak(FT_HANDLE h) override { return isOpen(h) ? 1 : 0; }

  const char* lastError() const override { return why_.c_str(); }
  // A UDP send hands the datagram to the kernel and returns.
  bool callsMayBlock() const override { return false; }
  std::optional<std::uint32_t> nodeAddress() const override {
    return udpIsOpen(link_) ? std::optional<std::uint32_t>(address_) : std::nullopt;
  }

 protected:
  bool isOpen(FT_HANDLE h) const { return h == this && udpIsOpen(link_); }
  FT_STATUS status(FT_HANDLE h) const { return isOpen(h) ? FT_OK : FT_INVALID_HANDLE; }
  // Opens the socket to the node; the handle it gives is this adapter.
  FT_STATUS openLink(std::uint32_t address, std::uint16_t port, FT_HANDLE* handle) {
    if (!udpOpen(link_, address, port, why_)) return FT_DEVICE_NOT_OPENED;
    why_.clear();
    address_ = address;
    *handle = this;
    return FT_OK;
  }

  UdpLink link_;
  std::string why_;
  std::uint32_t address_ = 0;  // where the open link goes
};
