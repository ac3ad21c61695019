#include "ui/console.h"

#include <windows.h>

#include <cstdio>

void attachParentConsole() {
  HANDLE out = GetStdHandle(STD_OUTPUT_HANDLE);
  if (out != nullptr && out != INVALID_HANDLE_VALUE) {
    const DWORD type = GetFileType(out);
    if (type == FILE_TYPE_DISK || type == FILE_TYPE_PIPE) return;
  }
  if (!AttachConsole(ATTACH_PARENT_PROCESS)) return;
  std::freopen("CONOUT$", "w", stdout);
}
