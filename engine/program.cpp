#include "engine/program.h"

#include <sys/stat.h>

#include <cstring>

#include "engine/clock.h"
#include "engine/link.h"
#include "engine/log.h"
#include "engine/operator.h"
#include "engine/state.h"

namespace {

constexpr unsigned kResetSends = 10;
constexpr unsigned kResetPaceMs = 10;
constexpr unsigned kAfterResetMs = 1000;
constexpr unsigned kDataSends = 10;
constexpr unsigned kExtraSends = 30;
constexpr unsigned kNormalPaceMs = 50;
constexpr unsigned kFastPaceMs = 11;

// Room for a 260-character path and the words around it.
char text[kPathCapacity + 128];
// The path being uploaded, copied from szFile when the upload starts.
char imagePath[kPathCapacity];

// How one frame fared over all of its sends.
struct SendTally {
  unsigned good = 0;
  unsigned failed = 0;
};

// Sends dmx_packet `count` times, pausing `paceMs` after each send.
void sendRepeated(unsigned count, unsigned paceMs, SendTally& tally) {
  for (unsigned i = 0; i < count; ++i) {
    if (sendData(ftHandle[0], dmx_packet.bytes, kFrameSize) == 1)
      ++tally.good;
    else
      ++tally.failed;
    uploadClock->pause(paceMs);
  }
}

int giveBack(int result) {
  componentEnable(true);
  return result;
}

// Size of the file behind the stream when it is a regular file, else `fallback`.
long fileSizeOr(std::FILE* stream, long fallback) {
  struct stat st {};
  if (fstat(fileno(stream), &st) == 0 && S_ISREG(st.st_mode) && st.st_size > fallback)
    return static_cast<long>(st.st_size);
  return fallback;
}

// Reads the image file into fw_data. Shows the operator why it cannot, and returns false then.
bool readImage() {
  fw_size = 0;
  long limit = kMaxImageSize;
  if (static_cast<long>(releaseProfile->imageCapacity) < limit)
    limit = static_cast<long>(releaseProfile->imageCapacity);
  long count = -1;  // bytes read; -1 when the file cannot be opened or read
  long size = 0;    // the file's size, when it is too large
  f_fw = std::fopen(imagePath, "rb");
  if (f_fw != nullptr) {
    count = read_file(f_fw, fw_data, limit);
    if (count > limit) size = fileSizeOr(f_fw, count);
    std::fclose(f_fw);
    f_fw = nullptr;
  }
  if (count < 0) {
    std::snprintf(text, sizeof text, "Cannot read file \"%s\"", imagePath);
    messageErr(text);
    return false;
  }
  if (count > limit) {
    std::snprintf(text, sizeof text, "FILE TOO LARGE!\n\n%s\n%ld bytes, at most %ld", imagePath,
                  size, limit);
    messageErr(text);
    return false;
  }
  fw_size = static_cast<std::int32_t>(count);
  logLine("Readed file \"%s\" %dB\n", imagePath, static_cast<int>(fw_size));
  return true;
}

// Where the line part of an upload stopped.
struct LineOutcome {
  int failedFrame = 0;  // 0 when every frame went out
  std::int32_t deliveredBytes = 0;
  unsigned sendErrors = 0;
};

// Connects to the adapter; on failure tells the operator.
bool connect() {
  if (!linkLoad() || !linkList() || !linkOpen()) {
    messageErr("CANNOT CONNECT TO PROGRAMMER");
    return false;
  }
  linkSetup();
  return true;
}

// The reset burst and the data phase, on an open adapter. A frame none of
// whose sends succeeded stops it: the device cannot have seen it.
LineOutcome sendImage(unsigned dataPace) {
  LineOutcome out;
  const std::uint16_t resetAddress =
      releaseProfile->resetAddressMode == ResetAddressMode::broadcast ? kBroadcastAddress : address;
  frameBuildReset(dmx_packet, resetAddress);
  frameSeal(dmx_packet);
  logLine("Send reset with address %d\n", static_cast<int>(resetAddress));

  // Frames are numbered from 1 in the order they go out: the reset frame is
  // frame 1, the first data frame frame 2.
  int frameNumber = 1;
  SendTally tally;
  sendRepeated(kResetSends, kResetPaceMs, tally);
  out.sendErrors += tally.failed;
  if (tally.good == 0) {
    out.failedFrame = frameNumber;
    return out;
  }
  uploadClock->pause(kAfterResetMs);

  frameMakeData(dmx_packet);
  logLine("Sending data\n");

  fw_ptr = 0;
  std::uint16_t remaining = static_cast<std::uint16_t>(fw_size);
  std::uint16_t extraAllowance = releaseProfile->leadPacketExtraSends;
  while (remaining != 0) {
    ++frameNumber;
    const std::int32_t chunkStart = fw_ptr;
    if (remaining > kPayloadSize) {
      frameLoadChunk(dmx_packet, fw_data + fw_ptr, kPayloadSize);
      remaining = static_cast<std::uint16_t>(remaining - kPayloadSize);
    } else {
      frameLoadChunk(dmx_packet, fw_data + (fw_size - remaining), remaining);
      remaining = 0;
    }
    fw_ptr = fw_size - remaining;
    frameSeal(dmx_packet);

    tally = {};
    sendRepeated(kDataSends, dataPace, tally);
    if (extraAllowance > 0) {
      --extraAllowance;
      sendRepeated(kExtraSends, dataPace, tally);
    }
    out.sendErrors += tally.failed;
    if (tally.good == 0) {
      fw_ptr = chunkStart;
      out.failedFrame = frameNumber;
      out.deliveredBytes = chunkStart;
      return out;
    }
    frameAdvance(dmx_packet);
    uploadOperator->progressPosition(fw_ptr);
  }
  out.deliveredBytes = fw_ptr;
  return out;
}

}  // namespace

