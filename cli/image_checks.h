// Checks of the image before anything is sent: its size and SHA-256 for the
// technician to match with the release notes, and a refusal of files that
// are plainly no raw image (a HEX file, an ELF, an archive, nothing at all).
#pragma once

#include <cstdint>
#include <string>
#include <vector>

enum class ImageLooks { raw, empty, intelHex, srecords, elf, zip };

// What the file's first bytes say it is.
ImageLooks imageLooks(const std::vector<std::uint8_t>& bytes);

// Why a file that looks like `looks` is refused and how to get a raw image
// from it, one line after another; "" for a raw image.
std::string imageRefusal(ImageLooks looks, const std::string& path);

// What the checks found, for the record of the upload.
struct ImageFacts {
  bool read = false;  // false: unreadable here (the upload then says why)
  std::size_t size = 0;
  std::string sha256;
};

// Reads the image at `path`, shows its size and SHA-256 on standard error
// (unless `quiet`) and refuses, with the reason on standard error, a file
// that is no raw image (unless `force`). Returns the exit status: 0 to go on.
int checkImage(const std::string& path, bool quiet, bool force, ImageFacts& facts);
