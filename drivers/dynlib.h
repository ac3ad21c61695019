// Loading a shared library at run time: dlopen on POSIX, LoadLibrary on Windows.
#pragma once

#include <string>

namespace dynlib {

// Opens the library; null when it cannot be loaded (`why` says why).
void* open(const char* fileName, std::string& why);
// Finds an exported symbol; null when missing.
void* symbol(void* library, const char* name);
// Gives the library back; the library stays loaded while others hold it.
void close(void* library);

}  // namespace dynlib
