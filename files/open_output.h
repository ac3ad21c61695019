// Opening the files a person names for writing without waiting on them for
// ever: the --log record, decode's --out and a --capture that leads to a FIFO (a live view
// such as Wireshark reading the pipe). Opening a FIFO for writing blocks
// until a reader comes, and a signal handler that only notes a stop does
// not end that wait, so the open here never blocks: it is tried again in
// short slices instead, between which a stop request ends it.
#pragma once

#include <cstdint>
#include <cstdio>
#include <functional>
#include <string>

namespace files {

// How long one look for a FIFO's reader waits before the stop check is asked again.
inline constexpr unsigned kReaderSliceMs = 100;

// Opens `path` for appending, creating it when missing: a regular file, or
// a character device that can be written (/dev/null, a terminal). A FIFO,
// a socket, a directory or a disk is refused with `error` naming what it
// is, without waiting for anything.
std::FILE* openForAppend(const std::string& path, std::string& error);
// The same, emptied first (or created): a file written whole, such as decode's --out.
std::FILE* openForWriting(const std::string& path, std::string& error);

enum class FifoOpen : std::uint8_t { opened, failed, noReader, stopped };

// Opens the FIFO `path` for writing once a reader has it open: looks again
// every kReaderSliceMs for at most `waitMs`, and gives up as soon as `stop`
// returns true. Null with `result` and `error` when not opened.
std::FILE* openFifoForWriting(const std::string& path, unsigned waitMs,
                              const std::function<bool()>& stop, FifoOpen& result,
                              std::string& error);

}  // namespace files
