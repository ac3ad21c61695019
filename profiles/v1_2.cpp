#include "profiles/profiles.h"

static std::uint8_t image[262144];

const ReleaseProfile profileV1_2 = {
    "v1.2",
    "Tavik Firmware uploader ver.1.2.",
    "Fast program",
    ResetAddressMode::broadcast,
    2,
    image,
    sizeof image,
};
