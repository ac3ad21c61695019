// The main window procedure: builds the controls, and answers "OpenFile", the
// fast-mode check box and "Program". The upload itself belongs to the worker.
#include "ui/window.h"

#include <commctrl.h>
#include <commdlg.h>

#include <cstdint>
#include <cstdio>

#include "engine/operator.h"
#include "engine/state.h"
#include "ui/upload_start.h"

HINSTANCE g_hInst;
HWND g_hWindow;
HWND labelFile;
HWND textBoxFile;
HWND comboBoxAddr;
HWND checkFast;
HWND buttonOpenFile;
HWND buttonSend;
HWND progressBar;

namespace {

// Control ids; a command is acted on only when it equals one of them
// (a plain click, notification code 0).
constexpr WPARAM kIdOpenFile = 4;
constexpr WPARAM kIdProgram = 5;
constexpr WPARAM kIdFast = 7;

constexpr DWORD kChild = WS_CHILD | WS_VISIBLE;
constexpr int kAddresses = 512;
constexpr DWORD kOpenDialogCapacity = 256;

HWND createChild(HWND parent, DWORD exStyle, const char* className, const char* text, DWORD style,
                 int x, int y, int width, int height, int id) {
  return CreateWindowExA(exStyle, className, text, style, x, y, width, height, parent,
                         reinterpret_cast<HMENU>(static_cast<INT_PTR>(id)), g_hInst, nullptr);
}

// The eight controls, in their order; `parent` is the window being created
// (g_hWindow is set only when its creation has returned).
void createControls(HWND parent) {
  labelFile = createChild(parent, 0, "STATIC", "File:", kChild | SS_CENTER, 10, 10, 30, 20, 1);
  textBoxFile = createChild(parent, WS_EX_CLIENTEDGE, "Edit", "", kChild, 50, 10, 280, 20, 2);
  createChild(parent, 0, "STATIC", "Address:", kChild | SS_CENTER, 10, 45, 60, 20, 0);
  comboBoxAddr =
      createChild(parent, 0, "combobox", "1", kChild | CBS_DROPDOWNLIST, 80, 40, 60, 20, 3);
  checkFast = createChild(parent, 0, "Button", releaseProfile->fastCaption, kChild | BS_CHECKBOX,
                          10, 70, 120, 20, 7);
  buttonOpenFile = createChild(parent, 0, "Button", "OpenFile", kChild, 150, 45, 85, 35, 4);
  buttonSend = createChild(parent, 0, "Button", "Program", kChild, 245, 45, 85, 35, 5);
  progressBar = createChild(parent, 0, "msctls_progress32", nullptr, kChild | PBS_SMOOTH, 10, 100,
                            320, 17, 0);

  char item[8];
  for (int n = 1; n <= kAddresses; ++n) {
    std::snprintf(item, sizeof item, "%d", n);
    SendMessageA(comboBoxAddr, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(item));
  }
  SendMessageA(comboBoxAddr, CB_SETCURSEL, 0, 0);
}

// The Open dialog starts on the last chosen path; a cancelled dialog leaves
// szFile as it was, and the path box shows szFile again either way.
void chooseFile() {
  OPENFILENAMEA ofn{};
  ofn.lStructSize = sizeof(OPENFILENAMEA);
  ofn.hwndOwner = g_hWindow;
  ofn.hInstance = GetModuleHandleA(nullptr);
  ofn.lpstrFile = szFile;
  ofn.nMaxFile = kOpenDialogCapacity;
  ofn.Flags = OFN_PATHMUSTEXIST | OFN_FILEMUSTEXIST;
  GetOpenFileNameA(&ofn);
  SetWindowTextA(textBoxFile, szFile);
}

}  // namespace

LRESULT CALLBACK WindowProc(HWND hwnd, UINT uMsg, WPARAM wParam, LPARAM lParam) {
  switch (uMsg) {
    case WM_DESTROY:
      PostQuitMessage(0);
      return 0;
    case WM_CREATE:
      createControls(hwnd);
      return 0;
    case WM_COMMAND:
      switch (wParam) {
        case kIdOpenFile:
          chooseFile();
          break;
        case kIdFast:
          checked = !checked;
          CheckDlgButton(hwnd, kIdFast, checked ? BST_CHECKED : BST_UNCHECKED);
          break;
        case kIdProgram:
          // The worker reads address, szFile and checked; their controls stay
          // disabled until it gives them back.
          address = static_cast<std::uint16_t>(SendMessageA(comboBoxAddr, CB_GETCURSEL, 0, 0) + 1);
          componentEnable(mainLine, false);
          Sleep(10);
          startUpload(startWorkerThread);
          break;
        default:
          break;
      }
      return 0;
    default:
      return DefWindowProcA(hwnd, uMsg, wParam, lParam);
  }
}
