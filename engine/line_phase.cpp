#include "engine/line_phase.h"

#include "engine/line.h"
#include "engine/link.h"
#include "engine/log.h"
#include "engine/upload_pace.h"

LinePhase::LinePhase(Line& line, unsigned dataPace) : line_(line), dataPace_(dataPace) {
  UploadFrame& frame = line.dmx_packet;
  const std::uint16_t resetAddress = line.profile->resetAddressMode == ResetAddressMode::broadcast
                                         ? kBroadcastAddress
                                         : line.address;
  frameBuildReset(frame, resetAddress);
  frameSeal(frame);
  logLine(lineLog(line), "Send reset with address %d\n", static_cast<int>(resetAddress));
  planned_ = kResetSends;
}

unsigned LinePhase::shortestPause() const {
  return dataPace_ < kResetPaceMs ? dataPace_ : kResetPaceMs;
}

void LinePhase::logFirstSend() {
  if (!line_.verbose || sent_ != 1) return;
  const long long ms = (lineClock(line_).nowMicros() - beganAt_) / 1000;
  if (stage_ == Stage::reset)
    logLine(lineLog(line_), "Frame %d (reset): first send at %lld ms\n", frameNumber_, ms);
  else
    logLine(lineLog(line_), "Frame %d (bytes %d-%d): first send at %lld ms\n", frameNumber_,
            static_cast<int>(chunkStart_), static_cast<int>(line_.fw_ptr - 1), ms);
}

bool LinePhase::sendOnce() {
  if (line_.stopRequested.load(std::memory_order_relaxed)) return false;
  ++sent_;
  logFirstSend();
  if (sendData(line_, line_.ftHandle[0], line_.dmx_packet.bytes, kFrameSize) == 1)
    ++good_;
  else
    ++out_.sendErrors;
  return true;
}

void LinePhase::loadFrame() {
  UploadFrame& frame = line_.dmx_packet;
  ++frameNumber_;
  chunkStart_ = line_.fw_ptr;
  if (remaining_ > kPayloadSize) {
    frameLoadChunk(frame, line_.fw_data + line_.fw_ptr, kPayloadSize);
    remaining_ = static_cast<std::uint16_t>(remaining_ - kPayloadSize);
  } else {
    frameLoadChunk(frame, line_.fw_data + (line_.fw_size - remaining_), remaining_);
    remaining_ = 0;
  }
  line_.fw_ptr = line_.fw_size - remaining_;
  frameSeal(frame);
  planned_ = kDataSends;
  if (extraAllowance_ > 0) {
    --extraAllowance_;
    planned_ += kExtraSends;
  }
  sent_ = 0;
  good_ = 0;
}

void LinePhase::abandon() {
  if (stage_ == Stage::ended) return;
  out_.failedFrame = frameNumber_;
  out_.deliveredBytes = stage_ == Stage::data ? chunkStart_ : 0;
  stage_ = Stage::ended;
}

std::optional<unsigned> LinePhase::end() {
  stage_ = Stage::ended;
  return std::nullopt;
}

std::optional<unsigned> LinePhase::step() {
  // The phase begins with its first step, which a scheduler may make a
  // little after the phase was made.
  if (!begun_) {
    begun_ = true;
    beganAt_ = lineClock(line_).nowMicros();
  }
  switch (stage_) {
    case Stage::reset:
      if (sent_ < planned_) {
        if (!sendOnce()) {
          out_.stoppedFrame = frameNumber_;
          return end();
        }
        return kResetPaceMs;
      }
      // A frame none of whose sends succeeded stops the phase: the device
      // cannot have seen it.
      if (good_ == 0) {
        out_.failedFrame = frameNumber_;
        return end();
      }
      stage_ = Stage::afterReset;
      return kAfterResetMs;

    case Stage::afterReset:
      frameMakeData(line_.dmx_packet);
      logLine(lineLog(line_), "Sending data\n");
      line_.fw_ptr = 0;
      remaining_ = static_cast<std::uint16_t>(line_.fw_size);
      extraAllowance_ = line_.profile->leadPacketExtraSends;
      if (remaining_ == 0) return end();
      stage_ = Stage::data;
      loadFrame();
      return step();

    case Stage::data:
      if (sent_ < planned_) {
        if (!sendOnce()) {
          line_.fw_ptr = chunkStart_;
          out_.stoppedFrame = frameNumber_;
          out_.deliveredBytes = chunkStart_;
          return end();
        }
        return dataPace_;
      }
      if (good_ == 0) {
        line_.fw_ptr = chunkStart_;
        out_.failedFrame = frameNumber_;
        out_.deliveredBytes = chunkStart_;
        return end();
      }
      frameAdvance(line_.dmx_packet);
      line_.op->progressPosition(line_.fw_ptr);
      if (remaining_ == 0) {
        out_.deliveredBytes = line_.fw_ptr;
        return end();
      }
      loadFrame();
      return step();

    case Stage::ended:
      break;
  }
  return std::nullopt;
}
