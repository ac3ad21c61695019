// The system calls the tty driver makes, behind one seam: the kernel's in
// use, a recording stand-in in tests, which can then see that every break
// waits for the previous frame to leave and is held long enough.
#pragma once

#include <sys/types.h>

#include <cstddef>
#include <string>

class TtySystem {
 public:
  virtual ~TtySystem() = default;
  virtual int open(const char* path, int flags) = 0;
  virtual int close(int fd) = 0;
  virtual ssize_t write(int fd, const void* bytes, std::size_t count) = 0;
  // ioctl() with an int argument or none: TIOCSBRK, TIOCCBRK, TIOCEXCL,
  // TIOCMBIS, TIOCMBIC.
  virtual int ioctl(int fd, unsigned long request, int* argument) = 0;
  virtual int tcdrain(int fd) = 0;
  virtual int tcflush(int fd, int queue) = 0;
  virtual int flock(int fd, int operation) = 0;
  // poll() for room to write: above 0 when there is, 0 after `timeoutMs`
  // without, below 0 on failure (errno says why).
  virtual int waitWritable(int fd, int timeoutMs) = 0;
  // The line settings (tty_line.h); false with `why` when the port refuses.
  virtual bool setDmx(int fd, std::string& why) = 0;
  virtual bool setSpeed(int fd, unsigned baud, std::string& why) = 0;
  virtual bool setFraming(int fd, unsigned bits, unsigned stopBits, unsigned parity,
                          std::string& why) = 0;
};

// The kernel's calls.
TtySystem& kernelTty();
