#include "ui/win32_operator.h"

#include <windows.h>
// (commctrl.h needs windows.h first)
#include <commctrl.h>

#include "engine/state.h"
#include "ui/window.h"

namespace {

class Win32Operator final : public Operator {
 public:
  void errorBox(const char* text) override { MessageBoxA(nullptr, text, AppTitle, MB_ICONERROR); }

  void infoBox(const char* text) override {
    MessageBoxA(nullptr, text, AppTitle, MB_SERVICE_NOTIFICATION);
  }

  void enableControls(bool enable) override {
    const BOOL state = enable ? TRUE : FALSE;
    EnableWindow(buttonOpenFile, state);
    EnableWindow(buttonSend, state);
    EnableWindow(checkFast, state);
    EnableWindow(textBoxFile, state);
    EnableWindow(comboBoxAddr, state);
  }

  // Sent, not posted: each call returns once the window thread has moved the bar.
  void progressRange(std::uint16_t maximum) override {
    SendMessageA(progressBar, PBM_SETRANGE, 0, MAKELPARAM(0, maximum));
  }

  void progressPosition(std::int32_t position) override {
    SendMessageA(progressBar, PBM_SETPOS, static_cast<WPARAM>(position), 0);
  }
};

}  // namespace

Operator& win32Operator() {
  static Win32Operator op;
  return op;
}
