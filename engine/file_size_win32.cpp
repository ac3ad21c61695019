#include <sys/stat.h>
#include <sys/types.h>

#include "engine/file_size.h"

long long regularFileSize(std::FILE* stream) {
  struct _stat64 st {};
  if (_fstat64(_fileno(stream), &st) != 0 || (st.st_mode & _S_IFMT) != _S_IFREG) return -1;
  return static_cast<long long>(st.st_size);
}
