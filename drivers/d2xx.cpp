#include "drivers/d2xx.h"

#include <string>

#include "drivers/dynlib.h"

namespace {

#if defined(_WIN32)
constexpr const char* kLibrary = "FTD2XX.dll";
#else
constexpr const char* kLibrary = "libftd2xx.so";
#endif

AdapterTable table = {"d2xx",  kLibrary, nullptr, nullptr, nullptr, nullptr, nullptr,
                      nullptr, nullptr,  nullptr, nullptr, nullptr, nullptr};
std::string why;

template <typename Fn>
bool resolve(void* lib, const char* name, Fn& slot) {
  slot = reinterpret_cast<Fn>(dynlib::symbol(lib, name));
  if (slot == nullptr) why = std::string(kLibrary) + " has no " + name;
  return slot != nullptr;
}

bool load() {
  static void* lib = nullptr;
  if (lib != nullptr) return true;
  void* opened = dynlib::open(kLibrary, why);
  if (opened == nullptr) return false;
  const bool complete =
      resolve(opened, "FT_ListDevices", table.FT_ListDevices) &&
      resolve(opened, "FT_OpenEx", table.FT_OpenEx) &&
      resolve(opened, "FT_SetBaudRate", table.FT_SetBaudRate) &&
      resolve(opened, "FT_SetDataCharacteristics", table.FT_SetDataCharacteristics) &&
      resolve(opened, "FT_W32_EscapeCommFunction", table.FT_W32_EscapeCommFunction) &&
      resolve(opened, "FT_W32_SetCommBreak", table.FT_W32_SetCommBreak) &&
      resolve(opened, "FT_W32_ClearCommBreak", table.FT_W32_ClearCommBreak) &&
      resolve(opened, "FT_Write", table.FT_Write) && resolve(opened, "FT_Close", table.FT_Close);
  if (complete) lib = opened;
  return complete;
}

const char* lastError() { return why.c_str(); }

}  // namespace

const AdapterTable& d2xxAdapter() {
  table.load = load;
  table.lastError = lastError;
  return table;
}
