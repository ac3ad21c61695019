// Line settings of a serial port through the kernel's termios2 interface,
// which takes any baud rate (BOTHER) rather than the fixed B* rates. Kept
// apart because <asm/termbits.h> cannot share a file with <termios.h>.
#pragma once

#include <string>

namespace tty_line {

// Raw mode (no echo, no line editing, no output processing, no signals),
// receiver on, modem control lines ignored, no flow control, 8 data bits,
// 2 stop bits, no parity, 250 000 baud. False with `why` when the port
// refuses or cannot reach the rate.
bool setDmx(int fd, std::string& why);
// Any baud rate; refused when the port reaches it only more than 3 % off.
bool setSpeed(int fd, unsigned baud, std::string& why);
// Data bits 7 or 8; stop bits 0 (one) or 2 (two); parity 0 none, 1 odd,
// 2 even, 3 mark, 4 space (the D2XX numbering).
bool setFraming(int fd, unsigned bits, unsigned stopBits, unsigned parity, std::string& why);

}  // namespace tty_line
