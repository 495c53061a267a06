#include "tcpip.h"

#include <gtest/gtest.h>

#include <chrono>
#include <cstring>
#include <fcntl.h>
#include <netinet/in.h>
#include <poll.h>

namespace {

bool Blocking(int fd)
{
    return (fcntl(fd, F_GETFL) & O_NONBLOCK) == 0;
}

// A listener on a free loopback port with one client, accepted without waiting.
struct Link {
    Link()
    {
        sockaddr_in a{};
        socklen_t n = sizeof a;
        getsockname(server, reinterpret_cast<sockaddr*>(&a), &n);
        port = ntohs(a.sin_port);
        EXPECT_EQ(WaitConnexionTCP_NONBLOCK(server), -1);
        client = InitClientTCP("127.0.0.1", port);
        pollfd p{server, POLLIN, 0};
        EXPECT_EQ(poll(&p, 1, 5000), 1);
        accepted = WaitConnexionTCP_NONBLOCK(server);
        EXPECT_TRUE(Blocking(server) && Blocking(accepted));
    }
    ~Link()
    {
        for (int s : {client, accepted, server}) CloseTCP(s);
    }
    int server = InitServerTCP(0), port, client, accepted;
};

TEST(Tcp, AcceptRoundTripsAndPeerClose)
{
    Link l;
    EXPECT_EQ(SendTCP(l.client, "!LB 1;", 6), 6);
    std::string got(6, '\0');
    for (char& c : got) EXPECT_EQ(ReceiveTCP(l.accepted, &c, 1), 1);
    EXPECT_EQ(got, "!LB 1;");

    char buf[8] = {};
    auto debut = std::chrono::steady_clock::now();
    EXPECT_EQ(ReceiveTCP_NoBlock(l.client, buf, 8, 0, 0), -1);
    EXPECT_EQ(ReceiveTCP_NoBlock(l.client, buf, 8, 0, 200000), -1);
    EXPECT_GE(std::chrono::steady_clock::now() - debut, std::chrono::milliseconds(200));
    EXPECT_EQ(SendTCP(l.accepted, "ok", 2), 2);
    EXPECT_EQ(ReceiveTCP_NoBlock(l.client, buf, 8, 5, 0), 2);
    EXPECT_STREQ(buf, "ok");

    CloseTCP(l.client);
    l.client = -1;
    EXPECT_EQ(ReceiveTCP(l.accepted, buf, 8) + ReceiveTCP(l.accepted, buf, 8), 0);
    EXPECT_EQ(ReceiveTCP_NoBlock(l.accepted, buf, 8, 0, 0), 0);
    int sent = 0;  // a vanished peer gives an error, not SIGPIPE
    for (int i = 0; i < 100 && sent >= 0; ++i) sent = SendTCP(l.accepted, "x", 1);
    EXPECT_EQ(sent, -1);
}

TEST(Tcp, ServerRestartsOverALingeringConnectionButNotOverALiveListener)
{
    int port;
    {
        Link l;
        port = l.port;
        testing::internal::CaptureStderr();
        EXPECT_EQ(InitServerTCP(port), -1);
        EXPECT_EQ(testing::internal::GetCapturedStderr(), std::string("bind: ") + std::strerror(EADDRINUSE) + "\n");
        // The server side closes first, so its end lingers in TIME_WAIT.
        CloseTCP(l.accepted);
        char c;
        EXPECT_EQ(ReceiveTCP(l.client, &c, 1), 0);
        l.accepted = -1;
    }
    int again = InitServerTCP(port);
    EXPECT_GE(again, 0);
    CloseTCP(again);
}

}  // namespace
