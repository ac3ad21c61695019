// The command line: one table of options, one help text made from it.
#pragma once

#include <string>
#include <vector>

#include "drivers/registry.h"

enum class Command { none, upload, list, decode, fixtures, serve };

struct Options {
  Command command = Command::none;
  std::string file;  // upload: the image; decode: the capture

  std::vector<int> addresses{1};  // --address 1,5,9-12: every line uploads to each
  std::string profile = "v1.2";
  bool fast = false;
  std::vector<std::string>
      adapterNames;       // every --adapter, in order: a line each; none: the default
  std::string linesFile;  // --lines: one adapter argument a line
  bool json = false;      // the report as one JSON object
  std::string serial;     // empty: the first adapter listed
  std::string capture;    // empty: no capture
  bool quiet = false;
  bool verbose = false;  // more log: each frame's first send
  bool force = false;    // upload: send anyway (no raw image; no read-back target answered)
  std::string logFile;   // upload: append a record of the upload here ("": none)

  DriverSettings driverSettings;  // the options a driver declares, as given

  // RDM through an Art-Net node (fixtures, upload --read-back).
  bool readBack = false;   // read the fixtures' versions before and after the upload
  int settleSeconds = 10;  // after the upload, before reading again
  std::string rdmUid;      // the controller's UID, MMMM:DDDDDDDD; empty: the default

  // serve: the console page.
  std::string listen = "127.0.0.1:8417";  // --listen HOST:PORT; loopback unless given
  std::string tokenFile;                  // "": a new random token

  std::string out;     // decode: write the received image here
  std::string expect;  // decode: compare the received image with this file
};

enum class ParseStatus { run, help, version, usage };

struct ParseResult {
  ParseStatus status = ParseStatus::run;
  std::string error;  // with ParseStatus::usage: one line naming the argument
};

ParseResult parseOptions(int argc, const char* const* argv, Options& options);

// The --help text: of one command (`uploader-cli upload --help`), or of all
// of them with Command::none.
std::string helpText(Command command = Command::none);
