// Pseudo-terminals standing for ttyS0..ttyS4: MLAS_TTY_DIR names a folder of
// links to the pty slaves; the master ends play the far devices.
#pragma once

#include <gtest/gtest.h>

#include <chrono>
#include <csignal>
#include <fcntl.h>
#include <filesystem>
#include <poll.h>
#include <sys/ioctl.h>
#include <termios.h>
#include <unistd.h>

struct PtyLinks {
    PtyLinks()
    {
        std::signal(SIGHUP, SIG_IGN);  // should the test lead a session, losing a pty must not end it
        char modele[] = "/tmp/mlas-ttyXXXXXX";
        dir = mkdtemp(modele);
        for (int p = 0; p < 5; ++p) {
            master[p] = posix_openpt(O_RDWR | O_NOCTTY);
            grantpt(master[p]), unlockpt(master[p]);
            slave[p] = ptsname(master[p]);
            std::filesystem::create_symlink(slave[p], Link(p));
        }
        setenv("MLAS_TTY_DIR", dir.c_str(), 1);
    }
    ~PtyLinks()
    {
        for (int m : master) close(m);
        std::filesystem::remove_all(dir);
    }
    std::string Link(int p) const { return dir + "/ttyS" + std::to_string(p); }
    int OpenCount(int p) const  // descriptors of this process on the port's pty
    {
        int n = 0;
        std::error_code ec;
        for (const auto& e : std::filesystem::directory_iterator("/proc/self/fd"))
            n += std::filesystem::read_symlink(e.path(), ec).string() == slave[p];
        return n;
    }
    // The far device sends; given the port's descriptor, returns once it holds every byte.
    void Send(int p, const std::string& bytes, int fd = -1) const
    {
        ASSERT_EQ(write(master[p], bytes.data(), bytes.size()), ssize_t(bytes.size()));
        for (int i = 0, n = 0; fd >= 0 && i < 5000 && ioctl(fd, FIONREAD, &n) == 0 && n < int(bytes.size()); ++i)
            usleep(1000);
    }
    std::string Received(int p, size_t size) const  // waits at most 5 s for each piece
    {
        std::string got;
        char buf[512];
        pollfd pf{master[p], POLLIN, 0};
        for (ssize_t n = 0; got.size() < size && poll(&pf, 1, 5000) == 1 && (n = read(master[p], buf, 512)) > 0;)
            got.append(buf, size_t(n));
        return got;
    }
    std::string dir, slave[5];
    int master[5];
};

// Raw mode as the serial layer sets it, read back from the pty.
inline void ExpectRaw(int fd, speed_t speed, bool twoStops)
{
    termios t{};
    ASSERT_EQ(tcgetattr(fd, &t), 0);
    EXPECT_EQ(cfgetospeed(&t), speed);
    EXPECT_EQ(t.c_cflag & (CREAD | CLOCAL | CSTOPB), CREAD | CLOCAL | (twoStops ? CSTOPB : 0));
    EXPECT_EQ(t.c_iflag, tcflag_t(IGNPAR));
    EXPECT_EQ(t.c_oflag | t.c_lflag, 0u);
    EXPECT_EQ(t.c_cc[VEOF] * 100 + t.c_cc[VMIN], 401);
    EXPECT_EQ(t.c_cc[VINTR] + t.c_cc[VKILL] + t.c_cc[VTIME] + t.c_cc[VSTART] + t.c_cc[VEOL2], 0);
    EXPECT_EQ(fcntl(fd, F_GETFL) & O_NONBLOCK, 0);
}

inline bool Canonical(int fd)
{
    termios t{};
    return tcgetattr(fd, &t) == 0 && (t.c_lflag & ICANON) != 0;
}

// Milliseconds a read takes that must time out.
#define EXPECT_IDLE_MS(read, atLeast, below)                                                    \
    do {                                                                                        \
        auto debut = std::chrono::steady_clock::now();                                          \
        EXPECT_EQ(read, 0);                                                                     \
        auto ms = std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now() - debut); \
        EXPECT_GE(ms.count(), atLeast);                                                         \
        EXPECT_LT(ms.count(), below);                                                           \
    } while (0)
