#include "tests/drivers/fake_libftdi.h"

#include <ftdi.h>
#include <libusb.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <map>

#include "engine/clock.h"

namespace fake_ftdi {
namespace {

World state;
std::map<ftdi_context*, Adapter*> openedBy;  // the adapter each context holds
std::map<Adapter*, long> writesTo;
std::map<Adapter*, bool> gone;  // unplugged

Adapter* adapterOf(libusb_device* dev) { return reinterpret_cast<Adapter*>(dev); }

int note(const char* name, ftdi_context* ctx, std::vector<long> args, int result,
         const char* error = nullptr) {
  Call c;
  c.name = name;
  c.args = std::move(args);
  auto it = openedBy.find(ctx);
  if (it != openedBy.end()) c.adapter = it->second->serial;
  c.at = state.clock == nullptr ? std::chrono::steady_clock::now()
                                : std::chrono::steady_clock::time_point(
                                      std::chrono::microseconds(state.clock->nowMicros()));
  c.result = result;
  state.calls.push_back(std::move(c));
  if (error != nullptr && ctx != nullptr) ctx->error_str = error;
  return result;
}

// Control requests to an opened adapter: fail once it is unplugged.
int control(const char* name, ftdi_context* ctx, std::vector<long> args, int result = 0,
            const char* error = nullptr) {
  auto it = openedBy.find(ctx);
  if (it == openedBy.end()) return note(name, ctx, std::move(args), -2, "USB device unavailable");
  if (gone[it->second]) return note(name, ctx, std::move(args), -1, "USB request failed");
  return note(name, ctx, std::move(args), result, error);
}

}  // namespace

World& world() { return state; }

void reset() {
  state = World{};
  openedBy.clear();
  writesTo.clear();
  gone.clear();
}

std::vector<const Call*> callsNamed(const std::string& name) {
  std::vector<const Call*> out;
  for (const Call& c : state.calls)
    if (c.name == name) out.push_back(&c);
  return out;
}

}  // namespace fake_ftdi

using fake_ftdi::state;

