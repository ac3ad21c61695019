// A stand-in for FTDI's FTD2XX.dll, for the window tests only (never
// installed): exports the nine D2XX calls the uploader makes, with the
// library's own signatures, and records every call with a time stamp.
//
// Told what to do by environment variables, read once when first called:
//   FTD2XX_DOUBLE_LOG               file that receives one line per call
//   FTD2XX_DOUBLE_ADAPTERS          serial numbers listed, comma-separated,
//                                   or "none" (default: one adapter, FTDBL001)
//   FTD2XX_DOUBLE_FAIL_LIST=N       the first N listings fail
//   FTD2XX_DOUBLE_FAIL_OPEN=N       the first N openings fail
//   FTD2XX_DOUBLE_FAIL_WRITES_FROM=N  the Nth write (from 1) and all later fail
//   FTD2XX_DOUBLE_DESCRIPTIONS      each adapter's description, comma-separated
//                                   (default: "FT232R USB UART"), read by
//                                   FT_LIST_BY_INDEX | FT_OPEN_BY_DESCRIPTION
//
// A line reads: <microseconds> <call> <name>=<value>... -> <result>
//
// Several lines may call at once, each from a thread of its own (the command
// line's "d2xx:all"): the settings are read once, by whichever call comes
// first, and each call runs whole under one lock, so that the counters, the
// open adapters and the record stay consistent and the record in time order.
#include <windows.h>

#include <cstdarg>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <mutex>
#include <string>
#include <vector>

