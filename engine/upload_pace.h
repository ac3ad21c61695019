// How an upload is paced on the line: the reset burst, the pause after it,
// the sends of each data frame and the pause after each send. The phase
// that sends keeps to these; a plan shown before anything is sent counts
// with them.
#pragma once

#include <cstddef>
#include <cstdint>

#include "engine/profile.h"

inline constexpr unsigned kResetSends = 10;
inline constexpr unsigned kResetPaceMs = 10;
inline constexpr unsigned kAfterResetMs = 1000;
inline constexpr unsigned kDataSends = 10;
inline constexpr unsigned kExtraSends = 30;  // more sends of each of a profile's lead frames
inline constexpr unsigned kNormalPaceMs = 50;
inline constexpr unsigned kFastPaceMs = 11;

// What one upload of an image puts on its line, at the protocol's pace.
struct UploadFigures {
  std::size_t dataFrames = 0;  // 64 image bytes each, the last one the rest
  std::size_t sends = 0;       // every send of every frame, the reset burst's too
  std::int64_t nominalMs = 0;  // from the first reset to the last data frame's pause
};

UploadFigures uploadFigures(std::size_t imageSize, const ReleaseProfile& profile, bool fast);
