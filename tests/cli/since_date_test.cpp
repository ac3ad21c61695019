// history --since: the forms a person writes, in UTC or local time, as the
// records' UTC text; anything else refused with what is expected.
#include "cli/since_date.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <ctime>

namespace {

std::string since(const std::string& text) {
  std::string utc, error;
  return sinceUtc(text, utc, error) ? utc : "refused: " + error;
}

TEST(SinceDate, UtcFormsBecomeTheRecordsText) {
  EXPECT_EQ(since("2026-12-01T14:30Z"), "2026-12-01T14:30:00.000Z");
  EXPECT_EQ(since("2026-12-01 14:30:05Z"), "2026-12-01T14:30:05.000Z");
  EXPECT_EQ(since("2024-02-29T00:00Z"), "2024-02-29T00:00:00.000Z");
}

TEST(SinceDate, LocalTimeIsTakenAsTheMachineShowsIt) {
  const char* before = std::getenv("TZ");
  const std::string kept = before != nullptr ? before : "";
  setenv("TZ", "CET-1CEST,M3.5.0,M10.5.0/3", 1);
  tzset();
  EXPECT_EQ(since("2026-12-01"), "2026-11-30T23:00:00.000Z");
  EXPECT_EQ(since("2026-07-01T12:00"), "2026-07-01T10:00:00.000Z");  // summer time
  if (before != nullptr)
    setenv("TZ", kept.c_str(), 1);
  else
    unsetenv("TZ");
  tzset();
}

TEST(SinceDate, OtherTextIsRefusedSayingWhatIsExpected) {
  for (const char* bad : {"yesterday", "2026-13-01", "2026-02-30", "2026-12-01T25:00",
                          "2026-12-01T10:00+01", "2026-12-01x", "12/01/2026", ""}) {
    SCOPED_TRACE(bad);
    EXPECT_NE(since(bad).find("refused: --since: "), std::string::npos);
    EXPECT_NE(since(bad).find("YYYY-MM-DD"), std::string::npos);
  }
}

}  // namespace
