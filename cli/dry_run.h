// upload --dry-run: every line resolved (listed, its node polled, its
// fixtures read where asked) and the plan shown, with nothing sent.
#pragma once

#include <vector>

#include "cli/options.h"
#include "cli/read_back_view.h"
#include "engine/profile.h"
#include "session/image.h"
#include "session/session.h"

// Shows the plan (a text on standard output, or the JSON report) and
// returns the exit status the upload would end with before sending:
// `checks` is that of the read-back and model checks already made.
int runDryRun(const Options& options, const ReleaseProfile& profile, const ImageBytes& image,
              const std::vector<SessionLine>& lines, const ReadBackRun& readBack, int checks);
