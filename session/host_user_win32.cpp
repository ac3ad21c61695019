#include <windows.h>

#include "session/host_user.h"

std::string hostName() {
  char name[MAX_COMPUTERNAME_LENGTH + 1] = {};
  DWORD size = sizeof name;
  return GetComputerNameA(name, &size) ? std::string(name, size) : std::string("?");
}

std::string userName() {
  char name[256] = {};
  const DWORD n = GetEnvironmentVariableA("USERNAME", name, sizeof name);
  return n > 0 && n < sizeof name ? std::string(name, n) : std::string("?");
}
