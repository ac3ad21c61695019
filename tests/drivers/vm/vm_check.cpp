// Checks what came out of QEMU's emulated FT232 against the frames the
// engine sends: vm_check REFERENCE LINE USB_PCAP [TRACE].
//   REFERENCE  the frames of the same upload on the simulated adapter
//   LINE       the bytes the emulated chip put out (QEMU's file chardev)
//   USB_PCAP   the device's USB traffic (usb-serial,...,pcap=FILE)
//   TRACE      QEMU's usb_serial_* trace, when there is one
// The line must hold exactly the reference frames. Since QEMU passes no
// break to a character device, the break is checked in the USB traffic:
// every 76-byte write must follow "break on" then "break off", and the line
// must have been set to 250 000 baud, 8N2, no flow control, RTS low first.
#include <cstdio>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "tests/drivers/vm/usbmon_pcap.h"

namespace {

// FTDI vendor requests (bmRequestType 0x40) and the values this test expects.
constexpr std::uint8_t kModemCtrl = 1, kSetFlowCtrl = 2, kSetBaudRate = 3, kSetData = 4;
constexpr unsigned kRtsLow = 0x0200;        // RTS mask bit set, RTS bit clear
constexpr unsigned kDivisor250000 = 12;     // 3 MHz / 12 on a BM chip
constexpr unsigned kData8N2 = 0x1008;       // 8 bits, no parity, 2 stop bits
constexpr unsigned kData8N2Break = 0x5008;  // the same with the break on
constexpr std::size_t kFrame = 76;

std::vector<std::uint8_t> readAll(const char* path) {
  std::ifstream in(path, std::ios::binary);
  return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

int failed(const std::string& why) {
  std::printf("FAILED: %s\n", why.c_str());
  return 1;
}

// One thing asked of the chip: a vendor request, or a bulk write.
struct Step {
  bool write = false;
  std::uint8_t request = 0;
  unsigned value = 0;
  std::vector<std::uint8_t> bytes;
};

std::vector<Step> stepsOf(const std::vector<UsbRecord>& records) {
  std::vector<Step> steps;
  for (const UsbRecord& r : records) {
    if (r.kind != 'S') continue;
    if (r.transfer == 2 && r.setup[0] == 0x40)
      steps.push_back({false, r.setup[1], static_cast<unsigned>(r.setup[2] | r.setup[3] << 8), {}});
    if (r.transfer == 3 && (r.endpoint & 0x80) == 0 && !r.data.empty())
      steps.push_back({true, 0, 0, r.data});
  }
  return steps;
}

bool isRequest(const Step& s, std::uint8_t request, unsigned value) {
  return !s.write && s.request == request && s.value == value;
}

int checkUsb(const std::vector<Step>& steps, const std::vector<std::uint8_t>& line) {
  std::size_t first = 0;
  while (first < steps.size() && !steps[first].write) ++first;
  if (first == steps.size()) return failed("the USB capture holds no write");
  bool baud = false, flow = false, rts = false;
  unsigned data = 0;
  for (std::size_t i = 0; i < first; ++i) {
    const Step& s = steps[i];
    if (s.request == kSetBaudRate) baud = s.value == kDivisor250000;
    if (s.request == kSetFlowCtrl) flow = s.value == 0;
    if (s.request == kModemCtrl && (s.value & 0x0200) != 0) rts = s.value == kRtsLow;
    if (s.request == kSetData) data = s.value;
  }
  if (!baud) return failed("the baud rate was not left at 250 000 (divisor 12) before sending");
  if (!flow) return failed("flow control was not turned off before sending");
  if (!rts) return failed("RTS was not cleared before sending");
  if (data != kData8N2) return failed("the line was not 8N2 without break before sending");

  std::vector<std::uint8_t> written;
  std::size_t frames = 0;
  for (std::size_t i = first; i < steps.size(); ++i) {
    if (!steps[i].write) continue;
    const std::string where = "write " + std::to_string(frames + 1);
    if (steps[i].bytes.size() != kFrame)
      return failed(where + " carries " + std::to_string(steps[i].bytes.size()) + " bytes");
    if (i < 2 || !isRequest(steps[i - 2], kSetData, kData8N2Break) ||
        !isRequest(steps[i - 1], kSetData, kData8N2))
      return failed(where + " is not right after break on (0x5008) and break off (0x1008)");
    written.insert(written.end(), steps[i].bytes.begin(), steps[i].bytes.end());
    ++frames;
  }
  if (written != line) return failed("the USB writes differ from what the chip put out");
  std::printf(
      "USB capture: %zu writes of 76 bytes, each right after break on and break off; "
      "250 000 baud, 8N2, no flow control, RTS cleared before the first\n",
      frames);
  return 0;
}

// QEMU's own account of the set-data requests, as a second witness.
int checkTrace(const char* path, std::size_t frames) {
  std::ifstream in(path);
  if (!in) return 0;
  std::size_t on = 0, off = 0, baud = 0;
  for (std::string l; std::getline(in, l);) {
    on += l.find("got control 0x4004, value 0x5008") != std::string::npos;
    off += l.find("got control 0x4004, value 0x1008") != std::string::npos;
    baud += l.find("baud rate 250000") != std::string::npos;
  }
  if (on == 0 && off == 0) {
    std::printf("QEMU trace: no usb_serial events (tracing not built in); skipped\n");
    return 0;
  }
  if (on != frames || off < frames || baud == 0)
    return failed("QEMU's trace shows " + std::to_string(on) + " breaks for " +
                  std::to_string(frames) + " frames");
  std::printf("QEMU trace: %zu breaks on and off, baud rate 250000\n", on);
  return 0;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 4 && argc != 5) {
    std::fprintf(stderr, "usage: vm_check REFERENCE LINE USB_PCAP [TRACE]\n");
    return 2;
  }
  const std::vector<std::uint8_t> reference = readAll(argv[1]);
  const std::vector<std::uint8_t> line = readAll(argv[2]);
  if (reference.empty() || reference.size() % kFrame != 0)
    return failed("the reference holds no whole frames");
  if (line != reference) {
    std::size_t at = 0;
    while (at < line.size() && at < reference.size() && line[at] == reference[at]) ++at;
    return failed("the line holds " + std::to_string(line.size()) + " bytes, the engine sent " +
                  std::to_string(reference.size()) + "; first difference in frame " +
                  std::to_string(at / kFrame + 1) + " at byte " + std::to_string(at % kFrame));
  }
  std::printf("line: %zu frames, byte-exact and in order\n", reference.size() / kFrame);
  std::vector<UsbRecord> records;
  std::string error;
  if (!readUsbmonPcap(argv[3], records, error)) return failed(error);
  if (checkUsb(stepsOf(records), line) != 0) return 1;
  return argc == 5 ? checkTrace(argv[4], reference.size() / kFrame) : 0;
}
