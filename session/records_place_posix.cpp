#include <cstdlib>
#include <string>

#include "session/service_records.h"

std::string defaultRecordsPath(std::string& why) {
  // A relative XDG_DATA_HOME is to be ignored, as the base directory rules say.
  const char* data = std::getenv("XDG_DATA_HOME");
  if (data != nullptr && data[0] == '/')
    return std::string(data) + "/tavik-uploader/records.sqlite";
  const char* home = std::getenv("HOME");
  if (home != nullptr && home[0] == '/')
    return std::string(home) + "/.local/share/tavik-uploader/records.sqlite";
  why = "neither XDG_DATA_HOME nor HOME names a folder";
  return "";
}
