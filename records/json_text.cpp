#include "records/json_text.h"

#include <cstdio>

namespace {

// The length of the UTF-8 sequence at `i`, or 0 when it is not one.
std::size_t utf8Length(const std::string& t, std::size_t i) {
  const auto b = [&t](std::size_t k) { return static_cast<unsigned char>(t[k]); };
  const unsigned char c = b(i);
  std::size_t n = c >= 0xF0 && c <= 0xF4 ? 4 : c >= 0xE0 ? 3 : c >= 0xC2 && c < 0xE0 ? 2 : 0;
  if (n == 0 || i + n > t.size()) return 0;
  for (std::size_t k = 1; k < n; ++k)
    if ((b(i + k) & 0xC0) != 0x80) return 0;
  // No overlong forms, no surrogates, nothing past U+10FFFF.
  if (n == 3 && ((c == 0xE0 && b(i + 1) < 0xA0) || (c == 0xED && b(i + 1) >= 0xA0))) return 0;
  if (n == 4 && ((c == 0xF0 && b(i + 1) < 0x90) || (c == 0xF4 && b(i + 1) >= 0x90))) return 0;
  return n;
}

}  // namespace

void appendJsonString(std::string& out, const std::string& text) {
  out += '"';
  for (std::size_t i = 0; i < text.size();) {
    const unsigned char c = static_cast<unsigned char>(text[i]);
    if (c == '"' || c == '\\') {
      out += '\\';
      out += static_cast<char>(c);
    } else if (c < 0x20) {
      char escaped[8];
      std::snprintf(escaped, sizeof escaped, "\\u%04x", c);
      out += escaped;
    } else if (c < 0x80) {
      out += static_cast<char>(c);
    } else if (const std::size_t n = utf8Length(text, i); n != 0) {
      out.append(text, i, n);
      i += n;
      continue;
    } else {
      out += "\xEF\xBF\xBD";
    }
    ++i;
  }
  out += '"';
}

JsonObject::JsonObject(std::string& out, int indent) : out_(out), indent_(indent) { out_ += '{'; }

void JsonObject::member(const char* name) {
  out_ += first_ ? "\n" : ",\n";
  first_ = false;
  out_.append(static_cast<std::size_t>(indent_ + 2), ' ');
  out_ += '"';
  out_ += name;
  out_ += "\": ";
}

void JsonObject::text(const char* name, const std::string& value) {
  member(name);
  appendJsonString(out_, value);
}

void JsonObject::textOrNull(const char* name, const std::string& value) {
  if (value.empty())
    null(name);
  else
    text(name, value);
}

void JsonObject::number(const char* name, std::int64_t value) {
  member(name);
  out_ += std::to_string(value);
}

void JsonObject::number(const char* name, const std::optional<std::int64_t>& value) {
  if (value)
    number(name, *value);
  else
    null(name);
}

void JsonObject::boolean(const char* name, bool value) {
  member(name);
  out_ += value ? "true" : "false";
}

void JsonObject::null(const char* name) {
  member(name);
  out_ += "null";
}

void JsonObject::raw(const char* name) { member(name); }

void JsonObject::close() {
  if (!first_) {
    out_ += '\n';
    out_.append(static_cast<std::size_t>(indent_), ' ');
  }
  out_ += '}';
}
