// Names from outside (a path, an option's value, a node's answer on the
// network) made safe to print on a terminal: control characters, bytes that
// are not UTF-8, C1 controls and the Unicode controls that reorder text
// become \xNN escapes, one per byte, so no escape sequence or stray line
// break reaches the terminal. Backslashes stay as they are (Windows paths).
#pragma once

#include <string>
#include <string_view>

namespace files {

std::string shown(std::string_view text);

// shown(text) between double quotes: how messages quote a name.
std::string quoted(std::string_view text);

// shown() of each line of `text`, its line breaks kept: a message or a log
// line that quotes a name as it came.
std::string shownLines(std::string_view text);

// A name as a field of a record's key=value line: between double quotes with
// a quote inside escaped too (\x22), or bare with spaces and quotes escaped,
// so that a reader finds the field's end where the writer put it and a name
// cannot bring fields of its own into the line.
std::string quotedField(std::string_view text);
std::string bareField(std::string_view text);

}  // namespace files
