#include "cli/labelled_log.h"

namespace {

// Appended piece by piece: GCC 12's -Wrestrict misreads "literal" + string at -O3.
std::string bracketed(const std::string& label) {
  std::string text("[");
  text.append(files::shown(label));
  text.append("] ");
  return text;
}

}  // namespace

LabelledLog::LabelledLog(std::string label, LogSink* out, std::mutex& outLock)
    : label_(bracketed(label)), out_(out), outLock_(outLock) {}

void LabelledLog::write(const char* text) {
  partial_ += text;
  std::size_t end;
  while ((end = partial_.find('\n')) != std::string::npos) {
    const std::string line = label_ + partial_.substr(0, end + 1);
    partial_.erase(0, end + 1);
    if (out_ == nullptr) {
      kept_ += line;
      continue;
    }
    std::lock_guard<std::mutex> lock(outLock_);
    out_->write(line.c_str());
  }
}
