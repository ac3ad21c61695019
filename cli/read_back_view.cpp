#include "cli/read_back_view.h"

#include <cstdio>
#include <memory>

#include "cli/output_check.h"
#include "cli/terminal_operator.h"
#include "drivers/registry.h"
#include "files/shown_text.h"
#include "profiles/profiles.h"
#include "session/exit_codes.h"

namespace {

// The readings on standard output, or on standard error when that carries
// the JSON report; with several lines each starts with its line's label.
class TerminalReadBack final : public ReadBackObserver {
 public:
  TerminalReadBack(bool json, std::string label)
      : readings_(json ? stderr : stdout), label_(std::move(label)) {}
  void reading(const std::string& text) override {
    std::fprintf(readings_, "%s%s\n", label_.c_str(), text.c_str());
    // Standard output keeps the reason of its first failure for the exit status.
    if (readings_ == stdout)
      flushOutput();
    else
      std::fflush(readings_);
  }
  void notice(const std::string& text) override {
    std::fprintf(stderr, "%s%s\n", label_.c_str(), text.c_str());
    std::fflush(stderr);
  }
  void problem(const std::string& text) override { printError(stderr, (label_ + text).c_str()); }

 private:
  std::FILE* readings_;
  const std::string label_;
};

}  // namespace

rdm::Uid controllerUid(const Options& o) {
  rdm::Uid uid = artnet::kDefaultController;
  if (!o.rdmUid.empty()) rdm::parseUid(o.rdmUid, uid);
  return uid;
}

ReadBackRun::ReadBackRun(const Options& o, const ReadBackTuning& tuning)
    : options_(o), tuning_(tuning) {}

int ReadBackRun::setLines(const std::vector<LineTarget>& lines) {
  const Options& o = options_;
  lines_.clear();
  notChecked_.clear();
  if (!o.readBack && o.models.empty()) return exitDone;
  for (const LineTarget& t : lines) {
    RdmPort port;
    std::string why;
    if (!adapterRdmPort(t.adapter, port, why)) {
      if (o.readBack) {
        const std::string where = lines.size() > 1 ? files::shown(t.label) + ": " : "";
        printError(stderr, ("--read-back: " + where + why).c_str());
        return exitUsage;
      }
      notChecked_.push_back(t.label);
      continue;
    }
    LineReadBack l;
    l.label = t.label;
    l.request.adapter = t.adapter;
    l.request.profile = findProfile(o.profile.c_str());
    l.request.addresses = o.addresses;
    l.request.force = o.force;
    l.request.quiet = o.quiet;
    l.request.settleSeconds = o.settleSeconds;
    l.request.controller = controllerUid(o);
    l.request.models = !o.models.empty();
    l.request.records = records_;
    lines_.push_back(std::move(l));
  }
  if (!o.quiet)
    for (const std::string& label : notChecked_)
      std::fprintf(stderr, "note: %s: model not checked (the line cannot read fixtures back)\n",
                   files::shown(label).c_str());
  return exitDone;
}

int ReadBackRun::readAll(bool after) {
  if (lines_.empty()) return exitDone;
  std::vector<std::unique_ptr<TerminalReadBack>> shown;
  const bool several = lines_.size() > 1;
  for (const LineReadBack& l : lines_)
    shown.push_back(std::make_unique<TerminalReadBack>(
        options_.json, several ? files::shown(l.label) + ": " : std::string()));
  const LineObservers observers = [&](std::size_t i) -> ReadBackObserver& { return *shown[i]; };
  if (after)
    readBackLinesAfter(lines_, observers, tuning_);
  else
    readBackLinesBefore(lines_, observers, tuning_);
  return readBackExit(lines_);
}

int ReadBackRun::checkModels() {
  const Options& o = options_;
  if (o.models.empty()) return exitDone;
  bool wrong = false;
  for (const LineReadBack& l : lines_) {
    const std::vector<std::string> others = modelMismatches(l.readBack, o.models);
    if (others.empty()) continue;
    wrong = true;
    std::string text = "--model: the line " + files::quoted(l.label) +
                       " has fixtures that would take the upload and are of another model:";
    for (const std::string& f : others) text += "\n  " + f;
    if (o.force) {
      if (!o.quiet) std::fprintf(stderr, "note: %s\nsending anyway (--force)\n", text.c_str());
    } else {
      printError(stderr, text.c_str());
    }
  }
  if (!wrong || o.force) return exitDone;
  std::fputs(
      "nothing was sent: an image for one model sent to another can leave it unusable; check "
      "the lines and --model (--force sends anyway)\n",
      stderr);
  return exitWrongModel;
}
