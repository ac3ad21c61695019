#include "drivers/tty_line.h"

#include <asm/termbits.h>
#include <sys/ioctl.h>

#include <cerrno>
#include <cstring>

namespace tty_line {
namespace {

bool get(int fd, termios2& t, std::string& why) {
  if (ioctl(fd, TCGETS2, &t) == 0) return true;
  why = errno == ENOTTY ? std::string("not a serial port")
                        : std::string("reading the line settings failed: ") + std::strerror(errno);
  return false;
}

bool put(int fd, const termios2& t, std::string& why) {
  if (ioctl(fd, TCSETS2, &t) == 0) return true;
  why = std::string("setting the line failed: ") + std::strerror(errno);
  return false;
}

void speedInto(termios2& t, unsigned baud) {
  t.c_cflag &= ~(CBAUD | (CBAUD << IBSHIFT));
  t.c_cflag |= BOTHER | (BOTHER << IBSHIFT);
  t.c_ispeed = baud;
  t.c_ospeed = baud;
}

// Reads the rate back: a driver that cannot reach it falls back to another.
bool speedReached(int fd, unsigned baud, std::string& why) {
  termios2 t{};
  if (!get(fd, t, why)) return false;
  const unsigned got = t.c_ospeed;
  const unsigned off = got > baud ? got - baud : baud - got;
  if (off * 100 <= baud * 3) return true;
  why = "the port cannot run at " + std::to_string(baud) + " baud (it gives " +
        std::to_string(got) + ")";
  return false;
}

}  // namespace

bool setDmx(int fd, std::string& why) {
  termios2 t{};
  if (!get(fd, t, why)) return false;
  t.c_iflag &= ~(IGNBRK | BRKINT | PARMRK | ISTRIP | INLCR | IGNCR | ICRNL | IXON | IXOFF | IXANY);
  t.c_oflag &= ~OPOST;
  t.c_lflag &= ~(ECHO | ECHONL | ICANON | ISIG | IEXTEN);
  t.c_cflag &= ~(CSIZE | PARENB | PARODD | CMSPAR | CRTSCTS);
  t.c_cflag |= CS8 | CSTOPB | CREAD | CLOCAL;
  t.c_cc[VMIN] = 0;
  t.c_cc[VTIME] = 0;
  speedInto(t, 250000);
  return put(fd, t, why) && speedReached(fd, 250000, why);
}

bool setSpeed(int fd, unsigned baud, std::string& why) {
  termios2 t{};
  if (!get(fd, t, why)) return false;
  speedInto(t, baud);
  return put(fd, t, why) && speedReached(fd, baud, why);
}

bool setFraming(int fd, unsigned bits, unsigned stopBits, unsigned parity, std::string& why) {
  if ((bits != 7 && bits != 8) || (stopBits != 0 && stopBits != 2) || parity > 4) {
    why = "unsupported data characteristics";
    return false;
  }
  termios2 t{};
  if (!get(fd, t, why)) return false;
  t.c_cflag &= ~(CSIZE | CSTOPB | PARENB | PARODD | CMSPAR);
  t.c_cflag |= bits == 8 ? CS8 : CS7;
  if (stopBits == 2) t.c_cflag |= CSTOPB;
  static const tcflag_t kParity[] = {0, PARENB | PARODD, PARENB, PARENB | CMSPAR | PARODD,
                                     PARENB | CMSPAR};
  t.c_cflag |= kParity[parity];
  return put(fd, t, why);
}

}  // namespace tty_line
