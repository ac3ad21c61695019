// Where the diagnostic log goes in a program without a console of its own.
#pragma once

// Standard output already redirected to a file, pipe or device stays as it
// is. Otherwise, when the program was started from a console (a command
// prompt), the log is sent to that console.
void attachParentConsole();
