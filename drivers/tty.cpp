#include "drivers/tty.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/ioctl.h>
#include <termios.h>

#include <cerrno>
#include <cstdint>
#include <cstring>

#include "drivers/line_pace.h"

// How a break never cuts the previous frame short: write() returns once the
// bytes are in the kernel's buffer, and the 76 bytes then need about 3.3 ms
// to leave the port. So every break first waits in tcdrain() until the
// kernel reports the port's transmitter empty (ftdi_sio asks the chip), and
// only then asserts TIOCSBRK. The break is held at least the DMX512 minimum
// before TIOCCBRK, since a native UART would otherwise drop it in
// microseconds.

namespace {

constexpr FT_DWORD kSetRts = 3;

// A write that finds no room waits this long for it before the port counts
// as stalled: far above the 3.3 ms a frame takes on the line.
constexpr int kWriteTimeoutMs = 2000;

struct Port {
  int fd;
  line_pace::Line line;
  bool stalled = false;
};

// Why the port at `portPath` could not be opened, with what to do about it.
std::string openFailure(const std::string& portPath, int error) {
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

class TtyAdapter final : public Adapter {
 public:
  TtyAdapter(std::string path, TtySystem& system)
      : Adapter("tty", "the serial port"), portPath_(std::move(path)), sys_(system) {}

  FT_STATUS FT_ListDevices(void* pArg1, void* pArg2, FT_DWORD) override {
    putListed(pArg1, 0, portPath_);
    *static_cast<std::int32_t*>(pArg2) = 1;
    return FT_OK;
  }

  FT_STATUS FT_OpenEx(void* pArg1, FT_DWORD flags, FT_HANDLE* handle) override {
    if (flags != FT_OPEN_BY_SERIAL_NUMBER) {
      why_ = "ports are opened by path only";
      return FT_INVALID_PARAMETER;
    }
    if (portPath_ != static_cast<const char*>(pArg1)) {
      why_ = "this adapter is the port " + portPath_ + " only";
      return FT_DEVICE_NOT_FOUND;
    }
    const int fd = openPort();
    if (fd < 0) return FT_DEVICE_NOT_OPENED;
    *handle = new Port{fd, {}, false};
    return FT_OK;
  }

  FT_STATUS FT_SetBaudRate(FT_HANDLE h, std::uint32_t baud) override {
    Port* p = portOf(h);
    if (p == nullptr) return FT_INVALID_HANDLE;
    return sys_.setSpeed(p->fd, baud, why_) ? FT_OK : FT_IO_ERROR;
  }

  FT_STATUS FT_SetDataCharacteristics(FT_HANDLE h, std::uint8_t bits, std::uint8_t stop,
                                      std::uint8_t parity) override {
    Port* p = portOf(h);
    if (p == nullptr) return FT_INVALID_HANDLE;
    return sys_.setFraming(p->fd, bits, stop, parity, why_) ? FT_OK : FT_INVALID_PARAMETER;
  }

  FT_BOOL FT_W32_EscapeCommFunction(FT_HANDLE h, FT_DWORD func) override {
    Port* p = portOf(h);
    if (p == nullptr) return 0;
    if (func != FT_CLRRTS && func != kSetRts) {
      why_ = "unsupported escape function " + std::to_string(func);
      return 0;
    }
    int rts = TIOCM_RTS;
    if (sys_.ioctl(p->fd, func == kSetRts ? TIOCMBIS : TIOCMBIC, &rts) != 0) return failed("RTS");
    return 1;
  }

  FT_BOOL FT_W32_SetCommBreak(FT_HANDLE h) override {
    Port* p = portOf(h);
    if (p == nullptr) return 0;
    while (sys_.tcdrain(p->fd) != 0)
      if (errno != EINTR) return failed("tcdrain");
    if (sys_.ioctl(p->fd, TIOCSBRK, nullptr) != 0) return failed("TIOCSBRK");
    line_pace::breakOn(p->line, clock());
    return 1;
  }

  FT_BOOL FT_W32_ClearCommBreak(FT_HANDLE h) override {
    Port* p = portOf(h);
    if (p == nullptr) return 0;
    line_pace::waitBreakLength(p->line, clock());
    if (sys_.ioctl(p->fd, TIOCCBRK, nullptr) != 0) return failed("TIOCCBRK");
    return 1;
  }

  FT_STATUS FT_Write(FT_HANDLE h, void* buffer, FT_DWORD length, FT_DWORD* written) override {
    *written = 0;
    Port* p = portOf(h);
    if (p == nullptr) return FT_INVALID_HANDLE;
    // A port that once took nothing for the whole time-out is not written
    // to again: each write would wait as long for nothing.
    if (p->stalled) return FT_IO_ERROR;  // why_ still says what happened
    const auto* bytes = static_cast<const std::uint8_t*>(buffer);
    while (*written < length) {
      const ssize_t n = sys_.write(p->fd, bytes + *written, length - *written);
      if (n < 0 && errno == EINTR) continue;
      if (n < 0 && (errno == EAGAIN || errno == EWOULDBLOCK)) {
        const int ready = sys_.waitWritable(p->fd, kWriteTimeoutMs);
        if (ready > 0 || (ready < 0 && errno == EINTR)) continue;
        if (ready == 0) {
          p->stalled = true;
          why_ = portPath_ + " took no data for " + std::to_string(kWriteTimeoutMs / 1000) +
                 " s (a frame needs 3.3 ms): nothing drains the port; is it the adapter's, and "
                 "is the adapter working?";
          return FT_IO_ERROR;
        }
        failed("poll");
        return FT_IO_ERROR;
      }
      if (n <= 0) {
        failed("write");
        why_ += " (was the adapter unplugged?)";
        return FT_IO_ERROR;
      }
      *written += static_cast<FT_DWORD>(n);
    }
    return FT_OK;
  }

  // close() lets the kernel drain what is still queued; the lock goes with it.
  FT_STATUS FT_Close(FT_HANDLE h) override {
    Port* p = portOf(h);
    if (p == nullptr) return FT_INVALID_HANDLE;
    const int result = sys_.close(p->fd);
    if (result != 0) failed("close");
    delete p;
    return result == 0 ? FT_OK : FT_IO_ERROR;
  }

  const char* lastError() const override { return why_.c_str(); }

 private:
  Port* portOf(FT_HANDLE handle) {
    if (handle == nullptr) why_ = "the port is not open";
    return static_cast<Port*>(handle);
  }

  // Notes a failed system call; returns 0, the Win32 FALSE.
  FT_BOOL failed(const char* call) {
    why_ = std::string(call) + " on " + portPath_ + ": " + std::strerror(errno);
    return 0;
  }

  // Opens and prepares the port; -1 with `why_` set when it cannot.
  int openPort() {
    const int fd = sys_.open(portPath_.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) {
      why_ = openFailure(portPath_, errno);
      return -1;
    }
    // Exclusive use: no second opening of the port, and no cooperating
    // program that takes the lock while we hold it.
    if (sys_.flock(fd, LOCK_EX | LOCK_NB) != 0) {
      why_ = errno == EWOULDBLOCK ? openFailure(portPath_, EBUSY) : openFailure(portPath_, errno);
    } else if (!sys_.setDmx(fd, why_)) {
      why_ = portPath_ + ": " + why_;
    } else {
      sys_.ioctl(fd, TIOCEXCL, nullptr);
      // The port stays non-blocking: a write waits for room in poll(), with
      // a time-out, so a port nobody drains cannot hang the upload.
      // Ports without modem lines (a pseudo-terminal) refuse this; the
      // line set-up clears RTS again and reports it there.
      int rts = TIOCM_RTS;
      sys_.ioctl(fd, TIOCMBIC, &rts);
      sys_.tcflush(fd, TCIOFLUSH);
      return fd;
    }
    sys_.close(fd);
    return -1;
  }

  std::string portPath_;
  TtySystem& sys_;
  std::string why_;
};

}  // namespace

std::unique_ptr<Adapter> makeTtyOn(const std::string& path, TtySystem& system, std::string& error) {
  if (path.empty()) {
    error = "the tty adapter needs the port's path, as in tty:/dev/ttyUSB0";
    return nullptr;
  }
  if (path.size() > 63) {
    error = "the port's path is longer than 63 characters: " + path;
    return nullptr;
  }
  return std::make_unique<TtyAdapter>(path, system);
}

std::unique_ptr<Adapter> makeTty(const std::string& argument, const DriverSettings&,
                                 std::string& error) {
  return makeTtyOn(argument, kernelTty(), error);
}
