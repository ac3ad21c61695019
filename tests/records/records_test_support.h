// What the records' tests share: a store in a folder of the test's own, rows
// to write, and a look at the file with SQLite itself.
#pragma once

#include <gtest/gtest.h>

#include <memory>
#include <string>

#include "records/store.h"
#include "tests/support/temp_folder.h"

// Defined out of line: GCC 12 at -O3 reports a false -Wrestrict on these
// strings when they are made inline in a test.
std::unique_ptr<records::Store> openStore(const std::string& path,
                                          records::Access access = records::Access::write);
// An upload on `line` (its driver the part before ':') with everything else plain.
records::UploadStart uploadOn(const std::string& line, const std::string& startedAt,
                              const std::string& sha = std::string(64, 'a'));
records::UploadEnd endedAs(const std::string& result);
std::string fileBytes(const std::string& path);
// One number SQLite gives for `sql` on the file at `path`.
long long askNumber(const std::string& path, const std::string& sql);
