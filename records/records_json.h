// history and inventory as JSON, the same for every front end (uploader-cli
// --json, the console): {"format": 1, "records": PATH, "uploads": [...]} and
// {"format": 1, "records": PATH, "fixtures": [...]}, null for what is not
// known. Every field: docs/records.md. Written row by row, with no library:
// 100,000 rows cost what the rows cost.
#pragma once

#include <string>
#include <vector>

#include "records/rows.h"

namespace records {

// The version of this JSON; a change that could break a reader raises it.
inline constexpr int kJsonFormat = 1;

std::string historyJson(const std::vector<HistoryRow>& rows, const std::string& path);
std::string inventoryJson(const std::vector<InventoryRow>& rows, const std::string& path);

}  // namespace records
