#include "engine/link.h"

#include <cstring>

#include "engine/log.h"
#include "engine/state.h"

void linkLogReason() {
  if (adapter->lastError == nullptr) return;
  const char* reason = adapter->lastError();
  if (reason != nullptr && reason[0] != '\0') logLine("  %s: %s\n", adapter->name, reason);
}

bool linkLoad() {
  if (adapter->load == nullptr || adapter->load()) return true;
  logLine("Error: cannot load %s\n", adapter->library);
  linkLogReason();
  return false;
}

bool linkList() {
  std::memset(cBufLD, 0, sizeof cBufLD);
  for (int i = 0; i < kSerialSlots; ++i) pcBufLD[i] = cBufLD + i * kSerialSlot;
  pcBufLD[kSerialSlots] = nullptr;
  ftStatus = adapter->FT_ListDevices(pcBufLD, &iNumDevs, FT_LIST_ALL | FT_OPEN_BY_SERIAL_NUMBER);
  // Whatever the library wrote, every slot ends as a terminated text.
  for (int i = 0; i < kSerialSlots; ++i) cBufLD[i * kSerialSlot + kSerialSlot - 1] = '\0';
  if (ftStatus != FT_OK) {
    logLine("Error: FT_ListDevices(%d)\n", static_cast<int>(ftStatus));
    linkLogReason();
    return false;
  }
  return true;
}

const char* linkSerial() { return wantedSerial != nullptr ? wantedSerial : cBufLD; }

bool linkOpen() {
  ftStatus =
      adapter->FT_OpenEx(const_cast<char*>(linkSerial()), FT_OPEN_BY_SERIAL_NUMBER, &ftHandle[0]);
  if (ftStatus != FT_OK) {
    logLine("Error FT_OpenEx(%d), device %d\n", static_cast<int>(ftStatus), 0);
    linkLogReason();
    logLine("Use lsmod to check if ftdi_sio (and usbserial) are present.\n");
    logLine("If so, unload them using rmmod, as they conflict with ftd2xx.\n");
    return false;
  }
  logLine("Opened device %s\n", linkSerial());
  return true;
}

void linkSetup() {
  adapter->FT_SetBaudRate(ftHandle[0], 250000);
  adapter->FT_SetDataCharacteristics(ftHandle[0], FT_BITS_8, FT_STOP_BITS_2, FT_PARITY_NONE);
  adapter->FT_W32_EscapeCommFunction(ftHandle[0], FT_CLRRTS);
}

int sendData(FT_HANDLE handle, std::uint8_t* data, std::uint32_t length) {
  adapter->FT_W32_SetCommBreak(handle);
  adapter->FT_W32_ClearCommBreak(handle);
  FT_DWORD written = 0;
  return adapter->FT_Write(handle, data, length, &written) == FT_OK ? 1 : -1;
}

void linkClose() {
  adapter->FT_Close(ftHandle[0]);
  ftHandle[0] = nullptr;
  logLine("Closed device %s\n", linkSerial());
}
