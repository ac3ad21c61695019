#include "engine/link.h"

#include <cstring>
#include <string>

#include "engine/line.h"
#include "engine/log.h"

void linkLogReason(Line& line) {
  const char* reason = line.adapter->lastError();
  if (reason != nullptr && reason[0] != '\0')
    logLine(lineLog(line), "  %s: %s\n", line.adapter->name(), reason);
}

bool linkLoad(Line& line) {
  line.adapter->useClock(lineClock(line));
  if (line.adapter->load()) return true;
  logLine(lineLog(line), "Error: cannot load %s\n", line.adapter->library());
  linkLogReason(line);
  return false;
}

bool linkList(Line& line) {
  std::memset(line.cBufLD, 0, sizeof line.cBufLD);
  for (int i = 0; i < kSerialSlots; ++i) line.pcBufLD[i] = line.cBufLD + i * kSerialSlot;
  line.pcBufLD[kSerialSlots] = nullptr;
  line.ftStatus = line.adapter->FT_ListDevices(line.pcBufLD, &line.iNumDevs,
                                               FT_LIST_ALL | FT_OPEN_BY_SERIAL_NUMBER);
  // Whatever the library wrote, every slot ends as a terminated text.
  for (int i = 0; i < kSerialSlots; ++i) line.cBufLD[i * kSerialSlot + kSerialSlot - 1] = '\0';
  if (line.ftStatus != FT_OK) {
    logLine(lineLog(line), "Error: FT_ListDevices(%d)\n", static_cast<int>(line.ftStatus));
    linkLogReason(line);
    return false;
  }
  return true;
}

const char* linkSerial(const Line& line) {
  return line.wantedSerial != nullptr ? line.wantedSerial : line.cBufLD;
}

bool linkOpen(Line& line) {
  line.ftStatus = line.adapter->FT_OpenEx(const_cast<char*>(linkSerial(line)),
                                          FT_OPEN_BY_SERIAL_NUMBER, &line.ftHandle[0]);
  if (line.ftStatus != FT_OK) {
    LogSink& log = lineLog(line);
    logLine(log, "Error FT_OpenEx(%d), device %d\n", static_cast<int>(line.ftStatus), 0);
    linkLogReason(line);
    const std::string advice = line.adapter->openingAdvice();
    if (!advice.empty()) log.write(advice.c_str());
    return false;
  }
  logLine(lineLog(line), "Opened device %s\n", linkSerial(line));
  return true;
}

void linkSetup(Line& line) {
  Adapter& a = *line.adapter;
  a.FT_SetBaudRate(line.ftHandle[0], 250000);
  a.FT_SetDataCharacteristics(line.ftHandle[0], FT_BITS_8, FT_STOP_BITS_2, FT_PARITY_NONE);
  a.FT_W32_EscapeCommFunction(line.ftHandle[0], FT_CLRRTS);
}

int sendData(Line& line, FT_HANDLE handle, std::uint8_t* data, std::uint32_t length) {
  Adapter& a = *line.adapter;
  ++line.sendsTried;
  a.FT_W32_SetCommBreak(handle);
  a.FT_W32_ClearCommBreak(handle);
  FT_DWORD written = 0;
  return a.FT_Write(handle, data, length, &written) == FT_OK ? 1 : -1;
}

void linkClose(Line& line) {
  line.adapter->FT_Close(line.ftHandle[0]);
  line.ftHandle[0] = nullptr;
  logLine(lineLog(line), "Closed device %s\n", linkSerial(line));
}
