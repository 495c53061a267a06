#include "get_lib.h"
#include "scheduler.h"
#include "tools.h"
#include "zk_test.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <termios.h>
#include <unistd.h>

#include <mutex>
#include <vector>

using testing::internal::CaptureStdout;
using testing::internal::GetCapturedStdout;
using Keys = std::vector<int>;

namespace {

// Decodes bytes as the keyboard thread would when nothing more is typed.
Keys Decode(const std::string& text)
{
    Keys keys;
    const auto* bytes = reinterpret_cast<const unsigned char*>(text.data());
    for (size_t at = 0, used = 0; at < text.size(); at += used) {
        const int key = DecodeKey(bytes + at, text.size() - at, true, &used);
        if (key != kKeyIgnored) {
            keys.push_back(key);
        }
    }
    return keys;
}

TEST(KeyDecoder, CursorFunctionAndEditingKeys)
{
    EXPECT_EQ(Decode("\x1b[A\x1b[B\x1b[C\x1b[D"), (Keys{15, 16, 14, 17}));
    EXPECT_EQ(Decode("\x1b[[A\x1b[[E\x1b[17~\x1b[21~\x1b[23~\x1b[24~\x1b[P"), (Keys{1, 5, 6, 10, 11, 12, 1}));
    EXPECT_EQ(Decode("\x1b[2~\x1b[1~\x1b[5~\x1b[6~\x1b[4~\x1b[3~"), (Keys{18, 19, 20, 21, 22, 23}));
}

TEST(KeyDecoder, PlainAndUtf8Characters)
{
    EXPECT_EQ(Decode("a\r~["), (Keys{'a', '\r', '~', '['}));
    EXPECT_EQ(Decode("\xC3\xA9\xE2\x82\xAC\xF0\x9F\x98\x80"), (Keys{0xE9, 0x20AC, 0x1F600}));
    EXPECT_EQ(Decode("\x80\xC3z"), (Keys{0x80, 0xC3, 'z'}));  // broken characters stand for themselves
}

TEST(KeyDecoder, EscapeAloneAndUnknownSequences)
{
    EXPECT_EQ(Decode("\x1b"), Keys{0x1B});
    EXPECT_EQ(Decode("\x1b" "x\x1b\x1b[A"), (Keys{0x1B, 'x', 0x1B, 15}));
    EXPECT_EQ(Decode("\x1b[25~q\x1b[1;5Ar\x1b[[Fs"), (Keys{'q', 'r', 's'}));
    // Bounded: an escape and nine characters at most are skipped, the rest is typed.
    EXPECT_EQ(Decode("\x1b[123456789"), Keys{'9'});

    size_t used = 9;
    const auto* prefix = reinterpret_cast<const unsigned char*>("\x1b[1\xE2\x82");
    EXPECT_EQ(DecodeKey(prefix, 3, false, &used), kKeyIncomplete);  // may still become F6 ... F8
    EXPECT_EQ(used, 0u);
    EXPECT_EQ(DecodeKey(prefix, 1, false, &used), kKeyIncomplete);  // Escape alone, or a sequence coming
    EXPECT_EQ(DecodeKey(prefix + 3, 2, false, &used), kKeyIncomplete);
}

std::mutex keysLock;
Keys posted;

void KeyHandler(void* argument)
{
    std::lock_guard<std::mutex> guard(keysLock);
    posted.push_back(*static_cast<int*>(argument));
}

bool WaitForKeys(size_t count)
{
    return WaitFor([count] {
        std::lock_guard<std::mutex> guard(keysLock);
        return posted.size() >= count;
    });
}

// A pseudo-terminal: the test types on the master side.
struct Pty {
    Pty() : master(posix_openpt(O_RDWR | O_NOCTTY))
    {
        grantpt(master);
        unlockpt(master);
        name = ptsname(master);
    }
    ~Pty() { close(master); }
    void Type(const std::string& text) const { ASSERT_EQ(write(master, text.data(), text.size()), ssize_t(text.size())); }
    int master;
    std::string name;
};

TEST(KeyboardThread, PostsEveryKeyTypedEvenWhenTypedFast)
{
    posted.clear();
    SchedulerInit();
    SchedulerAdd(0, KeyHandler, 1, "clavier");
    std::thread runner(SchedulerRun);
    auto pty = std::make_unique<Pty>();
    KeyBoardDevice = pty->name;
    CaptureStdout();
    const pthread_t keyboard = InitKey();

    std::string burst;
    Keys expected;
    for (int i = 0; i < 300; ++i) {
        burst += static_cast<char>('a' + i % 26);
        expected.push_back('a' + i % 26);
    }
    pty->Type(burst + "\x1b[A\x1b[[B\xC3\xA9\x1b[P");
    expected.insert(expected.end(), {15, 2, 0xE9, 1, 0x1B, 'z'});
    ASSERT_TRUE(WaitForKeys(expected.size() - 2));
    pty->Type("\x1b");  // Escape alone: taken once nothing follows it
    ASSERT_TRUE(WaitForKeys(expected.size() - 1));
    pty->Type("z");
    ASSERT_TRUE(WaitForKeys(expected.size()));
    EXPECT_EQ(GetKey(), 'z');
    ClearKey();
    EXPECT_EQ(GetKey(), 0);

    pty.reset();  // the device ends: so does the thread
    EXPECT_EQ(pthread_join(keyboard, nullptr), 0);
    EXPECT_EQ(GetCapturedStdout(), "Pause\n");
    SchedulerStop();
    runner.join();
    EXPECT_EQ(posted, expected);
}

TEST(KeyboardThread, MissingDeviceEndsTheThreadWithATrace)
{
    KeyBoardDevice = "/nonexistent/tty0";
    CaptureStdout();
    EXPECT_EQ(pthread_join(InitKey(), nullptr), 0);
    EXPECT_EQ(GetCapturedStdout(), " lib-zk/linux/tools : keyboard_thread : 308 : Failed to open keyboard device\n");
}

TEST(Getch, ReturnsTheLastByteOfAKeyAndRestoresTheTerminal)
{
    Pty pty;
    const int console = open(pty.name.c_str(), O_RDWR | O_NOCTTY);
    const int savedInput = dup(STDIN_FILENO);
    dup2(console, STDIN_FILENO);
    pty.Type("\x1b[A");
    const int key = getch();
    termios after{};
    tcgetattr(STDIN_FILENO, &after);
    dup2(savedInput, STDIN_FILENO);
    close(savedInput);
    close(console);
    EXPECT_EQ(key, 'A');
    EXPECT_TRUE(after.c_lflag & ICANON);
    EXPECT_TRUE(after.c_lflag & ECHO);
}

}  // namespace
