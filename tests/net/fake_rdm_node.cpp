#include "tests/net/fake_rdm_node.h"

#include <algorithm>
#include <cstring>

#include "tests/net/fake_node.h"

namespace testnet {
namespace {

using Bytes = std::vector<std::uint8_t>;
using SteadyClock = std::chrono::steady_clock;

Bytes artHeader(std::uint8_t opHigh, std::size_t size) {
  Bytes b(size, 0);
  std::memcpy(b.data(), "Art-Net\0", 8);
  b[9] = opHigh;  // OpCode low byte (always 0 here) first
  b[11] = 14;
  return b;
}

void uidInto(Bytes& b, std::size_t at, std::uint16_t m, std::uint32_t d) {
  const std::uint8_t u[6] = {std::uint8_t(m >> 8),  std::uint8_t(m),      std::uint8_t(d >> 24),
                             std::uint8_t(d >> 16), std::uint8_t(d >> 8), std::uint8_t(d)};
  std::copy(u, u + 6, b.begin() + static_cast<long>(at));
}

// An RDM response as ArtRdm carries it: from the sub-start code on, with the
// checksum taken over the 0xCC start code too.
Bytes rdmResponse(const Bytes& request, std::uint8_t type, std::uint16_t pid, const Bytes& data,
                  std::uint8_t staleBy) {
  Bytes m(24 + data.size(), 0);
  m[0] = 0xCC;
  m[1] = 0x01;
  m[2] = static_cast<std::uint8_t>(24 + data.size());
  std::copy(request.begin() + 9, request.begin() + 15, m.begin() + 3);  // to the controller
  std::copy(request.begin() + 3, request.begin() + 9, m.begin() + 9);   // from the responder
  m[15] = static_cast<std::uint8_t>(request[15] - staleBy);
  m[16] = type;
  m[20] = 0x21;
  m[21] = static_cast<std::uint8_t>(pid >> 8);
  m[22] = static_cast<std::uint8_t>(pid);
  m[23] = static_cast<std::uint8_t>(data.size());
  std::copy(data.begin(), data.end(), m.begin() + 24);
  unsigned sum = 0;
  for (std::uint8_t x : m) sum += x;
  m.push_back(static_cast<std::uint8_t>(sum >> 8));
  m.push_back(static_cast<std::uint8_t>(sum));
  m.erase(m.begin());  // ArtRdm leaves the start code out
  return m;
}

// An answer as rdmResponse makes it, as if from another device of the same
// manufacturer: its data bytes inverted, the checksum made anew.
Bytes strayed(Bytes m, std::uint32_t device) {
  if (m.size() < 25) return m;
  for (int i = 0; i < 4; ++i) m[10 + i] = std::uint8_t(device >> (24 - 8 * i));
  for (std::size_t i = 23; i + 2 < m.size(); ++i) m[i] = std::uint8_t(~m[i]);
  unsigned sum = 0xCC;
  for (std::size_t i = 0; i + 2 < m.size(); ++i) sum += m[i];
  m[m.size() - 2] = std::uint8_t(sum >> 8);
  m[m.size() - 1] = std::uint8_t(sum);
  return m;
}

Bytes text(const std::string& s) { return Bytes(s.begin(), s.end()); }

Bytes deviceInfo(const FakeResponder& r) {
  Bytes d(19, 0);
  d[0] = 0x01;  // RDM protocol 1.0
  d[2] = std::uint8_t(r.modelId >> 8);
  d[3] = std::uint8_t(r.modelId);
  d[6] = std::uint8_t(r.version >> 24);
  d[7] = std::uint8_t(r.version >> 16);
  d[8] = std::uint8_t(r.version >> 8);
  d[9] = std::uint8_t(r.version);
  d[11] = 4;  // footprint
  d[14] = std::uint8_t(r.address >> 8);
  d[15] = std::uint8_t(r.address);
  return d;
}

}  // namespace

FakeRdmNode::FakeRdmNode(std::uint16_t portAddress, std::vector<FakeResponder> responders,
                         std::uint16_t udpPort, std::uint32_t address)
    : socket_(udpPort, address), portAddress_(portAddress), responders_(std::move(responders)) {
  if (socket_.good()) thread_ = std::thread([this] { run(); });
}

FakeRdmNode::~FakeRdmNode() {
  stop_ = true;
  if (thread_.joinable()) thread_.join();
}

void FakeRdmNode::change(const std::function<void(std::vector<FakeResponder>&)>& edit) {
  std::lock_guard<std::mutex> lock(mutex_);
  edit(responders_);
}

std::vector<SeenRequest> FakeRdmNode::seen() const {
  std::lock_guard<std::mutex> lock(mutex_);
  return seen_;
}

void FakeRdmNode::run() {
  while (!stop_) {
    Datagram d;
    const bool got = socket_.receive(d, 50);
    if (uploading_ &&
        std::chrono::steady_clock::now() - lastNzs_ > std::chrono::milliseconds(500)) {
      uploading_ = false;
      const std::uint32_t next = versionAfterUpload;
      change([next](std::vector<FakeResponder>& all) {
        for (FakeResponder& r : all) r.version = next;
      });
    }
    if (!got || silent) continue;
    if (d.bytes.size() > 12 && d.bytes[8] == 0x00 && d.bytes[9] == 0x51) {  // ArtNzs
      ++nzsSeen;
      lastNzs_ = std::chrono::steady_clock::now();
      uploading_ = versionAfterUpload != 0;
      continue;
    }
    if (d.bytes.size() >= 14 && std::memcmp(d.bytes.data(), "Art-Net\0", 8) == 0 &&
        d.bytes[8] == 0x00 && d.bytes[9] == 0x20) {  // ArtPoll: the node with its one port
      NodeIdentity id;
      id.shortName = "FakeRdmNode";
      id.net = static_cast<std::uint8_t>(portAddress_ >> 8);
      id.sub = static_cast<std::uint8_t>(portAddress_ >> 4 & 0x0F);
      id.outputs = {static_cast<std::uint8_t>(portAddress_ & 0x0F)};
      const Bytes reply = pollReplyFor(id);
      socket_.sendTo(reply.data(), reply.size(), d.fromPort);
      continue;
    }
    if (d.bytes.size() < 24) continue;
    if (std::memcmp(d.bytes.data(), "Art-Net\0", 8) != 0 || d.bytes[8] != 0) continue;
    const std::uint16_t net = d.bytes[21];
    if (d.bytes[9] == 0x80 && d.bytes.size() >= 25 && (net << 8 | d.bytes[24]) == portAddress_)
      answerTod(d.fromPort);
    else if (d.bytes[9] == 0x83 && (net << 8 | d.bytes[23]) == portAddress_)
      answerRdm(d.bytes, d.fromPort);
  }
}

void FakeRdmNode::answerTod(std::uint16_t toPort) {
  std::vector<FakeResponder> all;
  {
    std::lock_guard<std::mutex> lock(mutex_);
    all = responders_;
  }
  if (todNak) all.clear();  // one block, no UIDs
  const std::size_t per = todBlock;
  for (std::size_t first = 0, block = 0; first < all.size() || first == 0; first += per, ++block) {
    const std::size_t count = std::min(per, all.size() - first);
    Bytes b = artHeader(0x81, 28 + count * 6);
    b[12] = 0x01;
    b[13] = 1;
    b[20] = 1;
    b[21] = static_cast<std::uint8_t>(portAddress_ >> 8);
    b[22] = todNak ? 0xFF : 0x00;  // CommandResponse: TodNak or TodFull
    b[23] = static_cast<std::uint8_t>(portAddress_);
    b[24] = static_cast<std::uint8_t>(all.size() >> 8);
    b[25] = static_cast<std::uint8_t>(all.size());
    b[26] = static_cast<std::uint8_t>(block);
    b[27] = static_cast<std::uint8_t>(count);
    for (std::size_t i = 0; i < count; ++i)
      uidInto(b, 28 + i * 6, all[first + i].manufacturer, all[first + i].device);
    socket_.sendTo(b.data(), b.size(), toPort);
    if (block == 0 && repeatFirstBlock) socket_.sendTo(b.data(), b.size(), toPort);
    if (all.empty()) break;
  }
}

void FakeRdmNode::answerRdm(const std::vector<std::uint8_t>& packet, std::uint16_t toPort) {
  // The request as it was on the line: the start code in front again.
  Bytes request{0xCC};
  request.insert(request.end(), packet.begin() + 24, packet.end());
  if (request.size() < 26 || request[20] != 0x20) return;
  const std::uint16_t pid = static_cast<std::uint16_t>(request[21] << 8 | request[22]);
  const std::uint16_t m = static_cast<std::uint16_t>(request[3] << 8 | request[4]);
  const std::uint32_t dev =
      std::uint32_t(request[5]) << 24 | request[6] << 16 | request[7] << 8 | request[8];
  Bytes body;
  std::uint32_t strayFrom = 0;
  bool badChecksum = false;
  {
    std::lock_guard<std::mutex> lock(mutex_);
    seen_.push_back({pid, request[15], SteadyClock::now()});
    if (seen_.size() % answerEvery != 0) return;  // lost on the way
    auto r = std::find_if(responders_.begin(), responders_.end(), [&](const FakeResponder& x) {
      return x.manufacturer == m && x.device == dev;
    });
    if (r == responders_.end() || r->silent) return;
    strayFrom = r->strayFrom;
    badChecksum = r->badChecksum;
    std::uint16_t answerPid = pid;
    if (pid == 0x0020) {  // QUEUED_MESSAGE: what ACK_TIMER queued, once it is ready
      if (queuedPid_ == 0 || SteadyClock::now() < queuedReady_) {
        // STATUS_MESSAGES: nothing queued (yet)
        body = rdmResponse(request, 0x00, 0x0030, {}, r->staleBy);
      } else if (r->ackTimers > 0) {  // still not ready: another 100 ms
        --r->ackTimers;
        queuedReady_ = SteadyClock::now() + std::chrono::milliseconds(100);
        body = rdmResponse(request, 0x01, queuedPid_, {0x00, 0x01}, r->staleBy);
      } else {
        answerPid = queuedPid_;
        queuedPid_ = 0;
      }
    } else if (std::find(r->nack.begin(), r->nack.end(), pid) != r->nack.end()) {
      const Bytes reason{std::uint8_t(r->nackReason >> 8), std::uint8_t(r->nackReason)};
      body = rdmResponse(request, 0x02, pid, reason, r->staleBy);
    } else if (pid == 0x0060 && r->ackTimers > 0) {
      --r->ackTimers;
      queuedPid_ = pid;
      queuedReady_ = SteadyClock::now() + std::chrono::milliseconds(100);
      body = rdmResponse(request, 0x01, pid, {0x00, 0x01}, r->staleBy);  // ready in 1 x 100 ms
    }
    if (body.empty()) {
      Bytes data;
      if (answerPid == 0x0060) data = deviceInfo(*r);
      if (answerPid == 0x00C0) data = text(r->label);
      if (answerPid == 0x0080) data = text(r->model);
      if (answerPid == 0x0081) data = text(r->maker);
      body = rdmResponse(request, 0x00, answerPid, data, r->staleBy);
    }
  }
  const auto sendArtRdm = [&](const Bytes& message) {
    Bytes out = artHeader(0x83, 24);
    out[12] = 0x01;
    out[21] = static_cast<std::uint8_t>(portAddress_ >> 8);
    out[23] = static_cast<std::uint8_t>(portAddress_);
    out.insert(out.end(), message.begin(), message.end());
    socket_.sendTo(out.data(), out.size(), toPort);
  };
  if (badChecksum) ++body.back();
  if (strayFrom != 0) sendArtRdm(strayed(body, strayFrom));
  sendArtRdm(body);
}

}  // namespace testnet
