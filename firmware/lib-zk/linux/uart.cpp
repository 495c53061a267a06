#include "uart.h"

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <fcntl.h>
#include <poll.h>
#include <unistd.h>

const BaudRate baudtable[9] = {
    {1200, B1200},   {1800, B1800},   {2400, B2400},   {4800, B4800},     {9600, B9600},
    {19200, B19200}, {38400, B38400}, {57600, B57600}, {115200, B115200},
};

namespace uart {
namespace {

std::string DevicePath(unsigned char port)
{
    const char* dir = std::getenv("MLAS_TTY_DIR");
    return std::string(dir != nullptr && *dir != '\0' ? dir : "/dev") + "/ttyS" + std::to_string(port);
}

unsigned char Result(ssize_t n)
{
    return static_cast<unsigned char>(n);
}

void SetNonBlocking(int fd, bool on)
{
    int flags = fcntl(fd, F_GETFL);
    if (flags == -1) {
        return;
    }
    fcntl(fd, F_SETFL, on ? flags | O_NONBLOCK : flags & ~O_NONBLOCK);
}

// Builds the raw-mode attributes from those the port had; false when a code or
// the speed is refused.
bool Framing(termios& t, int speed, unsigned char parity, unsigned char data, unsigned char stop)
{
    static constexpr tcflag_t kTaille[4] = {CS8, CS7, CS6, CS5};
    if (data > 3) {
        return false;
    }
    t.c_cflag = CREAD | CLOCAL | kTaille[data];
    if (parity == 1) {
        t.c_cflag |= PARENB;
    } else if (parity == 2) {
        t.c_cflag |= PARENB | PARODD;
    }
    if (stop == 1) {
        return false;
    }
    if (stop == 2) {
        t.c_cflag |= CSTOPB;
    }
    t.c_iflag = IGNPAR;
    t.c_oflag = 0;
    t.c_lflag = 0;
    for (int c : {VINTR, VQUIT, VERASE, VKILL, VSTART, VSTOP, VSUSP, VEOL, VREPRINT, VDISCARD, VWERASE,
                  VLNEXT, VEOL2}) {
        t.c_cc[c] = 0;
    }
    t.c_cc[VEOF] = 4;
    t.c_cc[VTIME] = 0;
    t.c_cc[VMIN] = 1;
    for (const BaudRate& row : baudtable) {
        if (row.vitesse == speed) {
            return cfsetispeed(&t, row.code) == 0 && cfsetospeed(&t, row.code) == 0;
        }
    }
    return false;
}

}  // namespace

unsigned char Init(int& fd, termios& kept, unsigned char port, int speed, unsigned char parity,
                   unsigned char data, unsigned char stop, const std::string& echec)
{
    Close(fd);
    fd = open(DevicePath(port).c_str(), port == 0 ? O_RDWR : O_RDWR | O_NONBLOCK);
    if (fd == -1) {
        std::fputs(echec.c_str(), stdout);
        return 255;
    }
    if (tcgetattr(fd, &kept) != 0) {
        return 255;
    }
    termios t = kept;
    if (!Framing(t, speed, parity, data, stop) || tcsetattr(fd, TCSANOW, &t) != 0) {
        return 255;
    }
    kept = t;
    SetNonBlocking(fd, false);
    tcdrain(fd);
    return 1;
}

unsigned char Write(int fd, const void* buffer, int length, bool drain)
{
    if (fd < 0 || length < 0) {
        return 255;
    }
    if (drain) {
        tcdrain(fd);
    }
    return Result(write(fd, buffer, static_cast<size_t>(length)));
}

unsigned char Read(int fd, void* buffer, int length)
{
    if (fd < 0 || length < 0) {
        return 255;
    }
    return Result(read(fd, buffer, static_cast<size_t>(length)));
}

unsigned char ReadWithin(int fd, void* buffer, int length, long long microseconds)
{
    if (fd < 0 || length < 0) {
        return 255;
    }
    SetNonBlocking(fd, true);
    pollfd p{fd, POLLIN, 0};
    const timespec attente{static_cast<time_t>(microseconds / 1000000), static_cast<long>(microseconds % 1000000) * 1000};
    unsigned char result = 0;
    if (ppoll(&p, 1, &attente, nullptr) != 0) {
        // Ready or the wait failed: the read cannot block either way.
        result = Result(read(fd, buffer, static_cast<size_t>(length)));
    }
    SetNonBlocking(fd, false);
    return result;
}

void Close(int& fd)
{
    if (fd >= 0) {
        close(fd);
        fd = -1;
    }
}

}  // namespace uart
