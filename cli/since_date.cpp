#include "cli/since_date.h"

#include <chrono>
#include <cstdio>
#include <ctime>

bool sinceUtc(const std::string& text, std::string& utc, std::string& error) {
  int y = 0, mo = 0, d = 0, h = 0, mi = 0, s = 0, used = 0;
  char sep = 0;
  const int n = std::sscanf(text.c_str(), "%4d-%2d-%2d%n%c%2d:%2d%n:%2d%n", &y, &mo, &d, &used,
                            &sep, &h, &mi, &used, &s, &used);
  const std::string rest = text.substr(static_cast<std::size_t>(used));
  const bool zulu = rest == "Z";
  const bool shape = (n == 3 || (n >= 6 && (sep == 'T' || sep == ' '))) && (rest.empty() || zulu);
  const std::chrono::year_month_day day{std::chrono::year(y), std::chrono::month(mo),
                                        std::chrono::day(d)};
  if (!shape || !day.ok() || h > 23 || mi > 59 || s > 59 || h < 0 || mi < 0 || s < 0) {
    error = "--since: \"" + text +
            "\" is not a date YYYY-MM-DD or a time YYYY-MM-DDTHH:MM[:SS] (local time; a closing "
            "Z for UTC)";
    return false;
  }
  using namespace std::chrono;
  sys_seconds moment = sys_days(day) + hours(h) + minutes(mi) + seconds(s);
  if (!zulu) {
    // Local time, as the person's clock shows it, daylight saving included.
    std::tm local{};
    local.tm_year = y - 1900;
    local.tm_mon = mo - 1;
    local.tm_mday = d;
    local.tm_hour = h;
    local.tm_min = mi;
    local.tm_sec = s;
    local.tm_isdst = -1;
    const std::time_t t = std::mktime(&local);
    if (t == static_cast<std::time_t>(-1)) {
      error = "--since: \"" + text + "\" is not a time this machine can show";
      return false;
    }
    moment = sys_seconds(seconds(t));
  }
  const auto dayOf = floor<days>(moment);
  const year_month_day date{dayOf};
  const hh_mm_ss<seconds> time{moment - dayOf};
  char out[32];
  std::snprintf(out, sizeof out, "%04d-%02u-%02uT%02d:%02d:%02d.000Z", int(date.year()),
                unsigned(date.month()), unsigned(date.day()), int(time.hours().count()),
                int(time.minutes().count()), int(time.seconds().count()));
  utc = out;
  return true;
}
