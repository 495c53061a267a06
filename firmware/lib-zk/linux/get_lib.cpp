#include "get_lib.h"

#include <poll.h>
#include <termios.h>
#include <unistd.h>

#include <cerrno>

int getch()
{
    termios kept{};
    termios raw{};
    // Not a terminal (a pipe, a file): read as it is.
    const bool terminal = tcgetattr(STDIN_FILENO, &kept) == 0 && tcgetattr(STDIN_FILENO, &raw) == 0;
    if (terminal) {
        raw.c_lflag &= ~(ICANON | ECHO);
        tcsetattr(STDIN_FILENO, TCSADRAIN, &raw);
    }
    pollfd ready{STDIN_FILENO, POLLIN, 0};
    while (poll(&ready, 1, -1) < 0 && errno == EINTR) {
    }
    // A cursor or function key arrives as several bytes at once.
    unsigned char keys[20];
    ssize_t n;
    do {
        n = read(STDIN_FILENO, keys, sizeof keys);
    } while (n < 0 && errno == EINTR);
    if (terminal) {
        tcsetattr(STDIN_FILENO, TCSADRAIN, &kept);
    }
    return n > 0 ? keys[n - 1] : -1;
}
