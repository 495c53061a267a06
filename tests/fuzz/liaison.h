// A serial port of the firmware played from one end of a socket pair: what the
// far device sends is written there whole and its end closed, so a reader that
// waits for more sees the line quiet at once instead of waiting in real time.
#pragma once

#include "zkserial.h"

#include <sys/socket.h>
#include <unistd.h>

#include <cstdint>
#include <cstdlib>

namespace fuzz {

class Liaison {
public:
    Liaison(unsigned char port, const uint8_t* octets, size_t taille) : port_(port)
    {
        int paire[2];
        if (::socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0, paire) != 0) std::abort();
        File_Com[port_] = paire[0];
        distant_ = paire[1];
        // The firmware's answers are never read: room enough for them.
        const int taillePlace = 1 << 20;
        ::setsockopt(paire[0], SOL_SOCKET, SO_SNDBUF, &taillePlace, sizeof taillePlace);
        ::setsockopt(distant_, SOL_SOCKET, SO_SNDBUF, &taillePlace, sizeof taillePlace);
        for (size_t fait = 0; fait < taille;) {
            const ssize_t n = ::write(distant_, octets + fait, taille - fait);
            if (n <= 0) std::abort();
            fait += static_cast<size_t>(n);
        }
        ::shutdown(distant_, SHUT_WR);
    }
    ~Liaison()
    {
        CloseUART(port_);
        ::close(distant_);
    }
    Liaison(const Liaison&) = delete;
    Liaison& operator=(const Liaison&) = delete;

private:
    unsigned char port_;
    int distant_ = -1;
};

}  // namespace fuzz
