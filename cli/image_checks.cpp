#include "cli/image_checks.h"

#include <cstdio>
#include <filesystem>

#include "cli/exit_codes.h"
#include "cli/file_bytes.h"
#include "cli/sha256.h"
#include "cli/terminal_operator.h"
#include "files/shown_text.h"

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

int checkImage(const std::string& path, bool quiet, bool force, ImageFacts& facts) {
  std::vector<std::uint8_t> bytes;
  std::string error;
  facts = {};
  if (!readFileBytes(path, bytes, error)) return exitDone;  // the upload reports it
  facts.read = true;
  facts.size = bytes.size();
  facts.sha256 = sha256Hex(bytes.data(), bytes.size());
  if (!quiet) {
    std::fprintf(stderr, "image %s: %zu bytes, SHA-256 %s\n", files::quoted(path).c_str(),
                 facts.size, facts.sha256.c_str());
    std::fflush(stderr);
  }
  const std::string refusal = imageRefusal(imageLooks(bytes), path);
  if (refusal.empty() || force) return exitDone;
  printError(stderr, refusal.c_str());
  return exitFileRefused;
}
