// The image of an upload, read once: the bytes hashed and checked are the
// bytes every line sends, whatever happens to the file meanwhile.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

// The largest image the uploader sends (the data phase counts in 16 bits).
inline constexpr std::size_t kLargestImage = 65535;

struct ImageBytes {
  std::string name;                 // the path as given
  std::vector<std::uint8_t> bytes;  // the whole file; empty when it is too large
  std::size_t fileSize = 0;         // the file's size
  bool tooLarge = false;            // more than kLargestImage bytes: the upload refuses it
  std::string sha256;               // of `bytes`; "" when too large
};

// Reads `path` once, when it is a regular file (files/bounded_file.h). False
// with `error` naming the file and what it really is when it cannot be read;
// a file too large is read as far as its size and marked so.
bool loadImage(const std::string& path, ImageBytes& image, std::string& error);

enum class ImageLooks { raw, empty, intelHex, srecords, elf, zip };

// What the file's first bytes say it is.
ImageLooks imageLooks(const std::vector<std::uint8_t>& bytes);

// Why a file that looks like `looks` is refused and how to get a raw image
// from it, one line after another; "" for a raw image.
std::string imageRefusal(ImageLooks looks, const std::string& path);

// An image given as bytes rather than a file (one sent from a browser):
// `name` is what reports show for it. Bytes over kLargestImage make it too
// large, as a file would be.
ImageBytes imageOfBytes(const std::string& name, std::vector<std::uint8_t> bytes);
