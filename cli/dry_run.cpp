#include "cli/dry_run.h"

#include <algorithm>
#include <cstdio>
#include <map>
#include <memory>

#include "cli/fleet_report.h"
#include "cli/output_check.h"
#include "engine/line.h"
#include "engine/link.h"
#include "engine/node_spacing.h"
#include "engine/upload_pace.h"
#include "files/shown_text.h"
#include "session/address_list.h"
#include "session/exit_codes.h"
#include "session/read_back_lines.h"
#include "session/stop_requests.h"

namespace {

// What the line's adapter lists: the entry it would open, or why none.
void resolve(const SessionLine& l, PlannedLine& p) {
  auto line = std::make_unique<Line>();
  line->adapter = l.adapter.get();
  if (!linkLoad(*line) || !linkList(*line)) {
    p.problem = std::string("cannot list the adapters: ") + l.adapter->lastError();
    return;
  }
  const int shown = std::clamp(line->iNumDevs, 0, kSerialSlots);
  for (int i = 0; i < shown && p.reaches.empty(); ++i)
    if (l.target.serial.empty() || l.target.serial == line->pcBufLD[i]) {
      p.reaches = line->pcBufLD[i];
      const std::string detail = l.adapter->listingDetail(static_cast<std::size_t>(i));
      if (!detail.empty()) p.reaches += " (" + detail + ")";
    }
  if (!p.reaches.empty()) return;
  const std::string why = l.adapter->lastError();
  p.problem = l.target.serial.empty() ? "nothing listed"
                                      : "no adapter with serial " + files::quoted(l.target.serial);
  if (!why.empty()) p.problem += ": " + why;
}

std::string minutes(double seconds) {
  const long s = static_cast<long>(seconds + 0.999);
  char text[32];
  std::snprintf(text, sizeof text, "%02ld:%02ld", s / 60, s % 60);
  return text;
}

// The node an Art-Net line sends to, as its listing shows it ("10.0.0.5");
// empty for a line of its own.
std::string nodeOf(const SessionLine& l, const PlannedLine& p) {
  RdmPort port;
  std::string why;
  if (p.reaches.empty() || !adapterRdmPort(l.target.adapter, port, why)) return "";
  return p.reaches.substr(0, p.reaches.find(' '));
}

// How the lines of one node share it: each of its packets --node-gap after
// the last, the lines staggered over the shortest pause.
void staggers(const Options& o, const std::vector<SessionLine>& lines, FleetSummary& s) {
  std::map<std::string, std::size_t> perNode;
  std::vector<std::string> node(lines.size());
  for (std::size_t i = 0; i < lines.size(); ++i)
    if (!(node[i] = nodeOf(lines[i], s.plan[i])).empty()) ++perNode[node[i]];
  const unsigned pace = o.fast ? kFastPaceMs : kNormalPaceMs;
  for (std::size_t i = 0; i < lines.size(); ++i) {
    if (node[i].empty()) continue;
    const std::size_t n = perNode[node[i]];
    std::string text = "node " + node[i] + ": " + std::to_string(n) + " line" + (n == 1 ? "" : "s");
    if (o.nodeGapMicros == 0 || n == 1) {
      s.plan[i].stagger = text + (n == 1 ? "" : ", not spaced (--node-gap 0)");
      continue;
    }
    text += ", packets at least " + std::to_string(o.nodeGapMicros) + " us apart";
    const double stretch = nodeStretch(n, o.nodeGapMicros, std::int64_t{pace} * 1000);
    if (stretch > 1) {
      text += ": the data phase takes about " +
              std::to_string(static_cast<int>((stretch - 1) * 100 + 0.5)) + " % longer";
      s.plan[i].nominalSeconds *= stretch;
      s.plannedSeconds = std::max(s.plannedSeconds, s.plan[i].nominalSeconds);
    }
    s.plan[i].stagger = text;
  }
}

const LineReadBack* readingOf(const ReadBackRun& readBack, const std::string& label) {
  for (const LineReadBack& l : readBack.lines())
    if (l.label == label) return &l;
  return nullptr;
}

void printPlan(const Options& o, const ImageBytes& image, const FleetSummary& s,
               const ReadBackRun& readBack) {
  std::printf("plan: image %s, %zu bytes, SHA-256 %s; profile %s%s\n",
              files::quoted(o.file).c_str(), image.bytes.size(), image.sha256.c_str(),
              o.profile.c_str(), o.fast ? ", fast" : "");
  for (const PlannedLine& p : s.plan) {
    std::printf("%s: %s\n", files::shown(p.label).c_str(),
                p.problem.empty() ? ("reaches " + files::shown(p.reaches)).c_str()
                                  : ("NOT REACHED: " + files::shown(p.problem)).c_str());
    std::printf("  address %s: %s; %zu frames, %s at the protocol's pace\n",
                addressListText(p.addresses).c_str(), p.receives.c_str(), p.frames,
                minutes(p.nominalSeconds).c_str());
    if (!p.stagger.empty()) std::printf("  %s\n", files::shown(p.stagger).c_str());
    std::printf("  read back: %s%s%s\n", p.canReadBack ? "can" : "cannot",
                p.modelCheck.empty() ? "" : "; model ", p.modelCheck.c_str());
    if (const LineReadBack* r = readingOf(readBack, p.label))
      for (const ReadBackTarget& t : r->readBack.targets)
        std::printf("  fixture %s: %s%s\n", rdm::uidText(t.uid).c_str(),
                    files::shown(t.versionBefore).c_str(),
                    t.answered && !o.models.empty()
                        ? (" model " + modelText(t.before.modelId, t.modelLabel)).c_str()
                        : "");
  }
  std::printf("total: %s, the lines side by side%s\nnothing was sent (--dry-run)\n",
              minutes(s.plannedSeconds).c_str(),
              o.readBack ? ", with the wait for the fixtures to restart" : "");
}

}  // namespace

