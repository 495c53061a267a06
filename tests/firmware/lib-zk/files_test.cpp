#include "bmp.h"
#include "tools.h"
#include "zk_test.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <unistd.h>
#include <zlib.h>

#include <cstring>
#include <random>

using testing::MatchesRegex;
using testing::internal::CaptureStdout;
using testing::internal::GetCapturedStdout;

namespace {

// Traces of the library's own checks carry their source line: only their shape is fixed.
std::string OwnTrace(const std::string& function, const std::string& message)
{
    return " lib-zk/linux/tools : " + function + " : [0-9]+ : " + message + "\n";
}

std::string Random(size_t size)
{
    std::mt19937 generator(7);
    std::string bytes(size, '\0');
    for (char& c : bytes) {
        c = static_cast<char>(generator());
    }
    return bytes;
}

std::string Text(const Buffer& bytes, size_t size)
{
    return std::string(reinterpret_cast<const char*>(bytes.get()), size);
}

const auto* Bytes(const std::string& s)
{
    return reinterpret_cast<const unsigned char*>(s.data());
}

TEST(Compression, RoundTripsTextAndIncompressibleData)
{
    for (const std::string& data : {std::string(100000, 'z') + "end", Random(100000), std::string()}) {
        uint32_t size = compressBound(data.size());
        Buffer packed(Compress(Bytes(data), data.size(), &size));
        ASSERT_TRUE(packed);
        Buffer back(Uncompress(packed.get(), size, data.size()));
        ASSERT_TRUE(back);
        EXPECT_EQ(Text(back, data.size()), data);
    }
    // A room beyond what was allocated is not believed; too small a room fails.
    const std::string data = Random(1000);
    uint32_t size = UINT32_MAX;
    Buffer packed(Compress(Bytes(data), data.size(), &size));
    ASSERT_TRUE(packed);
    EXPECT_LE(size, compressBound(data.size()));
    CaptureStdout();
    uint32_t tooSmall = 100;
    EXPECT_EQ(Compress(Bytes(data), data.size(), &tooSmall), nullptr);
    EXPECT_EQ(Uncompress(packed.get(), size, data.size() - 1), nullptr);
    EXPECT_EQ(GetCapturedStdout(), " lib-zk/linux/tools : Compress : 598 : Compress failed\n"
                                   " lib-zk/linux/tools : Uncompress : 618 : Uncompress failed\n");
}

TEST(Gzip, RoundTripsThroughARealGzipFile)
{
    TempFolder folder;
    const std::string path = folder / "f.gz";
    for (const std::string& data : {Random(300000), std::string(70000, 'a'), std::string()}) {
        ASSERT_EQ(WriteAGzip(path.c_str(), data.data(), data.size()), 1);
        uint32_t fileSize = 0;
        Buffer raw(ReadAFile(path.c_str(), &fileSize));
        ASSERT_GE(fileSize, 2u);
        EXPECT_EQ(Text(raw, 2), "\x1f\x8b");
        int32_t size = -1;
        Buffer back(ReadAGzip(path.c_str(), &size));
        ASSERT_TRUE(back);
        EXPECT_EQ(Text(back, size), data);
    }
}

TEST(WholeFiles, WriteThenReadWholeAndAtAnOffset)
{
    TempFolder folder;
    const std::string path = folder / "job.prn";
    ASSERT_EQ(WriteAFile(path.c_str(), "0123456789", 10), 1);
    uint32_t size = 0;
    Buffer all(ReadAFile(path.c_str(), &size));
    EXPECT_EQ(Text(all, size), "0123456789");
    EXPECT_EQ(Text(Buffer(ReadaFile(path.c_str())), 10), "0123456789");
    Buffer empty(ReadAFile(folder.Write("empty", "").c_str(), &size));
    EXPECT_TRUE(empty);
    EXPECT_EQ(size, 0u);

    for (auto [offset, length, expected] : {std::tuple{3L, 4, "3456"}, {8L, 100, "89"}, {50L, 4, ""}}) {
        Buffer piece(ReadAFileAtIndex(path.c_str(), offset, &length));
        ASSERT_TRUE(piece);
        EXPECT_EQ(Text(piece, length), expected);
    }
}

TEST(WholeFiles, FailuresAreReported)
{
    const bool full = access("/dev/full", W_OK) == 0;
    CaptureStdout();
    uint32_t size = 0;
    int32_t length = 4;
    int32_t gzipSize = 0;
    EXPECT_EQ(ReadAFile("/nonexistent/a", &size), nullptr);
    EXPECT_EQ(ReadAFileAtIndex("/nonexistent/a", 0, &length), nullptr);
    length = -1;
    EXPECT_EQ(ReadAFileAtIndex("/dev/null", 0, &length), nullptr);
    EXPECT_EQ(ReadaFile("/nonexistent/a"), nullptr);
    EXPECT_EQ(ReadAGzip("/nonexistent/a", &gzipSize), nullptr);
    EXPECT_EQ(WriteAFile("/nonexistent/a", "x", 1), 255);
    EXPECT_EQ(WriteAGzip("/nonexistent/a", "x", 1), 255);
    if (full) {
        EXPECT_EQ(WriteAFile("/dev/full", "hello", 5), 255);
        // The compressor holds the bytes: the failure shows when they are flushed.
        EXPECT_EQ(WriteAGzip("/dev/full", "abc", 3), 255);
    }
    EXPECT_THAT(GetCapturedStdout(),
                MatchesRegex("Error opening file /nonexistent/a\n"
                             "Error to open file /nonexistent/a!\n" +
                             OwnTrace("ReadAFileAtIndex", "Bad length") +
                             "Erreur d'ouverture du fichier\n"
                             "Error to open file /nonexistent/a !\n"
                             "Error opening file /nonexistent/a !\n"
                             "Error opening file /nonexistent/a !\n" +
                             (full ? "Write error \\(0 writed instead of 5\\)\\.\n" + OwnTrace("WriteAGzip", "Close failed")
                                   : "")));
}

TEST(ListFile, ListsFoldersAndFilesWithinTheRoomGiven)
{
    TempFolder folder;
    std::filesystem::create_directory(folder.path() / "a");
    folder.Write("b.txt", "x");
    folder.Write("..hidden", "x");
    char text[32];
    ASSERT_EQ(ListFile(folder.path().c_str(), text, sizeof text), 2);
    const std::string listed = text;
    EXPECT_TRUE(listed == "a\x1C\nb.txt\x1D\n" || listed == "b.txt\x1D\na\x1C\n") << listed;

    std::memset(text, '#', sizeof text);
    CaptureStdout();
    EXPECT_EQ(ListFile(folder.path().c_str(), text, 8), -1);
    EXPECT_EQ(ListFile("/nonexistent", text + 25, 5), -1);
    EXPECT_EQ(ListFile(folder.path().c_str(), nullptr, 20), -1);
    EXPECT_THAT(GetCapturedStdout(), MatchesRegex(OwnTrace("ListFile", "Output text too small") +
                                                  " lib-zk/linux/tools : ListFile : 683 : Failed to open folder\n"
                                                  " lib-zk/linux/tools : ListFile : 670 :  parameter are NULL \n"));
    const std::string cut = text;  // whole lines only
    EXPECT_TRUE(cut == "a\x1C\n" || cut == "b.txt\x1D\n") << cut;
    EXPECT_EQ(text[8], '#');
}

TEST(Allocation, RefusesAPointerAlreadyInUse)
{
    int used = 0;
    CaptureStdout();
    EXPECT_EQ(MALLOC(&used, 16), nullptr);
    EXPECT_EQ(GetCapturedStdout(), " lib-zk/linux/tools : MALLOC : 363 : Pointer is not NULL\n");
    EXPECT_TRUE(Buffer(static_cast<unsigned char*>(MALLOC(nullptr, 16))));
}

TEST(Wait, SleepsASecondAndMoreWithoutComplaint)
{
    CaptureStdout();
    const auto start = std::chrono::steady_clock::now();
    Wait(1100);
    EXPECT_GE(std::chrono::steady_clock::now() - start, std::chrono::milliseconds(1100));
    EXPECT_EQ(GetCapturedStdout(), "");
}

}  // namespace
