#include "serial.h"

#include "../lib-zk-io/ptylinks.h"

namespace {

struct ViperSerial : testing::Test {
    void TearDown() override { CloseUART(); }
    PtyLinks ptys;
};

TEST_F(ViperSerial, EachInitComReplacesTheOnePort)
{
    ASSERT_EQ(InitCom(1, 115200, 0, 0, 0), 1);
    ASSERT_EQ(InitCom(2, 9600, 1, 1, 2), 1);
    EXPECT_EQ(ptys.OpenCount(1), 0);
    ExpectRaw(File_Com, B9600, true);
    EXPECT_EQ(termios_p.c_cflag & (CSIZE | PARENB | PARODD), tcflag_t(CS7 | PARENB));
    EXPECT_EQ(InitCom(3, 57600, 0, 0, 1), 255);
    EXPECT_EQ(ptys.OpenCount(2), 0);
    EXPECT_TRUE(Canonical(File_Com));
    std::filesystem::remove(ptys.Link(0));
    testing::internal::CaptureStdout();
    EXPECT_EQ(InitCom(0, 115200, 0, 0, 0), 255);
    EXPECT_EQ(testing::internal::GetCapturedStdout(), "error openning com1");
    EXPECT_EQ(ptys.OpenCount(3), 0);
    unsigned char b = 0;
    EXPECT_EQ(SendBufferToUART("ab", 2) & GetByteFromUART_BMode(&b, 0), 255);
}

TEST_F(ViperSerial, TimedReadsCountMillisecondsAndFramesLeaveWhole)
{
    ASSERT_EQ(InitCom(1, 115200, 0, 0, 0), 1);
    unsigned char b = 0;
    EXPECT_IDLE_MS(GetByteFromUART_BMode(&b, 200), 200, 2000);
    ptys.Send(1, "k", File_Com);
    EXPECT_EQ(GetByteFromUART_BMode(&b, 5000), 1);
    EXPECT_EQ(b, 'k');
    std::string big(300, 'f');
    EXPECT_EQ(SendBufferToUART(big.data(), 300), 44);
    EXPECT_EQ(SendByteToUART('!'), 1);
    EXPECT_EQ(SendBufferToUART("XYZ", 3), 3);
    EXPECT_EQ(ptys.Received(1, 304), big + "!XYZ");
}

}  // namespace
