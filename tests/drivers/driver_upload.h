// What the driver tests share: an upload fixture that can first run the
// same upload on the simulated adapter, to learn the frames the engine sends.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "engine/profile.h"
#include "tests/support/upload_harness.h"

using Frames = std::vector<std::vector<std::uint8_t>>;

class DriverUpload : public UploadTest {
 protected:
  // Runs the chosen upload on the simulated adapter and returns the frames
  // written, in order; then forgets that run (record, log, operator events).
  Frames referenceFrames(const ReleaseProfile& profile);
  // Runs it on `driver`; returns program()'s result.
  int runOn(Adapter& driver, const ReleaseProfile& profile);
  // Whether a log line equals `line`.
  bool logged(const std::string& line) const;
};

// Every byte value, several times over, in an order that differs per frame:
// a port that is not raw (CR/LF mapping, XON/XOFF, signal characters)
// changes some of them.
std::vector<std::uint8_t> everyByteImage(std::size_t n);
