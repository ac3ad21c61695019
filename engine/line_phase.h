// The line part of an upload, on an open adapter, as a sequence of steps:
// the reset burst, the pause after it, and the data frames, each sent its
// number of times. Each step sends at most one frame and says how long to
// pause after it, so that one thread can run the phases of many lines side
// by side; the single upload runs its one phase on its own clock.
#pragma once

#include <cstdint>
#include <optional>

#include "engine/frame.h"

struct Line;

// Where the line part of an upload stopped.
struct LineOutcome {
  int failedFrame = 0;   // the frame none of whose sends succeeded; 0 when every frame went out
  int stoppedFrame = 0;  // the frame in progress when the line was asked to stop; 0: not stopped
  std::int32_t deliveredBytes = 0;  // image bytes whose frames went out in full
  unsigned sendErrors = 0;
};

class LinePhase {
 public:
  // `dataPace`: the pause after each data frame send, in ms.
  LinePhase(Line& line, unsigned dataPace);

  // Takes the next step: sends the frame once (or nothing, before the data
  // begins) and returns the pause to make before the next step, in ms; or
  // nothing once the phase has ended: every frame out, a frame none of
  // whose sends succeeded, or a stop asked for.
  std::optional<unsigned> step();
  const LineOutcome& outcome() const { return out_; }
  // The shortest pause the phase asks between two sends, in ms: the reset
  // burst's or the data pace, whichever is shorter.
  unsigned shortestPause() const;
  // Ends the phase as failed at the frame in progress, when a step could not
  // be made (the line's part of a many-line scheduler ran out of memory).
  void abandon();

 private:
  enum class Stage { reset, afterReset, data, ended };

  // Sends the frame once, counted; false (sending nothing) when a stop was asked.
  bool sendOnce();
  // Loads and seals the next data frame and plans its sends.
  void loadFrame();
  std::optional<unsigned> end();
  // With the line's verbose flag: a log line as a frame is first sent, with
  // the image bytes it carries (none for the reset) and the time since the
  // phase began.
  void logFirstSend();

  Line& line_;
  const unsigned dataPace_;
  Stage stage_ = Stage::reset;
  // Frames are numbered from 1 in the order they go out: the reset frame is
  // frame 1, the first data frame frame 2.
  int frameNumber_ = 1;
  unsigned planned_ = 0;  // sends of the current frame
  unsigned sent_ = 0;     // of which made
  unsigned good_ = 0;     // of which succeeded
  std::int32_t chunkStart_ = 0;
  std::uint16_t remaining_ = 0;
  std::uint16_t extraAllowance_ = 0;
  LineOutcome out_;
  bool begun_ = false;
  std::int64_t beganAt_ = 0;
};
