// The upload worker.
#pragma once

#include <cstdint>
#include <cstdio>

struct Line;

// Result of one upload.
enum UploadResult : int {
  uploadDone = 0,        // ran to its end
  uploadLinkFailed = 1,  // adapter missing, not listed, not opened, or the line failed
  uploadRefused = -1,    // no file, unreadable file, file too large
  uploadStopped = 2,     // stopped on request (stopRequested) before its end
};

// The whole upload of one line, from its szFile to the closing message.
// Gives the controls back on every way out.
int program(Line& line);
// The window program's upload: its one line, whose state is the module-level names.
int program();

// program() in its three parts, for a front end that runs the line phases
// (engine/line_phase.h) of many lines side by side on one thread:
// reads the image and connects to the adapter; false when the upload has
// already ended there, with its result in `result`; else the data pace.
bool uploadStart(Line& line, int& result, unsigned& dataPace);
// Then, once the line phase has ended: logs how, closes the adapter, tells
// the operator and gives back the controls. Returns the result.
int uploadFinish(Line& line, const struct LineOutcome& outcome);

// Reads at most `limit` bytes of the stream into `dest`. Returns the number
// of bytes read, `limit` + 1 when the stream holds more than `limit` bytes,
// or -1 when reading fails (a directory, an I/O error).
long read_file(std::FILE* stream, std::uint8_t* dest, long limit);
