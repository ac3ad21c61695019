// One line's upload state: the operator's choices, the image and the frame,
// the adapter with the link's D2XX state, and where the upload reports (the
// operator, the clock, the log). The upload works on one line; two lines
// share nothing and can upload at once on two threads.
#pragma once

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <cstdio>

#include "engine/adapter.h"
#include "engine/clock.h"
#include "engine/frame.h"
#include "engine/log.h"
#include "engine/operator.h"
#include "engine/profile.h"

inline constexpr std::size_t kPathCapacity = 260;
inline constexpr std::size_t kSerialSlot = 64;
inline constexpr int kSerialSlots = 5;
// The data phase counts bytes in 16 bits; larger images are refused.
inline constexpr long kMaxImageSize = 65535;

struct Line {
  // The operator's choices: written by the front end before the upload
  // starts, only read while it runs.
  char szFile[kPathCapacity];
  bool checked;
  std::uint16_t address;

  // The release profile, and the buffer the image is read into: the
  // profile's own, or one the front end gives the line.
  const ReleaseProfile* profile;
  std::uint8_t* fw_data;
  std::size_t imageCapacity;

  // The image's bytes as the front end read them (the command line reads the
  // file once, hashes it and hands the same bytes to every line): with
  // imageGiven, the upload takes these in place of reading szFile, which
  // still names the image in the log and the boxes. givenSize is the file's
  // whole size, which may exceed the bytes given when the file is too large.
  bool imageGiven;
  const std::uint8_t* givenImage;
  std::size_t givenSize;

  // Upload working data.
  std::int32_t fw_size;
  std::int32_t fw_ptr;
  std::FILE* f_fw;
  UploadFrame dmx_packet;

  // The adapter and the link's state.
  Adapter* adapter;          // the driver instance; set by the front end
  const char* wantedSerial;  // open this serial instead of the first listed (null: first)
  FT_HANDLE ftHandle[5];
  FT_STATUS ftStatus;
  std::int32_t iNumDevs;
  char cBufLD[kSerialSlot * 6];
  char* pcBufLD[6];

  // Where the upload reports. Null clock: the machine's; null log: standard output.
  Operator* op;
  Clock* clock;
  LogSink* log;
  // More log: a line as each frame is first sent (the window programs never set it).
  bool verbose;

  // Set from any thread to stop the upload after the send in progress (the
  // window programs never set it); the adapter is then closed as usual.
  std::atomic<bool> stopRequested;

  // What the last upload did on the line, for the front end.
  std::uint32_t sendsTried;     // frames handed to the adapter, failed ones included
  std::int32_t deliveredBytes;  // image bytes whose frames went out in full

  // The engine's own: the path being uploaded and the text of its boxes.
  char imagePath[kPathCapacity];
  char text[kPathCapacity + 128];
};

// Gives the line its profile and the image buffer: `buffer` of `capacity`
// bytes, or the profile's own buffer when `buffer` is null.
void lineUseProfile(Line& line, const ReleaseProfile& profile, std::uint8_t* buffer = nullptr,
                    std::size_t capacity = 0);

// The line's clock and log, with the defaults filled in.
Clock& lineClock(Line& line);
LogSink& lineLog(Line& line);
