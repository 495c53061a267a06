#include "get_lib.h"

#include <poll.h>
#include <termios.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>

bool bConsoleFermee = false;

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
    if (n <= 0) {
        bConsoleFermee = true;
        return -1;
    }
    return keys[n - 1];
}

SaisieConsole LitLigneConsole(std::string& ligne, std::size_t max)
{
    std::fflush(stdout);
    ligne.clear();
    bool tropLongue = false;
    int c = 0;
    while ((c = std::getchar()) != EOF && c != '\n') {
        if (ligne.size() < max) ligne.push_back(static_cast<char>(c));
        else tropLongue = true;
    }
    if (c == EOF && ligne.empty() && !tropLongue) {
        bConsoleFermee = true;
        return SaisieConsole::Fin;
    }
    if (!ligne.empty() && ligne.back() == '\r') ligne.pop_back();
    return tropLongue ? SaisieConsole::TropLongue : SaisieConsole::Lue;
}

void VideSaisieConsole()
{
    if (isatty(STDIN_FILENO)) tcflush(STDIN_FILENO, TCIFLUSH);
}
