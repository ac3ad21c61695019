#include "cli/fleet_report.h"

#include <algorithm>
#include <nlohmann/json.hpp>

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

namespace {

// A text, or null when there is none.
nlohmann::ordered_json textOrNull(const std::string& text) {
  return text.empty() ? nlohmann::ordered_json(nullptr) : nlohmann::ordered_json(text);
}

nlohmann::ordered_json readBackJson(const std::vector<LineReadBack>* lines) {
  if (lines == nullptr) return nullptr;
  nlohmann::ordered_json out = nlohmann::ordered_json::array();
  for (const LineReadBack& l : *lines) {
    const ReadBack& rb = l.readBack;
    nlohmann::ordered_json fixtures = nlohmann::ordered_json::array();
    for (const ReadBackTarget& t : rb.targets)
      fixtures.push_back({{"uid", rdm::uidText(t.uid)},
                          {"address", t.answered && t.before.startAddress != 0xFFFF
                                          ? nlohmann::ordered_json(t.before.startAddress)
                                          : nlohmann::ordered_json(nullptr)},
                          {"model", t.answered ? nlohmann::ordered_json(t.before.modelId)
                                               : nlohmann::ordered_json(nullptr)},
                          {"before", textOrNull(t.versionBefore)},
                          {"after", textOrNull(t.versionAfter)},
                          {"confirmed", t.confirmed},
                          {"reason", textOrNull(t.why)}});
    out.push_back({{"line", l.label},
                   {"node", rb.host},
                   {"portAddress", artnet::portAddressText(rb.portAddress)},
                   {"fixtures", fixtures}});
  }
  return out;
}

nlohmann::ordered_json planJson(const FleetSummary& summary) {
  if (!summary.dryRun) return nullptr;
  nlohmann::ordered_json lines = nlohmann::ordered_json::array();
  for (const PlannedLine& p : summary.plan)
    lines.push_back({{"line", p.label},
                     {"addresses", p.addresses},
                     {"reaches", textOrNull(p.reaches)},
                     {"problem", textOrNull(p.problem)},
                     {"receives", p.receives},
                     {"frames", p.frames},
                     {"nominalSeconds", p.nominalSeconds},
                     {"canReadBack", p.canReadBack},
                     {"modelCheck", textOrNull(p.modelCheck)},
                     {"stagger", textOrNull(p.stagger)}});
  return {{"lines", lines}, {"seconds", summary.plannedSeconds}};
}

}  // namespace

std::string fleetJson(const FleetSummary& summary) {
  nlohmann::ordered_json uploads = nlohmann::ordered_json::array();
  for (const UploadReport& u : summary.uploads)
    uploads.push_back({{"line", u.label},
                       {"addresses", u.addresses},
                       {"result", outcomeWord(u.outcome)},
                       {"bytes", u.bytes},
                       {"total", u.total},
                       {"seconds", u.seconds},
                       {"reason", textOrNull(u.reason)},
                       {"capture", textOrNull(u.capture)},
                       {"captureIncomplete", textOrNull(u.captureLost)}});
  const nlohmann::ordered_json report = {{"format", kReportFormat},
                                         {"file", summary.file},
                                         {"sha256", textOrNull(summary.sha256)},
                                         {"profile", summary.profile},
                                         {"fast", summary.fast},
                                         {"resetsToEveryDevice", summary.resetsToEveryDevice},
                                         {"exitStatus", summary.exitStatus},
                                         {"uploads", uploads},
                                         {"readBack", readBackJson(summary.readBack)},
                                         {"plan", planJson(summary)},
                                         {"refusal", textOrNull(summary.refusal)}};
  // Names from the command line or a node may hold any byte: replace what is no UTF-8.
  return report.dump(2, ' ', false, nlohmann::ordered_json::error_handler_t::replace) + "\n";
}
