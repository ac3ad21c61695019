// The window as the operator first sees it.
#include <windows.h>
// (commctrl.h needs windows.h first)
#include <commctrl.h>
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "tests/ui/driver/fixture.h"
#include "tests/ui/driver/operate.h"

namespace {

struct ControlFacts {
  const char* className;
  const char* text;  // null: not checked
  DWORD exStyle;
  DWORD style;
  int x, y, width, height;  // height < 0: the toolkit's
  int id;
};

bool sameClass(const std::string& a, const char* b) { return lstrcmpiA(a.c_str(), b) == 0; }

// The version resource's FileDescription of the running program.
std::string fileDescription(const App& app) {
  const std::string exe = programsFolder() + "\\" + app.program().name + ".exe";
  DWORD ignored = 0;
  const DWORD size = GetFileVersionInfoSizeA(exe.c_str(), &ignored);
  if (size == 0) return "(no version resource)";
  std::vector<char> info(size);
  if (!GetFileVersionInfoA(exe.c_str(), 0, size, info.data())) return "(unreadable)";
  char* value = nullptr;
  UINT length = 0;
  if (!VerQueryValueA(info.data(), "\\StringFileInfo\\040904B0\\FileDescription",
                      reinterpret_cast<void**>(&value), &length))
    return "(no FileDescription)";
  return std::string(value);
}

}  // namespace

void expectFreshWindow(const App& app) {
  const ProgramFacts& p = app.program();
  const HWND w = app.window();
  EXPECT_EQ(classOf(w), p.title);
  EXPECT_EQ(textOf(w), p.title);
  EXPECT_EQ(fileDescription(app), p.title);

  const DWORD style = static_cast<DWORD>(GetWindowLongPtrA(w, GWL_STYLE));
  EXPECT_EQ(style & WS_OVERLAPPEDWINDOW, static_cast<DWORD>(WS_OVERLAPPEDWINDOW));
  EXPECT_EQ(style & (WS_CHILD | WS_POPUP | WS_DISABLED), 0u);
  EXPECT_EQ(GetParent(w), nullptr);
  EXPECT_EQ(GetMenu(w), nullptr);
  RECT outer;
  GetWindowRect(w, &outer);
  EXPECT_EQ(outer.right - outer.left, 350);
  EXPECT_EQ(outer.bottom - outer.top, 180);

  EXPECT_EQ(GetClassLongPtrA(w, GCL_STYLE), static_cast<ULONG_PTR>(CS_HREDRAW | CS_VREDRAW));
  EXPECT_EQ(GetClassLongPtrA(w, GCL_CBCLSEXTRA), 0u);
  EXPECT_EQ(GetClassLongPtrA(w, GCL_CBWNDEXTRA), 0u);
  // Another process's class brush, icon and cursor cannot be read under
  // Wine; the background shows the brush: the scroll bar colour.
  // A window just shown may not be painted yet: ask for a paint and give it
  // up to two seconds.
  COLORREF background = CLR_INVALID;
  for (int tries = 0; tries < 40 && background != GetSysColor(COLOR_SCROLLBAR); ++tries) {
    if (tries > 0) Sleep(50);
    RedrawWindow(w, nullptr, nullptr, RDW_ERASE | RDW_INVALIDATE | RDW_UPDATENOW);
    HDC dc = GetDC(w);
    background = GetPixel(dc, 5, 140);
    ReleaseDC(w, dc);
  }
  EXPECT_EQ(background, GetSysColor(COLOR_SCROLLBAR));

  const ControlFacts expected[8] = {
      {"Static", "File:", 0, 0x50000001, 10, 10, 30, 20, 1},
      {"Edit", "", WS_EX_CLIENTEDGE, 0x50000000, 50, 10, 280, 20, 2},
      {"Static", "Address:", 0, 0x50000001, 10, 45, 60, 20, 0},
      {"ComboBox", "1", 0, 0x50000003, 80, 40, 60, -1, 3},
      {"Button", p.fastCaption, 0, 0x50000002, 10, 70, 120, 20, 7},
      {"Button", "OpenFile", 0, 0x50000000, 150, 45, 85, 35, 4},
      {"Button", "Program", 0, 0x50000000, 245, 45, 85, 35, 5},
      {"msctls_progress32", nullptr, 0, 0x50000001, 10, 100, 320, 17, 0},
  };
  const std::vector<HWND> children = childrenOf(w);
  ASSERT_EQ(children.size(), 8u);
  for (int i = 0; i < 8; ++i) {
    SCOPED_TRACE("control " + std::to_string(i + 1));
    const ControlFacts& e = expected[i];
    const HWND c = children[i];
    EXPECT_TRUE(sameClass(classOf(c), e.className)) << classOf(c);
    if (e.text != nullptr) {
      EXPECT_EQ(textOf(c), e.text);
    }
    EXPECT_EQ(static_cast<DWORD>(GetWindowLongPtrA(c, GWL_EXSTYLE)), e.exStyle);
    EXPECT_EQ(static_cast<DWORD>(GetWindowLongPtrA(c, GWL_STYLE)), e.style);
    const RECT r = clientRectOf(c);
    EXPECT_EQ(r.left, e.x);
    EXPECT_EQ(r.top, e.y);
    EXPECT_EQ(r.right - r.left, e.width);
    if (e.height >= 0) {
      EXPECT_EQ(r.bottom - r.top, e.height);
    }
    EXPECT_EQ(GetDlgCtrlID(c), e.id);
  }

  const Controls c = controlsOf(app);
  EXPECT_EQ(SendMessageW(c.comboBoxAddr, CB_GETCOUNT, 0, 0), 512);
  EXPECT_EQ(SendMessageW(c.comboBoxAddr, CB_GETCURSEL, 0, 0), 0);
  for (int item : {0, 6, 99, 511}) {
    wchar_t text[16] = L"";
    SendMessageW(c.comboBoxAddr, CB_GETLBTEXT, item, reinterpret_cast<LPARAM>(text));
    EXPECT_EQ(std::wstring(text), std::to_wstring(item + 1)) << "item " << item;
  }
  EXPECT_FALSE(fastTicked(app));
  EXPECT_EQ(textOf(c.textBoxFile), "");
  EXPECT_TRUE(allInputs(app, true));
  const ProgressBar bar = progressOf(app);
  EXPECT_EQ(bar.position, 0);
}
