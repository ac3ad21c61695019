#include "engine/state.h"

Line mainLine = {.szFile = {},
                 .checked = false,
                 .address = 1,
                 .profile = nullptr,
                 .fw_data = nullptr,
                 .imageCapacity = 0,
                 .imageGiven = false,
                 .givenImage = nullptr,
                 .givenSize = 0,
                 .fw_size = 0,
                 .fw_ptr = 0,
                 .f_fw = nullptr,
                 .dmx_packet = {},
                 .adapter = nullptr,
                 .wantedSerial = nullptr,
                 .ftHandle = {},
                 .ftStatus = 0,
                 .iNumDevs = 0,
                 .cBufLD = {},
                 .pcBufLD = {},
                 .op = nullptr,
                 .clock = nullptr,
                 .log = nullptr,
                 .verbose = false,
                 .stopRequested = false,
                 .sendsTried = 0,
                 .deliveredBytes = 0,
                 .imagePath = {},
                 .text = {}};

const ReleaseProfile* releaseProfile = nullptr;
const char* AppTitle = "";

char (&szFile)[kPathCapacity] = mainLine.szFile;
bool& checked = mainLine.checked;
std::uint16_t& address = mainLine.address;

std::uint8_t*& fw_data = mainLine.fw_data;
std::int32_t& fw_size = mainLine.fw_size;
std::int32_t& fw_ptr = mainLine.fw_ptr;
std::FILE*& f_fw = mainLine.f_fw;
UploadFrame& dmx_packet = mainLine.dmx_packet;

FT_HANDLE (&ftHandle)[5] = mainLine.ftHandle;
FT_STATUS& ftStatus = mainLine.ftStatus;
std::int32_t& iNumDevs = mainLine.iNumDevs;
char (&cBufLD)[kSerialSlot * 6] = mainLine.cBufLD;
char* (&pcBufLD)[6] = mainLine.pcBufLD;

void selectProfile(const ReleaseProfile& profile) {
  releaseProfile = &profile;
  AppTitle = profile.titleText;
  lineUseProfile(mainLine, profile);
}
