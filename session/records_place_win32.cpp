#include <windows.h>

#include <string>

#include "session/service_records.h"

std::string defaultRecordsPath(std::string& why) {
  // Read as UTF-16 and kept as UTF-8, which SQLite takes for file names:
  // a user folder with letters outside the ANSI code page still works.
  wchar_t local[MAX_PATH] = {};
  const DWORD n = GetEnvironmentVariableW(L"LOCALAPPDATA", local, MAX_PATH);
  // Only an absolute folder: "C:\Users\x\AppData\Local" or "\\server\share\...".
  const bool absolute = n >= 3 && n < MAX_PATH &&
                        ((local[1] == L':' && (local[2] == L'\\' || local[2] == L'/')) ||
                         (local[0] == L'\\' && local[1] == L'\\'));
  if (!absolute) {
    why = "LOCALAPPDATA names no folder";
    return "";
  }
  const int size =
      WideCharToMultiByte(CP_UTF8, 0, local, static_cast<int>(n), nullptr, 0, nullptr, nullptr);
  std::string path(static_cast<std::size_t>(size), '\0');
  WideCharToMultiByte(CP_UTF8, 0, local, static_cast<int>(n), path.data(), size, nullptr, nullptr);
  path.append("\\tavik-uploader\\records.sqlite");
  return path;
}
