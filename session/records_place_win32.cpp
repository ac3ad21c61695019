#include <cstdlib>
#include <string>

#include "session/service_records.h"

std::string defaultRecordsPath(std::string& why) {
  const char* local = std::getenv("LOCALAPPDATA");
  // Only an absolute folder: "C:\Users\x\AppData\Local" or "\\server\share\...".
  if (local != nullptr && local[0] != '\0' &&
      ((local[1] == ':' && (local[2] == '\\' || local[2] == '/')) ||
       (local[0] == '\\' && local[1] == '\\'))) {
    std::string path(local);
    path.append("\\tavik-uploader\\records.sqlite");
    return path;
  }
  why = "LOCALAPPDATA names no folder";
  return "";
}
