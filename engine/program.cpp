#include "engine/program.h"

#include <cstring>

#include "engine/file_size.h"
#include "engine/line.h"
#include "engine/link.h"
#include "engine/log.h"
#include "engine/state.h"

namespace {

constexpr unsigned kResetSends = 10;
constexpr unsigned kResetPaceMs = 10;
constexpr unsigned kAfterResetMs = 1000;
constexpr unsigned kDataSends = 10;
constexpr unsigned kExtraSends = 30;
constexpr unsigned kNormalPaceMs = 50;
constexpr unsigned kFastPaceMs = 11;

// How one frame fared over all of its sends.
struct SendTally {
  unsigned good = 0;
  unsigned failed = 0;
};

bool stopAsked(const Line& line) { return line.stopRequested.load(std::memory_order_relaxed); }

// Sends the line's frame `count` times, pausing `paceMs` after each send.
// Returns false, having sent less, when the line is asked to stop.
bool sendRepeated(Line& line, unsigned count, unsigned paceMs, SendTally& tally) {
  Clock& clock = lineClock(line);
  for (unsigned i = 0; i < count; ++i) {
    if (stopAsked(line)) return false;
    if (sendData(line, line.ftHandle[0], line.dmx_packet.bytes, kFrameSize) == 1)
      ++tally.good;
    else
      ++tally.failed;
    clock.pause(paceMs);
  }
  return true;
}

// With the line's verbose flag: a log line as a frame is first sent, with
// the image bytes it carries (none for the reset) and the time since the
// line opened.
void logFirstSend(Line& line, int frameNumber, std::int32_t from, std::int32_t to,
                  std::int64_t openedAt) {
  if (!line.verbose) return;
  const long long ms = (lineClock(line).nowMicros() - openedAt) / 1000;
  if (to <= from)
    logLine(lineLog(line), "Frame %d (reset): first send at %lld ms\n", frameNumber, ms);
  else
    logLine(lineLog(line), "Frame %d (bytes %d-%d): first send at %lld ms\n", frameNumber,
            static_cast<int>(from), static_cast<int>(to - 1), ms);
}

int giveBack(Line& line, int result) {
  componentEnable(line, true);
  return result;
}

// Reads the image file into fw_data. Shows the operator why it cannot, and returns false then.
bool readImage(Line& line) {
  line.fw_size = 0;
  long limit = kMaxImageSize;
  if (static_cast<long>(line.imageCapacity) < limit) limit = static_cast<long>(line.imageCapacity);
  long count = -1;     // bytes read; -1 when the file cannot be opened or read
  long long size = 0;  // the file's size, when it is too large
  line.f_fw = std::fopen(line.imagePath, "rb");
  if (line.f_fw != nullptr) {
    count = read_file(line.f_fw, line.fw_data, limit);
    if (count > limit) {
      size = regularFileSize(line.f_fw);
      if (size < count) size = count;
    }
    std::fclose(line.f_fw);
    line.f_fw = nullptr;
  }
  if (count < 0) {
    std::snprintf(line.text, sizeof line.text, "Cannot read file \"%s\"", line.imagePath);
    messageErr(line, line.text);
    return false;
  }
  if (count > limit) {
    std::snprintf(line.text, sizeof line.text, "FILE TOO LARGE!\n\n%s\n%lld bytes, at most %ld",
                  line.imagePath, size, limit);
    messageErr(line, line.text);
    return false;
  }
  line.fw_size = static_cast<std::int32_t>(count);
  logLine(lineLog(line), "Readed file \"%s\" %dB\n", line.imagePath,
          static_cast<int>(line.fw_size));
  return true;
}

// Where the line part of an upload stopped.
struct LineOutcome {
  int failedFrame = 0;   // 0 when every frame went out
  int stoppedFrame = 0;  // the frame in progress when the line was asked to stop; 0: not stopped
  std::int32_t deliveredBytes = 0;
  unsigned sendErrors = 0;
};

// Connects to the adapter; on failure tells the operator.
bool connect(Line& line) {
  if (!linkLoad(line) || !linkList(line) || !linkOpen(line)) {
    messageErr(line, "CANNOT CONNECT TO PROGRAMMER");
    return false;
  }
  linkSetup(line);
  return true;
}

// The reset burst and the data phase, on an open adapter. A frame none of
// whose sends succeeded stops it: the device cannot have seen it.
LineOutcome sendImage(Line& line, unsigned dataPace) {
  LineOutcome out;
  UploadFrame& frame = line.dmx_packet;
  const std::int64_t openedAt = lineClock(line).nowMicros();
  const std::uint16_t resetAddress = line.profile->resetAddressMode == ResetAddressMode::broadcast
                                         ? kBroadcastAddress
                                         : line.address;
  frameBuildReset(frame, resetAddress);
  frameSeal(frame);
  logLine(lineLog(line), "Send reset with address %d\n", static_cast<int>(resetAddress));

  // Frames are numbered from 1 in the order they go out: the reset frame is
  // frame 1, the first data frame frame 2.
  int frameNumber = 1;
  SendTally tally;
  logFirstSend(line, frameNumber, 0, 0, openedAt);
  const bool burstSent = sendRepeated(line, kResetSends, kResetPaceMs, tally);
  out.sendErrors += tally.failed;
  if (!burstSent) {
    out.stoppedFrame = frameNumber;
    return out;
  }
  if (tally.good == 0) {
    out.failedFrame = frameNumber;
    return out;
  }
  lineClock(line).pause(kAfterResetMs);

  frameMakeData(frame);
  logLine(lineLog(line), "Sending data\n");

  line.fw_ptr = 0;
  std::uint16_t remaining = static_cast<std::uint16_t>(line.fw_size);
  std::uint16_t extraAllowance = line.profile->leadPacketExtraSends;
  while (remaining != 0) {
    ++frameNumber;
    const std::int32_t chunkStart = line.fw_ptr;
    if (remaining > kPayloadSize) {
      frameLoadChunk(frame, line.fw_data + line.fw_ptr, kPayloadSize);
      remaining = static_cast<std::uint16_t>(remaining - kPayloadSize);
    } else {
      frameLoadChunk(frame, line.fw_data + (line.fw_size - remaining), remaining);
      remaining = 0;
    }
    line.fw_ptr = line.fw_size - remaining;
    frameSeal(frame);

    tally = {};
    logFirstSend(line, frameNumber, chunkStart, line.fw_ptr, openedAt);
    bool allSent = sendRepeated(line, kDataSends, dataPace, tally);
    if (allSent && extraAllowance > 0) {
      --extraAllowance;
      allSent = sendRepeated(line, kExtraSends, dataPace, tally);
    }
    out.sendErrors += tally.failed;
    if (!allSent) {
      line.fw_ptr = chunkStart;
      out.stoppedFrame = frameNumber;
      out.deliveredBytes = chunkStart;
      return out;
    }
    if (tally.good == 0) {
      line.fw_ptr = chunkStart;
      out.failedFrame = frameNumber;
      out.deliveredBytes = chunkStart;
      return out;
    }
    frameAdvance(frame);
    line.op->progressPosition(line.fw_ptr);
  }
  out.deliveredBytes = line.fw_ptr;
  return out;
}

}  // namespace

