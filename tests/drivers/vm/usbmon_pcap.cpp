#include "tests/drivers/vm/usbmon_pcap.h"

#include <cstring>
#include <fstream>
#include <iterator>

namespace {

std::uint32_t le32(const std::uint8_t* p) {
  return p[0] | p[1] << 8 | p[2] << 16 | static_cast<std::uint32_t>(p[3]) << 24;
}

}  // namespace

bool readUsbmonPcap(const std::string& path, std::vector<UsbRecord>& records, std::string& error) {
  std::ifstream in(path, std::ios::binary);
  if (!in) {
    error = "cannot open " + path;
    return false;
  }
  const std::vector<std::uint8_t> file((std::istreambuf_iterator<char>(in)),
                                       std::istreambuf_iterator<char>());
  if (file.size() < 24 || le32(file.data()) != 0xa1b2c3d4) {
    error = path + " is not a little-endian classic pcap file";
    return false;
  }
  const std::uint32_t linkType = le32(file.data() + 20);
  std::size_t headerSize = 0;
  if (linkType == 220) headerSize = 64;
  if (linkType == 189) headerSize = 48;
  if (headerSize == 0) {
    error = path + " has link type " + std::to_string(linkType) + ", not a usbmon capture";
    return false;
  }
  std::size_t at = 24;
  while (at + 16 <= file.size()) {
    const std::uint32_t length = le32(file.data() + at + 8);
    at += 16;
    if (length < headerSize || at + length > file.size()) {
      error = path + " ends inside a record";
      return false;
    }
    const std::uint8_t* p = file.data() + at;
    UsbRecord r;
    r.kind = static_cast<char>(p[8]);
    r.transfer = p[9];
    r.endpoint = p[10];
    std::memcpy(r.setup, p + 40, sizeof r.setup);
    r.data.assign(p + headerSize, p + length);
    records.push_back(std::move(r));
    at += length;
  }
  return true;
}
