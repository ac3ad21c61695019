#include "drivers/artnet_rdm.h"

#include <algorithm>
#include <cstdio>
#include <map>
#include <set>

#include "drivers/artnet_rdm_wire.h"

namespace artnet {
namespace {

constexpr std::size_t kBufferSize = 1500;

// Whole milliseconds from now to `deadline`, rounded up.
unsigned millisLeft(Clock& clock, std::int64_t deadline) {
  const std::int64_t left = deadline - clock.nowMicros();
  return left > 0 ? static_cast<unsigned>((left + 999) / 1000) : 0;
}

std::string hex16(std::uint16_t v) {
  char text[8];
  std::snprintf(text, sizeof text, "0x%04X", v);
  return text;
}

// A well-formed RDM message that is not the answer to `request`, in words.
std::string notTheAnswer(const rdm::Message& request, const rdm::Message& response) {
  if (response.commandClass != rdm::kGetCommandResponse)
    return "an RDM message of command class " + hex16(response.commandClass);
  if (response.source != request.destination)
    return "an answer from " + rdm::uidText(response.source);
  if (response.destination != request.source)
    return "an answer for " + rdm::uidText(response.destination);
  if (response.transaction != request.transaction)
    return "an answer with transaction number " + std::to_string(response.transaction) +
           " instead of " + std::to_string(request.transaction);
  return "an answer for PID " + hex16(response.pid);
}

}  // namespace

const char* pidName(std::uint16_t pid) {
  switch (pid) {
    case rdm::kPidDeviceInfo:
      return "DEVICE_INFO";
    case rdm::kPidSoftwareVersionLabel:
      return "SOFTWARE_VERSION_LABEL";
    case rdm::kPidDeviceModelDescription:
      return "DEVICE_MODEL_DESCRIPTION";
    case rdm::kPidManufacturerLabel:
      return "MANUFACTURER_LABEL";
    case rdm::kPidQueuedMessage:
      return "QUEUED_MESSAGE";
    default:
      return "PID";
  }
}

RdmConversation::RdmConversation(RdmTransport& transport, Clock& clock, std::uint16_t portAddress,
                                 rdm::Uid controller, RdmTimeouts timeouts,
                                 std::function<bool()> stop)
    : transport_(transport),
      clock_(clock),
      portAddress_(portAddress),
      controller_(controller),
      timeouts_(timeouts),
      stop_(std::move(stop)),
      end_(clock.nowMicros() + std::int64_t{timeouts.totalMs} * 1000) {}

bool RdmConversation::cut() {
  if (stopped_ || outOfTime_) return true;
  if (stop_ && stop_())
    stopped_ = true;
  else if (clock_.nowMicros() >= end_)
    outOfTime_ = true;
  return stopped_ || outOfTime_;
}

long RdmConversation::receiveUntil(std::uint8_t* buffer, std::size_t capacity,
                                   std::int64_t deadline) {
  deadline = std::min(deadline, end_);
  for (unsigned wait = millisLeft(clock_, deadline); wait > 0;
       wait = millisLeft(clock_, deadline)) {
    if (cut()) return -2;
    const long n = transport_.receive(buffer, capacity, std::min(wait, kRdmSliceMs));
    if (n != 0) return n;
  }
  return cut() ? -2 : 0;
}

bool RdmConversation::pauseUntil(std::int64_t deadline) {
  deadline = std::min(deadline, end_);
  while (!cut()) {
    const std::int64_t now = clock_.nowMicros();
    if (now >= deadline) return true;
    clock_.pauseUntil(std::min(deadline, now + std::int64_t{kRdmSliceMs} * 1000));
  }
  return false;
}

bool RdmConversation::readTod(std::vector<rdm::Uid>& uids, std::string& why) {
  uids.clear();
  if (cut()) {
    why = stopped_ ? "stopped" : "out of time";
    return false;
  }
  if (!transport_.send(buildTodRequest(portAddress_), why)) return false;
  std::map<int, std::vector<rdm::Uid>> blocks;  // by block number: a repeated block counts once
  std::size_t total = 0, have = 0;
  bool heard = false, nak = false;
  const std::int64_t deadline = clock_.nowMicros() + std::int64_t{timeouts_.todMs} * 1000;
  std::uint8_t buffer[kBufferSize];
  for (;;) {
    const long n = receiveUntil(buffer, sizeof buffer, deadline);
    if (n == 0 || n == -2) break;
    if (n < 0) {
      why = "the socket failed while waiting for ArtTodData";
      return false;
    }
    TodBlock block;
    if (!parseTodData(buffer, static_cast<std::size_t>(n), block)) continue;
    if (block.portAddress != portAddress_) continue;
    if (!block.full) {
      nak = true;  // the node's table is not ready; it may follow
      continue;
    }
    heard = true;
    total = block.uidTotal;
    blocks[block.blockCount] = block.uids;
    have = 0;
    for (const auto& entry : blocks) have += entry.second.size();
    if (have >= total || have >= timeouts_.maxUids) break;
  }
  if (stopped_) {
    why = "stopped while waiting for the table of devices";
    return false;
  }
  // A UID the node lists twice is one fixture: listed and asked once. Past
  // maxUids the table is cut: a node listing tens of thousands of UIDs
  // would be asked for days.
  std::set<rdm::Uid> listed;
  bool cutShort = false;
  for (const auto& entry : blocks)
    for (const rdm::Uid& uid : entry.second) {
      if (listed.count(uid) != 0) continue;
      if (listed.size() >= timeouts_.maxUids) {
        cutShort = true;
        break;
      }
      listed.insert(uid);
      uids.push_back(uid);
    }
  if (!heard) {
    why = nak ? "the node answered ArtTodRequest with TodNak (its table of devices is not ready)"
              : "no table of devices (ArtTodData) came within " + std::to_string(timeouts_.todMs) +
                    " ms";
    return false;
  }
  why.clear();
  if (cutShort || total > timeouts_.maxUids)
    why = "the table of devices lists " + std::to_string(std::max(total, have)) +
          " UIDs; only the first " + std::to_string(uids.size()) + " are asked (at most " +
          std::to_string(timeouts_.maxUids) + ")";
  else if (have < total)
    why = "the table of devices came in part: " + std::to_string(have) + " of " +
          std::to_string(total) + " UIDs";
  return true;
}

bool RdmConversation::matches(const rdm::Message& request, const rdm::Message& response) const {
  if (response.commandClass != rdm::kGetCommandResponse) return false;
  if (response.source != request.destination || response.destination != controller_) return false;
  if (response.transaction != request.transaction) return false;
  // QUEUED_MESSAGE is answered with the PID of the message it fetches.
  return response.pid == request.pid || request.pid == rdm::kPidQueuedMessage;
}

bool RdmConversation::exchange(const rdm::Message& request, rdm::Message& response,
                               std::string& why) {
  if (!transport_.send(buildArtRdm(portAddress_, rdm::encode(request)), why)) return false;
  const std::int64_t deadline = clock_.nowMicros() + std::int64_t{timeouts_.replyMs} * 1000;
  std::uint8_t buffer[kBufferSize];
  for (;;) {
    const long n = receiveUntil(buffer, sizeof buffer, deadline);
    if (n == 0 || n == -2) break;
    if (n < 0) {
      why = "the socket failed while waiting for an answer";
      return false;
    }
    std::uint16_t port = 0;
    std::vector<std::uint8_t> message;
    if (!parseArtRdm(buffer, static_cast<std::size_t>(n), port, message)) continue;
    if (port != portAddress_) continue;
    std::string bad;
    if (!rdm::decode(message.data(), message.size(), response, bad)) {
      noise_ = bad;
      continue;
    }
    if (matches(request, response)) return true;
    noise_ = notTheAnswer(request, response);
  }
  why.clear();
  return false;
}

GetReply RdmConversation::get(const rdm::Uid& device, std::uint16_t pid) {
  GetReply reply;
  rdm::Message request;
  request.destination = device;
  request.source = controller_;
  request.portOrResponse = 1;
  request.commandClass = rdm::kGetCommand;
  request.pid = pid;
  int unanswered = 0, timers = 0;
  unsigned waited = 0;
  noise_.clear();
  const auto cutReply = [&] {
    reply.outcome = stopped_ ? GetOutcome::stopped : GetOutcome::outOfTime;
    reply.seen = stopped_ ? "stopped" : "not asked: out of time";
    return reply;
  };
  while (unanswered < timeouts_.tries) {
    if (cut()) return cutReply();
    request.transaction = transaction_++;
    rdm::Message response;
    std::string why;
    if (!exchange(request, response, why)) {
      if (!why.empty()) {
        reply.outcome = GetOutcome::failed;
        reply.seen = why;
        return reply;
      }
      if (cut()) return cutReply();
      ++unanswered;
      continue;
    }
    switch (response.portOrResponse) {
      case rdm::kAck:
        if (response.pid == pid) {
          reply.outcome = GetOutcome::ack;
          reply.data = response.data;
          return reply;
        }
        // The queue held something else, or nothing (STATUS_MESSAGES): ask anew.
        break;
      case rdm::kNackReason:
        if (request.pid == rdm::kPidQueuedMessage) break;  // no queue: ask anew
        reply.outcome = GetOutcome::nack;
        reply.nackReason =
            response.data.size() >= 2
                ? static_cast<std::uint16_t>(response.data[0] << 8 | response.data[1])
                : 0;
        reply.seen = "NACK, " + rdm::nackReasonText(reply.nackReason);
        return reply;
      case rdm::kAckTimer: {
        const unsigned ms =
            response.data.size() >= 2 ? (response.data[0] << 8 | response.data[1]) * 100u : 0u;
        if (++timers > timeouts_.ackTimerRounds || waited + ms > timeouts_.ackTimerTotalMs) {
          reply.outcome = GetOutcome::failed;
          reply.seen = "ACK_TIMER " + std::to_string(timers) + " times (" +
                       std::to_string(waited + ms) + " ms asked for); given up";
          return reply;
        }
        waited += ms;
        if (!pauseUntil(clock_.nowMicros() + std::int64_t{ms} * 1000)) return cutReply();
        request.pid = rdm::kPidQueuedMessage;
        request.data = {rdm::kStatusError};
        // Requests that went unanswered before the ACK_TIMER still count: a
        // fixture that goes quiet between ACK_TIMERs is silent after `tries`
        // requests in all, not after `tries` more each time.
        continue;
      }
      case rdm::kAckOverflow:
        reply.outcome = GetOutcome::failed;
        reply.seen = "an answer in several parts (ACK_OVERFLOW), which is not read";
        return reply;
      default:
        reply.outcome = GetOutcome::failed;
        reply.seen = "response type " + hex16(response.portOrResponse);
        return reply;
    }
    if (++timers > timeouts_.ackTimerRounds) break;
    request.pid = pid;
    request.data.clear();
  }
  reply.outcome = unanswered >= timeouts_.tries ? GetOutcome::silent : GetOutcome::failed;
  reply.seen = unanswered >= timeouts_.tries
                   ? "no answer to " + std::to_string(timeouts_.tries) + " requests"
                   : "no answer for " + std::string(pidName(pid)) + " from its queue";
  if (!noise_.empty()) reply.seen += " (heard " + noise_ + ")";
  return reply;
}

FixtureReading readFixture(RdmConversation& conversation, const rdm::Uid& uid, bool descriptions) {
  FixtureReading r;
  r.uid = uid;
  std::vector<std::uint16_t> pids{rdm::kPidDeviceInfo, rdm::kPidSoftwareVersionLabel};
  if (descriptions) {
    pids.push_back(rdm::kPidDeviceModelDescription);
    pids.push_back(rdm::kPidManufacturerLabel);
  }
  for (std::uint16_t pid : pids) {
    const GetReply reply = conversation.get(uid, pid);
    bool used = reply.outcome == GetOutcome::ack;
    if (used && pid == rdm::kPidDeviceInfo) used = r.hasInfo = parseDeviceInfo(reply.data, r.info);
    if (used && pid == rdm::kPidSoftwareVersionLabel) r.softwareLabel = rdm::labelText(reply.data);
    if (used && pid == rdm::kPidDeviceModelDescription) r.model = rdm::labelText(reply.data);
    if (used && pid == rdm::kPidManufacturerLabel) r.manufacturer = rdm::labelText(reply.data);
    if (!used)
      r.unanswered.push_back(std::string(pidName(pid)) + ": " +
                             (reply.outcome == GetOutcome::ack
                                  ? std::to_string(reply.data.size()) + " bytes, too few"
                                  : reply.seen));
    // A fixture that stays silent to a GET is not asked the rest, nor is any
    // once the conversation is stopped or out of time.
    if (reply.outcome == GetOutcome::silent || reply.outcome == GetOutcome::stopped ||
        reply.outcome == GetOutcome::outOfTime)
      break;
  }
  return r;
}

}  // namespace artnet
