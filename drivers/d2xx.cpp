#include "drivers/d2xx.h"

#include "drivers/dynlib.h"

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
  D2xxAdapter() : Adapter("d2xx", kLibrary) {}
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
    return calls_.listDevices(pArg1, pArg2, flags);
  }
  FT_STATUS FT_OpenEx(void* pArg1, FT_DWORD flags, FT_HANDLE* handle) override {
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

 private:
  template <typename Fn>
  bool resolve(void* lib, const char* name, Fn& slot) {
    slot = reinterpret_cast<Fn>(dynlib::symbol(lib, name));
    if (slot == nullptr) why_ = std::string(kLibrary) + " has no " + name;
    return slot != nullptr;
  }

  void* library_ = nullptr;
  Calls calls_;
  std::string why_;
};

}  // namespace

std::unique_ptr<Adapter> makeD2xx(const std::string& argument, const DriverSettings&,
                                  std::string& error) {
  if (!argument.empty()) {
    error = "d2xx takes no argument: d2xx, not \"d2xx:" + argument + "\"";
    return nullptr;
  }
  return std::make_unique<D2xxAdapter>();
}
