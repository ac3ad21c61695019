#include "tests/ui/driver/operate.h"

#include <commctrl.h>
#include <gtest/gtest.h>

#include <stdexcept>

#include "tests/ui/driver/wait.h"

namespace {

constexpr DWORD kReplyMs = 5000;
constexpr int kFileNameField = 0x47c;  // cmb13 of the Open dialog
constexpr int kBoxText = 0xFFFF;
constexpr int kBoxIcon = 0x440;

LRESULT send(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
  DWORD_PTR result = 0;
  if (!SendMessageTimeoutW(hwnd, message, wParam, lParam, SMTO_NORMAL, kReplyMs, &result))
    throw std::runtime_error("window " + std::to_string(reinterpret_cast<std::uintptr_t>(hwnd)) +
                             " did not answer message " + std::to_string(message));
  return static_cast<LRESULT>(result);
}

std::string narrow(const std::wstring& w) {
  if (w.empty()) return {};
  const int n = WideCharToMultiByte(CP_ACP, 0, w.data(), static_cast<int>(w.size()), nullptr, 0,
                                    nullptr, nullptr);
  std::string s(n, '\0');
  WideCharToMultiByte(CP_ACP, 0, w.data(), static_cast<int>(w.size()), s.data(), n, nullptr,
                      nullptr);
  return s;
}

std::wstring widen(const std::string& s) {
  const int n = MultiByteToWideChar(CP_ACP, 0, s.data(), static_cast<int>(s.size()), nullptr, 0);
  std::wstring w(n, L'\0');
  MultiByteToWideChar(CP_ACP, 0, s.data(), static_cast<int>(s.size()), w.data(), n);
  return w;
}

// A visible top-level dialog of the program's process, by caption and,
// when `owner` is given, by owner.
struct DialogSearch {
  DWORD pid;
  std::string caption;
  HWND owner;
  HWND found;
};

BOOL CALLBACK findDialog(HWND hwnd, LPARAM param) {
  auto* search = reinterpret_cast<DialogSearch*>(param);
  DWORD pid = 0;
  GetWindowThreadProcessId(hwnd, &pid);
  if (pid != search->pid || !IsWindowVisible(hwnd) || classOf(hwnd) != "#32770") return TRUE;
  if (search->owner != nullptr && GetWindow(hwnd, GW_OWNER) != search->owner) return TRUE;
  if (textOf(hwnd) != search->caption) return TRUE;
  search->found = hwnd;
  return FALSE;
}

HWND waitForDialog(const App& app, const std::string& caption, HWND owner, DWORD timeoutMs) {
  DialogSearch search{app.pid(), caption, owner, nullptr};
  waitUntil(
      [&] {
        EnumWindows(findDialog, reinterpret_cast<LPARAM>(&search));
        return search.found != nullptr || !app.running();
      },
      timeoutMs);
  if (search.found == nullptr) throw std::runtime_error("no \"" + caption + "\" window appeared");
  return search.found;
}

void waitGone(HWND hwnd, const char* what) {
  if (!waitUntil([&] { return !IsWindow(hwnd) || !IsWindowVisible(hwnd); }, 10000))
    throw std::runtime_error(std::string(what) + " did not close");
}

HWND openTheDialog(const App& app) {
  PostMessageW(controlsOf(app).buttonOpenFile, BM_CLICK, 0, 0);
  return waitForDialog(app, "Open", app.window(), 15000);
}

}  // namespace

std::vector<HWND> childrenOf(HWND parent) {
  std::vector<HWND> children;
  for (HWND c = GetWindow(parent, GW_CHILD); c != nullptr; c = GetWindow(c, GW_HWNDNEXT))
    children.push_back(c);
  return children;
}

Controls controlsOf(const App& app) {
  const std::vector<HWND> c = childrenOf(app.window());
  if (c.size() != 8)
    throw std::runtime_error("main window has " + std::to_string(c.size()) + " controls");
  return {c[0], c[1], c[2], c[3], c[4], c[5], c[6], c[7]};
}

std::string textOf(HWND hwnd) {
  const LRESULT length = send(hwnd, WM_GETTEXTLENGTH, 0, 0);
  std::wstring text(static_cast<std::size_t>(length) + 1, L'\0');
  const LRESULT got = send(hwnd, WM_GETTEXT, text.size(), reinterpret_cast<LPARAM>(text.data()));
  text.resize(static_cast<std::size_t>(got));
  return narrow(text);
}

