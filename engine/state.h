// The state shared between a window program and its upload worker: the
// module-level names the window and the worker use. They are the state of
// the program's one line (engine/line.h), whose storage is static. The
// window thread writes the operator's choices while its controls are
// enabled; the worker reads them and alone writes the working data.
#pragma once

#include <cstdint>
#include <cstdio>

#include "engine/line.h"

// The window program's one line.
extern Line mainLine;

// The build's profile and its title.
extern const ReleaseProfile* releaseProfile;
extern const char* AppTitle;
// Selects the profile (and with it fw_data); called once before any upload.
void selectProfile(const ReleaseProfile& profile);

// Operator choices.
extern char (&szFile)[kPathCapacity];
extern bool& checked;
extern std::uint16_t& address;

// Upload working data.
extern std::uint8_t*& fw_data;  // the profile's buffer
extern std::int32_t& fw_size;
extern std::int32_t& fw_ptr;
extern std::FILE*& f_fw;
extern UploadFrame& dmx_packet;

// Adapter link state.
extern FT_HANDLE (&ftHandle)[5];
extern FT_STATUS& ftStatus;
extern std::int32_t& iNumDevs;
extern char (&cBufLD)[kSerialSlot * 6];
extern char* (&pcBufLD)[6];
