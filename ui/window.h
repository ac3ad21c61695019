// The main window: its handles, shared with the upload worker through the
// Win32 operator, and its window procedure.
#pragma once

#include <windows.h>

extern HINSTANCE g_hInst;
extern HWND g_hWindow;
extern HWND labelFile;
extern HWND textBoxFile;
extern HWND comboBoxAddr;
extern HWND checkFast;
extern HWND buttonOpenFile;
extern HWND buttonSend;
extern HWND progressBar;

// Main window size, frame and caption included.
inline constexpr int kWindowWidth = 350;
inline constexpr int kWindowHeight = 180;

LRESULT CALLBACK WindowProc(HWND hwnd, UINT uMsg, WPARAM wParam, LPARAM lParam);
