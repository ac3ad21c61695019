#include "session/image.h"

#include <cstdio>
#include <filesystem>

#include "engine/file_size.h"
#include "files/bounded_file.h"
#include "session/sha256.h"

namespace {

bool isHexDigit(std::uint8_t c) {
  return (c >= '0' && c <= '9') || (c >= 'A' && c <= 'F') || (c >= 'a' && c <= 'f');
}

// `count` hex digits from `at`.
bool hexDigitsAt(const std::vector<std::uint8_t>& b, std::size_t at, std::size_t count) {
  if (b.size() < at + count) return false;
  for (std::size_t i = at; i < at + count; ++i)
    if (!isHexDigit(b[i])) return false;
  return true;
}

bool startsWith(const std::vector<std::uint8_t>& b, std::initializer_list<std::uint8_t> head) {
  if (b.size() < head.size()) return false;
  std::size_t i = 0;
  for (std::uint8_t c : head)
    if (b[i++] != c) return false;
  return true;
}

// The name the raw image could take: the file's with ".bin" in place of its extension.
std::string rawName(const std::string& path) {
  std::filesystem::path p = std::filesystem::path(path).filename();
  p.replace_extension(".bin");
  return p.string() == std::filesystem::path(path).filename().string()
             ? p.stem().string() + "-raw.bin"
             : p.string();
}

}  // namespace

ImageLooks imageLooks(const std::vector<std::uint8_t>& b) {
  if (b.empty()) return ImageLooks::empty;
  if (startsWith(b, {0x7F, 'E', 'L', 'F'})) return ImageLooks::elf;
  if (startsWith(b, {'P', 'K', 0x03, 0x04})) return ImageLooks::zip;
  // Text records: after any leading blank lines, ":LLAAAATT" or "SnLL".
  std::size_t at = 0;
  while (at < b.size() && (b[at] == '\r' || b[at] == '\n' || b[at] == ' ' || b[at] == '\t')) ++at;
  if (at < b.size() && b[at] == ':' && hexDigitsAt(b, at + 1, 8)) return ImageLooks::intelHex;
  if (at + 1 < b.size() && b[at] == 'S' && b[at + 1] >= '0' && b[at + 1] <= '9' &&
      hexDigitsAt(b, at + 2, 4))
    return ImageLooks::srecords;
  return ImageLooks::raw;
}

std::string imageRefusal(ImageLooks looks, const std::string& path) {
  const std::string file = "\"" + path + "\"";
  const std::string out = rawName(path);
  const std::string force = "\nor send it as it is with --force";
  switch (looks) {
    case ImageLooks::raw:
      return "";
    case ImageLooks::empty:
      return file + " is empty: there is no image to send" + force;
    case ImageLooks::intelHex:
      return file + " looks like an Intel HEX file (text records starting with ':'), " +
             "not a raw image\nget the raw image with: objcopy -I ihex -O binary " + path + " " +
             out + force;
    case ImageLooks::srecords:
      return file + " looks like a Motorola S-record file (text lines S0 to S9), not a raw " +
             "image\nget the raw image with: objcopy -I srec -O binary " + path + " " + out + force;
    case ImageLooks::elf:
      return file + " is an ELF executable, not a raw image\nget the raw image with: objcopy " +
             "-O binary " + path + " " + out +
             "\n(the firmware toolchain's own objcopy, such as arm-none-eabi-objcopy)" + force;
    case ImageLooks::zip:
      return file + " is a zip archive, not a raw image\nunpack it (unzip -l " + path +
             " lists what it holds) and upload the raw image inside" + force;
  }
  return "";
}

bool loadImage(const std::string& path, ImageBytes& image, std::string& error) {
  image = {};
  image.name = path;
  files::InputFile in;
  if (!in.open(path)) {
    error = in.error();
    return false;
  }
  std::vector<std::uint8_t> bytes(kLargestImage + 1);
  const std::size_t got = std::fread(bytes.data(), 1, bytes.size(), in.stream());
  if (std::ferror(in.stream())) {
    error = "cannot read " + path;
    return false;
  }
  if (got > kLargestImage) {
    const long long size = regularFileSize(in.stream());
    image.tooLarge = true;
    image.fileSize = size > static_cast<long long>(got) ? static_cast<std::size_t>(size) : got;
    return true;
  }
  bytes.resize(got);
  image.bytes = std::move(bytes);
  image.fileSize = got;
  image.sha256 = sha256Hex(image.bytes.data(), image.bytes.size());
  return true;
}

ImageBytes imageOfBytes(const std::string& name, std::vector<std::uint8_t> bytes) {
  ImageBytes image;
  image.name = name;
  image.fileSize = bytes.size();
  if (bytes.size() > kLargestImage) {
    image.tooLarge = true;
    return image;
  }
  image.sha256 = sha256Hex(bytes.data(), bytes.size());
  image.bytes = std::move(bytes);
  return image;
}
