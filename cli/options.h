// The command line: one table of options, one help text made from it.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "drivers/registry.h"

enum class Command { none, upload, list, decode, fixtures, history, inventory, serve };

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

  // upload: the least time between two packets to one network node (0: none).
  long nodeGapMicros = 100;

  DriverSettings driverSettings;  // the options a driver declares, as given

  // RDM through an Art-Net node (fixtures, upload --read-back).
  bool readBack = false;              // read the fixtures' versions before and after the upload
  int settleSeconds = 10;             // after the upload, before reading again
  std::string rdmUid;                 // the controller's UID, MMMM:DDDDDDDD; empty: the default
  std::vector<std::uint16_t> models;  // --model: the DEVICE_INFO model IDs the image is for
  bool dryRun = false;                // --dry-run: resolve and show the plan, send nothing

  // The service records (upload, fixtures; history and inventory read them).
  std::string recordsFile;  // --records FILE; "": the default place
  bool noRecords = false;   // --no-records: keep none
  bool csv = false;         // history, inventory: CSV instead of a table
  std::string since;        // history --since, as UTC text; "": from the first
  std::string image;        // history --image: a SHA-256 or the image's name
  std::string result;       // history --result: a result word or "unfinished"

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

// Whether the arguments ask for an upload's report as JSON, however wrong the
// rest of them is: a usage refusal is a report too then. `file` is the image
// named, "" when none was.
bool uploadAsksForJson(int argc, const char* const* argv, std::string& file);

// The --help text: of one command (`uploader-cli upload --help`), or of all
// of them with Command::none.
std::string helpText(Command command = Command::none);
