// Release profile: the few settings in which the deliverables differ.
#pragma once

#include <cstddef>
#include <cstdint>

enum class ResetAddressMode : std::uint8_t {
  broadcast,  // reset frames go to 0xFFFF
  selected,   // reset frames go to the chosen address
};

struct ReleaseProfile {
  const char* id;           // short name used on the command line: "v1.2", ...
  const char* titleText;    // window class, caption and message box caption
  const char* fastCaption;  // caption of the fast-mode check box
  ResetAddressMode resetAddressMode;
  std::uint16_t leadPacketExtraSends;  // how many first data frames get 30 extra sends
  std::uint8_t* imageBuffer;           // the profile's own fw_data storage
  std::size_t imageCapacity;           // its size, fixed at build time
};
