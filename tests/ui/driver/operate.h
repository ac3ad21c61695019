// Reading the program's window and acting on it through window messages, as
// an operator would with mouse and keyboard. Waits that run out throw, so a
// test fails with the reason instead of hanging.
#pragma once

#include <windows.h>

#include <string>
#include <vector>

#include "tests/ui/driver/app.h"

// The main window's eight controls, in the order they were created.
struct Controls {
  HWND labelFile, textBoxFile, addressLabel, comboBoxAddr, checkFast, buttonOpenFile, buttonSend,
      progressBar;
};

std::vector<HWND> childrenOf(HWND parent);
Controls controlsOf(const App& app);
std::string textOf(HWND hwnd);
std::string classOf(HWND hwnd);
RECT clientRectOf(HWND control);  // position within its parent's client area

// The five input controls in their order: OpenFile, Program, check box, path box, combo box.
std::vector<HWND> inputsOf(const App& app);
bool allInputs(const App& app, bool enabled);

void chooseFileInDialog(const App& app, const std::string& path);
std::string openDialogAndCancel(const App& app);  // returns the dialog's file name field
void pickAddress(const App& app, int address);
void clickFast(const App& app);
bool fastTicked(const App& app);
void typeIntoPathBox(const App& app, const std::string& text);

struct ProgressBar {
  long low, high, position;
};
ProgressBar progressOf(const App& app);

struct BoxSeen {
  HWND hwnd = nullptr;
  std::string text;
  bool icon = false;
};

// Presses "Program", checks that the five inputs go grey, waits for the
// message box that ends the upload (they stay grey meanwhile), closes it, and
// waits for the inputs to come back. Returns the box.
BoxSeen programAndAcknowledge(const App& app, DWORD timeoutMs = 30000);
