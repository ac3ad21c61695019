// JSON text written directly, for outputs of many rows (history, inventory)
// where building a document first costs more than the question itself.
#pragma once

#include <cstdint>
#include <optional>
#include <string>

// `text` as a JSON string: quotes, backslashes and control characters
// escaped, bytes that are not UTF-8 as U+FFFD.
void appendJsonString(std::string& out, const std::string& text);

// One object's members, in order, at `indent` spaces.
class JsonObject {
 public:
  JsonObject(std::string& out, int indent);
  void text(const char* name, const std::string& value);
  void textOrNull(const char* name, const std::string& value);  // "": null
  void number(const char* name, std::int64_t value);
  void number(const char* name, const std::optional<std::int64_t>& value);  // none: null
  void boolean(const char* name, bool value);
  void null(const char* name);
  // A member whose value the caller writes next (an object of its own).
  void raw(const char* name);
  void close();

 private:
  void member(const char* name);

  std::string& out_;
  int indent_;
  bool first_ = true;
};
