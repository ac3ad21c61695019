#include "session/line_targets.h"

#include <fstream>
#include <memory>
#include <sstream>

#include "drivers/registry.h"

namespace {

constexpr std::size_t kMaxLinesFile = 1 << 20;
constexpr long kMaxSimLines = 256;
constexpr std::size_t kMaxListed = 64;

std::string trimmed(const std::string& text) {
  const std::size_t first = text.find_first_not_of(" \t\r");
  if (first == std::string::npos) return "";
  return text.substr(first, text.find_last_not_of(" \t\r") - first + 1);
}

// The adapter arguments in --lines FILE: one a line, "#" starts a comment.
bool readLinesFile(const std::string& path, std::vector<std::string>& out, std::string& error) {
  std::ifstream in(path, std::ios::binary);
  if (!in) {
    error = "--lines: cannot read \"" + path + "\"";
    return false;
  }
  std::string text(kMaxLinesFile + 1, '\0');
  in.read(text.data(), static_cast<std::streamsize>(text.size()));
  if (in.bad()) {
    error = "--lines: cannot read \"" + path + "\" (is it a folder?)";
    return false;
  }
  text.resize(static_cast<std::size_t>(in.gcount()));
  if (text.size() > kMaxLinesFile) {
    error = "--lines: \"" + path + "\" is larger than 1 MiB; it should list adapters";
    return false;
  }
  std::istringstream lines(text);
  for (std::string line; std::getline(lines, line);) {
    line = trimmed(line.substr(0, line.find('#')));
    if (!line.empty()) out.push_back(line);
  }
  if (out.empty()) error = "--lines: \"" + path + "\" names no adapter";
  return !out.empty();
}

// The serial numbers the driver lists (at most kMaxListed).
bool listSerials(const std::string& driver, const LineRequest& o, std::vector<std::string>& serials,
                 std::string& error) {
  std::unique_ptr<Adapter> adapter = makeAdapter(driver, o.driverSettings, error);
  if (adapter == nullptr) return false;
  if (!adapter->load()) {
    error = "cannot load " + std::string(adapter->library()) + ": " + adapter->lastError();
    return false;
  }
  std::vector<std::string> slots(kMaxListed, std::string(64, '\0'));
  std::vector<char*> pointers;
  for (std::string& s : slots) pointers.push_back(s.data());
  pointers.push_back(nullptr);
  std::int32_t count = 0;
  if (adapter->FT_ListDevices(pointers.data(), &count, FT_LIST_ALL | FT_OPEN_BY_SERIAL_NUMBER) !=
      FT_OK) {
    error = "listing the " + driver + " adapters failed: " + adapter->lastError();
    return false;
  }
  for (std::int32_t i = 0; i < count && i < static_cast<std::int32_t>(kMaxListed); ++i)
    serials.push_back(slots[static_cast<std::size_t>(i)].c_str());
  if (serials.empty()) error = "no " + driver + " adapter is connected";
  return !serials.empty();
}

bool expand(const std::string& argument, const LineRequest& o, std::vector<LineTarget>& lines,
            std::string& error, LineProblem& status) {
  const DriverEntry* entry = findDriver(argument);
  const std::size_t colon = argument.find(':');
  const std::string rest = colon == std::string::npos ? "" : argument.substr(colon + 1);
  if (entry == nullptr || rest.empty() || entry->lines == LineForm::single) {
    lines.push_back({argument, argument, ""});
    return true;
  }
  const std::string driver = entry->prefix;
  if (entry->lines == LineForm::count) {
    long n = 0;
    if (!parseWholeNumber(rest, 1, kMaxSimLines, n)) {
      error = argument + ": " + driver + ":N takes N from 1 to " + std::to_string(kMaxSimLines);
      return false;
    }
    for (long i = 1; i <= n; ++i) lines.push_back({driver + ":" + std::to_string(i), driver, ""});
    return true;
  }
  if (rest != "all") {
    lines.push_back({argument, driver, rest});
    return true;
  }
  std::vector<std::string> serials;
  if (!listSerials(driver, o, serials, error)) {
    error = argument + ": " + error;
    status = LineProblem::listingFailed;
    return false;
  }
  for (const std::string& s : serials) lines.push_back({driver + ":" + s, driver, s});
  return true;
}

}  // namespace

LineProblem lineTargets(const LineRequest& o, std::vector<LineTarget>& lines, std::string& error) {
  std::vector<std::string> arguments = o.adapters;
  if (!o.linesFile.empty() && !readLinesFile(o.linesFile, arguments, error))
    return LineProblem::linesFile;
  if (arguments.empty()) arguments.push_back(defaultAdapterName());
  LineProblem status = LineProblem::usage;
  for (const std::string& a : arguments)
    if (!expand(a, o, lines, error, status)) return status;
  return LineProblem::none;
}
