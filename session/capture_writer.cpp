#include "session/capture_writer.h"

#include <cerrno>
#include <chrono>
#include <cstring>
#include <filesystem>
#include <system_error>
#include <vector>

#include "device/capture_reader.h"
#include "files/open_output.h"
#include "files/shown_text.h"
#include "session/stop_requests.h"

namespace {

constexpr const char* kPartial = ".partial";

// Little-endian on every host; readers tell the byte order from the magic.
void put32(std::uint8_t* p, std::uint32_t v) {
  p[0] = static_cast<std::uint8_t>(v);
  p[1] = static_cast<std::uint8_t>(v >> 8);
  p[2] = static_cast<std::uint8_t>(v >> 16);
  p[3] = static_cast<std::uint8_t>(v >> 24);
}

void put16(std::uint8_t* p, std::uint16_t v) {
  p[0] = static_cast<std::uint8_t>(v);
  p[1] = static_cast<std::uint8_t>(v >> 8);
}

}  // namespace

std::int64_t wallClockMicros() {
  using namespace std::chrono;
  return duration_cast<microseconds>(system_clock::now().time_since_epoch()).count();
}

bool CaptureWriter::open(const std::string& path, std::string& error) {
  close();
  stoppedOpening_ = false;
  path_ = path;
  records_ = 0;
  error_.clear();
  kept_.clear();
  keptCount_ = 0;
  namespace fs = std::filesystem;
  std::error_code ec;
  const fs::file_status target = fs::status(path, ec);
  if (fs::is_directory(target)) {
    error = "cannot create capture file " + files::quoted(path) + ": it is a directory";
    return false;
  }
  const bool direct = fs::exists(target) && !fs::is_regular_file(target);
  // A symbolic link stays one: the file it leads to is the one replaced.
  if (fs::is_regular_file(target) && fs::is_symlink(fs::symlink_status(path, ec))) {
    const fs::path real = fs::canonical(path, ec);
    if (!ec) path_ = real.string();
  }
  writing_ = direct ? path_ : path_ + kPartial;
  if (!direct) fs::remove(writing_, ec);  // a leftover of an interrupted upload
  if (fs::is_fifo(target)) {
    // A live view (wireshark -k -i FIFO): its reader may come a little after
    // the upload starts; opening waits for it in slices a stop ends.
    files::FifoOpen result = files::FifoOpen::failed;
    std::string why;
    file_ = files::openFifoForWriting(writing_, kFifoReaderWaitMs, stopRequested, result, why);
    if (file_ == nullptr) {
      stoppedOpening_ = result == files::FifoOpen::stopped;
      error = why;
      return false;
    }
  } else {
    file_ = std::fopen(writing_.c_str(), "wb");
  }
  if (file_ == nullptr) {
    error = "cannot create capture file " + files::quoted(writing_) + ": " + std::strerror(errno);
    return false;
  }
  std::uint8_t header[24] = {};
  put32(header, 0xA1B2C3D4u);  // microsecond time stamps
  put16(header + 4, 2);        // version 2.4
  put16(header + 6, 4);
  // Bytes 8..15: time zone offset and accuracy, both 0.
  put32(header + 16, kCaptureSnapLength);
  put32(header + 20, vdev::kLinkTypeUser0);
  if (std::fwrite(header, sizeof header, 1, file_) != 1 || std::fflush(file_) != 0) {
    error = "cannot write capture file " + files::quoted(writing_) + ": " + std::strerror(errno);
    std::fclose(file_);
    file_ = nullptr;
    if (writing_ != path_) std::filesystem::remove(writing_, ec);
    return false;
  }
  return true;
}

void CaptureWriter::write(std::int64_t unixMicros, const std::uint8_t* bytes, std::size_t length) {
  if (file_ == nullptr) return;
  const std::size_t kept = length < kCaptureSnapLength ? length : kCaptureSnapLength;
  std::uint8_t head[16];
  put32(head, static_cast<std::uint32_t>(unixMicros / 1'000'000));
  put32(head + 4, static_cast<std::uint32_t>(unixMicros % 1'000'000));
  put32(head + 8, static_cast<std::uint32_t>(kept));
  put32(head + 12, static_cast<std::uint32_t>(length));
  if (spooled_) {
    std::lock_guard<std::mutex> lock(mutex_);
    if (!error_.empty()) return;
    kept_.insert(kept_.end(), head, head + 16);
    kept_.insert(kept_.end(), bytes, bytes + kept);
    ++keptCount_;
    return;
  }
  std::vector<std::uint8_t> record(head, head + 16);
  record.insert(record.end(), bytes, bytes + kept);
  writeOut(record, 1);
}

void CaptureWriter::drain() {
  std::vector<std::uint8_t> out;
  std::size_t count = 0;
  {
    std::lock_guard<std::mutex> lock(mutex_);
    out.swap(kept_);
    count = keptCount_;
    keptCount_ = 0;
  }
  if (count > 0) writeOut(out, count);
}

void CaptureWriter::writeOut(const std::vector<std::uint8_t>& bytes, std::size_t count) {
  std::lock_guard<std::mutex> file(fileMutex_);
  if (file_ == nullptr || failed()) return;
  if (std::fwrite(bytes.data(), bytes.size(), 1, file_) != 1 || std::fflush(file_) != 0) {
    const int code = errno;
    std::lock_guard<std::mutex> lock(mutex_);
    error_ = std::string("writing record ") + std::to_string(records_ + 1) +
             " failed: " + std::strerror(code);
    return;
  }
  std::lock_guard<std::mutex> lock(mutex_);
  records_ += count;
}

std::size_t CaptureWriter::records() const {
  std::lock_guard<std::mutex> lock(mutex_);
  return records_;
}

bool CaptureWriter::failed() const {
  std::lock_guard<std::mutex> lock(mutex_);
  return !error_.empty();
}

std::string CaptureWriter::error() const {
  std::lock_guard<std::mutex> lock(mutex_);
  return error_;
}

void CaptureWriter::close() {
  if (file_ == nullptr) return;
  drain();
  std::lock_guard<std::mutex> file(fileMutex_);
  std::lock_guard<std::mutex> lock(mutex_);
  if (std::fclose(file_) != 0 && error_.empty())
    error_ = std::string("closing the file failed: ") + std::strerror(errno);
  file_ = nullptr;
  if (writing_ == path_) return;
  std::error_code ec;
  if (records_ == 0) {
    std::filesystem::remove(writing_, ec);
    return;
  }
  std::filesystem::rename(writing_, path_, ec);
  if (ec && error_.empty())
    error_ =
        "it stays " + files::quoted(writing_) + ": putting it in place failed: " + ec.message();
}
