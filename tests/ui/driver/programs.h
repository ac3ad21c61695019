// What each window program must look like, written down here independently
// of the profile units it is built from.
#pragma once

#include <string>

struct ProgramFacts {
  const char* name;         // executable without ".exe"
  const char* title;        // class name, caption, message box caption
  const char* fastCaption;  // check box text
  bool broadcastReset;      // reset frames to 0xFFFF instead of the chosen address
  int leadFrames;           // first data frames sent 30 extra times
};

inline const ProgramFacts kV1_2{"uploader-v1.2", "Tavik Firmware uploader ver.1.2.", "Fast program",
                                true, 2};
inline const ProgramFacts kV1_1{"uploader-v1.1", "Tavik Firmware uploader ver.1.1.", "Fast program",
                                false, 2};
inline const ProgramFacts kEarly{"uploader-early", "Tavik Firmware uploader", "Fast programm",
                                 false, 0};
