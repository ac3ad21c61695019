#include "session/address_list.h"

#include <algorithm>

#include "drivers/registry.h"
#include "files/shown_text.h"

namespace {

bool oneAddress(const std::string& text, int& out, std::string& error) {
  long n = 0;
  if (!parseWholeNumber(text, 1, 512, n)) {
    error = rangeRefusal("--address", text, 1, 512);
    return false;
  }
  out = static_cast<int>(n);
  return true;
}

}  // namespace

bool parseAddressList(const std::string& text, std::vector<int>& out, std::string& error) {
  std::vector<int> found;
  std::size_t at = 0;
  do {
    const std::size_t comma = text.find(',', at);
    const std::string item = text.substr(at, comma == std::string::npos ? comma : comma - at);
    at = comma == std::string::npos ? text.size() + 1 : comma + 1;
    const std::size_t dash = item.find('-', 1);  // a leading '-' is no range
    int first = 0, last = 0;
    if (dash == std::string::npos) {
      if (!oneAddress(item, first, error)) return false;
      last = first;
    } else if (!oneAddress(item.substr(0, dash), first, error) ||
               !oneAddress(item.substr(dash + 1), last, error)) {
      return false;
    } else if (last < first) {
      error = "--address: the range " + files::quoted(item) + " runs backwards";
      return false;
    }
    for (int a = first; a <= last; ++a) {
      if (std::find(found.begin(), found.end(), a) != found.end()) {
        error = "--address: " + std::to_string(a) + " is listed twice";
        return false;
      }
      found.push_back(a);
    }
  } while (at <= text.size());
  out = std::move(found);
  return true;
}

std::string addressListText(const std::vector<int>& addresses) {
  std::string text;
  for (std::size_t i = 0; i < addresses.size();) {
    std::size_t j = i;
    while (j + 1 < addresses.size() && addresses[j + 1] == addresses[j] + 1) ++j;
    if (!text.empty()) text += ", ";
    text += std::to_string(addresses[i]);
    if (j > i) text += (j == i + 1 ? ", " : "-") + std::to_string(addresses[j]);
    i = j + 1;
  }
  return text;
}
