#include "drivers/sacn.h"

#include <vector>

#include "drivers/e131_wire.h"
#include "drivers/netio.h"
#include "drivers/node_adapter.h"
#include "drivers/sacn_cid.h"
#include "files/shown_text.h"

namespace sacn {

namespace {

constexpr const char* kSourceName = "uploader";
constexpr std::uint8_t kPriority = 100;
constexpr int kTerminatingPackets = 3;

class SacnAdapter final : public NodeAdapter {
 public:
  // `cid`: the CID to send with; null for the one kept in the settings folder.
  SacnAdapter(std::uint16_t universe, std::string host, std::uint16_t port, const e131::Cid* cid)
      : NodeAdapter("sacn", "the sACN source (UDP sockets and its CID)"),
        universe_(universe),
        host_(std::move(host)),
        port_(port),
        cidGiven_(cid != nullptr) {
    if (cid != nullptr) cid_ = *cid;
  }

  bool load() override {
    if (!netio::startup(why_)) return false;
    return cidGiven_ || loadOrCreateCid(cidPath(), cid_, why_);
  }

  std::string openingAdvice() const override {
    return "Check the universe and the node's address, and that this computer is on the node's "
           "network\n(multicast reaches the local network only; a firewall must let UDP 5568 "
           "through).\n";
  }

  // Each universe's multicast group is a destination of its own; packets to
  // one host share that host's input.
  std::optional<std::uint32_t> nodeAddress() const override {
    return host_.empty() ? std::nullopt : NodeAdapter::nodeAddress();
  }

  FT_STATUS FT_ListDevices(void* pArg1, void* pArg2, FT_DWORD) override {
    std::uint32_t address = 0;
    if (!target(address)) return FT_DEVICE_NOT_FOUND;
    // E1.31 has no poll: the one entry is where the packets will go.
    putListed(pArg1, 0,
              "universe " + std::to_string(universe_) + " -> " + netio::addressText(address) + ":" +
                  std::to_string(port_));
    *static_cast<std::int32_t*>(pArg2) = 1;
    return FT_OK;
  }

  // The serial text is only the listing's name for the target; the target
  // itself is the one "sacn:UNIVERSE[@HOST]" named.
  FT_STATUS FT_OpenEx(void*, FT_DWORD, FT_HANDLE* handle) override {
    std::uint32_t address = 0;
    if (!target(address)) return FT_DEVICE_NOT_FOUND;
    lastValues_.clear();
    return openLink(address, port_, handle);
  }

  FT_STATUS FT_Write(FT_HANDLE h, void* buffer, FT_DWORD length, FT_DWORD* written) override {
    *written = 0;
    if (!isOpen(h)) return FT_INVALID_HANDLE;
    if (length < 1 || length > e131::kMaxPropertyValues) {
      why_ = "an E1.31 data packet carries a START code and up to 512 slots, not " +
             std::to_string(length) + " bytes";
      return FT_INVALID_PARAMETER;
    }
    const auto* values = static_cast<const std::uint8_t*>(buffer);
    if (!sendValues(values, length, 0)) return FT_IO_ERROR;
    lastValues_.assign(values, values + length);
    *written = length;
    return FT_OK;
  }

  // A source that stops sends three packets with Stream_Terminated set. They
  // repeat the last frame, so that a node that ignores the option and puts
  // them on the line sends nothing the devices have not already seen.
  FT_STATUS FT_Close(FT_HANDLE h) override {
    if (!isOpen(h)) return FT_INVALID_HANDLE;
    if (!lastValues_.empty() && !link_.lost)
      for (int i = 0; i < kTerminatingPackets; ++i)
        if (!sendValues(lastValues_.data(), lastValues_.size(), e131::kStreamTerminated)) break;
    lastValues_.clear();
    udpClose(link_);
    return FT_OK;
  }

 private:
  bool target(std::uint32_t& address) {
    if (host_.empty()) {
      address = e131::multicastGroup(universe_);
      return true;
    }
    return netio::resolve(host_, address, why_);
  }

  bool sendValues(const std::uint8_t* values, std::size_t count, std::uint8_t options) {
    e131::DataHeader header;
    header.cid = cid_;
    header.sourceName = kSourceName;
    header.priority = kPriority;
    header.sequence = nextSequence_;
    header.options = options;
    header.universe = universe_;
    std::uint8_t packet[e131::kHeaderSize + e131::kMaxPropertyValues];
    const std::size_t size = e131::buildData(packet, header, values, count);
    if (!udpSend(link_, packet, size, "an E1.31 data packet", why_)) return false;
    ++nextSequence_;
    return true;
  }

  // What "sacn:UNIVERSE[@HOST]" said; no host means multicast.
  const std::uint16_t universe_;
  const std::string host_;
  const std::uint16_t port_;
  const bool cidGiven_;
  e131::Cid cid_{};
  std::uint8_t nextSequence_ = 0;         // for the adapter's life
  std::vector<std::uint8_t> lastValues_;  // the last property values sent, for the closing packets
};

// The CID --cid gives; false with `error` when the text is no CID.
bool cidOf(const std::string& value, e131::Cid& cid, std::string& error) {
  if (e131::parseCid(value, cid)) return true;
  error = "--cid: " + files::quoted(value) +
          " is not a CID (xxxxxxxx-xxxx-xxxx-xxxx-xxxxxxxxxxxx, not all zero)";
  return false;
}

bool checkCid(const std::string& value, std::string& error) {
  e131::Cid cid{};
  return cidOf(value, cid, error);
}

}  // namespace

const DriverOption kOptions[] = {
    {"--cid", "UUID", "sacn: the source's CID (default: made once, kept)", false, checkCid},
    {nullptr, nullptr, nullptr, false, nullptr},
};

std::unique_ptr<Adapter> makeWith(const std::string& argument, const Settings& settings,
                                  std::string& error) {
  const std::size_t at = argument.find('@');
  const std::string number = argument.substr(0, at);
  bool digits = !number.empty() && number.size() <= 5;
  for (char c : number) digits = digits && c >= '0' && c <= '9';
  const unsigned long value = digits ? std::stoul(number) : 0;
  if (value < e131::kMinUniverse || value > e131::kMaxUniverse) {
    error = "sacn needs a universe from 1 to 63999: sacn:UNIVERSE[@HOST], not \"sacn:" + argument +
            "\"";
    return nullptr;
  }
  if (at != std::string::npos && at + 1 == argument.size()) {
    error = "sacn:" + argument + " names no host after \"@\"";
    return nullptr;
  }
  e131::Cid cid{};
  if (!settings.cid.empty() && !cidOf(settings.cid, cid, error)) return nullptr;
  return std::make_unique<SacnAdapter>(static_cast<std::uint16_t>(value),
                                       at == std::string::npos ? "" : argument.substr(at + 1),
                                       settings.port, settings.cid.empty() ? nullptr : &cid);
}

std::unique_ptr<Adapter> make(const std::string& argument, const DriverSettings& given,
                              std::string& error) {
  Settings settings;
  if (const std::string* cid = settingValue(given, "--cid")) settings.cid = *cid;
  return makeWith(argument, settings, error);
}

}  // namespace sacn
