#include "tests/drivers/pty_line_probe.h"

#include <asm/termbits.h>
#include <sys/ioctl.h>

bool readLine(int fd, LineView& v) {
  termios2 t{};
  if (ioctl(fd, TCGETS2, &t) != 0) return false;
  v.ispeed = t.c_ispeed;
  v.ospeed = t.c_ospeed;
  v.otherBaud = (t.c_cflag & CBAUD) == BOTHER;
  const tcflag_t size = t.c_cflag & CSIZE;
  v.dataBits = size == CS8 ? 8 : size == CS7 ? 7 : size == CS6 ? 6 : 5;
  v.twoStopBits = (t.c_cflag & CSTOPB) != 0;
  v.parity = (t.c_cflag & PARENB) != 0;
  v.oddParity = (t.c_cflag & PARODD) != 0;
  v.markSpace = (t.c_cflag & CMSPAR) != 0;
  v.hardwareFlow = (t.c_cflag & CRTSCTS) != 0;
  v.softwareFlow = (t.c_iflag & (IXON | IXOFF)) != 0;
  v.ignoreModemLines = (t.c_cflag & CLOCAL) != 0;
  v.receiver = (t.c_cflag & CREAD) != 0;
  v.outputProcessing = (t.c_oflag & OPOST) != 0;
  v.canonical = (t.c_lflag & ICANON) != 0;
  v.echo = (t.c_lflag & ECHO) != 0;
  v.signals = (t.c_lflag & ISIG) != 0;
  v.inputMapping = (t.c_iflag & (ICRNL | INLCR | IGNCR | ISTRIP)) != 0;
  return true;
}
