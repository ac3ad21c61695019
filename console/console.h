// The rig console: a page and a JSON API over HTTP (uploader-cli serve),
// a second front end on the session library. Every request passes the
// checks of console/request_checks.h; the page is compiled in; no file on
// disk is served or read by a path from a request.
#pragma once

#include <memory>
#include <string>

#include "console/request_checks.h"

struct ConsoleSettings {
  ListenAddress listen{"127.0.0.1", 8417};  // port 0: any free port
  std::string token;                        // what every request must carry
};

class Console {
 public:
  explicit Console(ConsoleSettings settings);
  // Stops, as stop() does.
  ~Console();
  Console(const Console&) = delete;
  Console& operator=(const Console&) = delete;

  // Binds the listen address and starts answering on a thread of its own;
  // false with `error` naming the address and what failed.
  bool start(std::string& error);

  // The port it listens on (the one the system chose for port 0).
  int port() const;

  // Stops every upload after its send in progress, waits for each to end
  // (the pages see where each line stopped), then stops answering.
  void stop();

 private:
  struct Parts;
  std::unique_ptr<Parts> parts_;
};

// A fresh token from the system's random source: 32 bytes, as 64 hex
// digits. False with `error` when the source cannot be read.
bool randomToken(std::string& token, std::string& error);
