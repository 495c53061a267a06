#include "job_builder.h"
#include "job_file.h"

#include <gtest/gtest.h>

#include <string>

namespace {

using jobfile::Builder;
using jobfile::HeaderBlock;

TEST(JobBuilder, WritesAJobTheDecoderReadsBack)
{
    HeaderBlock h = jobfile::converterHeader(775, 0);
    h.name("FIRMWARE").set(jobfile::ChOrigineX, -1234).set(jobfile::ChDpiY, 600);
    const uint8_t dots[] = {0xAA, 0xAA, 0xAA, 0x01, 0x02};
    Builder b;
    b.start(h).pair("FR", 100000).record("PW", 50).pu({jobfile::segment(300, -400)});
    b.pd({jobfile::segment(3, 4), jobfile::segment(-1, 0)}).line("C3", dots).record("R5", 0).end();

    const jobfile::Job j = jobfile::decode(b.bytes());
    EXPECT_EQ(j.preHeader, "!LB 1;");
    EXPECT_EQ(j.tag, "!KM 240;");
    EXPECT_EQ(std::string(j.head.begin(), j.head.end()), "FIRMWARE        ");
    EXPECT_EQ(j.field(jobfile::ChOrigineX), -1234);
    EXPECT_EQ(j.field(jobfile::ChDpiY), 600);
    EXPECT_EQ(j.field(jobfile::ChModele), 775);
    EXPECT_EQ(j.fields.size(), 56u);
    EXPECT_EQ(j.bodyOffset, 254u);
    EXPECT_EQ(j.codes(), "FR FR PW PU PD C3 R5 JF");
    EXPECT_EQ(jobfile::pair32(j.records[0], j.records[1]), 100000);
    ASSERT_EQ(j.moves().size(), 3u);
    EXPECT_EQ(j.moves()[0].element.length, 500);
    EXPECT_TRUE(j.moves()[1].draw);
    EXPECT_EQ(jobfile::unpackBits(j.records[5].line), std::vector<uint8_t>(std::begin(dots), std::end(dots)));
}

TEST(JobBuilder, ChoosesTheTagAndBlockLengthAsTheConverter)
{
    EXPECT_EQ(jobfile::converterTag(jobfile::converterHeader(769, 2)), "!PC 200;");
    EXPECT_EQ(jobfile::converterTag(jobfile::converterHeader(769, 0)), "!ZK 200;");
    EXPECT_EQ(jobfile::converterTag(jobfile::converterHeader(775, 0)), "!KM 240;");
    EXPECT_EQ(jobfile::converterTag(jobfile::converterHeader(768, 0)), "!KM 200;");
    EXPECT_EQ(jobfile::converterHeader(775, 12).fields[jobfile::ChTypeFichier], 1);
    EXPECT_EQ(HeaderBlock(200).fields.size(), 46u);
}

TEST(JobBuilder, PacksLinesAsTheConverter)
{
    // Six literal bytes pack to seven, stored as eight with the pad: the record counts 4 words.
    const uint8_t six[] = {1, 2, 3, 4, 5, 6};
    EXPECT_EQ(jobfile::packBits(six), (std::vector<uint8_t>{5, 1, 2, 3, 4, 5, 6, 0x80}));
    Builder b;
    b.line("C1", six);
    EXPECT_EQ(b.bytes()[5], 4);
    // A literal run stops before a pair; runs stop at 128 bytes.
    const uint8_t mixed[] = {9, 7, 7, 7, 8};
    EXPECT_EQ(jobfile::packBits(mixed), (std::vector<uint8_t>{0, 9, 0xFE, 7, 0, 8}));
    const std::vector<uint8_t> long_(130, 0x55);
    EXPECT_EQ(jobfile::packBits(long_), (std::vector<uint8_t>{0x81, 0x55, 0xFF, 0x55}));
}

}  // namespace
