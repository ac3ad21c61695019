#include <windows.h>

#include "drivers/dynlib.h"

namespace dynlib {

void* open(const char* fileName, std::string& why) {
  HMODULE lib = LoadLibraryA(fileName);
  if (lib == nullptr) {
    char text[256] = "";
    FormatMessageA(FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS, nullptr,
                   GetLastError(), 0, text, sizeof text, nullptr);
    why = text;
    while (!why.empty() && (why.back() == '\n' || why.back() == '\r')) why.pop_back();
  }
  return reinterpret_cast<void*>(lib);
}

void* symbol(void* library, const char* name) {
  return reinterpret_cast<void*>(GetProcAddress(static_cast<HMODULE>(library), name));
}

void close(void* library) { FreeLibrary(static_cast<HMODULE>(library)); }

}  // namespace dynlib
