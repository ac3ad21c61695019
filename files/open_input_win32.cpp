#include <fcntl.h>
#include <io.h>
#include <windows.h>

#include "files/bounded_file.h"

namespace files {
namespace {

std::string systemText(DWORD code) {
  char text[256] = "";
  const DWORD n = FormatMessageA(FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS,
                                 nullptr, code, 0, text, sizeof text, nullptr);
  std::string s(text, n);
  while (!s.empty() && (s.back() == '\n' || s.back() == '\r' || s.back() == '.')) s.pop_back();
  return s.empty() ? "system error " + std::to_string(code) : s;
}

Problem fromError(DWORD code, std::string& reason) {
  switch (code) {
    case ERROR_FILE_NOT_FOUND:
    case ERROR_PATH_NOT_FOUND:
      return Problem::missing;
    case ERROR_ACCESS_DENIED:
      return Problem::denied;
    case ERROR_CANT_RESOLVE_FILENAME:
      return Problem::loop;
    default:
      reason = systemText(code);
      return Problem::unreadable;
  }
}

}  // namespace

std::FILE* openRegularFile(const std::string& path, Problem& problem, std::string& reason) {
  // A directory cannot be opened as a file; Windows would call it "access denied".
  const DWORD attributes = GetFileAttributesA(path.c_str());
  if (attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0) {
    problem = Problem::directory;
    return nullptr;
  }
  // Opening a pipe's or a device's name does not wait; what it is shows after.
  HANDLE h = CreateFileA(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                         OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (h == INVALID_HANDLE_VALUE) {
    problem = fromError(GetLastError(), reason);
    return nullptr;
  }
  switch (GetFileType(h)) {
    case FILE_TYPE_DISK:
      problem = Problem::none;
      break;
    case FILE_TYPE_CHAR:
      problem = Problem::characterDevice;
      break;
    case FILE_TYPE_PIPE:
      problem = Problem::fifo;
      break;
    default:
      problem = Problem::unreadable;
      reason = "not a file";
      break;
  }
  if (problem != Problem::none) {
    CloseHandle(h);
    return nullptr;
  }
  const int fd = _open_osfhandle(reinterpret_cast<intptr_t>(h), _O_RDONLY | _O_BINARY);
  if (fd < 0) {
    CloseHandle(h);
    problem = Problem::unreadable;
    reason = "no file descriptor left";
    return nullptr;
  }
  std::FILE* f = _fdopen(fd, "rb");
  if (f == nullptr) {
    _close(fd);
    problem = Problem::unreadable;
    reason = "no stream left";
  }
  return f;
}

}  // namespace files
