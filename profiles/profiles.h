// The three release profiles. A window deliverable links one of them; the
// command-line uploader links all three and picks one by name.
#pragma once

#include "engine/profile.h"

extern const ReleaseProfile profileV1_2;
extern const ReleaseProfile profileV1_1;
extern const ReleaseProfile profileEarly;

// Finds a profile by its id ("v1.2", "v1.1", "early"); null when unknown.
const ReleaseProfile* findProfile(const char* id);
