#include "files/shown_text.h"

#include <algorithm>
#include <cstdint>

namespace files {
namespace {

// The length of the UTF-8 sequence at `p` (at most `left` bytes), 0 when it
// is not a valid one (overlong, a surrogate, beyond U+10FFFF, cut short).
std::size_t sequenceLength(const unsigned char* p, std::size_t left, std::uint32_t& code) {
  const unsigned char b = p[0];
  std::size_t n = 0;
  unsigned char low = 0x80, high = 0xBF;
  if (b >= 0xC2 && b <= 0xDF) {
    n = 2;
    code = b & 0x1Fu;
  } else if (b >= 0xE0 && b <= 0xEF) {
    n = 3;
    code = b & 0x0Fu;
    if (b == 0xE0) low = 0xA0;
    if (b == 0xED) high = 0x9F;
  } else if (b >= 0xF0 && b <= 0xF4) {
    n = 4;
    code = b & 0x07u;
    if (b == 0xF0) low = 0x90;
    if (b == 0xF4) high = 0x8F;
  } else {
    return 0;
  }
  if (left < n) return 0;
  for (std::size_t i = 1; i < n; ++i) {
    const unsigned char c = p[i];
    if (c < (i == 1 ? low : 0x80) || c > (i == 1 ? high : 0xBF)) return 0;
    code = (code << 6) | (c & 0x3Fu);
  }
  return n;
}

// C1 controls and the marks and overrides that change the order text shows in.
bool isControl(std::uint32_t code) {
  return (code >= 0x80 && code <= 0x9F) || code == 0x200E || code == 0x200F ||
         (code >= 0x202A && code <= 0x202E) || (code >= 0x2066 && code <= 0x2069);
}

void escape(std::string& out, unsigned char byte) {
  static const char kHex[] = "0123456789abcdef";
  out += "\\x";
  out += kHex[byte >> 4];
  out += kHex[byte & 0x0F];
}

}  // namespace

std::string shown(std::string_view text) {
  std::string out;
  out.reserve(text.size());
  const auto* p = reinterpret_cast<const unsigned char*>(text.data());
  const std::size_t size = text.size();
  for (std::size_t i = 0; i < size;) {
    const unsigned char b = p[i];
    if (b >= 0x20 && b < 0x7F) {
      out += static_cast<char>(b);
      ++i;
      continue;
    }
    std::uint32_t code = 0;
    const std::size_t n = b < 0x80 ? 0 : sequenceLength(p + i, size - i, code);
    if (n == 0) {
      escape(out, b);
      ++i;
      continue;
    }
    for (std::size_t k = 0; k < n; ++k) {
      if (isControl(code))
        escape(out, p[i + k]);
      else
        out += static_cast<char>(p[i + k]);
    }
    i += n;
  }
  return out;
}

std::string quoted(std::string_view text) {
  // Appended piece by piece: "\"" + s + "\"" trips GCC 12's -Wrestrict in optimised builds.
  std::string out = "\"";
  out += shown(text);
  out += '"';
  return out;
}

namespace {

std::string fieldText(std::string_view text, bool bare) {
  std::string out;
  for (const char c : shown(text)) {
    if (c == '"' || (bare && c == ' '))
      escape(out, static_cast<unsigned char>(c));
    else
      out += c;
  }
  return out;
}

}  // namespace

std::string quotedField(std::string_view text) {
  std::string out = "\"";
  out += fieldText(text, false);
  out += '"';
  return out;
}

std::string bareField(std::string_view text) { return fieldText(text, true); }

std::string shownLines(std::string_view text) {
  std::string out;
  for (std::size_t at = 0; at <= text.size();) {
    const std::size_t end = std::min(text.find('\n', at), text.size());
    out += shown(text.substr(at, end - at));
    if (end < text.size()) out += '\n';
    at = end + 1;
  }
  return out;
}

}  // namespace files
