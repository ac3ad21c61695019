// The sACN source's component identifier (CID): E1.31 wants one that stays
// the same from run to run, so it is made once and kept in the user's
// settings folder, in a file named "cid" holding its text.
#pragma once

#include <string>

#include "drivers/e131_wire.h"

namespace sacn {

// The file the CID is kept in; empty when the user has no settings folder.
std::string cidPath();

// Reads the CID kept at `path`; when there is no such file, makes a new one
// and keeps it there (creating the folder). False with `error` filled in
// when the file holds something else or cannot be read or written; a file
// that holds something else is left as it is.
bool loadOrCreateCid(const std::string& path, e131::Cid& cid, std::string& error);

}  // namespace sacn
