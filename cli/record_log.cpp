#include "cli/record_log.h"

#include <cerrno>
#include <cstring>
#include <mutex>

#include "cli/exit_codes.h"
#include "drivers/registry.h"

namespace {

std::mutex timeMutex;  // localtime and gmtime share their result

const char* resultWord(int exitCode) {
  switch (exitCode) {
    case exitDone:
      return "DONE";
    case exitLineFailed:
      return "FAILED";
    case exitFileRefused:
      return "REFUSED";
    case exitNotIntact:
      return "NOT-INTACT";
    case exitUsage:
      return "USAGE";
    case exitInterrupted:
      return "STOPPED";
    case exitOutputFailed:
      return "DONE-OUTPUT-LOST";
    default:
      return "ENDED";
  }
}

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

std::string resultLine(const std::string& fields, int exitCode) {
  return "result: " + fields + " result=" + resultWord(exitCode) +
         " exit=" + std::to_string(exitCode);
}

RecordLog::~RecordLog() {
  if (file_ != nullptr) std::fclose(file_);
}

bool RecordLog::open(const std::string& path, std::string& error) {
  file_ = std::fopen(path.c_str(), "ab");
  if (file_ == nullptr) {
    error = "cannot open log file \"" + path + "\": " + std::strerror(errno);
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

void RecordLog::append(const char* text) {
  if (file_ == nullptr) return;
  const std::string stamp = isoLocalTime(std::time(nullptr)) + " ";
  for (const char* p = text; *p != '\0';) {
    if (atLineStart_) std::fputs(stamp.c_str(), file_);
    const char* end = std::strchr(p, '\n');
    const std::size_t n = end != nullptr ? static_cast<std::size_t>(end - p + 1) : std::strlen(p);
    std::fwrite(p, 1, n, file_);
    atLineStart_ = end != nullptr;
    p += n;
  }
  std::fflush(file_);
}

int recordResult(RecordLog& record, const Options& o, const ImageFacts& image, int exitCode) {
  if (!record.isOpen()) return exitCode;
  std::string fields = "file=\"" + o.file + "\"";
  if (image.read) fields += " size=" + std::to_string(image.size) + " sha256=" + image.sha256;
  fields +=
      " adapter=" + (o.adapterName.empty() ? std::string(defaultAdapterName()) : o.adapterName);
  if (!o.serial.empty()) fields += " serial=" + o.serial;
  fields += " address=" + std::to_string(o.address) + " profile=" + o.profile;
  record.note(resultLine(fields, exitCode));
  return exitCode;
}
