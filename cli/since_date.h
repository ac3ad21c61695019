// history --since DATE: a day or a moment in local time ("2026-12-01",
// "2026-12-01T14:30", "2026-12-01 14:30:05"), or in UTC with a closing "Z",
// as the records' UTC text ("2026-12-01T13:30:00.000Z").
#pragma once

#include <string>

// False with `error` saying what is wrong with `text`.
bool sinceUtc(const std::string& text, std::string& utc, std::string& error);
