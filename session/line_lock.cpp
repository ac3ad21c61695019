#include "session/line_lock.h"

#include <cstdio>

std::string lineLockKey(const LineTarget& target) {
  if (target.serial.empty()) return target.adapter;
  const std::size_t colon = target.adapter.find(':');
  return target.adapter.substr(0, colon) + ":" + target.serial;
}

std::string lockFileName(const std::string& key) {
  std::string name;
  for (unsigned char c : key) {
    const bool plain = (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') ||
                       c == '.' || c == '-' || c == '_';
    if (plain) {
      name.push_back(static_cast<char>(c));
    } else {
      char hex[4];
      std::snprintf(hex, sizeof hex, "%%%02X", c);
      name.append(hex);
    }
  }
  return name + ".lock";
}
