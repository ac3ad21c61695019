// Whole-file reads and writes in binary mode, for the verification and --out.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

// False with `error` naming the file and the reason when it cannot be read.
bool readFileBytes(const std::string& path, std::vector<std::uint8_t>& out, std::string& error);
bool writeFileBytes(const std::string& path, const std::vector<std::uint8_t>& bytes,
                    std::string& error);

// True when both names lead to one existing file.
bool sameFile(const std::string& a, const std::string& b);
