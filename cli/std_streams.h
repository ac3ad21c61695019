// Standard input, output and error open before anything else is: a program
// started with one of them closed (">&-") would otherwise hand its number to
// the next file or socket it opens, and log lines would land in a capture
// file or go out to a network node. Closed ones are opened on the null device.
#pragma once

// False when a closed one cannot be opened on the null device.
bool openStandardStreams();
