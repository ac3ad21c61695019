#include "session/line_targets.h"

#include <map>
#include <memory>
#include <sstream>

#include "drivers/registry.h"
#include "files/bounded_file.h"
#include "files/shown_text.h"

namespace {

constexpr std::size_t kMaxLinesFile = 1 << 20;
constexpr long kMaxSimLines = 256;
constexpr std::size_t kMaxListed = 64;

std::string trimmed(const std::string& text) {
  const std::size_t first = text.find_first_not_of(" \t\r");
  if (first == std::string::npos) return "";
  return text.substr(first, text.find_last_not_of(" \t\r") - first + 1);
}

// An adapter argument and where it was given.
struct Named {
  std::string argument;
  std::string origin;
};

// The adapter arguments in --lines FILE: one a line, "#" starts a comment.
// The file must be a regular file (a FIFO would hold the upload for ever).
bool readLinesFile(const std::string& path, std::vector<Named>& out, std::string& error) {
  std::vector<std::uint8_t> bytes;
  std::string why;
  const files::Problem problem = files::readFile(path, kMaxLinesFile, bytes, why);
  if (problem == files::Problem::tooLarge) {
    error = "--lines: " + files::quoted(path) + " is larger than 1 MiB; it should list adapters";
    return false;
  }
  if (problem != files::Problem::none) {
    error = "--lines: " + why;
    return false;
  }
  std::istringstream lines(std::string(bytes.begin(), bytes.end()));
  int number = 0;
  for (std::string line; std::getline(lines, line);) {
    ++number;
    line = trimmed(line.substr(0, line.find('#')));
    if (line.empty()) continue;
    const std::string where = "--lines " + files::quoted(path) + " line " + std::to_string(number);
    if (files::shown(line) != line) {
      error = where + ": " + files::quoted(line) + " holds control characters";
      return false;
    }
    out.push_back({line, where});
  }
  if (out.empty()) error = "--lines: " + files::quoted(path) + " names no adapter";
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

bool expand(const Named& named, const LineRequest& o, std::vector<LineTarget>& lines,
            std::string& error, LineProblem& status) {
  const std::string& argument = named.argument;
  const DriverEntry* entry = findDriver(argument);
  const std::size_t colon = argument.find(':');
  const std::string rest = colon == std::string::npos ? "" : argument.substr(colon + 1);
  const std::string allSuffix = ":all";
  if (entry != nullptr && entry->nodeLines != nullptr && rest.size() > allSuffix.size() &&
      rest.ends_with(allSuffix)) {
    std::vector<ListedNode> nodes;
    if (!entry->nodeLines(rest.substr(0, rest.size() - allSuffix.size()), nodes, error) ||
        nodes.empty()) {
      error = argument + ": " + error;
      status = LineProblem::listingFailed;
      return false;
    }
    const std::size_t before = lines.size();
    for (const ListedNode& node : nodes)
      for (const OfferedLine& l : node.lines)
        lines.push_back({l.argument, l.argument, "", named.origin, true});
    if (lines.size() == before) {
      error = argument + ": the node lists no DMX512 output";
      status = LineProblem::listingFailed;
      return false;
    }
    return true;
  }
  if (entry == nullptr || rest.empty() || entry->lines == LineForm::single) {
    lines.push_back({argument, argument, "", named.origin, false});
    return true;
  }
  const std::string driver = entry->prefix;
  if (entry->lines == LineForm::count) {
    long n = 0;
    if (!parseWholeNumber(rest, 1, kMaxSimLines, n)) {
      error = argument + ": " + driver + ":N takes N from 1 to " + std::to_string(kMaxSimLines);
      return false;
    }
    for (long i = 1; i <= n; ++i)
      lines.push_back({driver + ":" + std::to_string(i), driver, "", named.origin, true});
    return true;
  }
  if (rest != "all") {
    lines.push_back({argument, driver, rest, named.origin, true});
    return true;
  }
  std::vector<std::string> serials;
  if (!listSerials(driver, o, serials, error)) {
    error = argument + ": " + error;
    status = LineProblem::listingFailed;
    return false;
  }
  for (const std::string& s : serials)
    lines.push_back({driver + ":" + s, driver, s, named.origin, true});
  return true;
}

// What makes two lines the same line: what the driver says its argument
// reaches (a node's address and port address, a universe and where it goes,
// a port's device), a serial; simulated lines are never the same.
std::string sameLineKey(const LineTarget& t) {
  const DriverEntry* entry = findDriver(t.adapter);
  if (entry != nullptr && entry->lines == LineForm::count) return "";
  const std::size_t colon = t.adapter.find(':');
  if (entry != nullptr && entry->lineKey != nullptr && colon != std::string::npos) {
    const std::string key = entry->lineKey(t.adapter.substr(colon + 1));
    if (!key.empty()) return std::string(entry->prefix) + ":" + key;
  }
  if (entry != nullptr && entry->rdmPort != nullptr) {
    RdmPort port;
    std::string why;
    if (colon != std::string::npos && entry->rdmPort(t.adapter.substr(colon + 1), port, why))
      return std::string(entry->prefix) + ":" + port.host + ":" + std::to_string(port.portAddress);
  }
  if (entry != nullptr && entry->lines == LineForm::serialOrAll)
    return std::string(entry->prefix) + ":" + t.serial;
  return t.label;
}

// Refuses a line named twice; gives the simulated lines labels and serials of their own.
bool makeDistinct(std::vector<LineTarget>& lines, std::string& error) {
  std::map<std::string, const LineTarget*> seen;
  for (const LineTarget& t : lines) {
    if (lines.size() < 2) break;  // one line cannot be named twice: no host looked up to see
    const std::string key = sameLineKey(t);
    if (key.empty()) continue;
    const auto [at, fresh] = seen.emplace(key, &t);
    if (fresh) continue;
    error = "the line " + files::quoted(t.label) + " is named twice: " + at->second->origin +
            " and " + t.origin + "; give each line once (two uploads on one line interleave)";
    return false;
  }
  std::map<std::string, int> labels;
  std::map<std::string, int> simulated;  // lines of each count-form driver
  for (LineTarget& t : lines) {
    const DriverEntry* entry = findDriver(t.adapter);
    if (entry != nullptr && entry->lines == LineForm::count) {
      const int n = ++simulated[entry->prefix];
      t.adapter = std::string(entry->prefix) + ":" + std::to_string(n);
    }
    const int k = ++labels[t.label];
    if (k > 1) t.label.append("#").append(std::to_string(k));  // not "#" + ...: GCC 12 -O3
  }
  return true;
}

}  // namespace

LineProblem lineTargets(const LineRequest& o, std::vector<LineTarget>& lines, std::string& error) {
  std::vector<Named> arguments;
  for (const std::string& a : o.adapters) arguments.push_back({a, "--adapter " + a});
  if (!o.linesFile.empty() && !readLinesFile(o.linesFile, arguments, error))
    return LineProblem::linesFile;
  if (arguments.empty()) arguments.push_back({defaultAdapterName(), "the default adapter"});
  LineProblem status = LineProblem::usage;
  for (const Named& a : arguments) {
    if (!expand(a, o, lines, error, status)) return status;
    if (lines.size() > kMaxLines) {
      error = "more than " + std::to_string(kMaxLines) + " lines (" + a.origin +
              " makes more): one run takes at most " + std::to_string(kMaxLines) +
              "; split the rig into several runs";
      return LineProblem::usage;
    }
  }
  if (!makeDistinct(lines, error)) return LineProblem::usage;
  return LineProblem::none;
}
