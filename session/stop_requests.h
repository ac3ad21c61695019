// Stop requests: a front end asks every line being uploaded to stop after
// the send in progress (the upload then closes its adapter and says where it
// stopped). A request only counts, in one atomic, so that a signal handler
// may ask; each running session watches the count and stops its lines
// itself (a handler never touches a line another thread may be freeing).
// What a second request does (end the process) is the front end's to decide.
#pragma once

struct Line;

// Asks every running session to stop its lines, and every line watched
// from now on to stop before its first send; returns how many requests
// came before this one.
int requestStop();

// Whether a stop was asked for since the process started.
bool stopRequested();

// Counts a line as open, for the scope of an upload; a line watched after a
// request stops before its first send.
class WatchedLine {
 public:
  explicit WatchedLine(Line& line);
  ~WatchedLine();
  WatchedLine(const WatchedLine&) = delete;
  WatchedLine& operator=(const WatchedLine&) = delete;
};

// How many lines are watched now (the Windows console handler waits for
// them to close their adapters before the console goes away).
int watchedLines();
