// The release profile a window program is built with.
#pragma once

#include "engine/profile.h"

const ReleaseProfile& deliverableProfile();
