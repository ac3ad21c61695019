// Stopping cleanly when asked to: Ctrl-C, SIGTERM and SIGHUP on POSIX;
// Ctrl-C, Ctrl-Break and closing the console on Windows. The first request
// asks every watched line to stop after the send in progress (the upload
// then closes its adapter and says where it stopped); a second ends the
// process at once with status 130. A closed pipe does not end the process:
// SIGPIPE is ignored, so writes to a reader that went away fail quietly
// and the upload runs to its end.
#pragma once

// Installs the handlers; call once, early in main.
void installInterruptHandlers();

// Whether a stop was asked for since the process started.
bool interruptRequested();

// What a handler does on a request (also called by tests): the first asks
// every line to stop; a second ends the process at once with status 130.
void requestInterrupt();
