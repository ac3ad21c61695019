#include <pwd.h>
#include <unistd.h>

#include <cstdlib>

#include "session/host_user.h"

std::string hostName() {
  char name[256] = {};
  if (gethostname(name, sizeof name - 1) != 0) return "?";
  return name;
}

std::string userName() {
  if (const passwd* p = getpwuid(geteuid()); p != nullptr && p->pw_name != nullptr)
    return p->pw_name;
  const char* user = std::getenv("USER");
  return user != nullptr && user[0] != '\0' ? user : std::to_string(geteuid());
}
