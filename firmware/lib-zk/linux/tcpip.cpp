#include "tcpip.h"

#include <arpa/inet.h>
#include <cerrno>
#include <cstdio>
#include <fcntl.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

namespace {

int Echec(const char* appel, int socket)
{
    std::perror(appel);
    if (socket != -1) {
        close(socket);
    }
    return -1;
}

sockaddr_in Adresse(in_addr_t ip, int port)
{
    sockaddr_in adresse{};
    adresse.sin_family = AF_INET;
    adresse.sin_addr.s_addr = ip;
    adresse.sin_port = htons(static_cast<uint16_t>(port));
    return adresse;
}

int Accepte(int socket)
{
    sockaddr_in pair{};
    socklen_t taille = sizeof pair;
    return accept(socket, reinterpret_cast<sockaddr*>(&pair), &taille);
}

bool LongueurValide(int length)
{
    if (length < 0) {
        errno = EINVAL;
        return false;
    }
    return true;
}

}  // namespace

int InitServerTCP(int port)
{
    int s = socket(AF_INET, SOCK_STREAM, 0);
    if (s == -1) {
        return Echec("socket", -1);
    }
    // A restart must bind while the last job connection lingers in TIME_WAIT;
    // a second live listener on the port still fails.
    int oui = 1;
    setsockopt(s, SOL_SOCKET, SO_REUSEADDR, &oui, sizeof oui);
    sockaddr_in adresse = Adresse(htonl(INADDR_ANY), port);
    if (bind(s, reinterpret_cast<sockaddr*>(&adresse), sizeof adresse) == -1) {
        return Echec("bind", s);
    }
    if (listen(s, 0) == -1) {
        return Echec("listen", s);
    }
    return s;
}

int WaitConnexionTCP_NONBLOCK(int socket)
{
    int flags = fcntl(socket, F_GETFL);
    if (flags == -1) {
        flags = 0;
    }
    fcntl(socket, F_SETFL, flags | O_NONBLOCK);
    int connexion = Accepte(socket);
    int err = errno;
    fcntl(socket, F_SETFL, flags);
    errno = err;
    return connexion;
}

int WaitConnexionTCP(int socket)
{
    return Accepte(socket);
}

int InitClientTCP(const char* address, int port)
{
    int s = socket(AF_INET, SOCK_STREAM, 0);
    if (s == -1) {
        return Echec("socket", -1);
    }
    sockaddr_in adresse = Adresse(inet_addr(address), port);
    if (connect(s, reinterpret_cast<sockaddr*>(&adresse), sizeof adresse) == -1) {
        return Echec("connect", s);
    }
    return s;
}

int ReceiveTCP(int socket, void* buffer, int length)
{
    if (!LongueurValide(length)) {
        return -1;
    }
    return static_cast<int>(recv(socket, buffer, static_cast<size_t>(length), 0));
}

int ReceiveTCP_NoBlock(int socket, void* buffer, int length, int seconds, int microseconds)
{
    if (!LongueurValide(length)) {
        return -1;
    }
    long long total = seconds * 1000000LL + microseconds;
    if (total < 0) {
        total = 0;
    }
    const timespec attente{static_cast<time_t>(total / 1000000), static_cast<long>(total % 1000000) * 1000};
    pollfd p{socket, POLLIN, 0};
    if (ppoll(&p, 1, &attente, nullptr) == 0) {
        return -1;
    }
    // Ready or the wait failed: this receive must not block either way.
    return static_cast<int>(recv(socket, buffer, static_cast<size_t>(length), MSG_DONTWAIT));
}

int SendTCP(int socket, const void* buffer, int length)
{
    if (!LongueurValide(length)) {
        return -1;
    }
    // A peer gone away is an error result, not SIGPIPE ending the firmware.
    return static_cast<int>(send(socket, buffer, static_cast<size_t>(length), MSG_NOSIGNAL));
}

int CloseTCP(int socket)
{
    return close(socket);
}
