#include "profiles/profiles.h"

static std::uint8_t image[262144];

const ReleaseProfile profileV1_1 = {
    "v1.1",
    "Tavik Firmware uploader ver.1.1.",
    "Fast program",
    ResetAddressMode::selected,
    2,
    image,
    sizeof image,
};
