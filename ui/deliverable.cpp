// Built once per program, with UPLOADER_PROFILE naming its profile row.
#include "ui/deliverable.h"

#include "profiles/profiles.h"

#ifndef UPLOADER_PROFILE
#error "UPLOADER_PROFILE must name the program's profile row, e.g. profileV1_2"
#endif

const ReleaseProfile& deliverableProfile() { return UPLOADER_PROFILE; }
