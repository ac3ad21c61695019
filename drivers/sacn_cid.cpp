#include "drivers/sacn_cid.h"

#include <cstdint>
#include <filesystem>
#include <fstream>
#include <system_error>
#include <vector>

#include "drivers/netio.h"
#include "files/bounded_file.h"
#include "files/shown_text.h"

namespace sacn {
namespace {

// A CID is 36 characters; a little room for spaces and line ends around it.
constexpr std::size_t kLargestCidFile = 1024;

}  // namespace

std::string cidPath() {
  const std::string dir = netio::userConfigDir("tavik-uploader");
  if (dir.empty()) return {};
  return (std::filesystem::path(dir) / "cid").string();
}

bool loadOrCreateCid(const std::string& path, e131::Cid& cid, std::string& error) {
  const std::string remedy = "; give a CID with --cid";
  if (path.empty()) {
    error =
        "there is no settings folder to keep the sACN CID in (HOME / APPDATA unset or not "
        "absolute)" +
        remedy;
    return false;
  }
  namespace fs = std::filesystem;
  std::error_code ec;
  std::vector<std::uint8_t> bytes;
  std::string problem;
  switch (files::readFile(path, kLargestCidFile, bytes, problem)) {
    case files::Problem::none:
      if (e131::parseCid(std::string(bytes.begin(), bytes.end()), cid)) return true;
      error = files::quoted(path) +
              " does not hold a CID (xxxxxxxx-xxxx-xxxx-xxxx-xxxxxxxxxxxx); mend or remove it" +
              remedy;
      return false;
    case files::Problem::missing:
      break;  // the first run: make one
    default:
      error = "cannot read the sACN CID file: " + problem + "; mend or remove it" + remedy;
      return false;
  }
  const fs::path file(path);
  fs::create_directories(file.parent_path(), ec);
  const e131::Cid made = e131::newCid();
  // Written beside the final name first, so that a half-written file is never read.
  const fs::path partial = file.string() + ".new";
  {
    std::ofstream out(partial, std::ios::binary | std::ios::trunc);
    out << e131::cidText(made) << '\n';
    out.close();
    if (!out) {
      fs::remove(partial, ec);
      error = "cannot keep the sACN CID in " + files::quoted(path) + remedy;
      return false;
    }
  }
  fs::rename(partial, file, ec);
  if (ec) {
    error = "cannot keep the sACN CID in " + files::quoted(path) + ": " + ec.message() + remedy;
    fs::remove(partial, ec);
    return false;
  }
  cid = made;
  return true;
}

}  // namespace sacn
