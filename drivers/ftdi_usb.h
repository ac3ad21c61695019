// Finding FTDI adapters on USB for the libftdi driver: names, matching and
// the reasons a person reads when an adapter cannot be opened.
#pragma once

#include <ftdi.h>
#include <libusb.h>

#include <string>

namespace ftdi_usb {

// Text that stands in for the serial number of an adapter whose serial
// number cannot be read: its USB position, then this note.
inline constexpr const char* kNoSerialNote = " (no serial number)";

// The adapter's serial number, or "usb:BUS-PORT.PORT (no serial number)"
// when it cannot be read (no permission, no serial string in the chip).
std::string listName(ftdi_context* ctx, libusb_device* dev);
// The adapter's USB product string ("FT232R USB UART", "DMX USB PRO"), or
// "" when it cannot be read.
std::string productOf(ftdi_context* ctx, libusb_device* dev);
// Where it is plugged in: "usb:BUS-PORT.PORT...", as the kernel names USB
// devices in /sys/bus/usb/devices.
std::string position(libusb_device* dev);
// Whether the adapter answers to `wanted`: a serial number, or a name
// starting "usb:" that gives its position (the note after it is ignored).
bool matches(ftdi_context* ctx, libusb_device* dev, const std::string& wanted);
// Why ftdi_usb_open_dev failed with `result` (errno as it was right after),
// with libftdi's own words and what to do.
std::string openFailure(ftdi_context* ctx, libusb_device* dev, int result, int savedErrno);

}  // namespace ftdi_usb
