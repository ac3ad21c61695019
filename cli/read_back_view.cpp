#include "cli/read_back_view.h"

#include <cstdio>

#include "cli/output_check.h"
#include "cli/terminal_operator.h"
#include "drivers/registry.h"
#include "profiles/profiles.h"
#include "session/exit_codes.h"

namespace {

// The readings on standard output, or on standard error when that carries the JSON report.
class TerminalReadBack final : public ReadBackObserver {
 public:
  explicit TerminalReadBack(bool json) : readings_(json ? stderr : stdout) {}
  void reading(const std::string& text) override {
    std::fprintf(readings_, "%s\n", text.c_str());
    // Standard output keeps the reason of its first failure for the exit status.
    if (readings_ == stdout)
      flushOutput();
    else
      std::fflush(readings_);
  }
  void notice(const std::string& text) override {
    std::fprintf(stderr, "%s\n", text.c_str());
    std::fflush(stderr);
  }
  void problem(const std::string& text) override { printError(stderr, text.c_str()); }

 private:
  std::FILE* readings_;
};

int exitFor(ReadBackStatus status) {
  switch (status) {
    case ReadBackStatus::go:
      return exitDone;
    case ReadBackStatus::noRdm:
      return exitUsage;
    case ReadBackStatus::lineFailed:
      return exitLineFailed;
    case ReadBackStatus::stopped:
      return exitInterrupted;
    case ReadBackStatus::notConfirmed:
      break;
  }
  return exitReadBack;
}

}  // namespace

rdm::Uid controllerUid(const Options& o) {
  rdm::Uid uid = artnet::kDefaultController;
  if (!o.rdmUid.empty()) rdm::parseUid(o.rdmUid, uid);
  return uid;
}

ReadBackRun::ReadBackRun(const Options& o, const ReadBackTuning& tuning)
    : options_(o), tuning_(tuning) {
  request_.adapter = o.adapterNames.empty() ? defaultAdapterName() : o.adapterNames.front();
  request_.profile = findProfile(o.profile.c_str());
  request_.address = o.addresses.front();
  request_.force = o.force;
  request_.quiet = o.quiet;
  request_.settleSeconds = o.settleSeconds;
  request_.controller = controllerUid(o);
}

int ReadBackRun::before() {
  const Options& o = options_;
  if (o.adapterNames.size() > 1 || !o.linesFile.empty() || o.addresses.size() > 1) {
    std::fputs(
        "error: --read-back reads the fixtures of one line: give one --adapter and one "
        "--address\n",
        stderr);
    return exitUsage;
  }
  TerminalReadBack shown(o.json);
  return exitFor(readBackBefore(request_, readBack_, shown, tuning_));
}

int ReadBackRun::after() {
  TerminalReadBack shown(options_.json);
  return exitFor(readBackAfter(request_, readBack_, shown, tuning_));
}
