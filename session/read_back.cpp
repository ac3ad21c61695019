#include "session/read_back.h"

#include <algorithm>
#include <cstdio>

#include "drivers/artnet_rdm_udp.h"
#include "drivers/artnet_wire.h"
#include "drivers/registry.h"
#include "files/shown_text.h"
#include "session/address_list.h"
#include "session/stop_requests.h"

namespace {

Clock& clockOf(const ReadBackTuning& t) { return t.clock != nullptr ? *t.clock : realClock(); }

// A stop of the whole process (Ctrl-C), or of this read-back alone.
bool halted(const ReadBackRequest& o) {
  return stopRequested() || (o.stop != nullptr && o.stop->load());
}

// Waits `ms` in short steps; false as soon as a stop is asked for.
bool pauseUnlessStopped(const ReadBackRequest& o, Clock& clock, unsigned ms) {
  const std::int64_t end = clock.nowMicros() + std::int64_t{ms} * 1000;
  while (!halted(o)) {
    const std::int64_t now = clock.nowMicros();
    if (now >= end) return true;
    clock.pauseUntil(std::min(end, now + 100'000));
  }
  return false;
}

ReadBackStatus stopped(ReadBackObserver& observer) {
  observer.notice("interrupted while reading the fixtures back");
  return ReadBackStatus::stopped;
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
  return transport.open(rb.host, rb.portAddress, t.nodePort, t.replyPort, why);
}

}  // namespace

ReadBackStatus readBackBefore(const ReadBackRequest& o, ReadBack& rb, ReadBackObserver& observer,
                              const ReadBackTuning& t) {
  std::string why;
  RdmPort port;
  if (!adapterRdmPort(o.adapter, port, why)) {
    observer.problem("--read-back: " + why);
    return ReadBackStatus::noRdm;
  }
  rb.host = port.host;
  rb.portAddress = port.portAddress;
  artnet::UdpRdmTransport transport;
  if (!openConversation(rb, t, transport, why)) {
    observer.problem(why);
    return ReadBackStatus::lineFailed;
  }
  if (!transport.portNote().empty()) observer.notice(transport.portNote());
  artnet::RdmConversation rdm(transport, clockOf(t), rb.portAddress, o.controller, t.timeouts,
                              [&o] { return halted(o); });
  // A profile whose resets go to every address upgrades every fixture on
  // the line; the others only the one at the chosen address.
  const ReleaseProfile* profile = o.profile;
  const bool every = profile != nullptr && profile->resetAddressMode == ResetAddressMode::broadcast;
  std::vector<rdm::Uid> uids;
  const bool tod = rdm.readTod(uids, why);
  if (rdm.stopped()) return stopped(observer);
  if (tod && !why.empty()) observer.notice("note: read back: " + why);
  for (const rdm::Uid& uid : uids) {
    if (halted(o)) return stopped(observer);  // before anything was sent
    if (uid.manufacturer != kFixtureManufacturer) continue;
    const artnet::FixtureReading r = artnet::readFixture(rdm, uid, o.models);
    if (rdm.stopped()) return stopped(observer);
    if (rdm.outOfTime()) {
      observer.notice("note: read back: fixtures after " + rdm::uidText(uid) +
                      " not asked: the read before the upload is bounded to " +
                      std::to_string(t.timeouts.totalMs / 1000) + " s");
      break;
    }
    if (o.records != nullptr) o.records->reading(r, o.adapter, "before upload");
    if (!every && (!r.hasInfo || std::find(o.addresses.begin(), o.addresses.end(),
                                           r.info.startAddress) == o.addresses.end()))
      continue;
    ReadBackTarget target;
    target.uid = uid;
    target.answered = r.hasInfo;
    target.before = r.info;
    target.labelBefore = r.softwareLabel;
    target.modelLabel = r.model;
    if (!r.unanswered.empty()) target.seenBefore = r.unanswered.front();
    target.versionBefore = r.hasInfo ? versionText(r.info.softwareVersion, r.softwareLabel)
                                     : files::shown(target.seenBefore);
    rb.targets.push_back(target);
    observer.reading(
        "read back before: " + rdm::uidText(uid) + " address " +
        (r.hasInfo ? addressText(r.info.startAddress) : "?") + " version " +
        (r.hasInfo ? versionText(r.info.softwareVersion, r.softwareLabel)
                   : files::shown(target.seenBefore)) +
        (o.models && r.hasInfo ? " model " + modelText(r.info.modelId, r.model) : std::string()));
  }
  if (!rb.targets.empty()) return ReadBackStatus::go;
  const std::string where = rb.host + " port address " + artnet::portAddressText(rb.portAddress);
  const std::string whom =
      every ? "no fixture of manufacturer 29A9"
            : "no fixture of manufacturer 29A9 at DMX512 address " + addressListText(o.addresses);
  const std::string seen = tod ? whom + " answered over RDM through " + where
                               : "no table of devices from " + where + " (" + why + ")";
  if (!o.force) {
    observer.problem("--read-back: " + seen +
                     "; nothing was sent (--force sends anyway, without reading back)");
    return ReadBackStatus::notConfirmed;
  }
  observer.notice("note: --read-back: " + seen + "; sending anyway (--force)");
  return ReadBackStatus::go;
}

ReadBackStatus readBackAfter(const ReadBackRequest& o, ReadBack& rb, ReadBackObserver& observer,
                             const ReadBackTuning& t) {
  if (rb.targets.empty()) {
    observer.problem(
        "--read-back: no fixture was read before the upload, so it is not confirmed by any "
        "fixture");
    return ReadBackStatus::notConfirmed;
  }
  Clock& clock = clockOf(t);
  const unsigned settleMs =
      t.settleMsOverride != 0 ? t.settleMsOverride : static_cast<unsigned>(o.settleSeconds) * 1000;
  if (!o.quiet)
    observer.notice("waiting " + std::to_string(settleMs / 1000) +
                    " s for the fixtures to restart, then reading them again");
  if (!pauseUnlessStopped(o, clock, settleMs)) return stopped(observer);

  std::string why;
  artnet::UdpRdmTransport transport;
  if (!openConversation(rb, t, transport, why)) {
    observer.problem(why);
    return ReadBackStatus::notConfirmed;
  }
  // The bound holds for every wait: the conversation ends with it, even in
  // the middle of a round (40 silent targets would take 120 s a round).
  artnet::RdmTimeouts bounded = t.timeouts;
  bounded.totalMs = std::min(bounded.totalMs, t.afterBoundMs);
  artnet::RdmConversation rdm(transport, clock, rb.portAddress, o.controller, bounded,
                              [&o] { return halted(o); });
  const std::size_t n = rb.targets.size();
  std::vector<artnet::FixtureReading> after(n);
  std::vector<bool> changed(n, false);
  const std::int64_t bound = clock.nowMicros() + std::int64_t{t.afterBoundMs} * 1000;
  for (;;) {
    bool all = true;
    for (std::size_t i = 0; i < n; ++i) {
      if (halted(o)) return stopped(observer);
      if (changed[i]) continue;
      const artnet::FixtureReading read = artnet::readFixture(rdm, rb.targets[i].uid, false);
      if (rdm.stopped()) return stopped(observer);
      // Out of time: a target not asked in this round keeps what the round before saw.
      if (rdm.outOfTime() && !read.hasInfo) {
        if (after[i].unanswered.empty() && !after[i].hasInfo)
          after[i].unanswered.push_back("not asked within " +
                                        std::to_string(t.afterBoundMs / 1000) + " s");
        all = false;
        continue;
      }
      after[i] = read;
      if (o.records != nullptr) o.records->reading(read, o.adapter, "after upload");
      changed[i] = after[i].hasInfo && rb.targets[i].answered &&
                   after[i].info.softwareVersion != rb.targets[i].before.softwareVersion;
      all = all && changed[i];
    }
    if (all || rdm.outOfTime() || clock.nowMicros() >= bound) break;
    if (!pauseUnlessStopped(o, clock, t.retryPauseMs)) return stopped(observer);
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
    observer.reading(
        "read back: " + rdm::uidText(b.uid) + " address " +
        (a.hasInfo || b.answered ? addressText(at) : "?") + " version " + before + " -> " + now +
        "  " + (changed[i] ? "changed: verified over RDM" : std::string("NOT VERIFIED: ") + why));
    ReadBackTarget& kept = rb.targets[i];
    kept.versionBefore = before;
    kept.versionAfter = now;
    kept.confirmed = changed[i];
    kept.why = changed[i] ? "" : why;
    if (!changed[i]) {
      ++failed;
      observer.problem("fixture " + rdm::uidText(b.uid) + ": " + why + " (before " + before +
                       ", after " + now + ")");
    }
  }
  return failed == 0 ? ReadBackStatus::go : ReadBackStatus::notConfirmed;
}

std::string modelText(std::uint16_t model, const std::string& label) {
  char id[8];
  std::snprintf(id, sizeof id, "0x%04X", model);
  return label.empty() ? std::string(id) : std::string(id) + " " + files::quoted(label);
}

std::vector<std::string> modelMismatches(const ReadBack& rb,
                                         const std::vector<std::uint16_t>& models) {
  std::vector<std::string> out;
  for (const ReadBackTarget& t : rb.targets) {
    const bool known =
        t.answered && std::find(models.begin(), models.end(), t.before.modelId) != models.end();
    if (known) continue;
    out.push_back(rdm::uidText(t.uid) + " at address " +
                  (t.answered ? addressText(t.before.startAddress) : "?") + ": " +
                  (t.answered ? "model " + modelText(t.before.modelId, t.modelLabel)
                              : "no model told (" + files::shown(t.seenBefore) + ")"));
  }
  return out;
}
