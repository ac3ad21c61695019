#include "drivers/sacn_cid.h"

#include <filesystem>
#include <fstream>
#include <iterator>
#include <system_error>

#include "drivers/netio.h"

namespace sacn {

std::string cidPath() {
  const std::string dir = netio::userConfigDir("tavik-uploader");
  if (dir.empty()) return {};
  return (std::filesystem::path(dir) / "cid").string();
}

bool loadOrCreateCid(const std::string& path, e131::Cid& cid, std::string& error) {
  const std::string remedy = "; give a CID with --cid";
  if (path.empty()) {
    error = "there is no settings folder to keep the sACN CID in (HOME / APPDATA unset)" + remedy;
    return false;
  }
  namespace fs = std::filesystem;
  std::error_code ec;
  if (fs::exists(path, ec)) {
    std::ifstream in(path, std::ios::binary);
    const std::string text((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    if (!in.bad() && e131::parseCid(text, cid)) return true;
    error = path +
            " does not hold a CID (xxxxxxxx-xxxx-xxxx-xxxx-xxxxxxxxxxxx); mend or remove it" +
            remedy;
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
      error = "cannot keep the sACN CID in " + path + remedy;
      return false;
    }
  }
  fs::rename(partial, file, ec);
  if (ec) {
    error = "cannot keep the sACN CID in " + path + ": " + ec.message() + remedy;
    fs::remove(partial, ec);
    return false;
  }
  cid = made;
  return true;
}

}  // namespace sacn
