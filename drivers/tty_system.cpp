#include "drivers/tty_system.h"

#include <fcntl.h>
#include <poll.h>
#include <sys/file.h>
#include <sys/ioctl.h>
#include <termios.h>
#include <unistd.h>

#include "drivers/tty_line.h"

namespace {

class KernelTty final : public TtySystem {
 public:
  int open(const char* path, int flags) override { return ::open(path, flags); }
  int close(int fd) override { return ::close(fd); }
  ssize_t write(int fd, const void* bytes, std::size_t count) override {
    return ::write(fd, bytes, count);
  }
  int ioctl(int fd, unsigned long request, int* argument) override {
    return argument != nullptr ? ::ioctl(fd, request, argument) : ::ioctl(fd, request);
  }
  int tcdrain(int fd) override { return ::tcdrain(fd); }
  int tcflush(int fd, int queue) override { return ::tcflush(fd, queue); }
  int flock(int fd, int operation) override { return ::flock(fd, operation); }
  int waitWritable(int fd, int timeoutMs) override {
    pollfd p{fd, POLLOUT, 0};
    return ::poll(&p, 1, timeoutMs);
  }
  bool setDmx(int fd, std::string& why) override { return tty_line::setDmx(fd, why); }
  bool setSpeed(int fd, unsigned baud, std::string& why) override {
    return tty_line::setSpeed(fd, baud, why);
  }
  bool setFraming(int fd, unsigned bits, unsigned stopBits, unsigned parity,
                  std::string& why) override {
    return tty_line::setFraming(fd, bits, stopBits, parity, why);
  }
};

}  // namespace

TtySystem& kernelTty() {
  static KernelTty tty;
  return tty;
}
