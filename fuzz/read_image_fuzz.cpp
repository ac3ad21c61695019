// Image reading with arbitrary file contents, sizes and limits: reading
// must stop at its limit, never write past the destination, and report
// exactly what the file held.
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "engine/program.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size < 2) return 0;
  const long limit = data[0] | (data[1] << 8);  // 0 to 65535
  data += 2;
  size -= 2;

  std::FILE* f = std::tmpfile();
  if (f == nullptr) return 0;
  if (size != 0 && std::fwrite(data, 1, size, f) != size) std::abort();
  std::rewind(f);
  // Exactly `limit` bytes, so that any write past it is caught by ASan.
  std::vector<std::uint8_t> dest(static_cast<std::size_t>(limit));
  const long got = read_file(f, dest.data(), limit);
  std::fclose(f);

  const long n = static_cast<long>(size);
  if (got != (n > limit ? limit + 1 : n)) std::abort();
  const std::size_t kept = static_cast<std::size_t>(n > limit ? limit : n);
  if (kept != 0 && std::memcmp(dest.data(), data, kept) != 0) std::abort();
  return 0;
}
