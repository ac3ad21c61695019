#include "cli/fleet_report.h"

#include <algorithm>

#include "drivers/artnet_wire.h"
#include "files/shown_text.h"
#include "session/address_list.h"
#include "session/read_back_lines.h"

namespace {

std::string cut(std::string text, std::size_t width) {
  if (text.size() > width) text = width > 3 ? text.substr(0, width - 3) + "..." : "";
  return text;
}

std::string padded(const std::string& text, std::size_t width) {
  std::string t = cut(text, width);
  t.resize(width, ' ');
  return t;
}

std::string timeText(double seconds) {
  const long s = static_cast<long>(seconds + 0.5);
  char buf[48];
  std::snprintf(buf, sizeof buf, "%02ld:%02ld", s / 60, s % 60);
  return buf;
}

}  // namespace

void printFleetTable(std::FILE* out, const FleetSummary& summary, int columns) {
  std::size_t lineWidth = 4, addressWidth = 7, resultWidth = 6;
  for (const UploadReport& u : summary.uploads) {
    lineWidth = std::max(lineWidth, files::shown(u.label).size());
    addressWidth = std::max(addressWidth, addressListText(u.addresses).size());
    resultWidth = std::max(resultWidth, std::string(outcomeWord(u.outcome)).size());
  }
  lineWidth = std::min<std::size_t>(lineWidth, 24);
  addressWidth = std::min<std::size_t>(addressWidth, 16);
  const std::size_t width = static_cast<std::size_t>(std::max(columns, 40) - 1);
  auto row = [&](const std::string& line, const std::string& address, const std::string& result,
                 const std::string& bytes, const std::string& time, const std::string& reason) {
    std::string text = padded(line, lineWidth) + "  " + padded(address, addressWidth) + "  " +
                       padded(result, resultWidth) + "  " + padded(bytes, 13) + "  " +
                       padded(time, 5) + "  " + reason;
    while (!text.empty() && text.back() == ' ') text.pop_back();
    std::fprintf(out, "%s\n", cut(text, width).c_str());
  };
  row("line", "address", "result", "bytes", "time", "reason");
  for (const UploadReport& u : summary.uploads)
    row(files::shown(u.label), addressListText(u.addresses), outcomeWord(u.outcome),
        std::to_string(u.bytes) + "/" + std::to_string(u.total), timeText(u.seconds),
        files::shown(u.reason));
  std::fflush(out);
}

void printReadBackTable(std::FILE* out, const std::vector<LineReadBack>& lines, int columns) {
  std::size_t lineWidth = 4;
  for (const LineReadBack& l : lines) lineWidth = std::max(lineWidth, files::shown(l.label).size());
  lineWidth = std::min<std::size_t>(lineWidth, 24);
  const std::size_t width = static_cast<std::size_t>(std::max(columns, 40) - 1);
  const auto row = [&](const std::string& line, const std::string& uid, const std::string& address,
                       const std::string& versions, const std::string& result) {
    std::string text = padded(line, lineWidth) + "  " + padded(uid, 13) + "  " +
                       padded(address, 7) + "  " + padded(result, 13) + "  " + versions;
    while (!text.empty() && text.back() == ' ') text.pop_back();
    std::fprintf(out, "%s\n", cut(text, width).c_str());
  };
  row("line", "fixture", "address", "before -> after", "read back");
  for (const LineReadBack& l : lines)
    for (const ReadBackTarget& t : l.readBack.targets)
      row(files::shown(l.label), rdm::uidText(t.uid),
          t.answered && t.before.startAddress != 0xFFFF ? std::to_string(t.before.startAddress)
                                                        : "?",
          files::shown(t.versionBefore) + " -> " +
              files::shown(t.versionAfter.empty() ? "not read" : t.versionAfter),
          t.confirmed ? "confirmed" : "NOT CONFIRMED");
  std::fflush(out);
}
