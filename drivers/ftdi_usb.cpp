#include "drivers/ftdi_usb.h"

#include <cerrno>
#include <cstdint>
#include <cstdio>
#include <cstring>

namespace ftdi_usb {

// Stays the same while the adapter stays plugged into the same socket.
std::string position(libusb_device* dev) {
  std::string name = "usb:" + std::to_string(libusb_get_bus_number(dev));
  std::uint8_t ports[8];
  const int depth = libusb_get_port_numbers(dev, ports, sizeof ports);
  if (depth <= 0) return name + "@" + std::to_string(libusb_get_device_address(dev));
  for (int i = 0; i < depth; ++i) name += (i == 0 ? "-" : ".") + std::to_string(ports[i]);
  return name;
}

std::string productOf(ftdi_context* ctx, libusb_device* dev) {
  char product[128] = {};
  if (ftdi_usb_get_strings(ctx, dev, nullptr, 0, product, sizeof product, nullptr, 0) < 0)
    return "";
  product[sizeof product - 1] = '\0';
  return product;
}

namespace {

// The device node libusb opens, named in permission errors.
std::string deviceNode(libusb_device* dev) {
  char node[32];
  std::snprintf(node, sizeof node, "/dev/bus/usb/%03u/%03u", libusb_get_bus_number(dev),
                libusb_get_device_address(dev));
  return node;
}

// The serial number, or "" when it cannot be read.
std::string serialOf(ftdi_context* ctx, libusb_device* dev) {
  char serial[64] = {};
  if (ftdi_usb_get_strings(ctx, dev, nullptr, 0, nullptr, 0, serial, sizeof serial) < 0) return "";
  serial[sizeof serial - 1] = '\0';
  return serial;
}

}  // namespace

std::string listName(ftdi_context* ctx, libusb_device* dev) {
  const std::string serial = serialOf(ctx, dev);
  if (!serial.empty()) return serial;
  return position(dev) + kNoSerialNote;
}

bool matches(ftdi_context* ctx, libusb_device* dev, const std::string& wanted) {
  if (wanted.empty()) return false;
  if (wanted.rfind("usb:", 0) == 0) return position(dev) == wanted.substr(0, wanted.find(' '));
  return serialOf(ctx, dev) == wanted;
}

std::string openFailure(ftdi_context* ctx, libusb_device* dev, int result, int savedErrno) {
  std::string why = std::string("ftdi_usb_open_dev: ") + ftdi_get_error_string(ctx);
  const bool denied =
      result == -8 || (result == -4 && (savedErrno == EACCES || savedErrno == EPERM));
  if (denied)
    return why + "; no permission to use " + deviceNode(dev) +
           ": install the udev rule from docs/adapters.md and plug the adapter in again, or run "
           "as root";
  if (result == -4 && (savedErrno == ENODEV || savedErrno == ENOENT))
    return why + "; the adapter is gone (unplugged?)";
  if (result == -3 || result == -5)
    return why +
           "; another program holds the adapter (a second uploader, a DMX program such "
           "as OLA or QLC+): close it and try again";
  if (result == -4 && savedErrno != 0) return why + " (" + std::strerror(savedErrno) + ")";
  return why;
}

}  // namespace ftdi_usb
