#include <windows.h>

#include <cstdlib>

#include "session/line_lock.h"

std::string lineLockFolder() {
  if (const char* given = std::getenv("UPLOADER_LOCK_DIR"); given != nullptr && *given != '\0')
    return given;
  char temp[MAX_PATH + 1] = {};
  const DWORD n = GetTempPathA(sizeof temp, temp);
  std::string folder(temp, n > 0 && n < sizeof temp ? n : 0);
  if (folder.empty()) folder = ".\\";
  folder.append("tavik-uploader");
  return folder;
}

bool LineLock::take(const std::string& folder, const std::string& key, std::string& why) {
  if (!CreateDirectoryA(folder.c_str(), nullptr) && GetLastError() != ERROR_ALREADY_EXISTS) {
    why = "cannot make the folder of the line locks " + folder;
    return false;
  }
  std::string path = folder;
  path.append("\\");
  path.append(lockFileName(key));
  HANDLE file =
      CreateFileA(path.c_str(), GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE,
                  nullptr, OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file == INVALID_HANDLE_VALUE) {
    why = "cannot open the line's lock " + path;
    return false;
  }
  OVERLAPPED at{};
  if (!LockFileEx(file, LOCKFILE_EXCLUSIVE_LOCK | LOCKFILE_FAIL_IMMEDIATELY, 0, 1, 0, &at)) {
    CloseHandle(file);
    why = "the line " + key + " is in use by another upload; wait for it to end, or stop it";
    return false;
  }
  handle_ = reinterpret_cast<std::intptr_t>(file);
  return true;
}

LineLock::~LineLock() {
  if (handle_ != -1) CloseHandle(reinterpret_cast<HANDLE>(handle_));
}
