// Waiting for another process's windows to reach a state.
#pragma once

#include <windows.h>

#include <functional>

// Polls `condition` every few milliseconds; true when it held within `timeoutMs`.
inline bool waitUntil(const std::function<bool()>& condition, DWORD timeoutMs) {
  const ULONGLONG deadline = GetTickCount64() + timeoutMs;
  for (;;) {
    if (condition()) return true;
    if (GetTickCount64() >= deadline) return false;
    Sleep(5);
  }
}
