// Reads a terminal's line settings through termios2, as the kernel holds
// them, into plain fields. Apart from the tests because <asm/termbits.h>
// cannot share a file with <termios.h>.
#pragma once

struct LineView {
  unsigned ispeed = 0, ospeed = 0;
  bool otherBaud = false;  // BOTHER: the speed is the number above, not a B* constant
  unsigned dataBits = 0;   // 5..8
  bool twoStopBits = false, parity = false, oddParity = false, markSpace = false;
  bool hardwareFlow = false, softwareFlow = false, ignoreModemLines = false, receiver = false;
  bool outputProcessing = false, canonical = false, echo = false, signals = false;
  bool inputMapping = false;  // any of ICRNL, INLCR, IGNCR, ISTRIP
};

// False when `fd` is not a terminal.
bool readLine(int fd, LineView& view);
