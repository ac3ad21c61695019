#include "engine/program.h"

#include <cstring>

#include "engine/file_size.h"
#include "engine/line.h"
#include "engine/line_phase.h"
#include "engine/link.h"
#include "engine/log.h"
#include "engine/state.h"
#include "engine/upload_pace.h"

namespace {

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
  if (line.imageGiven) {
    const std::size_t given = line.givenSize;
    count = given > static_cast<std::size_t>(limit) ? limit + 1 : static_cast<long>(given);
    if (count <= limit && count > 0) std::memcpy(line.fw_data, line.givenImage, given);
    size = static_cast<long long>(given);
  } else if ((line.f_fw = std::fopen(line.imagePath, "rb")) != nullptr) {
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

// Connects to the adapter; on failure tells the operator.
bool connect(Line& line) {
  if (!linkLoad(line) || !linkList(line) || !linkOpen(line)) {
    messageErr(line, "CANNOT CONNECT TO PROGRAMMER");
    return false;
  }
  linkSetup(line);
  return true;
}

}  // namespace

bool uploadStart(Line& line, int& result, unsigned& dataPace) {
  line.sendsTried = 0;
  line.deliveredBytes = 0;
  if (line.szFile[0] == '\0') {
    messageErr(line, "FILE NOT SELECTED!");
    result = giveBack(line, uploadRefused);
    return false;
  }
  // The worker only reads the operator's choice; a copy that is certainly
  // terminated keeps every use below within bounds.
  const std::size_t pathLength = strnlen(line.szFile, kPathCapacity - 1);
  std::memcpy(line.imagePath, line.szFile, pathLength);
  line.imagePath[pathLength] = '\0';
  if (!readImage(line)) {
    result = giveBack(line, uploadRefused);
    return false;
  }

  dataPace = line.checked ? kFastPaceMs : kNormalPaceMs;
  if (line.fw_size != 0) {
    line.op->progressRange(static_cast<std::uint16_t>(line.fw_size));
    line.fw_ptr = 0;
    line.op->progressPosition(0);
  }

  if (!connect(line)) {
    result = giveBack(line, uploadLinkFailed);
    return false;
  }
  return true;
}

int uploadFinish(Line& line, const LineOutcome& out) {
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

int program(Line& line) {
  int result = uploadRefused;
  unsigned dataPace = 0;
  if (!uploadStart(line, result, dataPace)) return result;
  // The reset burst and the data frames, each step followed by its pause.
  Clock& clock = lineClock(line);
  clock.uploadBegins();
  LinePhase phase(line, dataPace);
  while (const std::optional<unsigned> pause = phase.step()) clock.pause(*pause);
  clock.uploadEnds();
  return uploadFinish(line, phase.outcome());
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
