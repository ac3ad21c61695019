#include "session/record_log.h"

#include <cerrno>
#include <cstring>
#include <mutex>

#include "files/open_output.h"
#include "files/shown_text.h"

namespace {

std::mutex timeMutex;  // localtime and gmtime share their result

}  // namespace

std::string isoLocalTime(std::time_t t) {
  std::tm local{};
  std::tm utc{};
  {
    const std::lock_guard<std::mutex> hold(timeMutex);
    local = *std::localtime(&t);
    utc = *std::gmtime(&t);
  }
  // The offset from the two broken-down times: days differ by one at most.
  int days = local.tm_yday - utc.tm_yday;
  if (local.tm_year != utc.tm_year) days = local.tm_year > utc.tm_year ? 1 : -1;
  const long offset =
      days * 86400L + (local.tm_hour - utc.tm_hour) * 3600L + (local.tm_min - utc.tm_min) * 60L;
  char stamp[40];
  std::strftime(stamp, sizeof stamp, "%Y-%m-%dT%H:%M:%S", &local);
  const long minutes = (offset < 0 ? -offset : offset) / 60;
  char zone[32];
  std::snprintf(zone, sizeof zone, "%c%02ld:%02ld", offset < 0 ? '-' : '+', minutes / 60,
                minutes % 60);
  return std::string(stamp) + zone;
}

RecordLog::~RecordLog() {
  if (file_ != nullptr) std::fclose(file_);
}

bool RecordLog::open(const std::string& path, std::string& error) {
  // A regular file, or a character device that takes writes (/dev/null, a
  // terminal); a FIFO is refused rather than waited on for a reader.
  std::string why;
  file_ = files::openForAppend(path, why);
  if (file_ == nullptr) {
    error = "cannot use log file: " + why;
    return false;
  }
  return true;
}

void RecordLog::write(const char* text) {
  inner_.write(text);
  append(text);
}

void RecordLog::note(const std::string& line) {
  if (!atLineStart_) append("\n");
  append((line + "\n").c_str());
}

void RecordLog::append(const char* raw) {
  if (file_ == nullptr) return;
  // The same text a terminal gets: a name's line break or escape sequence
  // cannot forge or hide a line of the record.
  const std::string shownText = files::shownLines(raw);
  const char* text = shownText.c_str();
  const std::string stamp = isoLocalTime(std::time(nullptr)) + " ";
  for (const char* p = text; *p != '\0';) {
    if (atLineStart_) check(std::fputs(stamp.c_str(), file_) >= 0);
    const char* end = std::strchr(p, '\n');
    const std::size_t n = end != nullptr ? static_cast<std::size_t>(end - p + 1) : std::strlen(p);
    check(std::fwrite(p, 1, n, file_) == n);
    atLineStart_ = end != nullptr;
    p += n;
  }
  check(std::fflush(file_) == 0);
}

void RecordLog::check(bool ok) {
  if (!ok && failure_ == 0) failure_ = errno != 0 ? errno : EIO;
}

bool RecordLog::close() {
  if (file_ != nullptr) {
    errno = 0;
    check(std::fflush(file_) == 0);
    check(std::ferror(file_) == 0);
    errno = 0;
    check(std::fclose(file_) == 0);
    file_ = nullptr;
  }
  return failure_ == 0;
}
