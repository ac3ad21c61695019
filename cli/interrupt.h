// Stopping cleanly when asked to: Ctrl-C, SIGTERM and SIGHUP on POSIX;
// Ctrl-C, Ctrl-Break and closing the console on Windows. The first request
// asks every watched line to stop after the send in progress (the upload
// then closes its adapter and says where it stopped); a second ends the
// process at once with status 130. A closed pipe does not end the process:
// SIGPIPE is ignored, so writes to a reader that went away fail quietly
// and the upload runs to its end.
#pragma once

struct Line;

// Installs the handlers; call once, early in main.
void installInterruptHandlers();

// Whether a stop was asked for since the process started.
bool interruptRequested();

// What a handler does on a request (also called by tests).
void requestInterrupt();

// Keeps a line on the list the handlers stop, for the scope of an upload.
class WatchedLine {
 public:
  explicit WatchedLine(Line& line);
  ~WatchedLine();
  WatchedLine(const WatchedLine&) = delete;
  WatchedLine& operator=(const WatchedLine&) = delete;

 private:
  int slot_;
};

// How many lines are watched now (the Windows console handler waits for
// them to close their adapters before the console goes away).
int watchedLines();
