#include "drivers/tty.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/ioctl.h>
#include <termios.h>
#include <unistd.h>

#include <cerrno>
#include <cstdint>
#include <cstring>

#include "drivers/line_pace.h"
#include "drivers/tty_line.h"

// How a break never cuts the previous frame short: write() returns once the
// bytes are in the kernel's buffer, and the 76 bytes then need about 3.3 ms
// to leave the port. So every break first waits in tcdrain() until the
// kernel reports the port's transmitter empty (ftdi_sio asks the chip), and
// only then asserts TIOCSBRK. The break is held at least the DMX512 minimum
// before TIOCCBRK, since a native UART would otherwise drop it in
// microseconds.

namespace {

constexpr FT_STATUS kInvalidParameter = 6;  // FT_INVALID_PARAMETER
constexpr FT_DWORD kSetRts = 3;

std::string portPath;
std::string why;

struct Port {
  int fd;
  line_pace::Line line;
};

Port* portOf(FT_HANDLE handle) {
  if (handle == nullptr) why = "the port is not open";
  return static_cast<Port*>(handle);
}

// Why the port could not be opened, with what to do about it.
std::string openFailure(int error) {
  const std::string what = "cannot open " + portPath + ": " + std::strerror(error);
  switch (error) {
    case EACCES:
    case EPERM:
      return what +
             "; add your user to the dialout group (sudo usermod -aG dialout $USER) and "
             "log in again";
    case EBUSY:
      return what + "; another program holds the port (fuser -v " + portPath +
             " shows which): close it and try again";
    case ENOENT:
    case ENODEV:
    case ENXIO:
      return what + "; is the adapter plugged in? (ls /dev/ttyUSB* lists the ports)";
    default:
      return what;
  }
}

FT_STATUS FTAPI listDevices(void* pArg1, void* pArg2, FT_DWORD) {
  char** slots = static_cast<char**>(pArg1);
  if (slots[0] != nullptr) {
    std::strncpy(slots[0], portPath.c_str(), 63);
    slots[0][63] = '\0';
  }
  *static_cast<std::int32_t*>(pArg2) = 1;
  return FT_OK;
}

// Opens and prepares the port; -1 with `why` set when it cannot.
int openPort() {
  const int fd = ::open(portPath.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
  if (fd < 0) {
    why = openFailure(errno);
    return -1;
  }
  // Exclusive use: no second opening of the port, and no cooperating
  // program that takes the lock while we hold it.
  if (flock(fd, LOCK_EX | LOCK_NB) != 0) {
    why = errno == EWOULDBLOCK ? openFailure(EBUSY) : openFailure(errno);
  } else if (!tty_line::setDmx(fd, why)) {
    why = portPath + ": " + why;
  } else {
    ioctl(fd, TIOCEXCL);
    // Writes block from here on; O_NONBLOCK was only for an opening that
    // must not wait for a carrier.
    fcntl(fd, F_SETFL, fcntl(fd, F_GETFL) & ~O_NONBLOCK);
    // Ports without modem lines (a pseudo-terminal) refuse this; the
    // line set-up clears RTS again and reports it there.
    const int rts = TIOCM_RTS;
    ioctl(fd, TIOCMBIC, &rts);
    tcflush(fd, TCIOFLUSH);
    return fd;
  }
  ::close(fd);
  return -1;
}

FT_STATUS FTAPI openEx(void* pArg1, FT_DWORD flags, FT_HANDLE* handle) {
  if (flags != FT_OPEN_BY_SERIAL_NUMBER) {
    why = "ports are opened by path only";
    return kInvalidParameter;
  }
  if (portPath != static_cast<const char*>(pArg1)) {
    why = "this adapter is the port " + portPath + " only";
    return FT_DEVICE_NOT_FOUND;
  }
  const int fd = openPort();
  if (fd < 0) return FT_DEVICE_NOT_OPENED;
  *handle = new Port{fd, {}};
  return FT_OK;
}

FT_STATUS FTAPI setBaudRate(FT_HANDLE h, std::uint32_t baud) {
  Port* p = portOf(h);
  if (p == nullptr) return FT_INVALID_HANDLE;
  return tty_line::setSpeed(p->fd, baud, why) ? FT_OK : FT_IO_ERROR;
}

FT_STATUS FTAPI setDataCharacteristics(FT_HANDLE h, std::uint8_t bits, std::uint8_t stop,
                                       std::uint8_t parity) {
  Port* p = portOf(h);
  if (p == nullptr) return FT_INVALID_HANDLE;
  return tty_line::setFraming(p->fd, bits, stop, parity, why) ? FT_OK : kInvalidParameter;
}

// Notes a failed system call; returns 0, the Win32 FALSE.
FT_BOOL failed(const char* call) {
  why = std::string(call) + " on " + portPath + ": " + std::strerror(errno);
  return 0;
}

FT_BOOL FTAPI escapeCommFunction(FT_HANDLE h, FT_DWORD func) {
  Port* p = portOf(h);
  if (p == nullptr) return 0;
  if (func != FT_CLRRTS && func != kSetRts) {
    why = "unsupported escape function " + std::to_string(func);
    return 0;
  }
  const int rts = TIOCM_RTS;
  if (ioctl(p->fd, func == kSetRts ? TIOCMBIS : TIOCMBIC, &rts) != 0) return failed("RTS");
  return 1;
}

FT_BOOL FTAPI setBreak(FT_HANDLE h) {
  Port* p = portOf(h);
  if (p == nullptr) return 0;
  while (tcdrain(p->fd) != 0)
    if (errno != EINTR) return failed("tcdrain");
  if (ioctl(p->fd, TIOCSBRK) != 0) return failed("TIOCSBRK");
  line_pace::breakOn(p->line);
  return 1;
}

FT_BOOL FTAPI clearBreak(FT_HANDLE h) {
  Port* p = portOf(h);
  if (p == nullptr) return 0;
  line_pace::waitBreakLength(p->line);
  if (ioctl(p->fd, TIOCCBRK) != 0) return failed("TIOCCBRK");
  return 1;
}

FT_STATUS FTAPI write(FT_HANDLE h, void* buffer, FT_DWORD length, FT_DWORD* written) {
  *written = 0;
  Port* p = portOf(h);
  if (p == nullptr) return FT_INVALID_HANDLE;
  const auto* bytes = static_cast<const std::uint8_t*>(buffer);
  while (*written < length) {
    const ssize_t n = ::write(p->fd, bytes + *written, length - *written);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) {
      failed("write");
      why += " (was the adapter unplugged?)";
      return FT_IO_ERROR;
    }
    *written += static_cast<FT_DWORD>(n);
  }
  return FT_OK;
}

// close() lets the kernel drain what is still queued; the lock goes with it.
FT_STATUS FTAPI close(FT_HANDLE h) {
  Port* p = portOf(h);
  if (p == nullptr) return FT_INVALID_HANDLE;
  const int result = ::close(p->fd);
  if (result != 0) failed("close");
  delete p;
  return result == 0 ? FT_OK : FT_IO_ERROR;
}

const char* lastError() { return why.c_str(); }

const AdapterTable table = {"tty",
                            "the serial port",
                            nullptr,
                            listDevices,
                            openEx,
                            setBaudRate,
                            setDataCharacteristics,
                            escapeCommFunction,
                            setBreak,
                            clearBreak,
                            write,
                            close,
                            lastError};

}  // namespace

const AdapterTable* ttyAdapter(const std::string& path, std::string& error) {
  if (path.empty()) {
    error = "the tty adapter needs the port's path, as in tty:/dev/ttyUSB0";
    return nullptr;
  }
  if (path.size() > 63) {
    error = "the port's path is longer than 63 characters: " + path;
    return nullptr;
  }
  portPath = path;
  why.clear();
  return &table;
}
