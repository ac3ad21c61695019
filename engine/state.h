// The state shared between the front end and the upload worker. The front
// end writes the operator's choices while its controls are enabled; the
// worker reads them and alone writes the working data.
#pragma once

#include <cstdint>
#include <cstdio>

#include "engine/adapter_table.h"
#include "engine/frame.h"
#include "engine/profile.h"

inline constexpr std::size_t kPathCapacity = 260;
inline constexpr std::size_t kSerialSlot = 64;
inline constexpr int kSerialSlots = 5;
// The data phase counts bytes in 16 bits; larger images are refused.
inline constexpr long kMaxImageSize = 65535;

// The build's profile and its title.
extern const ReleaseProfile* releaseProfile;
extern const char* AppTitle;
// Selects the profile (and with it fw_data); called once before any upload.
void selectProfile(const ReleaseProfile& profile);

// Operator choices.
extern char szFile[kPathCapacity];
extern bool checked;
extern std::uint16_t address;

// Upload working data.
extern std::uint8_t* fw_data;  // the profile's buffer
extern std::int32_t fw_size;
extern std::int32_t fw_ptr;
extern std::FILE* f_fw;
extern UploadFrame dmx_packet;

// Adapter link state.
extern const AdapterTable* adapter;  // the driver in use; set by the front end
extern const char* wantedSerial;     // open this serial instead of the first listed (null: first)
extern FT_HANDLE ftHandle[5];
extern FT_STATUS ftStatus;
extern std::int32_t iNumDevs;
extern char cBufLD[kSerialSlot * 6];
extern char* pcBufLD[6];
