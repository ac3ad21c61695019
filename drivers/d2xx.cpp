#include "drivers/d2xx.h"

#include <cstdint>
#include <vector>

#include "drivers/dynlib.h"
#include "drivers/protocol_interfaces.h"

namespace {

#if defined(_WIN32)
constexpr const char* kLibrary = "FTD2XX.dll";
#else
constexpr const char* kLibrary = "libftd2xx.so";
#endif

// The library's calls, found in it when it is loaded.
struct Calls {
  FT_STATUS(FTAPI* listDevices)(void*, void*, FT_DWORD) = nullptr;
  FT_STATUS(FTAPI* openEx)(void*, FT_DWORD, FT_HANDLE*) = nullptr;
  FT_STATUS(FTAPI* setBaudRate)(FT_HANDLE, std::uint32_t) = nullptr;
  FT_STATUS(FTAPI* setDataCharacteristics)
  (FT_HANDLE, std::uint8_t, std::uint8_t, std::uint8_t) = nullptr;
  FT_BOOL(FTAPI* escapeCommFunction)(FT_HANDLE, FT_DWORD) = nullptr;
  FT_BOOL(FTAPI* setCommBreak)(FT_HANDLE) = nullptr;
  FT_BOOL(FTAPI* clearCommBreak)(FT_HANDLE) = nullptr;
  FT_STATUS(FTAPI* write)(FT_HANDLE, void*, FT_DWORD, FT_DWORD*) = nullptr;
  FT_STATUS(FTAPI* close)(FT_HANDLE) = nullptr;
};

class D2xxAdapter final : public Adapter {
 public:
  // `readsDescriptions`: after each listing, also read every adapter's
  // description (one more FT_ListDevices call per adapter), show it in
  // listings and refuse to open an interface that takes a protocol of its
  // own. The window programs never ask for it; their calls stay as they were.
  explicit D2xxAdapter(bool readsDescriptions)
      : Adapter("d2xx", kLibrary), readsDescriptions_(readsDescriptions) {}
  ~D2xxAdapter() override {
    if (library_ != nullptr) dynlib::close(library_);
  }

  // Loads the library once; a library that lacks a call is given back at
  // once, so the next upload tries afresh. The reason of a failed load is
  // kept only until the next load.
  bool load() override {
    why_.clear();
    if (library_ != nullptr) return true;
    void* opened = dynlib::open(kLibrary, why_);
    if (opened == nullptr) return false;
    Calls found;
    const bool complete =
        resolve(opened, "FT_ListDevices", found.listDevices) &&
        resolve(opened, "FT_OpenEx", found.openEx) &&
        resolve(opened, "FT_SetBaudRate", found.setBaudRate) &&
        resolve(opened, "FT_SetDataCharacteristics", found.setDataCharacteristics) &&
        resolve(opened, "FT_W32_EscapeCommFunction", found.escapeCommFunction) &&
        resolve(opened, "FT_W32_SetCommBreak", found.setCommBreak) &&
        resolve(opened, "FT_W32_ClearCommBreak", found.clearCommBreak) &&
        resolve(opened, "FT_Write", found.write) && resolve(opened, "FT_Close", found.close);
    if (!complete) {
      dynlib::close(opened);
      return false;
    }
    library_ = opened;
    calls_ = found;
    return true;
  }

