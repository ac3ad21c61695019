#include "engine/adapter.h"

#include <cstring>

bool putListed(void* pArg1, std::size_t index, const std::string& text) {
  char** slots = static_cast<char**>(pArg1);
  for (std::size_t i = 0; i <= index; ++i)
    if (slots[i] == nullptr) return false;
  std::strncpy(slots[index], text.c_str(), 63);
  slots[index][63] = '\0';
  return true;
}
