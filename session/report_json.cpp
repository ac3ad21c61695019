#include "session/report_json.h"

#include <nlohmann/json.hpp>

#include "drivers/artnet_wire.h"
#include "session/exit_codes.h"
#include "session/read_back_lines.h"

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
                                         {"file", textOrNull(summary.file)},
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

// The exit status one upload comes to.
int exitFor(Outcome outcome) {
  switch (outcome) {
    case Outcome::done:
      return exitDone;
    case Outcome::notVerified:
      return exitNotIntact;
    case Outcome::refused:
      return exitFileRefused;
    case Outcome::stopped:
      return exitInterrupted;
    case Outcome::failed:
    case Outcome::skipped:
      break;
  }
  return exitLineFailed;
}

// The exit status of several uploads: a stop first, then refusals (when
// nothing at all was sent), failures, an unverified image, a capture lost.
int exitForAll(const std::vector<UploadReport>& uploads) {
  bool stopped = false, failed = false, unverified = false, allRefused = true, lost = false;
  for (const UploadReport& u : uploads) {
    stopped = stopped || u.outcome == Outcome::stopped;
    failed = failed || u.outcome == Outcome::failed || u.outcome == Outcome::refused ||
             u.outcome == Outcome::skipped;
    unverified = unverified || u.outcome == Outcome::notVerified;
    allRefused = allRefused && u.outcome == Outcome::refused;
    lost = lost || !u.captureLost.empty();
  }
  if (stopped) return exitInterrupted;
  if (allRefused && !uploads.empty()) return exitFileRefused;
  if (failed) return exitLineFailed;
  if (unverified) return exitNotIntact;
  if (lost) return exitOutputFailed;
  return exitDone;
}