int program(Line& line) {
  line.sendsTried = 0;
  line.deliveredBytes = 0;
  if (line.szFile[0] == '\0') {
    messageErr(line, "FILE NOT SELECTED!");
    return giveBack(line, uploadRefused);
  }
  // The worker only reads the operator's choice; a copy that is certainly
  // terminated keeps every use below within bounds.
  const std::size_t pathLength = strnlen(line.szFile, kPathCapacity - 1);
  std::memcpy(line.imagePath, line.szFile, pathLength);
  line.imagePath[pathLength] = '\0';
  if (!readImage(line)) return giveBack(line, uploadRefused);

  const unsigned dataPace = line.checked ? kFastPaceMs : kNormalPaceMs;
  if (line.fw_size != 0) {
    line.op->progressRange(static_cast<std::uint16_t>(line.fw_size));
    line.fw_ptr = 0;
    line.op->progressPosition(0);
  }

  if (!connect(line)) return giveBack(line, uploadLinkFailed);

  Clock& clock = lineClock(line);
  clock.uploadBegins();
  const LineOutcome out = sendImage(line, dataPace);
  clock.uploadEnds();

  LogSink& log = lineLog(line);
  line.deliveredBytes = out.deliveredBytes;
  if (out.stoppedFrame != 0)
    logLine(log, "Stopped at frame %d, byte %d of %d\n", out.stoppedFrame,
            static_cast<int>(out.deliveredBytes), static_cast<int>(line.fw_size));
  if (out.failedFrame != 0) {
    logLine(log, "Send failed at frame %d\n", out.failedFrame);
    linkLogReason(line);
  }
  if (out.sendErrors != 0) logLine(log, "Send errors: %u\n", out.sendErrors);
  linkClose(line);
  if (out.stoppedFrame != 0) {
    std::snprintf(line.text, sizeof line.text,
                  "UPLOAD STOPPED!\n\n%s\nAddress=%d\nStopped at byte %d of %d", line.imagePath,
                  static_cast<int>(line.address), static_cast<int>(out.deliveredBytes),
                  static_cast<int>(line.fw_size));
    messageErr(line, line.text);
    return giveBack(line, uploadStopped);
  }
  if (out.failedFrame != 0) {
    std::snprintf(line.text, sizeof line.text,
                  "UPLOAD FAILED!\n\n%s\nAddress=%d\nStopped at byte %d of %d", line.imagePath,
                  static_cast<int>(line.address), static_cast<int>(out.deliveredBytes),
                  static_cast<int>(line.fw_size));
    messageErr(line, line.text);
    return giveBack(line, uploadLinkFailed);
  }
  std::snprintf(line.text, sizeof line.text, "\nDONE\n\n%s\nAddress=%d", line.imagePath,
                static_cast<int>(line.address));
  message(line, line.text);
  return giveBack(line, uploadDone);
}

int program() { return program(mainLine); }

long read_file(std::FILE* stream, std::uint8_t* dest, long limit) {
  long count = 0;
  for (;;) {
    const int c = std::fgetc(stream);
    if (c == EOF) return std::ferror(stream) ? -1 : count;
    if (count == limit) return limit + 1;
    dest[count++] = static_cast<std::uint8_t>(c);
  }
}
