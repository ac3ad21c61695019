#include "engine/upload_pace.h"

#include <algorithm>

#include "engine/frame.h"

UploadFigures uploadFigures(std::size_t imageSize, const ReleaseProfile& profile, bool fast) {
  UploadFigures f;
  f.dataFrames = (imageSize + kPayloadSize - 1) / kPayloadSize;
  const std::size_t lead = std::min<std::size_t>(profile.leadPacketExtraSends, f.dataFrames);
  const std::size_t dataSends = f.dataFrames * kDataSends + lead * kExtraSends;
  f.sends = kResetSends + dataSends;
  const unsigned pace = fast ? kFastPaceMs : kNormalPaceMs;
  f.nominalMs = std::int64_t{kResetSends} * kResetPaceMs + kAfterResetMs +
                static_cast<std::int64_t>(dataSends) * pace;
  return f;
}
