#include <sys/stat.h>

#include "engine/file_size.h"

long long regularFileSize(std::FILE* stream) {
  struct stat st {};
  if (fstat(fileno(stream), &st) != 0 || !S_ISREG(st.st_mode)) return -1;
  return static_cast<long long>(st.st_size);
}
