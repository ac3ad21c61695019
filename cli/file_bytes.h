// Whole-file reads and writes in binary mode, for the verification and --out.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "session/image.h"  // kLargestImage: no file to compare with can be larger

// Reads a regular file of at most `limit` bytes (files/bounded_file.h). False
// with `error` naming the file and what it really is when it cannot be read.
bool readFileBytes(const std::string& path, std::vector<std::uint8_t>& out, std::string& error,
                   std::size_t limit = kLargestImage);
bool writeFileBytes(const std::string& path, const std::vector<std::uint8_t>& bytes,
                    std::string& error);

// True when both names lead to one existing file.
bool sameFile(const std::string& a, const std::string& b);
