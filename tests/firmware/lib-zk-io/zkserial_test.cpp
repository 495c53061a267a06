#include "zkserial.h"

#include "ptylinks.h"

#include <thread>

namespace {

struct ZkSerial : testing::Test {
    void TearDown() override
    {
        for (unsigned char port = 0; port < 5; ++port) CloseUART(port);
    }
    PtyLinks ptys;
};

TEST_F(ZkSerial, InitComAppliesTheCodesAndRefusesTheRest)
{
    std::filesystem::remove(ptys.Link(0));
    testing::internal::CaptureStdout();
    EXPECT_EQ(InitCom(5, 9600, 0, 0, 0) & InitCom(0, 9600, 0, 0, 0), 255);
    EXPECT_EQ(testing::internal::GetCapturedStdout(), "error to open comm 1");
    EXPECT_EQ(InitCom(2, 57600, 0, 0, 1) & InitCom(1, 14400, 0, 0, 0) & InitCom(3, 9600, 0, 4, 0), 255);
    for (unsigned char port : {1, 2, 3}) EXPECT_TRUE(Canonical(File_Com[port])) << int(port);

    struct Cas {
        unsigned char port, parity, data, stop;
        int speed;
        speed_t code;
        tcflag_t bits;
    };
    for (const Cas& c : {Cas{2, 0, 0, 0, 57600, B57600, CS8}, Cas{3, 1, 1, 2, 9600, B9600, CS7 | PARENB | CSTOPB},
                         Cas{1, 2, 2, 3, 115200, B115200, CS6 | PARENB | PARODD}, Cas{4, 3, 3, 9, 1200, B1200, CS5}}) {
        ASSERT_EQ(InitCom(c.port, c.speed, c.parity, c.data, c.stop), 1);
        EXPECT_EQ(ptys.OpenCount(c.port), 1);
        ExpectRaw(File_Com[c.port], c.code, c.bits & CSTOPB);
        // A pty always reports 8 bits without parity: the kept record tells.
        EXPECT_EQ(termios_p[c.port].c_cflag & (CSIZE | PARENB | PARODD | CSTOPB), c.bits);
    }
    CloseUART(1);
    EXPECT_EQ(ptys.OpenCount(1), 0);
    unsigned char b = 0;
    EXPECT_EQ(SendBufferToUART(1, "ab", 2) & SendByteToUART(1, 'a') & GetByteFromUART(1, &b), 255);
    EXPECT_EQ(GetBufferFromUART(&b, 1) & GetByteFromUART_BMode(1, &b, 0) & GetBufferFromUART_BMode(9, &b, 1, 0), 255);
}

TEST_F(ZkSerial, FramesLeaveWholeAndCountsAreCutTo8Bits)
{
    ASSERT_EQ(InitCom(2, 57600, 0, 0, 0), 1);
    std::string big(300, '\0');
    for (size_t i = 0; i < big.size(); ++i) big[i] = char(i * 7);
    EXPECT_EQ(SendBufferToUART(2, big.data(), 300), 44);
    EXPECT_EQ(SendBufferToUART(2, "XYZ", 3), 3);
    EXPECT_EQ(SendByteToUART(2, '!'), 1);
    EXPECT_EQ(ptys.Received(2, 304), big + "XYZ!");

    ptys.Send(2, big, File_Com[2]);
    std::string got(400, '\0');
    EXPECT_EQ(GetBufferFromUART_BMode(2, got.data(), 400, 0), 44);
    EXPECT_EQ(got.substr(0, 300), big);
}

TEST_F(ZkSerial, TimedReadsCountHundredsOfMicroseconds)
{
    ASSERT_EQ(InitCom(3, 9600, 0, 0, 0), 1);
    unsigned char b = 0;
    EXPECT_IDLE_MS(GetByteFromUART_BMode(3, &b, 0), 0, 100);
    EXPECT_IDLE_MS(GetByteFromUART_BMode(3, &b, 2000), 200, 2000);
    ptys.Send(3, "Q", File_Com[3]);
    EXPECT_EQ(GetByteFromUART_BMode(3, &b, 0), 1);
    EXPECT_EQ(b, 'Q');
    std::thread peer([&] {
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
        ptys.Send(3, "RS");
    });
    EXPECT_EQ(GetByteFromUART_BMode(3, &b, 60000), 1);
    EXPECT_EQ(b, 'R');
    peer.join();
    EXPECT_EQ(GetByteFromUART(3, &b), 1);
    EXPECT_EQ(b, 'S');
    ExpectRaw(File_Com[3], B9600, false);
}

}  // namespace
