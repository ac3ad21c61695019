// What a session of uploads tells its front end: typed events, one line at
// a time. A front end alone decides how they look (a progress bar, rows on a
// terminal, a table, JSON, a web page).
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

enum class LineState : std::uint8_t {
  waiting,  // before its upload starts
  opening,  // reading the image, opening the adapter
  sending,  // the frames go out
  closing,  // the frames are out (or the line stopped); the adapter closes
  ended,    // the upload ended; its result follows
};

// The word for a line's state: "waiting", "opening", "sending", "closing", "ended".
const char* stateWord(LineState state);

// How one upload ended.
enum class Outcome : std::uint8_t {
  done,         // every frame went out (and the virtual device holds the image)
  notVerified,  // every frame went out, but the virtual device did not receive the image intact
  failed,       // the adapter or the line failed
  refused,      // nothing was sent: the image or the capture was refused
  stopped,      // stopped on request after the send in progress
  skipped,      // not tried: the line's upload before it did not end done
};

// The word for an outcome, as reports show it: "done", "not verified",
// "failed", "refused", "stopped", "skipped".
const char* outcomeWord(Outcome outcome);

struct UploadReport {
  std::size_t line = 0;        // the line's index in the session
  std::string label;           // the line's name: "sim:2", "artnet:10.0.0.5:1"
  std::vector<int> addresses;  // the fixtures this upload is for
  Outcome outcome = Outcome::refused;
  std::string reason;        // why it did not end done, or what the devices said; "": nothing
  std::int32_t bytes = 0;    // image bytes whose frames went out in full
  std::int32_t total = 0;    // image size
  std::uint32_t frames = 0;  // frames handed to the adapter, failed sends included
  std::int64_t record = 0;   // its row in the service records; 0: not recorded
  double seconds = 0;        // from the start of the upload to its end
  std::string capture;       // the line's capture file; "": none
  std::string captureLost;   // why the capture could not be made whole; "": it is whole
  std::string closing;       // the engine's closing text ("\nDONE\n\n...", "UPLOAD FAILED!...")
  bool closingIsError = false;
  bool deviceChecked = false;  // a virtual device on the line checked what it received
  std::string deviceReport;    // what each virtual device received, for a person
};

// Called on one thread of the session's own, one event at a time and in the
// order they happened on each line: never on the threads that open, pace or
// close lines, so an observer that is slow (a terminal nobody reads) holds
// no line up.
class SessionObserver {
 public:
  virtual ~SessionObserver() = default;
  virtual void lineState(std::size_t /*line*/, LineState /*state*/,
                         const std::vector<int>& /*addresses*/) {}
  virtual void progressRange(std::size_t /*line*/, std::int32_t /*total*/) {}
  // Image bytes carried so far; a few times a second at most.
  virtual void progress(std::size_t /*line*/, std::int32_t /*bytes*/) {}
  // One piece of the engine's log, usually a whole line with its line break.
  virtual void logLine(std::size_t /*line*/, const std::string& /*text*/) {}
  // The engine's closing box, or a refusal before anything was sent.
  virtual void closingBox(std::size_t /*line*/, const std::string& /*text*/, bool /*error*/) {}
  virtual void result(const UploadReport& /*result*/) {}
};
