// history and inventory as a person or a program reads them: a table, CSV
// (RFC 4180) or JSON (null for what is not known).
#pragma once

#include <string>
#include <vector>

#include "records/rows.h"

enum class RecordsFormat { table, csv, json };

std::string historyText(const std::vector<records::HistoryRow>& rows, RecordsFormat format,
                        const std::string& path);
std::string inventoryText(const std::vector<records::InventoryRow>& rows, RecordsFormat format,
                          const std::string& path);

// "0x00010200".
std::string versionHex(long long version);
