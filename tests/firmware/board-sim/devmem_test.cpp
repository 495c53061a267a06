// Memory windows on the simulated bus: accesses reach the model registered
// for the address, with the width asked for; the debug traces show the same
// page arithmetic as a real mapping.
#include "libdevmem.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <memory>
#include <string>
#include <vector>

namespace {

using ::testing::ElementsAre;

// A plain page of memory, little-endian, that notes every access.
class PageMemoire final : public libdevmem_model {
public:
    uint32_t read(uint32_t adresse, unsigned largeur) override
    {
        uint32_t v = 0;
        for (unsigned i = 0; i < largeur / 8; ++i) v |= uint32_t{octets_[(adresse + i) % 4096]} << (8 * i);
        Note('r', adresse, largeur);
        return v;
    }
    void write(uint32_t adresse, unsigned largeur, uint32_t valeur) override
    {
        for (unsigned i = 0; i < largeur / 8; ++i) octets_[(adresse + i) % 4096] = static_cast<uint8_t>(valeur >> (8 * i));
        Note('w', adresse, largeur);
    }
    std::vector<std::string> acces;

private:
    void Note(char sens, uint32_t adresse, unsigned largeur)
    {
        char texte[32];
        std::snprintf(texte, sizeof texte, "%c%u %#x", sens, largeur, adresse);
        acces.emplace_back(texte);
    }
    std::vector<uint8_t> octets_ = std::vector<uint8_t>(4096);
};

// A register that counts its reads.
class Compteur final : public libdevmem_model {
public:
    uint32_t read(uint32_t, unsigned) override { return ++lectures; }
    void write(uint32_t, unsigned, uint32_t valeur) override { lectures = valeur; }
    uint32_t lectures = 0;
};

class Fenetres : public ::testing::Test {
protected:
    void SetUp() override
    {
        libdevmem_register_model(0x10000000, 0x1000, page);
        libdevmem_register_model(0x10001000, 4, compteur);
    }
    void TearDown() override
    {
        libdevmem_unregister_models();
        unsetenv("LIBDEVMEM_DEBUG");
    }
    std::shared_ptr<PageMemoire> page = std::make_shared<PageMemoire>();
    std::shared_ptr<Compteur> compteur = std::make_shared<Compteur>();
};

TEST_F(Fenetres, AccessesReachTheModelAtTheirPhysicalAddressAndWidth)
{
    libdevmem_handle* w = libdevmem_open(0x10000010, 16);
    ASSERT_NE(w, nullptr);
    libdevmem_write_uint32(w, 0, 0x11223344);
    libdevmem_write_uint16(w, 4, 0xBEEF);
    libdevmem_write_uint8(w, 6, 0x5A);
    EXPECT_EQ(libdevmem_read_uint8(w, 0), 0x44);
    EXPECT_EQ(libdevmem_read_uint16(w, 2), 0x1122);
    EXPECT_EQ(libdevmem_read_uint32(w, 4), 0x005ABEEFu);

    EXPECT_THAT(page->acces, ElementsAre("w32 0x10000010", "w16 0x10000014", "w8 0x10000016", "r8 0x10000010",
                                         "r16 0x10000012", "r32 0x10000014"));
    EXPECT_EQ(libdevmem_close(w), 0);
    EXPECT_EQ(libdevmem_close(nullptr), -1);
}

TEST_F(Fenetres, EveryReadReachesTheDevice)
{
    libdevmem_handle* w = libdevmem_open(0x10001000, 4);
    ASSERT_NE(w, nullptr);
    EXPECT_EQ(libdevmem_read_uint32(w, 0), 1u);
    EXPECT_EQ(libdevmem_read_uint32(w, 0), 2u);
    libdevmem_write_uint32(w, 0, 40);
    EXPECT_EQ(libdevmem_read_uint16(w, 0), 41);
    libdevmem_close(w);
}

TEST_F(Fenetres, AnAddressWithoutDeviceReadsAnEmptyBus)
{
    libdevmem_handle* w = libdevmem_open(0x300002C0, 8);
    ASSERT_NE(w, nullptr);
    libdevmem_write_uint8(w, 4, 0x41);
    EXPECT_EQ(libdevmem_read_uint8(w, 4), 0xFF);
    EXPECT_EQ(libdevmem_read_uint16(w, 0), 0xFFFF);
    EXPECT_EQ(libdevmem_read_uint32(w, 0), 0xFFFFFFFFu);
    libdevmem_close(w);
}

TEST_F(Fenetres, ANewModelReplacesTheOldOneForLaterWindowsOnly)
{
    libdevmem_handle* avant = libdevmem_open(0x10001000, 4);
    auto nouveau = std::make_shared<Compteur>();
    nouveau->lectures = 100;
    libdevmem_register_model(0x10001000, 4, nouveau);
    libdevmem_handle* apres = libdevmem_open(0x10001000, 4);
    EXPECT_EQ(libdevmem_read_uint32(avant, 0), 1u);
    EXPECT_EQ(libdevmem_read_uint32(apres, 0), 101u);
    libdevmem_close(avant);
    libdevmem_close(apres);
}

TEST_F(Fenetres, DebugTracesShowThePageArithmetic)
{
    testing::internal::CaptureStdout();
    libdevmem_close(libdevmem_open(0x40A00010, 4));
    EXPECT_EQ(testing::internal::GetCapturedStdout(), "") << "no traces without LIBDEVMEM_DEBUG";

    setenv("LIBDEVMEM_DEBUG", "", 1);
    testing::internal::CaptureStdout();
    libdevmem_handle* w = libdevmem_open(0x40A00010, 4);
    EXPECT_EQ(testing::internal::GetCapturedStdout(),
              "Rounding length 0x14 to page boundary at 0x1000\n"
              "Physical addresses 0x40a00000-0x40a01000 mapped at 0x40a00000.\n"
              "Registers at 0x40a00010 available at 0x40a00010.\n");
    EXPECT_EQ(w->len, 0x1000u);
    EXPECT_EQ(static_cast<uint8_t*>(w->regs) - static_cast<uint8_t*>(w->map), 0x10);
    libdevmem_close(w);

    testing::internal::CaptureStdout();
    w = libdevmem_open(0x40E00000, 0x1000);
    EXPECT_EQ(testing::internal::GetCapturedStdout(),
              "Physical addresses 0x40e00000-0x40e01000 mapped at 0x40e00000.\n"
              "Registers at 0x40e00000 available at 0x40e00000.\n");
    libdevmem_close(w);
}

}  // namespace