std::string classOf(HWND hwnd) {
  char name[256] = "";
  GetClassNameA(hwnd, name, sizeof name);
  return name;
}

RECT clientRectOf(HWND control) {
  RECT r;
  GetWindowRect(control, &r);
  MapWindowPoints(nullptr, GetParent(control), reinterpret_cast<POINT*>(&r), 2);
  return r;
}

std::vector<HWND> inputsOf(const App& app) {
  const Controls c = controlsOf(app);
  return {c.buttonOpenFile, c.buttonSend, c.checkFast, c.textBoxFile, c.comboBoxAddr};
}

bool allInputs(const App& app, bool enabled) {
  for (HWND h : inputsOf(app))
    if ((IsWindowEnabled(h) != FALSE) != enabled) return false;
  return true;
}

void chooseFileInDialog(const App& app, const std::string& path) {
  HWND dialog = openTheDialog(app);
  HWND field = GetDlgItem(dialog, kFileNameField);
  if (field == nullptr) throw std::runtime_error("the Open dialog has no file name field");
  const std::wstring text = widen(path);
  send(field, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(text.c_str()));
  PostMessageW(GetDlgItem(dialog, IDOK), BM_CLICK, 0, 0);
  waitGone(dialog, "the Open dialog");
  const HWND pathBox = controlsOf(app).textBoxFile;
  if (!waitUntil([&] { return textOf(pathBox) == path; }, 5000))
    throw std::runtime_error("the path box shows \"" + textOf(pathBox) + "\", not \"" + path +
                             "\"");
}

std::string openDialogAndCancel(const App& app) {
  HWND dialog = openTheDialog(app);
  HWND field = GetDlgItem(dialog, kFileNameField);
  const std::string shown = field != nullptr ? textOf(field) : std::string();
  PostMessageW(GetDlgItem(dialog, IDCANCEL), BM_CLICK, 0, 0);
  waitGone(dialog, "the Open dialog");
  return shown;
}

void pickAddress(const App& app, int address) {
  send(controlsOf(app).comboBoxAddr, CB_SETCURSEL, static_cast<WPARAM>(address - 1), 0);
}

void clickFast(const App& app) { send(controlsOf(app).checkFast, BM_CLICK, 0, 0); }

bool fastTicked(const App& app) {
  return send(controlsOf(app).checkFast, BM_GETCHECK, 0, 0) == BST_CHECKED;
}

void typeIntoPathBox(const App& app, const std::string& text) {
  const std::wstring w = widen(text);
  send(controlsOf(app).textBoxFile, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(w.c_str()));
}

ProgressBar progressOf(const App& app) {
  const HWND bar = controlsOf(app).progressBar;
  return {static_cast<long>(send(bar, PBM_GETRANGE, TRUE, 0)),
          static_cast<long>(send(bar, PBM_GETRANGE, FALSE, 0)),
          static_cast<long>(send(bar, PBM_GETPOS, 0, 0))};
}

BoxSeen programAndAcknowledge(const App& app, DWORD timeoutMs) {
  PostMessageW(controlsOf(app).buttonSend, BM_CLICK, 0, 0);
  // The worker holds the inputs until its closing box has been closed, so
  // they must all go grey and stay so.
  EXPECT_TRUE(waitUntil([&] { return allInputs(app, false); }, 5000))
      << "pressing \"Program\" leaves an input enabled";

  BoxSeen box;
  box.hwnd = waitForDialog(app, app.program().title, nullptr, timeoutMs);
  EXPECT_EQ(GetWindow(box.hwnd, GW_OWNER), nullptr) << "the message box has an owner";
  box.text = textOf(GetDlgItem(box.hwnd, kBoxText));
  HWND icon = GetDlgItem(box.hwnd, kBoxIcon);
  box.icon = icon != nullptr && IsWindowVisible(icon) && send(icon, STM_GETICON, 0, 0) != 0;
  EXPECT_TRUE(allInputs(app, false)) << "inputs came back while the box is open";

  PostMessageW(GetDlgItem(box.hwnd, IDOK), BM_CLICK, 0, 0);
  waitGone(box.hwnd, "the message box");
  if (!waitUntil([&] { return allInputs(app, true); }, 5000))
    throw std::runtime_error("the inputs did not come back after the box closed");
  return box;
}
