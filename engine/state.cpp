#include "engine/state.h"

const ReleaseProfile* releaseProfile = nullptr;
const char* AppTitle = "";

char szFile[kPathCapacity];
bool checked = false;
std::uint16_t address = 1;

std::uint8_t* fw_data = nullptr;
std::int32_t fw_size = 0;
std::int32_t fw_ptr = 0;
std::FILE* f_fw = nullptr;
UploadFrame dmx_packet;

const AdapterTable* adapter = nullptr;
const char* wantedSerial = nullptr;
FT_HANDLE ftHandle[5];
FT_STATUS ftStatus = 0;
std::int32_t iNumDevs = 0;
char cBufLD[kSerialSlot * 6];
char* pcBufLD[6];

void selectProfile(const ReleaseProfile& profile) {
  releaseProfile = &profile;
  AppTitle = profile.titleText;
  fw_data = profile.imageBuffer;
}
