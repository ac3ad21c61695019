#include <dlfcn.h>

#include "drivers/dynlib.h"

namespace dynlib {

void* open(const char* fileName, std::string& why) {
  void* lib = dlopen(fileName, RTLD_NOW | RTLD_LOCAL);
  if (lib == nullptr) {
    const char* err = dlerror();
    why = err != nullptr ? err : "not found";
  }
  return lib;
}

void* symbol(void* library, const char* name) { return dlsym(library, name); }

void close(void* library) { dlclose(library); }

}  // namespace dynlib