int program() {
  if (szFile[0] == '\0') {
    messageErr("FILE NOT SELECTED!");
    return giveBack(uploadRefused);
  }
  // The worker only reads the operator's choice; a copy that is certainly
  // terminated keeps every use below within bounds.
  const std::size_t pathLength = strnlen(szFile, kPathCapacity - 1);
  std::memcpy(imagePath, szFile, pathLength);
  imagePath[pathLength] = '\0';
  if (!readImage()) return giveBack(uploadRefused);

  const unsigned dataPace = checked ? kFastPaceMs : kNormalPaceMs;
  if (fw_size != 0) {
    uploadOperator->progressRange(static_cast<std::uint16_t>(fw_size));
    fw_ptr = 0;
    uploadOperator->progressPosition(0);
  }

  if (!connect()) return giveBack(uploadLinkFailed);

  uploadClock->uploadBegins();
  const LineOutcome out = sendImage(dataPace);
  uploadClock->uploadEnds();

  if (out.failedFrame != 0) {
    logLine("Send failed at frame %d\n", out.failedFrame);
    linkLogReason();
  }
  if (out.sendErrors != 0) logLine("Send errors: %u\n", out.sendErrors);
  linkClose();
  if (out.failedFrame != 0) {
    std::snprintf(text, sizeof text, "UPLOAD FAILED!\n\n%s\nAddress=%d\nStopped at byte %d of %d",
                  imagePath, static_cast<int>(address), static_cast<int>(out.deliveredBytes),
                  static_cast<int>(fw_size));
    messageErr(text);
    return giveBack(uploadLinkFailed);
  }
  std::snprintf(text, sizeof text, "\nDONE\n\n%s\nAddress=%d", imagePath,
                static_cast<int>(address));
  message(text);
  return giveBack(uploadDone);
}

long read_file(std::FILE* stream, std::uint8_t* dest, long limit) {
  long count = 0;
  for (;;) {
    const int c = std::fgetc(stream);
    if (c == EOF) return std::ferror(stream) ? -1 : count;
    if (count == limit) return limit + 1;
    dest[count++] = static_cast<std::uint8_t>(c);
  }
}
