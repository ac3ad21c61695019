// Whether what a command printed on standard output really got out: a full
// disk or /dev/full loses it without a word unless someone looks.
#pragma once

// Flushes standard output, keeping the reason of the first failure.
void flushOutput();

// Flushes standard output. When that or an earlier flush failed, says so on
// standard error and returns exitOutputFailed in place of exitDone; any other
// status is kept, its own error already shown.
int checkedOutput(int status);

// checkedOutput() where standard output carries only a log: a reader that
// went away (| head -1) silences it without changing the status; any other
// failure (a full disk) is said and gives exitOutputFailed.
int checkedLog(int status);
