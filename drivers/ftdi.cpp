#include "drivers/ftdi.h"

#include <ftdi.h>

#include <cerrno>
#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

#include "drivers/ftdi_usb.h"
#include "drivers/line_pace.h"
#include "drivers/protocol_interfaces.h"

// How a break never cuts the previous frame short: ftdi_write_data returns
// once the adapter has taken the bytes into its transmit buffer, and the
// 76 bytes then need about 3.3 ms more to leave it. A break request would
// act on the line at once. So every write notes when its bytes will surely
// have left (44 us a byte, plus slack), and the next break, and the close,
// first sleep until then. The engine's pauses between sends are longer than
// a frame, so in an upload this wait is normally already over.

namespace {

// One opened adapter; the FT_HANDLE points at it.
struct Port {
  ftdi_context* ctx = nullptr;
  ftdi_bits_type bits = BITS_8;
  ftdi_stopbits_type stop = STOP_BIT_2;
  ftdi_parity_type parity = NONE;
  line_pace::Line line;
};

// Notes a failed libftdi call in `why`; returns false so callers can chain.
bool failed(std::string& why, const char* call, ftdi_context* ctx, const char* advice = nullptr) {
  why = std::string(call) + ": " + ftdi_get_error_string(ctx);
  if (advice != nullptr) why += advice;
  return false;
}

// What the DMX512 line needs, asked of the adapter when it is opened, so
// that an adapter that cannot run the line is refused before anything is
// sent: 250 000 baud (libftdi refuses rates it cannot reach within a few
// percent), 8 data bits, 2 stop bits, no parity, no break, no flow
// control, RTS cleared, both buffers emptied.
bool setUpLine(ftdi_context* ctx, std::string& why) {
  if (ftdi_set_baudrate(ctx, 250000) < 0) return failed(why, "ftdi_set_baudrate(250000)", ctx);
  if (ftdi_set_line_property2(ctx, BITS_8, STOP_BIT_2, NONE, BREAK_OFF) < 0)
    return failed(why, "ftdi_set_line_property2(8N2)", ctx);
  if (ftdi_setflowctrl(ctx, SIO_DISABLE_FLOW_CTRL) < 0) return failed(why, "ftdi_setflowctrl", ctx);
  if (ftdi_setrts(ctx, 0) < 0) return failed(why, "ftdi_setrts(0)", ctx);
  if (ftdi_tcioflush(ctx) < 0) return failed(why, "ftdi_tcioflush", ctx);
  return true;
}

// Finds the adapter named `wanted` and opens it into `ctx`. An interface
// that takes a protocol of its own is refused before it is opened.
FT_STATUS openNamed(ftdi_context* ctx, const std::string& wanted, std::string& why, bool& refused) {
  refused = false;
  ftdi_device_list* devices = nullptr;
  const int count = ftdi_usb_find_all(ctx, &devices, 0, 0);
  if (count < 0) {
    failed(why, "ftdi_usb_find_all", ctx);
    return FT_OTHER_ERROR;
  }
  libusb_device* found = nullptr;
  for (ftdi_device_list* d = devices; d != nullptr && found == nullptr; d = d->next)
    if (ftdi_usb::matches(ctx, d->dev, wanted)) found = d->dev;
  FT_STATUS status = FT_OK;
  if (found == nullptr) {
    why = count == 0
              ? "no FTDI adapter found on USB (is it plugged in?)"
              : "no FTDI adapter \"" + wanted + "\" among the " + std::to_string(count) + " found";
    status = FT_DEVICE_NOT_FOUND;
  } else if (const std::string no = protocol_interfaces::refusal(ftdi_usb::productOf(ctx, found));
             !no.empty()) {
    why = no;
    refused = true;
    status = FT_DEVICE_NOT_OPENED;
  } else {
    // Let libusb detach ftdi_sio when the interface is claimed and attach it
    // again when it is released, so /dev/ttyUSBn comes back after us.
    ctx->module_detach_mode = AUTO_DETACH_REATACH_SIO_MODULE;
    errno = 0;
    const int result = ftdi_usb_open_dev(ctx, found);
    const int savedErrno = errno;
    if (result < 0) {
      why = ftdi_usb::openFailure(ctx, found, result, savedErrno);
      status = FT_DEVICE_NOT_OPENED;
    }
  }
  ftdi_list_free(&devices);
  return status;
}

class FtdiAdapter final : public Adapter {
 public:
  FtdiAdapter() : Adapter("ftdi", "libftdi1") {}

