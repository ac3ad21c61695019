// An Art-Net node of the tests' own with RDM responders behind one of its
// ports, on 127.0.0.1. It answers ArtTodRequest with its table of devices
// in ArtTodData blocks and GETs in ArtRdm as each responder is told to:
// with data, with a NACK, with ACK_TIMER (the answer then waits in its
// queue for QUEUED_MESSAGE), or not at all. Written from the published
// layouts (Art-Net 4, ANSI E1.20), apart from the drivers' code.
#pragma once

#include <atomic>
#include <chrono>
#include <cstdint>
#include <functional>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "tests/net/loopback_socket.h"

namespace testnet {

struct FakeResponder {
  std::uint16_t manufacturer = 0x29A9;
  std::uint32_t device = 1;
  std::uint16_t modelId = 0x0001;  // DEVICE_INFO's model ID
  std::uint32_t version = 0x01000000;
  std::string label = "1.0";
  std::string model = "Test Fixture";
  std::string maker = "Tavik";
  std::uint16_t address = 1;
  std::vector<std::uint16_t> nack;    // PIDs answered with NACK_REASON
  std::uint16_t nackReason = 0x0000;  // the reason they give (unknown PID)
  // ACK_TIMER answers (100 ms each) to DEVICE_INFO, then to QUEUED_MESSAGE, before the data
  int ackTimers = 0;
  bool silent = false;
  std::uint8_t staleBy = 0;  // answers carry the transaction number this much too low
  bool badChecksum = false;  // answers carry a checksum one too high
  // Nonzero: every answer is sent first as if from this device ID (same
  // manufacturer), with its data bytes inverted, as a second responder
  // answering out of turn would.
  std::uint32_t strayFrom = 0;
};

// One RDM request the node received.
struct SeenRequest {
  std::uint16_t pid;
  std::uint8_t transaction;
  std::chrono::steady_clock::time_point at;
};

class FakeRdmNode {
 public:
  // On 127.0.0.1:`udpPort` (or another loopback `address`), or a free port when 0.
  FakeRdmNode(std::uint16_t portAddress, std::vector<FakeResponder> responders,
              std::uint16_t udpPort = 0, std::uint32_t address = kLoopback);
  ~FakeRdmNode();

  bool good() const { return socket_.good(); }
  std::uint16_t port() const { return socket_.port(); }
  // Changes the responders (between the reads before and after an upload).
  void change(const std::function<void(std::vector<FakeResponder>&)>& edit);
  std::vector<SeenRequest> seen() const;

  std::atomic<bool> silent{false};            // the node answers nothing
  std::atomic<std::size_t> todBlock{200};     // UIDs per ArtTodData
  std::atomic<bool> repeatFirstBlock{false};  // block 0 is sent twice before the rest
  std::atomic<bool> todNak{false};            // ArtTodRequest is answered with TodNak only
  std::atomic<std::size_t> answerEvery{1};    // only every Nth RDM request is answered
  // Nonzero: once ArtNzs packets came and then none for 500 ms (an upload
  // ended), every responder restarts with this software version.
  std::atomic<std::uint32_t> versionAfterUpload{0};
  std::atomic<std::size_t> nzsSeen{0};  // ArtNzs packets received

 private:
  void run();
  void answerTod(std::uint16_t toPort);
  void answerRdm(const std::vector<std::uint8_t>& packet, std::uint16_t toPort);

  LoopbackSocket socket_;
  const std::uint16_t portAddress_;
  mutable std::mutex mutex_;
  std::vector<FakeResponder> responders_;
  std::vector<SeenRequest> seen_;
  std::chrono::steady_clock::time_point lastNzs_;
  bool uploading_ = false;
  std::uint16_t queuedPid_ = 0;  // what ACK_TIMER put in the queue
  std::chrono::steady_clock::time_point queuedReady_;
  std::atomic<bool> stop_{false};
  std::thread thread_;
};

}  // namespace testnet
