// What uploader-cli's exit status means; the JSON report (session/report_json.h)
// carries the same numbers, from the command line or the console.
#pragma once

enum ExitCode : int {
  exitDone = 0,           // upload done (verified when the simulated adapter carried it)
  exitLineFailed = 1,     // adapter missing, not listed, not opened, or the line failed
  exitFileRefused = 2,    // image unreadable or too large; capture unreadable or unwritable
  exitNotIntact = 3,      // the virtual device did not receive the image intact
  exitIncomplete = 4,     // decode: the capture does not hold the whole image
  exitReadBack = 5,       // --read-back: a fixture kept its version or stopped answering over
                          // RDM, or none answered before the upload
  exitWrongModel = 6,     // --model: a fixture that would take the upload is of another model
  exitUsage = 64,         // unknown or malformed arguments
  exitOutputFailed = 74,  // output could not be written (standard output, --out)
  exitInterrupted = 130,  // stopped by Ctrl-C, SIGTERM or SIGHUP (128 + SIGINT, as shells report)
};