  FT_STATUS FT_ListDevices(void* pArg1, void* pArg2, FT_DWORD flags) override;
  FT_STATUS FT_OpenEx(void* pArg1, FT_DWORD flags, FT_HANDLE* handle) override;
  FT_STATUS FT_SetBaudRate(FT_HANDLE h, std::uint32_t baud) override;
  FT_STATUS FT_SetDataCharacteristics(FT_HANDLE h, std::uint8_t bits, std::uint8_t stop,
                                      std::uint8_t parity) override;
  FT_BOOL FT_W32_EscapeCommFunction(FT_HANDLE h, FT_DWORD func) override;
  FT_BOOL FT_W32_SetCommBreak(FT_HANDLE h) override;
  FT_BOOL FT_W32_ClearCommBreak(FT_HANDLE h) override;
  FT_STATUS FT_Write(FT_HANDLE h, void* buffer, FT_DWORD length, FT_DWORD* written) override;
  FT_STATUS FT_Close(FT_HANDLE h) override;
  const char* lastError() const override { return why.c_str(); }
  std::string openingAdvice() const override;
  std::string listingDetail(std::size_t index) const override {
    return index < details_.size() ? details_[index] : "";
  }

 private:
  Port* portOf(FT_HANDLE handle) {
    if (handle == nullptr) why = "the adapter is not open";
    return static_cast<Port*>(handle);
  }

