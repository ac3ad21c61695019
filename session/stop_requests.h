// Stop requests: a front end asks every line being uploaded to stop after
// the send in progress (the upload then closes its adapter and says where it
// stopped). Plain atomics only, so that a signal handler may ask; what a
// second request does (end the process) is the front end's to decide.
#pragma once

struct Line;

// Asks every watched line to stop, and every line watched from now on;
// returns how many requests came before this one.
int requestStop();

// Whether a stop was asked for since the process started.
bool stopRequested();

// Keeps a line on the list that requestStop() stops, for the scope of an upload.
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
