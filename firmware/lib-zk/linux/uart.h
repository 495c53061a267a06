// Port set-up, writes and timed reads shared by the two serial variants
// (zkserial: one descriptor per port; serial: one port at a time).
#pragma once

#include <string>
#include <termios.h>

struct BaudRate {
    int vitesse;   // baud
    speed_t code;  // Linux speed code
};

extern const BaudRate baudtable[9];

namespace uart {

// Opens $MLAS_TTY_DIR/ttyS<port>, closing `fd` first when it is open, sets the
// framing and keeps the attributes read in `kept`. 1 on success, 255 when the
// open fails (`echec` printed, fd left at -1) or a code or the speed is refused
// (port left open, nothing applied).
unsigned char Init(int& fd, termios& kept, unsigned char port, int speed, unsigned char parity,
                   unsigned char data, unsigned char stop, const std::string& echec);

// One write of the whole buffer; with `drain`, waits for earlier output to
// leave the line first. The result is cut to 8 bits (255 on error).
unsigned char Write(int fd, const void* buffer, int length, bool drain);

// One read that waits until something comes; 0 at end of file, 255 on error.
unsigned char Read(int fd, void* buffer, int length);

// Waits at most `microseconds` for the port to become readable, then makes one
// non-blocking read. 0 on time-out, else the read's result cut to 8 bits.
unsigned char ReadWithin(int fd, void* buffer, int length, long long microseconds);

// Closes an open descriptor and marks it closed.
void Close(int& fd);

}  // namespace uart
