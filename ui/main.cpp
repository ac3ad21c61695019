// The entry point of the Windows programs: registers the window class, shows
// the main window and runs the message loop. Exit code 1 after a normal
// close, 0 when the class or the window cannot be created.
#include <windows.h>
// (commctrl.h needs windows.h first)
#include <commctrl.h>

#include <memory>
#include <string>

#include "drivers/d2xx.h"
#include "engine/operator.h"
#include "engine/state.h"
#include "ui/console.h"
#include "ui/deliverable.h"
#include "ui/win32_operator.h"
#include "ui/window.h"

int WINAPI WinMain(HINSTANCE hInstance, HINSTANCE, LPSTR, int nCmdShow) {
  attachParentConsole();
  selectProfile(deliverableProfile());
  // The program's one line uploads through FTDI's library, for the life of the process.
  std::string noError;  // "d2xx" with no argument is always made
  static const std::unique_ptr<Adapter> d2xx = makeD2xx("", {}, noError);
  mainLine.op = &win32Operator();
  mainLine.adapter = d2xx.get();

  // The progress bar's class belongs to the common controls.
  INITCOMMONCONTROLSEX controls{sizeof(INITCOMMONCONTROLSEX), ICC_PROGRESS_CLASS};
  InitCommonControlsEx(&controls);

  g_hInst = hInstance;
  WNDCLASSA wc{};
  wc.style = CS_HREDRAW | CS_VREDRAW;
  wc.lpfnWndProc = WindowProc;
  wc.hInstance = g_hInst;
  wc.hIcon = LoadIconA(nullptr, MAKEINTRESOURCEA(32517) /* IDI_WINLOGO */);
  wc.hCursor = LoadCursorA(nullptr, MAKEINTRESOURCEA(32512) /* IDC_ARROW */);
  wc.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_SCROLLBAR + 1);
  wc.lpszClassName = AppTitle;
  if (RegisterClassA(&wc) == 0) return 0;

  HWND window =
      CreateWindowExA(0, AppTitle, AppTitle, WS_OVERLAPPEDWINDOW, CW_USEDEFAULT, CW_USEDEFAULT,
                      kWindowWidth, kWindowHeight, nullptr, nullptr, g_hInst, nullptr);
  if (window == nullptr) return 0;
  g_hWindow = window;
  ShowWindow(g_hWindow, nCmdShow);
  UpdateWindow(g_hWindow);

  MSG msg;
  while (GetMessageA(&msg, nullptr, 0, 0) > 0) {
    TranslateMessage(&msg);
    DispatchMessageA(&msg);
  }
  return 1;
}