namespace {

using FT_STATUS = ULONG;
using FT_HANDLE = PVOID;

constexpr FT_STATUS kOk = 0;
constexpr FT_STATUS kInvalidHandle = 1;
constexpr FT_STATUS kDeviceNotFound = 2;
constexpr FT_STATUS kDeviceNotOpened = 3;
constexpr FT_STATUS kIoError = 4;
constexpr FT_STATUS kInvalidParameter = 6;
constexpr DWORD kListAllBySerial = 0x20000001;
constexpr DWORD kListByIndex = 0x40000000;
constexpr DWORD kBySerial = 1;
constexpr DWORD kByDescription = 2;
constexpr DWORD kOpenBySerial = 1;
constexpr std::uintptr_t kHandleBase = 0xD2000;

struct Double {
  std::once_flag ready;
  std::mutex lock;  // held by every call, after the set-up
  // Set once, then only read.
  HANDLE log = INVALID_HANDLE_VALUE;
  std::vector<std::string> serials{"FTDBL001"};
  std::vector<std::string> descriptions;
  long failWritesFrom = 0;
  // Changed by the calls.
  long failLists = 0;
  long failOpens = 0;
  long writes = 0;
  std::vector<char> open;  // per adapter (not vector<bool>: no bits shared between adapters)
};

Double d;

std::string env(const char* name, bool& present) {
  char value[1024];
  const DWORD n = GetEnvironmentVariableA(name, value, sizeof value);
  present = n > 0 && n < sizeof value;
  return present ? std::string(value, n) : std::string();
}

long envNumber(const char* name) {
  bool present = false;
  const std::string v = env(name, present);
  return present ? std::strtol(v.c_str(), nullptr, 10) : 0;
}

std::vector<std::string> splitAtCommas(const std::string& list) {
  std::vector<std::string> parts;
  std::size_t start = 0;
  for (;;) {
    const std::size_t comma = list.find(',', start);
    parts.push_back(list.substr(start, comma - start));
    if (comma == std::string::npos) return parts;
    start = comma + 1;
  }
}

void readSettings() {
  bool present = false;
  const std::string path = env("FTD2XX_DOUBLE_LOG", present);
  if (present)
    d.log = CreateFileA(path.c_str(), FILE_APPEND_DATA, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                        OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
  const std::string list = env("FTD2XX_DOUBLE_ADAPTERS", present);
  if (present) {
    d.serials.clear();
    if (list != "none") d.serials = splitAtCommas(list);
  }
  const std::string descriptions = env("FTD2XX_DOUBLE_DESCRIPTIONS", present);
  if (present) d.descriptions = splitAtCommas(descriptions);
  d.descriptions.resize(d.serials.size(), "FT232R USB UART");
  d.failLists = envNumber("FTD2XX_DOUBLE_FAIL_LIST");
  d.failOpens = envNumber("FTD2XX_DOUBLE_FAIL_OPEN");
  d.failWritesFrom = envNumber("FTD2XX_DOUBLE_FAIL_WRITES_FROM");
  d.open.assign(d.serials.size(), false);
}

// The settings, read by the first call of any thread; then this call's turn.
std::unique_lock<std::mutex> setUp() {
  std::call_once(d.ready, readSettings);
  return std::unique_lock<std::mutex>(d.lock);
}

long long nowMicros() {
  LARGE_INTEGER f, c;
  QueryPerformanceFrequency(&f);
  QueryPerformanceCounter(&c);
  return (c.QuadPart / f.QuadPart) * 1000000 + (c.QuadPart % f.QuadPart) * 1000000 / f.QuadPart;
}

// One line, written at once so that it survives the process being ended.
void record(const char* format, ...) {
  if (d.log == INVALID_HANDLE_VALUE) return;
  std::string line = std::to_string(nowMicros()) + " ";
  char buffer[1024];
  va_list args;
  va_start(args, format);
  std::vsnprintf(buffer, sizeof buffer, format, args);
  va_end(args);
  line += buffer;
  line += "\n";
  DWORD written = 0;
  WriteFile(d.log, line.data(), static_cast<DWORD>(line.size()), &written, nullptr);
}

// The adapter index behind a handle, or -1 when it is not an open handle.
int adapterOf(FT_HANDLE handle) {
  const std::uintptr_t v = reinterpret_cast<std::uintptr_t>(handle);
  if (v <= kHandleBase || v > kHandleBase + d.open.size()) return -1;
  const int index = static_cast<int>(v - kHandleBase - 1);
  return d.open[index] ? index : -1;
}

unsigned long long handleValue(FT_HANDLE handle) {
  return static_cast<unsigned long long>(reinterpret_cast<std::uintptr_t>(handle));
}

}  // namespace

#define D2XX extern "C" __declspec(dllexport)

D2XX FT_STATUS WINAPI FT_ListDevices(PVOID pArg1, PVOID pArg2, DWORD Flags) {
  const auto turn = setUp();
  FT_STATUS status = kOk;
  DWORD count = 0;
  if ((Flags & kListByIndex) != 0) {
    // One adapter's serial number or description, by its index in pArg1.
    const std::size_t index = reinterpret_cast<std::uintptr_t>(pArg1);
    const DWORD by = Flags & ~kListByIndex;
    if (pArg2 == nullptr || (by != kBySerial && by != kByDescription)) {
      status = kInvalidParameter;
    } else if (index >= d.serials.size()) {
      status = kDeviceNotFound;
    } else {
      std::snprintf(static_cast<char*>(pArg2), 64, "%s",
                    (by == kBySerial ? d.serials : d.descriptions)[index].c_str());
    }
    record("FT_ListDevices flags=0x%08lx index=%lu -> %lu", static_cast<unsigned long>(Flags),
           static_cast<unsigned long>(index), status);
    return status;
  }
  if (Flags != kListAllBySerial || pArg1 == nullptr || pArg2 == nullptr) {
    status = kInvalidParameter;
  } else if (d.failLists > 0) {
    --d.failLists;
    status = kIoError;
  } else {
    char** slots = static_cast<char**>(pArg1);
    for (const std::string& serial : d.serials) {
      if (slots[count] == nullptr) break;
      std::strcpy(slots[count], serial.c_str());
      ++count;
    }
    *static_cast<DWORD*>(pArg2) = count;
  }
  record("FT_ListDevices flags=0x%08lx count=%lu -> %lu", static_cast<unsigned long>(Flags),
         static_cast<unsigned long>(count), status);
  return status;
}

D2XX FT_STATUS WINAPI FT_OpenEx(PVOID pArg1, DWORD Flags, FT_HANDLE* pHandle) {
  const auto turn = setUp();
  const char* serial = pArg1 != nullptr ? static_cast<const char*>(pArg1) : "";
  FT_STATUS status = kDeviceNotFound;
  int index = -1;
  for (std::size_t i = 0; i < d.serials.size(); ++i)
    if (d.serials[i] == serial) index = static_cast<int>(i);
  if (Flags != kOpenBySerial || pHandle == nullptr) {
    status = kInvalidParameter;
  } else if (index >= 0 && (d.failOpens > 0 || d.open[index])) {
    if (d.failOpens > 0) --d.failOpens;
    status = kDeviceNotOpened;
  } else if (index >= 0) {
    d.open[index] = true;
    *pHandle = reinterpret_cast<FT_HANDLE>(kHandleBase + index + 1);
    status = kOk;
  }
  record("FT_OpenEx serial=%s flags=%lu handle=%llx -> %lu", serial,
         static_cast<unsigned long>(Flags), status == kOk ? handleValue(*pHandle) : 0ULL, status);
  return status;
}

D2XX FT_STATUS WINAPI FT_SetBaudRate(FT_HANDLE ftHandle, ULONG BaudRate) {
  const auto turn = setUp();
  const FT_STATUS status = adapterOf(ftHandle) >= 0 ? kOk : kInvalidHandle;
  record("FT_SetBaudRate handle=%llx baud=%lu -> %lu", handleValue(ftHandle), BaudRate, status);
  return status;
}

D2XX FT_STATUS WINAPI FT_SetDataCharacteristics(FT_HANDLE ftHandle, UCHAR WordLength,
                                                UCHAR StopBits, UCHAR Parity) {
  const auto turn = setUp();
  const FT_STATUS status = adapterOf(ftHandle) >= 0 ? kOk : kInvalidHandle;
  record("FT_SetDataCharacteristics handle=%llx bits=%u stop=%u parity=%u -> %lu",
         handleValue(ftHandle), WordLength, StopBits, Parity, status);
  return status;
}

D2XX BOOL WINAPI FT_W32_EscapeCommFunction(FT_HANDLE ftHandle, DWORD dwFunc) {
  const auto turn = setUp();
  const BOOL ok = adapterOf(ftHandle) >= 0;
  record("FT_W32_EscapeCommFunction handle=%llx func=%lu -> %d", handleValue(ftHandle),
         static_cast<unsigned long>(dwFunc), ok);
  return ok;
}

D2XX BOOL WINAPI FT_W32_SetCommBreak(FT_HANDLE ftHandle) {
  const auto turn = setUp();
  const BOOL ok = adapterOf(ftHandle) >= 0;
  record("FT_W32_SetCommBreak handle=%llx -> %d", handleValue(ftHandle), ok);
  return ok;
}

D2XX BOOL WINAPI FT_W32_ClearCommBreak(FT_HANDLE ftHandle) {
  const auto turn = setUp();
  const BOOL ok = adapterOf(ftHandle) >= 0;
  record("FT_W32_ClearCommBreak handle=%llx -> %d", handleValue(ftHandle), ok);
  return ok;
}

D2XX FT_STATUS WINAPI FT_Write(FT_HANDLE ftHandle, LPVOID lpBuffer, DWORD dwBytesToWrite,
                               LPDWORD lpdwBytesWritten) {
  const auto turn = setUp();
  FT_STATUS status = kOk;
  ++d.writes;
  if (adapterOf(ftHandle) < 0)
    status = kInvalidHandle;
  else if (lpBuffer == nullptr || lpdwBytesWritten == nullptr)
    status = kInvalidParameter;
  else if (d.failWritesFrom > 0 && d.writes >= d.failWritesFrom)
    status = kIoError;
  if (lpdwBytesWritten != nullptr) *lpdwBytesWritten = status == kOk ? dwBytesToWrite : 0;

  std::string hex;
  const auto* bytes = static_cast<const unsigned char*>(lpBuffer);
  char two[3];
  for (DWORD i = 0; bytes != nullptr && i < dwBytesToWrite && i < 200; ++i) {
    std::snprintf(two, sizeof two, "%02X", bytes[i]);
    hex += two;
  }
  record("FT_Write handle=%llx length=%lu bytes=%s -> %lu", handleValue(ftHandle),
         static_cast<unsigned long>(dwBytesToWrite), hex.c_str(), status);
  return status;
}

D2XX FT_STATUS WINAPI FT_Close(FT_HANDLE ftHandle) {
  const auto turn = setUp();
  const int index = adapterOf(ftHandle);
  if (index >= 0) d.open[index] = false;
  const FT_STATUS status = index >= 0 ? kOk : kInvalidHandle;
  record("FT_Close handle=%llx -> %lu", handleValue(ftHandle), status);
  return status;
}
