// RDM through an Art-Net node: the conversation a controller holds with the
// fixtures on one of the node's ports. ArtTodRequest for the node's table of
// devices (collecting every ArtTodData block), then GETs through ArtRdm, each
// matched to its answer by UID, PID and transaction number, asked again when
// nothing comes back, and fetched again after the time an ACK_TIMER gives.
// Every wait is bounded and taken from the clock it is given, the whole
// conversation too; waits go in slices of at most 100 ms, between which a
// stop check the caller gives may end them. The socket is behind
// RdmTransport, so that tests can run it against anything.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "drivers/rdm_wire.h"
#include "engine/clock.h"

namespace artnet {

// One node, as the conversation sees it.
class RdmTransport {
 public:
  virtual ~RdmTransport() = default;
  // Sends one Art-Net packet to the node; false with `why`.
  virtual bool send(const std::vector<std::uint8_t>& packet, std::string& why) = 0;
  // Waits up to `timeoutMs` for one datagram from the node: its size, 0 when
  // nothing (from the node) came, -1 when the socket failed.
  virtual long receive(std::uint8_t* buffer, std::size_t capacity, unsigned timeoutMs) = 0;
};

struct RdmTimeouts {
  unsigned todMs = 3000;             // for every block of the table of devices
  unsigned replyMs = 1000;           // for the answer to one request
  int tries = 3;                     // requests of one GET that go unanswered before giving up
  int ackTimerRounds = 5;            // ACK_TIMERs honoured for one GET
  unsigned ackTimerTotalMs = 15000;  // and the waits they ask for, together
  unsigned totalMs = 600000;         // the whole conversation, from its start
  std::size_t maxUids = 2000;        // UIDs of the table of devices used; the rest are left out
};

// The longest one receive waits before the stop check is asked again.
inline constexpr unsigned kRdmSliceMs = 100;

// The default controller UID: a manufacturer ID of the prototype range.
inline constexpr rdm::Uid kDefaultController{0x7FF0, 0x00000001};

// stopped: the stop check said so; outOfTime: the conversation's totalMs are up.
enum class GetOutcome : std::uint8_t { ack, nack, silent, failed, stopped, outOfTime };

struct GetReply {
  GetOutcome outcome = GetOutcome::silent;
  std::vector<std::uint8_t> data;  // with ack
  std::uint16_t nackReason = 0;    // with nack
  std::string seen;                // what came back, in words, when it was no ack
};

class RdmConversation {
 public:
  // `stop`, when given, is asked between the slices of every wait: true
  // ends the wait and every wait after it (a Ctrl-C).
  RdmConversation(RdmTransport& transport, Clock& clock, std::uint16_t portAddress,
                  rdm::Uid controller, RdmTimeouts timeouts = {}, std::function<bool()> stop = {});

  // The UIDs of the node's table of devices for the port address. False
  // with `why` when no table came; true with a note in `why` when only part
  // of it came within the time, or when it listed more than maxUids.
  bool readTod(std::vector<rdm::Uid>& uids, std::string& why);
  // One GET of `pid` (no parameter data) to the root device of `device`.
  GetReply get(const rdm::Uid& device, std::uint16_t pid);

  // Whether the conversation was ended by the stop check, or by its totalMs.
  bool stopped() const { return stopped_; }
  bool outOfTime() const { return outOfTime_; }

 private:
  // Whether the conversation is to end now (and notes why).
  bool cut();
  // Waits for one datagram until `deadline`, in slices: its size, 0 when
  // nothing came, -1 when the socket failed, -2 when cut().
  long receiveUntil(std::uint8_t* buffer, std::size_t capacity, std::int64_t deadline);
  // Pauses until `deadline` in slices; false when cut().
  bool pauseUntil(std::int64_t deadline);
  // Sends `request` and waits for its answer; false when none came in time.
  bool exchange(const rdm::Message& request, rdm::Message& response, std::string& why);
  bool matches(const rdm::Message& request, const rdm::Message& response) const;

  RdmTransport& transport_;
  Clock& clock_;
  const std::uint16_t portAddress_;
  const rdm::Uid controller_;
  const RdmTimeouts timeouts_;
  const std::function<bool()> stop_;
  const std::int64_t end_;  // the conversation's totalMs from its start
  bool stopped_ = false;
  bool outOfTime_ = false;
  std::uint8_t transaction_ = 0;
  std::string noise_;  // the last thing heard that was no answer, for messages
};

// What one fixture told about itself.
struct FixtureReading {
  rdm::Uid uid;
  bool hasInfo = false;
  rdm::DeviceInfo info;
  std::string softwareLabel;
  std::string model;
  std::string manufacturer;
  // One entry per GET that was not answered with data: "SOFTWARE_VERSION_LABEL: NACK, unknown PID".
  std::vector<std::string> unanswered;
};

// DEVICE_INFO and SOFTWARE_VERSION_LABEL; with `descriptions`,
// DEVICE_MODEL_DESCRIPTION and MANUFACTURER_LABEL too. A fixture that does
// not answer a GET at all is not asked the rest, nor is any after a stop
// or once the conversation is out of time.
FixtureReading readFixture(RdmConversation& rdm, const rdm::Uid& uid, bool descriptions);

// The name of a PID the uploader asks for ("DEVICE_INFO").
const char* pidName(std::uint16_t pid);

}  // namespace artnet