extern "C" {

ftdi_context* ftdi_new(void) {
  if (state.failNew) return nullptr;
  auto* ctx = new ftdi_context{};
  ctx->module_detach_mode = AUTO_DETACH_SIO_MODULE;
  ++state.contexts;
  return ctx;
}

void ftdi_free(ftdi_context* ctx) {
  if (ctx == nullptr) return;
  if (fake_ftdi::openedBy.erase(ctx) != 0) --state.opened;  // as ftdi_deinit closes
  fake_ftdi::note("ftdi_free", nullptr, {}, 0);
  --state.contexts;
  delete ctx;
}

const char* ftdi_get_error_string(ftdi_context* ctx) { return ctx->error_str; }

int ftdi_set_interface(ftdi_context* ctx, enum ftdi_interface interface) {
  return fake_ftdi::note("ftdi_set_interface", ctx, {interface}, 0);
}

int ftdi_usb_find_all(ftdi_context* ctx, ftdi_device_list** devlist, int vendor, int product) {
  *devlist = nullptr;
  if (state.findAllResult < 0)
    return fake_ftdi::note("ftdi_usb_find_all", ctx, {vendor, product}, state.findAllResult,
                           "libusb_get_device_list() failed");
  ftdi_device_list** tail = devlist;
  for (fake_ftdi::Adapter& a : state.adapters) {
    *tail = new ftdi_device_list{nullptr, reinterpret_cast<libusb_device*>(&a)};
    tail = &(*tail)->next;
  }
  return fake_ftdi::note("ftdi_usb_find_all", ctx, {vendor, product},
                         static_cast<int>(state.adapters.size()), "all fine");
}

void ftdi_list_free(ftdi_device_list** devlist) {
  while (*devlist != nullptr) {
    ftdi_device_list* next = (*devlist)->next;
    delete *devlist;
    *devlist = next;
  }
}

int ftdi_usb_get_strings(ftdi_context* ctx, libusb_device* dev, char* manufacturer, int mnf_len,
                         char* description, int desc_len, char* serial, int serial_len) {
  fake_ftdi::Adapter* a = fake_ftdi::adapterOf(dev);
  if (!a->serialReadable)
    return fake_ftdi::note("ftdi_usb_get_strings", ctx, {}, -4, "libusb_open() failed");
  if (manufacturer != nullptr) std::snprintf(manufacturer, mnf_len, "FTDI");
  if (description != nullptr) std::snprintf(description, desc_len, "%s", a->product.c_str());
  if (serial != nullptr) {
    // No serial string descriptor: libusb refuses string index 0.
    if (a->serial.empty())
      return fake_ftdi::note("ftdi_usb_get_strings", ctx, {}, -9,
                             "libusb_get_string_descriptor_ascii() failed");
    std::snprintf(serial, serial_len, "%s", a->serial.c_str());
  }
  return fake_ftdi::note("ftdi_usb_get_strings", ctx, {}, 0);
}

int ftdi_usb_open_dev(ftdi_context* ctx, libusb_device* dev) {
  fake_ftdi::Adapter* a = fake_ftdi::adapterOf(dev);
  state.detachModes.push_back(ctx->module_detach_mode);
  static const std::map<int, const char*> kErrors = {
      {-3, "unable to set usb configuration. Make sure the default FTDI driver is not in use"},
      {-4, "libusb_open() failed"},
      {-5, "unable to claim usb device. Make sure the default FTDI driver is not in use"},
      {-8, "inappropriate permissions on device!"},
  };
  if (a->openResult < 0) {
    const int result =
        fake_ftdi::note("ftdi_usb_open_dev", ctx, {}, a->openResult, kErrors.at(a->openResult));
    state.calls.back().adapter = a->serial;
    errno = a->openErrno;
    return result;
  }
  fake_ftdi::openedBy[ctx] = a;
  ++state.opened;
  return fake_ftdi::note("ftdi_usb_open_dev", ctx, {}, 0, "all fine");
}

int ftdi_usb_close(ftdi_context* ctx) {
  auto it = fake_ftdi::openedBy.find(ctx);
  if (it == fake_ftdi::openedBy.end())
    return fake_ftdi::note("ftdi_usb_close", ctx, {}, -3, "USB device unavailable");
  const bool unplugged = fake_ftdi::gone[it->second];
  const int result = fake_ftdi::note("ftdi_usb_close", ctx, {}, unplugged ? -1 : 0,
                                     unplugged ? "usb_release failed" : nullptr);
  fake_ftdi::openedBy.erase(it);
  --state.opened;
  return result;
}

int ftdi_set_baudrate(ftdi_context* ctx, int baudrate) {
  auto it = fake_ftdi::openedBy.find(ctx);
  const int result = it == fake_ftdi::openedBy.end() ? 0 : it->second->baudResult;
  return fake_ftdi::control(
      "ftdi_set_baudrate", ctx, {baudrate}, result,
      "Unsupported baudrate. Note: bitbang baudrates are automatically multiplied by 4");
}

int ftdi_set_line_property2(ftdi_context* ctx, enum ftdi_bits_type bits,
                            enum ftdi_stopbits_type sbit, enum ftdi_parity_type parity,
                            enum ftdi_break_type break_type) {
  return fake_ftdi::control("ftdi_set_line_property2", ctx, {bits, sbit, parity, break_type});
}

int ftdi_setflowctrl(ftdi_context* ctx, int flowctrl) {
  return fake_ftdi::control("ftdi_setflowctrl", ctx, {flowctrl});
}

int ftdi_setrts(ftdi_context* ctx, int rts) {
  return fake_ftdi::control("ftdi_setrts", ctx, {rts});
}

int ftdi_tcioflush(ftdi_context* ctx) { return fake_ftdi::control("ftdi_tcioflush", ctx, {}); }

int ftdi_write_data(ftdi_context* ctx, const unsigned char* buf, int size) {
  auto it = fake_ftdi::openedBy.find(ctx);
  int result = size;
  const char* error = nullptr;
  if (it == fake_ftdi::openedBy.end()) {
    result = -666;
    error = "USB device unavailable";
  } else {
    fake_ftdi::Adapter* a = it->second;
    const long n = ++fake_ftdi::writesTo[a];
    if (a->unplugAtWrite != 0 && n >= a->unplugAtWrite) fake_ftdi::gone[a] = true;
    if (fake_ftdi::gone[a]) {
      result = -1;
      error = "usb bulk write failed";
    }
  }
  fake_ftdi::note("ftdi_write_data", ctx, {size}, result, error);
  state.calls.back().bytes.assign(buf, buf + size);
  return result;
}

uint8_t libusb_get_bus_number(libusb_device* dev) { return fake_ftdi::adapterOf(dev)->bus; }

uint8_t libusb_get_device_address(libusb_device* dev) { return fake_ftdi::adapterOf(dev)->address; }

int libusb_get_port_numbers(libusb_device* dev, uint8_t* port_numbers, int port_numbers_len) {
  const auto& ports = fake_ftdi::adapterOf(dev)->ports;
  if (static_cast<int>(ports.size()) > port_numbers_len) return LIBUSB_ERROR_OVERFLOW;
  std::memcpy(port_numbers, ports.data(), ports.size());
  return static_cast<int>(ports.size());
}

}  // extern "C"
