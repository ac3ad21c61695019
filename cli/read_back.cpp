#include "cli/read_back.h"

#include <algorithm>
#include <cstdio>

#include "cli/exit_codes.h"
#include "cli/interrupt.h"
#include "cli/rdm_target.h"
#include "cli/terminal_operator.h"
#include "drivers/artnet_rdm_udp.h"
#include "drivers/artnet_wire.h"
#include "files/shown_text.h"
#include "profiles/profiles.h"

namespace {

Clock& clockOf(const ReadBackTuning& t) { return t.clock != nullptr ? *t.clock : realClock(); }

// Waits `ms` in short steps; false as soon as a stop is asked for (Ctrl-C).
bool pauseUnlessStopped(Clock& clock, unsigned ms) {
  const std::int64_t end = clock.nowMicros() + std::int64_t{ms} * 1000;
  while (!interruptRequested()) {
    const std::int64_t now = clock.nowMicros();
    if (now >= end) return true;
    clock.pauseUntil(std::min(end, now + 100'000));
  }
  return false;
}

int stopped() {
  std::fputs("interrupted while reading the fixtures back\n", stderr);
  return exitInterrupted;
}

std::string versionText(std::uint32_t version, const std::string& label) {
  char text[16];
  std::snprintf(text, sizeof text, "0x%08X", static_cast<unsigned>(version));
  return label.empty() ? text : std::string(text) + " " + files::quoted(label);
}

std::string addressText(std::uint16_t address) {
  return address == 0xFFFF ? "none" : std::to_string(address);
}

bool openConversation(const ReadBack& rb, const ReadBackTuning& t,
                      artnet::UdpRdmTransport& transport, std::string& why) {
  return transport.open(rb.host, t.nodePort, t.replyPort, why);
}

}  // namespace

int readBackBefore(const Options& o, ReadBack& rb, const ReadBackTuning& t) {
  if (o.adapterNames.size() > 1 || !o.linesFile.empty() || o.addresses.size() > 1) {
    std::fputs(
        "error: --read-back reads the fixtures of one line: give one --adapter and one "
        "--address\n",
        stderr);
    return exitUsage;
  }
  if (o.json) {
    std::fputs("error: --read-back reports as text only, not with --json\n", stderr);
    return exitUsage;
  }
  std::string why;
  if (!rdmTarget(o, rb.host, rb.portAddress, why)) {
    printError(stderr, ("--read-back: " + why).c_str());
    return exitUsage;
  }
  artnet::UdpRdmTransport transport;
  if (!openConversation(rb, t, transport, why)) {
    printError(stderr, why.c_str());
    return exitLineFailed;
  }
  artnet::RdmConversation rdm(transport, clockOf(t), rb.portAddress, controllerUid(o), t.timeouts);
  // A profile whose resets go to every address upgrades every fixture on
  // the line; the others only the one at the chosen address.
  const ReleaseProfile* profile = findProfile(o.profile.c_str());
  const bool every = profile != nullptr && profile->resetAddressMode == ResetAddressMode::broadcast;
  std::vector<rdm::Uid> uids;
  const bool tod = rdm.readTod(uids, why);
  if (tod && !why.empty()) std::fprintf(stderr, "note: read back: %s\n", why.c_str());
  for (const rdm::Uid& uid : uids) {
    if (interruptRequested()) return stopped();  // before anything was sent
    if (uid.manufacturer != kFixtureManufacturer) continue;
    const artnet::FixtureReading r = artnet::readFixture(rdm, uid, false);
    if (!every && (!r.hasInfo || r.info.startAddress != o.address)) continue;
    ReadBackTarget target;
    target.uid = uid;
    target.answered = r.hasInfo;
    target.before = r.info;
    target.labelBefore = r.softwareLabel;
    if (!r.unanswered.empty()) target.seenBefore = r.unanswered.front();
    rb.targets.push_back(target);
    std::printf("read back before: %s address %s version %s\n", rdm::uidText(uid).c_str(),
                r.hasInfo ? addressText(r.info.startAddress).c_str() : "?",
                r.hasInfo ? versionText(r.info.softwareVersion, r.softwareLabel).c_str()
                          : files::shown(target.seenBefore).c_str());
  }
  std::fflush(stdout);
  if (!rb.targets.empty()) return exitDone;
  const std::string where = rb.host + " port address " + artnet::portAddressText(rb.portAddress);
  const std::string whom =
      every ? "no fixture of manufacturer 29A9"
            : "no fixture of manufacturer 29A9 at DMX512 address " + std::to_string(o.address);
  const std::string seen = tod ? whom + " answered over RDM through " + where
                               : "no table of devices from " + where + " (" + why + ")";
  if (!o.force) {
    printError(stderr, ("--read-back: " + seen +
                        "; nothing was sent (--force sends anyway, without reading back)")
                           .c_str());
    return exitReadBack;
  }
  std::fprintf(stderr, "note: --read-back: %s; sending anyway (--force)\n", seen.c_str());
  return exitDone;
}

int readBackAfter(const Options& o, ReadBack& rb, const ReadBackTuning& t) {
  if (rb.targets.empty()) {
    std::fputs(
        "error: --read-back: no fixture was read before the upload, so it is not "
        "confirmed by any fixture\n",
        stderr);
    return exitReadBack;
  }
  Clock& clock = clockOf(t);
  const unsigned settleMs =
      t.settleMsOverride != 0 ? t.settleMsOverride : static_cast<unsigned>(o.settleSeconds) * 1000;
  if (!o.quiet)
    std::fprintf(stderr, "waiting %u s for the fixtures to restart, then reading them again\n",
                 settleMs / 1000);
  if (!pauseUnlessStopped(clock, settleMs)) return stopped();

  std::string why;
  artnet::UdpRdmTransport transport;
  if (!openConversation(rb, t, transport, why)) {
    printError(stderr, why.c_str());
    return exitReadBack;
  }
  artnet::RdmConversation rdm(transport, clock, rb.portAddress, controllerUid(o), t.timeouts);
  const std::size_t n = rb.targets.size();
  std::vector<artnet::FixtureReading> after(n);
  std::vector<bool> changed(n, false);
  const std::int64_t bound = clock.nowMicros() + std::int64_t{t.afterBoundMs} * 1000;
  for (;;) {
    bool all = true;
    for (std::size_t i = 0; i < n; ++i) {
      if (interruptRequested()) return stopped();
      if (changed[i]) continue;
      after[i] = artnet::readFixture(rdm, rb.targets[i].uid, false);
      changed[i] = after[i].hasInfo && rb.targets[i].answered &&
                   after[i].info.softwareVersion != rb.targets[i].before.softwareVersion;
      all = all && changed[i];
    }
    if (all || clock.nowMicros() >= bound) break;
    if (!pauseUnlessStopped(clock, t.retryPauseMs)) return stopped();
  }

  int failed = 0;
  for (std::size_t i = 0; i < n; ++i) {
    const ReadBackTarget& b = rb.targets[i];
    const artnet::FixtureReading& a = after[i];
    const std::string before = b.answered ? versionText(b.before.softwareVersion, b.labelBefore)
                                          : files::shown(b.seenBefore);
    const std::string now =
        a.hasInfo ? versionText(a.info.softwareVersion, a.softwareLabel)
                  : files::shown(a.unanswered.empty() ? "no answer" : a.unanswered.front());
    const char* why = !a.hasInfo    ? "stopped answering"
                      : !b.answered ? "no version before the upload to compare with"
                                    : "kept its version";
    const std::uint16_t at = a.hasInfo ? a.info.startAddress : b.before.startAddress;
    std::printf(
        "read back: %s address %s version %s -> %s  %s\n", rdm::uidText(b.uid).c_str(),
        a.hasInfo || b.answered ? addressText(at).c_str() : "?", before.c_str(), now.c_str(),
        changed[i] ? "changed: verified over RDM" : (std::string("NOT VERIFIED: ") + why).c_str());
    if (!changed[i]) {
      ++failed;
      std::fprintf(stderr, "error: fixture %s: %s (before %s, after %s)\n",
                   rdm::uidText(b.uid).c_str(), why, before.c_str(), now.c_str());
    }
  }
  std::fflush(stdout);
  return failed == 0 ? exitDone : exitReadBack;
}
