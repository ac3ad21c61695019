#include "profiles/profiles.h"

static std::uint8_t image[65536];

const ReleaseProfile profileEarly = {
    "early",      "Tavik Firmware uploader", "Fast programm", ResetAddressMode::selected, 0, image,
    sizeof image,
};