  std::string why;
  bool refused_ = false;              // the last opening refused a protocol interface
  std::vector<std::string> details_;  // product string and position of each listed adapter
};

std::string FtdiAdapter::openingAdvice() const {
  if (refused_) return "";
  return "Is the adapter plugged in? uploader-cli list --adapter ftdi shows what libftdi finds.\n"
         "Without root it needs the udev rule of docs/adapters.md; close any other program "
         "using it.\n";
}

FT_STATUS FtdiAdapter::FT_ListDevices(void* pArg1, void* pArg2, FT_DWORD) {
  ftdi_context* ctx = ftdi_new();
  if (ctx == nullptr) {
    why = "ftdi_new: libftdi could not start libusb (is USB available here?)";
    return FT_OTHER_ERROR;
  }
  ftdi_device_list* devices = nullptr;
  const int count = ftdi_usb_find_all(ctx, &devices, 0, 0);  // 0, 0: FTDI's default ids
  if (count < 0) {
    failed(why, "ftdi_usb_find_all", ctx);
    ftdi_free(ctx);
    return FT_OTHER_ERROR;
  }
  std::size_t n = 0;
  details_.clear();
  for (ftdi_device_list* d = devices; d != nullptr; d = d->next, ++n) {
    if (!putListed(pArg1, n, ftdi_usb::listName(ctx, d->dev))) break;
    const std::string product = ftdi_usb::productOf(ctx, d->dev);
    std::string detail = ftdi_usb::position(d->dev);
    if (!product.empty()) detail = "\"" + product + "\" " + detail;
    if (protocol_interfaces::familyOf(product) != nullptr)
      detail += " (refused: takes a protocol of its own)";
    details_.push_back(detail);
  }
  *static_cast<std::int32_t*>(pArg2) = count;
  ftdi_list_free(&devices);
  ftdi_free(ctx);
  return FT_OK;
}

FT_STATUS FtdiAdapter::FT_OpenEx(void* pArg1, FT_DWORD flags, FT_HANDLE* handle) {
  refused_ = false;
  if (flags != FT_OPEN_BY_SERIAL_NUMBER) {
    why = "adapters are opened by serial number only";
    return FT_INVALID_PARAMETER;
  }
  ftdi_context* ctx = ftdi_new();
  if (ctx == nullptr) {
    why = "ftdi_new: libftdi could not start libusb (is USB available here?)";
    return FT_OTHER_ERROR;
  }
  // The first port of a chip that has several.
  if (ftdi_set_interface(ctx, INTERFACE_A) < 0) {
    failed(why, "ftdi_set_interface", ctx);
    ftdi_free(ctx);
    return FT_OTHER_ERROR;
  }
  FT_STATUS status = openNamed(ctx, static_cast<const char*>(pArg1), why, refused_);
  if (status == FT_OK && !setUpLine(ctx, why)) {
    why = "the adapter refused the DMX512 line settings: " + why;
    ftdi_usb_close(ctx);
    status = FT_IO_ERROR;
  }
  if (status != FT_OK) {
    ftdi_free(ctx);
    return status;
  }
  *handle = new Port{ctx, BITS_8, STOP_BIT_2, NONE, {}};
  return FT_OK;
}

FT_STATUS FtdiAdapter::FT_SetBaudRate(FT_HANDLE h, std::uint32_t baud) {
  Port* p = portOf(h);
  if (p == nullptr) return FT_INVALID_HANDLE;
  if (ftdi_set_baudrate(p->ctx, static_cast<int>(baud)) < 0) {
    failed(why, "ftdi_set_baudrate", p->ctx);
    return FT_IO_ERROR;
  }
  return FT_OK;
}

FT_STATUS FtdiAdapter::FT_SetDataCharacteristics(FT_HANDLE h, std::uint8_t bits, std::uint8_t stop,
                                                 std::uint8_t parity) {
  Port* p = portOf(h);
  if (p == nullptr) return FT_INVALID_HANDLE;
  // D2XX and libftdi number stop bits (0, 1, 2) and parity (0..4) alike.
  if ((bits != 7 && bits != 8) || stop > 2 || parity > 4) {
    why = "unsupported data characteristics";
    return FT_INVALID_PARAMETER;
  }
  const auto b = static_cast<ftdi_bits_type>(bits);
  const auto s = static_cast<ftdi_stopbits_type>(stop);
  const auto par = static_cast<ftdi_parity_type>(parity);
  if (ftdi_set_line_property2(p->ctx, b, s, par, BREAK_OFF) < 0) {
    failed(why, "ftdi_set_line_property2", p->ctx);
    return FT_IO_ERROR;
  }
  p->bits = b;
  p->stop = s;
  p->parity = par;
  return FT_OK;
}

FT_BOOL FtdiAdapter::FT_W32_EscapeCommFunction(FT_HANDLE h, FT_DWORD func) {
  constexpr FT_DWORD kSetRts = 3;
  Port* p = portOf(h);
  if (p == nullptr) return 0;
  if (func != FT_CLRRTS && func != kSetRts) {
    why = "unsupported escape function " + std::to_string(func);
    return 0;
  }
  if (ftdi_setrts(p->ctx, func == kSetRts ? 1 : 0) < 0) return failed(why, "ftdi_setrts", p->ctx);
  return 1;
}

// The break and the data bits are one request to the chip, so the break
// calls repeat the line's data characteristics.
FT_BOOL FtdiAdapter::FT_W32_SetCommBreak(FT_HANDLE h) {
  Port* p = portOf(h);
  if (p == nullptr) return 0;
  line_pace::waitIdle(p->line, clock());
  if (ftdi_set_line_property2(p->ctx, p->bits, p->stop, p->parity, BREAK_ON) < 0)
    return failed(why, "ftdi_set_line_property2(BREAK_ON)", p->ctx);
  line_pace::breakOn(p->line, clock());
  return 1;
}

FT_BOOL FtdiAdapter::FT_W32_ClearCommBreak(FT_HANDLE h) {
  Port* p = portOf(h);
  if (p == nullptr) return 0;
  line_pace::waitBreakLength(p->line, clock());
  if (ftdi_set_line_property2(p->ctx, p->bits, p->stop, p->parity, BREAK_OFF) < 0)
    return failed(why, "ftdi_set_line_property2(BREAK_OFF)", p->ctx);
  return 1;
}

FT_STATUS FtdiAdapter::FT_Write(FT_HANDLE h, void* buffer, FT_DWORD length, FT_DWORD* written) {
  *written = 0;
  Port* p = portOf(h);
  if (p == nullptr) return FT_INVALID_HANDLE;
  const int sent =
      ftdi_write_data(p->ctx, static_cast<const unsigned char*>(buffer), static_cast<int>(length));
  if (sent < 0) {
    failed(why, "ftdi_write_data", p->ctx, " (was the adapter unplugged?)");
    return FT_IO_ERROR;
  }
  *written = static_cast<FT_DWORD>(sent);
  line_pace::wrote(p->line, static_cast<std::size_t>(sent), clock());
  if (*written != length) {
    why = "ftdi_write_data: wrote " + std::to_string(sent) + " of " + std::to_string(length) +
          " bytes";
    return FT_IO_ERROR;
  }
  return FT_OK;
}

// Closing releases the interface, and with it libusb attaches ftdi_sio again.
FT_STATUS FtdiAdapter::FT_Close(FT_HANDLE h) {
  Port* p = portOf(h);
  if (p == nullptr) return FT_INVALID_HANDLE;
  line_pace::waitIdle(p->line, clock());
  const int result = ftdi_usb_close(p->ctx);
  if (result < 0) failed(why, "ftdi_usb_close", p->ctx);
  ftdi_free(p->ctx);
  delete p;
  return result < 0 ? FT_IO_ERROR : FT_OK;
}

}  // namespace

std::unique_ptr<Adapter> makeFtdi(const std::string& argument, const DriverSettings&,
                                  std::string& error) {
  if (!argument.empty()) {
    error = "ftdi takes no argument (name an adapter with --serial): ftdi, not \"ftdi:" + argument +
            "\"";
    return nullptr;
  }
  return std::make_unique<FtdiAdapter>();
}
