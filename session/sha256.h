// SHA-256 of an image, so that a technician can match the file about to be
// sent with the one named in the release notes.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

// The digest of `size` bytes at `data`, as 64 lowercase hex digits.
std::string sha256Hex(const std::uint8_t* data, std::size_t size);