int runDryRun(const Options& o, const ReleaseProfile& profile, const ImageBytes& image,
              const std::vector<SessionLine>& lines, const ReadBackRun& readBack, int checks) {
  FleetSummary s;
  s.file = o.file;
  s.sha256 = image.sha256;
  s.profile = o.profile;
  s.fast = o.fast;
  s.resetsToEveryDevice = resetsReachEveryDevice(profile);
  s.dryRun = true;
  if (readBack.reads()) s.readBack = &readBack.lines();
  const UploadFigures figures = uploadFigures(image.bytes.size(), profile, o.fast);
  bool unreached = false;
  for (const SessionLine& l : lines) {
    PlannedLine p;
    p.label = l.target.label;
    p.addresses = o.addresses;
    // Each listing may poll a node for seconds: a stop ends the plan here.
    if (stopRequested())
      p.problem = "not listed: interrupted";
    else
      resolve(l, p);
    unreached = unreached || !p.problem.empty();
    const std::size_t uploads = s.resetsToEveryDevice ? 1 : o.addresses.size();
    p.receives = s.resetsToEveryDevice ? "every fixture of ours on the line takes the upload"
                 : o.addresses.size() == 1
                     ? "the fixture at address " + std::to_string(o.addresses.front())
                     : "the fixture at each address, one upload after another";
    p.frames = figures.dataFrames;
    p.nominalSeconds = static_cast<double>(figures.nominalMs) * uploads / 1000.0;
    RdmPort port;
    std::string why;
    p.canReadBack = adapterRdmPort(l.target.adapter, port, why);
    if (!o.models.empty()) {
      const LineReadBack* r = readingOf(readBack, p.label);
      p.modelCheck = r == nullptr                                     ? "not checked"
                     : modelMismatches(r->readBack, o.models).empty() ? "passed"
                                                                      : "failed";
    }
    s.plannedSeconds = std::max(s.plannedSeconds, p.nominalSeconds);
    s.plan.push_back(p);
  }
  staggers(o, lines, s);
  if (o.readBack) s.plannedSeconds += o.settleSeconds;
  s.exitStatus = stopRequested()      ? exitInterrupted
                 : checks != exitDone ? checks
                 : unreached          ? exitLineFailed
                                      : exitDone;
  if (o.json) {
    std::fputs(fleetJson(s).c_str(), stdout);
  } else {
    printPlan(o, image, s, readBack);
  }
  if (s.exitStatus == exitInterrupted)
    std::fputs("interrupted: the lines after the stop were not listed\n", stderr);
  return checkedOutput(s.exitStatus);
}
