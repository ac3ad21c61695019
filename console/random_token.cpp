#include <sys/random.h>

#include <cerrno>
#include <cstring>

#include "console/console.h"

bool randomToken(std::string& token, std::string& error) {
  unsigned char bytes[32];
  std::size_t got = 0;
  while (got < sizeof bytes) {
    const ssize_t n = getrandom(bytes + got, sizeof bytes - got, 0);
    if (n < 0) {
      if (errno == EINTR) continue;
      error = std::string("no random token could be made: ") + std::strerror(errno);
      return false;
    }
    got += static_cast<std::size_t>(n);
  }
  static const char digits[] = "0123456789abcdef";
  token.clear();
  for (unsigned char b : bytes) {
    token.push_back(digits[b >> 4]);
    token.push_back(digits[b & 15]);
  }
  return true;
}
