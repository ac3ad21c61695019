// The operator seam: how the upload talks to a person. The Win32 window, the
// terminal and the tests each fill it in; the engine never draws.
#pragma once

#include <cstdint>

struct Line;

class Operator {
 public:
  virtual ~Operator() = default;
  virtual void errorBox(const char* text) = 0;  // failure; returns when acknowledged
  virtual void infoBox(const char* text) = 0;   // success; returns when acknowledged
  // Enables or disables buttonOpenFile, buttonSend, checkFast, textBoxFile,
  // comboBoxAddr, in that order.
  virtual void enableControls(bool enable) = 0;
  virtual void progressRange(std::uint16_t maximum) = 0;  // range 0..maximum
  virtual void progressPosition(std::int32_t position) = 0;
};

// Through the line's operator.
void componentEnable(Line& line, bool enable);
void message(Line& line, const char* text);
void messageErr(Line& line, const char* text);
