#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>

#include "session/line_lock.h"

std::string lineLockFolder() {
  if (const char* given = std::getenv("UPLOADER_LOCK_DIR"); given != nullptr && *given != '\0')
    return given;
  if (const char* runtime = std::getenv("XDG_RUNTIME_DIR"); runtime != nullptr && *runtime != '\0')
    return std::string(runtime) + "/tavik-uploader";
  const char* tmp = std::getenv("TMPDIR");
  return std::string(tmp != nullptr && *tmp != '\0' ? tmp : "/tmp") + "/tavik-uploader-" +
         std::to_string(getuid());
}

bool LineLock::take(const std::string& folder, const std::string& key, std::string& why) {
  if (mkdir(folder.c_str(), 0700) != 0 && errno != EEXIST) {
    why = "cannot make the folder of the line locks " + folder + ": " + std::strerror(errno);
    return false;
  }
  const std::string path = folder + "/" + lockFileName(key);
  const int fd = open(path.c_str(), O_RDWR | O_CREAT | O_CLOEXEC | O_NOFOLLOW, 0600);
  if (fd < 0) {
    why = "cannot open the line's lock " + path + ": " + std::strerror(errno);
    return false;
  }
  if (flock(fd, LOCK_EX | LOCK_NB) != 0) {
    const int error = errno;
    char pid[32] = {};
    const ssize_t got = pread(fd, pid, sizeof pid - 1, 0);
    close(fd);
    if (error != EWOULDBLOCK) {
      why = "cannot lock the line (" + path + "): " + std::strerror(error);
      return false;
    }
    why = "the line " + key + " is in use by another upload (process " +
          (got > 0 ? std::string(pid, static_cast<std::size_t>(got)) : std::string("?")) +
          "); wait for it to end, or stop it";
    return false;
  }
  // Who holds it, for the message of the one refused.
  const std::string self = std::to_string(getpid());
  if (ftruncate(fd, 0) != 0 || pwrite(fd, self.data(), self.size(), 0) < 0) {
    // The lock holds all the same; only the refused one's message lacks the number.
  }
  handle_ = fd;
  return true;
}

LineLock::~LineLock() {
  if (handle_ >= 0) close(static_cast<int>(handle_));
}