  FT_STATUS FT_ListDevices(void* pArg1, void* pArg2, FT_DWORD flags) override {
    const FT_STATUS status = calls_.listDevices(pArg1, pArg2, flags);
    if (readsDescriptions_ && status == FT_OK && (flags & FT_LIST_ALL) != 0)
      readDescriptions(*static_cast<std::int32_t*>(pArg2));
    return status;
  }
  FT_STATUS FT_OpenEx(void* pArg1, FT_DWORD flags, FT_HANDLE* handle) override {
    if (refused_) why_.clear();  // a refusal is no reason for this opening
    refused_ = false;
    if (readsDescriptions_ && flags == FT_OPEN_BY_SERIAL_NUMBER) {
      const std::string serial = static_cast<const char*>(pArg1);
      for (const Listed& l : listed_)
        if (l.serial == serial && !protocol_interfaces::refusal(l.description).empty()) {
          why_ = protocol_interfaces::refusal(l.description);
          refused_ = true;
          return FT_DEVICE_NOT_OPENED;
        }
    }
    return calls_.openEx(pArg1, flags, handle);
  }
  FT_STATUS FT_SetBaudRate(FT_HANDLE h, std::uint32_t baud) override {
    return calls_.setBaudRate(h, baud);
  }
  FT_STATUS FT_SetDataCharacteristics(FT_HANDLE h, std::uint8_t bits, std::uint8_t stop,
                                      std::uint8_t parity) override {
    return calls_.setDataCharacteristics(h, bits, stop, parity);
  }
  FT_BOOL FT_W32_EscapeCommFunction(FT_HANDLE h, FT_DWORD func) override {
    return calls_.escapeCommFunction(h, func);
  }
  FT_BOOL FT_W32_SetCommBreak(FT_HANDLE h) override { return calls_.setCommBreak(h); }
  FT_BOOL FT_W32_ClearCommBreak(FT_HANDLE h) override { return calls_.clearCommBreak(h); }
  FT_STATUS FT_Write(FT_HANDLE h, void* buffer, FT_DWORD length, FT_DWORD* written) override {
    return calls_.write(h, buffer, length, written);
  }
  FT_STATUS FT_Close(FT_HANDLE h) override { return calls_.close(h); }

  const char* lastError() const override { return why_.c_str(); }

  std::string openingAdvice() const override {
    if (refused_) return "";  // the reason says what works instead
    return "Use lsmod to check if ftdi_sio (and usbserial) are present.\n"
           "If so, unload them using rmmod, as they conflict with ftd2xx.\n";
  }

  std::string listingDetail(std::size_t index) const override {
    if (index >= listed_.size()) return "";
    const Listed& l = listed_[index];
    std::string detail = "\"" + l.description + "\"";
    if (protocol_interfaces::familyOf(l.description) != nullptr)
      detail += " (refused: takes a protocol of its own)";
    return detail;
  }

 private:
  struct Listed {
    std::string serial;
    std::string description;
  };

  // The serial number and description of each listed adapter, by index.
  void readDescriptions(std::int32_t count) {
    listed_.clear();
    for (std::int32_t i = 0; i < count && i < 64; ++i) {
      char serial[64] = {};
      char description[64] = {};
      void* index = reinterpret_cast<void*>(static_cast<std::uintptr_t>(i));
      if (calls_.listDevices(index, serial, FT_LIST_BY_INDEX | FT_OPEN_BY_SERIAL_NUMBER) != FT_OK ||
          calls_.listDevices(index, description, FT_LIST_BY_INDEX | FT_OPEN_BY_DESCRIPTION) !=
              FT_OK)
        break;
      serial[63] = description[63] = '\0';
      listed_.push_back({serial, description});
    }
  }

  template <typename Fn>
  bool resolve(void* lib, const char* name, Fn& slot) {
    slot = reinterpret_cast<Fn>(dynlib::symbol(lib, name));
    if (slot == nullptr) why_ = std::string(kLibrary) + " has no " + name;
    return slot != nullptr;
  }

  bool readsDescriptions_;
  bool refused_ = false;  // the last opening refused a protocol interface
  void* library_ = nullptr;
  Calls calls_;
  std::string why_;
  std::vector<Listed> listed_;
};

}  // namespace

namespace {

std::unique_ptr<Adapter> made(const std::string& argument, bool readsDescriptions,
                              std::string& error) {
  if (!argument.empty()) {
    error = "d2xx takes no argument: d2xx, not \"d2xx:" + argument + "\"";
    return nullptr;
  }
  return std::make_unique<D2xxAdapter>(readsDescriptions);
}

}  // namespace

std::unique_ptr<Adapter> makeD2xx(const std::string& argument, const DriverSettings&,
                                  std::string& error) {
  return made(argument, false, error);
}

std::unique_ptr<Adapter> makeD2xxReadingDescriptions(const std::string& argument,
                                                     const DriverSettings&, std::string& error) {
  return made(argument, true, error);
}
