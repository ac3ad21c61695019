#include "session/service_records.h"

#include <cstdio>
#include <filesystem>
#include <random>
#include <system_error>

#include "drivers/registry.h"
#include "session/address_list.h"
#include "session/host_user.h"

namespace {

// What a line is, for its record: its driver, and a node's host and port
// address (Art-Net) or universe (sACN).
void describeLine(const LineTarget& line, records::UploadStart& s) {
  const std::string& a = line.adapter;
  const std::size_t colon = a.find(':');
  const DriverEntry* driver = findDriver(a);
  s.driver = driver != nullptr ? driver->prefix : a.substr(0, colon);
  s.line = line.label;
  s.serial = line.serial;
  if (s.driver == "artnet") {
    RdmPort port;
    std::string why;
    if (adapterRdmPort(a, port, why)) {
      s.node = port.host;
      s.portAddress = port.portAddress;
    }
  } else if (s.driver == "sacn" && colon != std::string::npos) {
    const std::string rest = a.substr(colon + 1);
    const std::size_t at = rest.find('@');
    long universe = 0;
    if (parseWholeNumber(rest.substr(0, at), 1, 63999, universe)) s.universe = universe;
    if (at != std::string::npos) s.node = rest.substr(at + 1);
  }
}

}  // namespace

RecordsOpening openRecords(const std::string& given, records::Access access) {
  RecordsOpening o;
  o.path = given;
  if (given.empty()) {
    o.path = defaultRecordsPath(o.why);
    if (o.path.empty()) return o;
    if (access == records::Access::write) {
      std::error_code error;
      // The path is UTF-8 (as SQLite takes it), on Windows too.
      const std::u8string utf8(o.path.begin(), o.path.end());
      std::filesystem::create_directories(std::filesystem::path(utf8).parent_path(), error);
      if (error) {
        o.why = "its folder cannot be made: " + error.message();
        return o;
      }
    }
  }
  records::OpenProblem problem = records::OpenProblem::none;
  o.store = records::Store::open(o.path, access, problem, o.why);
  o.missing = problem == records::OpenProblem::missing;
  o.refused = o.store == nullptr && !given.empty() && problem != records::OpenProblem::missing;
  return o;
}

ServiceRecords::ServiceRecords(records::Store& store) : store_(store) {
  // Unique across processes that start in the same millisecond.
  char tag[16];
  std::snprintf(tag, sizeof tag, "%08x", static_cast<unsigned>(std::random_device{}()));
  common_.run = hostName() + ":" + records::utcNow() + ":" + tag;
  common_.host = hostName();
  common_.user = userName();
}

void ServiceRecords::setImage(const ImageBytes& image, const std::string& profile, bool fast) {
  common_.imagePath = image.name;
  common_.imageName = std::filesystem::path(image.name).filename().string();
  common_.imageSize = static_cast<std::int64_t>(image.fileSize);
  common_.imageSha256 = image.sha256;
  common_.profile = profile;
  common_.fast = fast;
}

std::int64_t ServiceRecords::uploadStarted(const LineTarget& line,
                                           const std::vector<int>& addresses) {
  records::UploadStart s = common_;
  s.startedAt = records::utcNow();
  describeLine(line, s);
  s.addresses = addressListText(addresses);
  std::int64_t id = 0;
  std::string why;
  if (store_.beginUpload(s, id, why)) return id;
  failed(why);
  return 0;
}

void ServiceRecords::uploadEnded(std::int64_t id, const UploadReport& r) {
  if (id == 0) return;  // its start was not written: nothing to finish
  records::UploadEnd e;
  e.endedAt = records::utcNow();
  e.result = outcomeWord(r.outcome);
  e.reason = r.reason;
  e.bytes = r.bytes;
  e.frames = r.frames;
  std::string why;
  if (!store_.endUpload(id, e, why)) failed(why);
}

std::int64_t ServiceRecords::uploadNotRun(const LineTarget& line, const UploadReport& report) {
  const std::int64_t id = uploadStarted(line, report.addresses);
  uploadEnded(id, report);
  return id;
}

void ServiceRecords::exitStatus(std::int64_t id, int status) {
  std::string why;
  if (id != 0 && !store_.setExitStatus(id, status, why)) failed(why);
}

void ServiceRecords::reading(const artnet::FixtureReading& r, const std::string& line,
                             const std::string& occasion) {
  if (!r.hasInfo) return;
  records::FixtureReading f;
  f.readAt = records::utcNow();
  f.uid = rdm::uidText(r.uid);
  f.manufacturerId = r.uid.manufacturer;
  f.modelId = r.info.modelId;
  f.manufacturerLabel = r.manufacturer;
  f.modelLabel = r.model;
  if (r.info.startAddress != 0xFFFF) f.startAddress = r.info.startAddress;
  f.softwareVersion = r.info.softwareVersion;
  f.softwareLabel = r.softwareLabel;
  f.line = line;
  f.occasion = occasion;
  std::string why;
  if (!store_.addReading(f, why)) failed(why);
}

std::string ServiceRecords::failure() const {
  std::lock_guard<std::mutex> lock(mutex_);
  return failure_;
}

void ServiceRecords::failed(const std::string& why) {
  std::lock_guard<std::mutex> lock(mutex_);
  if (failure_.empty()) failure_ = why;
}
