#include "memory.h"
#include "zk_test.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <cstdio>
#include <string>

using testing::internal::CaptureStdout;
using testing::internal::GetCapturedStdout;

namespace {

TEST(MemoryBlocks, CountReferencesAndFreeTheLastOne)
{
    CaptureStdout();
    PrintMemBlock();
    EXPECT_EQ(GetCapturedStdout(), "");

    DataBlock* a = Malloc(3, 4);
    DataBlock* b = Malloc(5, 1);
    ASSERT_TRUE(a && b);
    EXPECT_EQ(Assign(a), a);
    char listing[256];
    std::snprintf(listing, sizeof listing,
                  "Block 0 at %p : Nb element 3 and count is 2\nBlock 1 at %p : Nb element 5 and count is 1\n",
                  static_cast<void*>(a), static_cast<void*>(b));
    CaptureStdout();
    PrintMemBlock();
    EXPECT_EQ(GetCapturedStdout(), listing);

    FreeBlock(a);
    EXPECT_EQ(a->count, 1u);
    EXPECT_EQ(memList, a);
    FreeBlock(a);  // the last reference: unlinked and freed
    EXPECT_EQ(memList, b);
    EXPECT_EQ(memLastBlock, b);
    EXPECT_EQ(b->prev, nullptr);
    FreeBlock(b);
    EXPECT_EQ(memList, nullptr);
    EXPECT_EQ(memLastBlock, nullptr);
}

TEST(MemoryBlocks, ElementsAreBoundsChecked)
{
    DataBlock* block = Malloc(2, sizeof(int));
    const int values[] = {7, 9};
    EXPECT_EQ(SetElement(block, &values[0], 0), 0);
    EXPECT_EQ(SetElement(block, &values[1], 1), 0);
    EXPECT_EQ(*static_cast<int*>(GetElement(block, 1)), 9);
    EXPECT_EQ(static_cast<int*>(GetData(block))[0], 7);
    CaptureStdout();
    EXPECT_EQ(GetElement(block, 2), nullptr);
    EXPECT_EQ(SetElement(block, &values[0], 2), 255);
    EXPECT_EQ(GetCapturedStdout(), " lib-zk/common/memory : GetElement : 112 : INDEX OUT OF BOUNDS\n"
                                   " lib-zk/common/memory : SetElement : 127 : INDEX OUT OF BOUNDS\n");
    FreeBlock(block);
}

TEST(MemoryBlocks, RefuseNegativeCountsAndOverflowingSizes)
{
    CaptureStdout();
    EXPECT_EQ(Malloc(-1, 4), nullptr);
    EXPECT_EQ(Malloc(65536, 65536), nullptr);
    EXPECT_EQ(MallocAndSetData(-3, 1, nullptr), nullptr);
    EXPECT_THAT(GetCapturedStdout(),
                testing::MatchesRegex("( lib-zk/common/memory : Malloc(AndSetData)? : [0-9]+ : Bad block size !\n){3}"));
    EXPECT_EQ(memList, nullptr);
}

TEST(MemoryBlocks, FileReadIntoABlockOfBytes)
{
    TempFolder folder;
    DataBlock* block = ReadAFile_DataBlock(folder.Write("f", "AZ").c_str());
    ASSERT_NE(block, nullptr);
    EXPECT_EQ(GetNumberElement(block), 2);
    CaptureStdout();
    DumpMem(block);
    char head[128];
    std::snprintf(head, sizeof head, " Block @ 0x%p : sizeOfElement 1 numberOfElement 2\n", static_cast<void*>(block));
    EXPECT_EQ(GetCapturedStdout(), std::string(head) + " Data : \n65 (A)\n90 (Z)\n");
    FreeBlock(block);
}

}  // namespace
