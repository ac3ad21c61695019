// Reads a USB capture in the Linux usbmon layout, as QEMU writes it for a
// USB device with pcap=FILE (and as Wireshark reads it): classic pcap, link
// type 220 (64-byte usbmon headers) or 189 (48-byte headers).
#pragma once

#include <cstdint>
#include <string>
#include <vector>

struct UsbRecord {
  char kind = 0;                   // 'S' submission, 'C' completion, 'E' error
  std::uint8_t transfer = 0;       // 0 isochronous, 1 interrupt, 2 control, 3 bulk
  std::uint8_t endpoint = 0;       // bit 7 set: IN
  std::uint8_t setup[8] = {};      // control submissions: the setup packet
  std::vector<std::uint8_t> data;  // the bytes the record carries
};

// False with `error` filled in when the file cannot be read as such a capture.
bool readUsbmonPcap(const std::string& path, std::vector<UsbRecord>& records, std::string& error);
