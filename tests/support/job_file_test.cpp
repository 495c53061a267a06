#include "job_file.h"
#include "settings_record.h"

#include <gtest/gtest.h>

#include <string>

namespace {

using Bytes = std::vector<uint8_t>;

void text(Bytes& b, const std::string& s)
{
    for (char c : s)
        b.push_back(uint8_t(c));
}
void be16(Bytes& b, uint16_t v) { b.push_back(uint8_t(v >> 8)); b.push_back(uint8_t(v)); }
void be32(Bytes& b, uint32_t v) { be16(b, uint16_t(v >> 16)); be16(b, uint16_t(v)); }
void record(Bytes& b, const char* code, uint16_t v)
{
    b.push_back(0xFF);
    b.push_back(0xFD);
    b.push_back(uint8_t(code[0]));
    b.push_back(uint8_t(code[1]));
    be16(b, v);
}

Bytes header200()
{
    Bytes b;
    text(b, "!LB 1;!KM 200;");
    for (int i = 0; i < 16; ++i)
        b.push_back(uint8_t(i));
    for (int f = 0; f < 46; ++f)
        be32(b, uint32_t(f == 3 ? -5 : f * 1000));
    return b;
}

TEST(JobFileDecoder, ReadsHeaderRecordsLinesAndElements)
{
    Bytes b = header200();
    record(b, "FR", 0x0001);
    record(b, "FR", 0x86A0);
    record(b, "C1", 2);
    b.insert(b.end(), {0x02, 0xAA, 0xBB, 0xCC});
    record(b, "PD", 0);
    b.insert(b.end(), {0, 3, 0xFF, 0xFE, 0x00, 0x04, 0x00, 0x05});
    b.insert(b.end(), {7, 0, 0x00, 0x01, 0x00, 0x00, 0x00, 0x01});
    record(b, "OP", 0);
    record(b, "JF", 0);

    jobfile::Job job = jobfile::decode(b);
    EXPECT_EQ(job.preHeader, "!LB 1;");
    EXPECT_EQ(job.tagKind, "KM");
    EXPECT_EQ(job.headerLength, 200);
    EXPECT_EQ(job.head[15], 15);
    ASSERT_EQ(job.fields.size(), 46u);
    EXPECT_EQ(job.field(3), -5);
    EXPECT_EQ(job.field(45), 45000);
    EXPECT_EQ(job.codes(), "FR FR C1 PD OP JF");
    auto fr = job.find("FR");
    EXPECT_EQ(jobfile::pair32(*fr[0], *fr[1]), 100000);
    EXPECT_EQ(jobfile::unpackBits(job.records[2].line), (Bytes{0xAA, 0xBB, 0xCC}));
    auto moves = job.moves();
    ASSERT_EQ(moves.size(), 2u);
    EXPECT_TRUE(moves[0].draw);
    EXPECT_EQ(moves[0].element.dx, -2);
    EXPECT_EQ(moves[0].element.length, 5);
    EXPECT_EQ(moves[1].element.shortSpeed, 7);
}

TEST(JobFileDecoder, RefusesWhatTheWriterNeverProduces)
{
    Bytes good = header200();
    record(good, "JF", 0);
    EXPECT_NO_THROW(jobfile::decode(good));

    Bytes noEnd = header200();
    record(noEnd, "OP", 0);
    EXPECT_THROW(jobfile::decode(noEnd), jobfile::DecodeError);

    Bytes trailing = good;
    trailing.push_back(0);
    trailing.push_back(0);
    EXPECT_THROW(jobfile::decode(trailing), jobfile::DecodeError);

    Bytes shortLine = header200();
    record(shortLine, "C3", 4);
    record(shortLine, "JF", 0);
    EXPECT_THROW(jobfile::decode(shortLine), jobfile::DecodeError);

    Bytes cutHeader(good.begin(), good.begin() + 100);
    EXPECT_THROW(jobfile::decode(cutHeader), jobfile::DecodeError);
}

TEST(JobFileDecoder, UnpacksRepeatRunsAndSkipsPad)
{
    EXPECT_EQ(jobfile::unpackBits(Bytes{0xFD, 0x11, 0x80}), (Bytes{0x11, 0x11, 0x11, 0x11}));
    EXPECT_THROW(jobfile::unpackBits(Bytes{0x03, 0x11}), jobfile::DecodeError);
}

TEST(SettingsRecord, WritesLittleEndianAtOffsets)
{
    settings::Record r = settings::Record::typical();
    r.pen(3, 700, 2, 12, 100000, 80).repeat(-1);
    EXPECT_EQ(r.getU16(6), 775);
    EXPECT_EQ(r.getU16(108 + 36 * 3), 700);
    EXPECT_EQ(r.getU32(108 + 36 * 3 + 8), 100000u);
    EXPECT_EQ(r.data()[868], 0xFF);
    EXPECT_THROW(r.u32(1198, 1), std::out_of_range);
}

}  // namespace
