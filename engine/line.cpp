#include "engine/line.h"

void lineUseProfile(Line& line, const ReleaseProfile& profile, std::uint8_t* buffer,
                    std::size_t capacity) {
  line.profile = &profile;
  line.fw_data = buffer != nullptr ? buffer : profile.imageBuffer;
  line.imageCapacity = buffer != nullptr ? capacity : profile.imageCapacity;
}

Clock& lineClock(Line& line) { return line.clock != nullptr ? *line.clock : realClock(); }
LogSink& lineLog(Line& line) { return line.log != nullptr ? *line.log : standardOutputLog(); }
