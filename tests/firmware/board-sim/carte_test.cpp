// The simulated board seen through its register windows: the DSP card's
// reset, load and start, its mailbox, inputs and outputs, the ring of vector
// blocks, and the OS timer and GPIO registers, with the trace they leave.
#include "banc_essai.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <chrono>
#include <cstdlib>
#include <thread>

namespace {

using ::testing::ElementsAre;
using boardsim::CarteDsp;

// The host port as the firmware drives it.
class Port {
public:
    Port() : h_(libdevmem_open(0x30000100, 20)) {}
    ~Port() { libdevmem_close(h_); }
    void Adresse(uint16_t a) { libdevmem_write_uint16(h_, 0x08, a); }
    void Ecrit(uint16_t v) { libdevmem_write_uint16(h_, 0x00, v); }
    uint16_t Lit() { return libdevmem_read_uint16(h_, 0x00); }
    void Reset(uint8_t ligne) { libdevmem_write_uint8(h_, 0x10, ligne); }
    uint16_t LitA(uint16_t a)
    {
        Adresse(a);
        return Lit();
    }
    void EcritA(uint16_t a, std::initializer_list<uint16_t> mots)
    {
        Adresse(a);
        for (uint16_t m : mots) Ecrit(m);
    }
    void Commande(uint8_t code) { EcritA(0x7104, {0, code}); }
    // A block of the ring, word 0 last, once the block is free.
    void Bloc(int n, uint16_t ctl, uint16_t divX, uint16_t divY, int x, int y, uint16_t delai)
    {
        const auto base = static_cast<uint16_t>(0x4800 + n * 6);
        while (LitA(base) != 0) {
        }
        EcritA(base + 1, {divX, divY, static_cast<uint16_t>(x - 32766), static_cast<uint16_t>(y - 32766), delai});
        EcritA(base, {ctl});
    }

private:
    libdevmem_handle* h_;
};

class CarteSimulee : public ::testing::Test {
protected:
    banc::Carte carte;
    Port port;
    CarteDsp& dsp = boardsim::Dsp();
};

TEST_F(CarteSimulee, HeldInResetAndSilentWithAnUnknownStartWord)
{
    EXPECT_EQ(dsp.EtatCarte(), CarteDsp::Etat::Reset);
    port.Reset(1);
    port.EcritA(0x7FFF, {0x0200});
    port.EcritA(0x0000, {0x1234, 0x56});
    EXPECT_EQ(dsp.EtatCarte(), CarteDsp::Etat::Chargement);
    port.Commande(0x01);
    EXPECT_EQ(port.LitA(0x7104), 0);
    EXPECT_THAT(carte.Trace({"START"}), ElementsAre("START word=0x1234 run=0"));
}

TEST_F(CarteSimulee, CorrectionTablesAreTakenWhenTheLastWordIsWritten)
{
    dsp.Demarre();
    port.Adresse(0x5000);
    for (int i = 0; i < 4096; ++i) port.Ecrit(static_cast<uint16_t>(i < 2048 ? 30000 + i : 40000 + i - 2048));
    EXPECT_THAT(carte.Trace(), ElementsAre("TABLE x0=30000 x1024=31024 x2047=32047 y0=40000 y1024=41024 y2047=42047"));
}

TEST_F(CarteSimulee, ScriptedInputsGoOnePerPollAndRepeatedPollsAreFolded)
{
    dsp.Demarre();
    dsp.ScriptEntrees({{}, {}, {.start = true}, {}, {.reset = true}});
    std::vector<uint16_t> vus;
    for (int i = 0; i < 7; ++i) {
        port.Commande(0x01);
        vus.push_back(port.LitA(0x7100));
    }
    EXPECT_THAT(vus, ElementsAre(0xFE, 0xFE, 0xFC, 0xFE, 0xFF, 0xFF, 0xFF));
    EXPECT_THAT(carte.Trace({"IN"}), ElementsAre("IN word=0x00FE", "IN word=0x00FC", "IN word=0x00FE", "IN word=0x00FF"));
    EXPECT_EQ(carte.Trace({"CMD"}).size(), 4u);
}

TEST(CarteStartAuto, StartIsPressedWhileTheReadyLampIsLit)
{
    banc::Carte carte(true);
    Port port;
    boardsim::Dsp().Demarre();
    port.Commande(0x01);
    EXPECT_EQ(port.LitA(0x7100), 0xFE);
    port.EcritA(0x711D, {0x0200});
    port.Commande(0x10);
    port.Commande(0x01);
    EXPECT_EQ(port.LitA(0x7100), 0xFC);
    port.EcritA(0x711D, {0x0400});
    port.Commande(0x10);
    port.Commande(0x01);
    EXPECT_EQ(port.LitA(0x7100), 0xFE);
}

TEST_F(CarteSimulee, RingBlocksRunInRingOrderAndWrapAround)
{
    dsp.Demarre();
    port.Bloc(1, 0x0801, 1, 1, 0, 65535, 0);
    EXPECT_TRUE(dsp.Blocs().empty()) << "block 1 waits for block 0";
    port.Bloc(0, 0x8001, 1, 1, 100, 200, 0);
    EXPECT_THAT(carte.Trace({"BLOCK"}), ElementsAre("BLOCK n=0 ctl=0x8001 x=100 y=200 dpd=1 delay=0",
                                                    "BLOCK n=1 ctl=0x0801 x=0 y=65535 dpd=1 delay=0"));
    for (int i = 2; i < 12; ++i) port.Bloc(i % 10, i % 2 ? 0x8001 : 0x0801, 10, 20, 32766 + i, 32766 - i, i);
    const auto blocs = dsp.Blocs();
    ASSERT_EQ(blocs.size(), 12u);
    for (int i = 0; i < 12; ++i) EXPECT_EQ(blocs[i].n, i % 10);
    EXPECT_EQ(blocs[11].mots[3], 11);
    const auto trace = carte.Trace({"BLOCK"});
    EXPECT_EQ(trace[9], "BLOCK n=9 ctl=0x8001 x=32775 y=32757 dpd=10 delay=9");
    EXPECT_EQ(trace[11], "BLOCK n=1 ctl=0x8001 x=32777 y=32755 dpd=10 delay=11");
    for (int n = 0; n < 10; ++n) EXPECT_EQ(port.LitA(static_cast<uint16_t>(0x4800 + n * 6)), 0);
}

TEST_F(CarteSimulee, ASlowRingFinishesEachBlockAfterSomePolls)
{
    dsp.Demarre();
    dsp.Lenteur(3);
    port.EcritA(0x4801, {1, 1, 5, 5, 0, 0x0801, 1, 1, 6, 6, 0});
    port.EcritA(0x4800, {0x0801});
    EXPECT_EQ(port.LitA(0x4800), 0x0801);
    EXPECT_EQ(port.LitA(0x4800), 0x0801);
    EXPECT_EQ(port.LitA(0x4800), 0);
    EXPECT_EQ(port.LitA(0x4806), 0x0801);
    EXPECT_EQ(port.LitA(0x4806), 0x0801);
    EXPECT_EQ(port.LitA(0x4806), 0);
    EXPECT_EQ(dsp.Blocs().size(), 2u);
}

TEST_F(CarteSimulee, TimerCountsAtTheBoardRateAndKeepsTheWatchdogRegisters)
{
    libdevmem_handle* t = libdevmem_open(0x40A00000, 28);
    const uint32_t avant = libdevmem_read_uint32(t, 0x10);
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
    EXPECT_GE(libdevmem_read_uint32(t, 0x10) - avant, 36863u);

    boardsim::Timer().Virtuel(100);
    const uint32_t v = libdevmem_read_uint32(t, 0x10);
    EXPECT_EQ(libdevmem_read_uint32(t, 0x10), v + 100);
    boardsim::Timer().Avance(1000);
    EXPECT_EQ(libdevmem_read_uint32(t, 0x10), v + 1200);

    libdevmem_write_uint32(t, 0x0C, 12345);
    libdevmem_write_uint32(t, 0x18, 1);
    EXPECT_EQ(libdevmem_read_uint32(t, 0x0C), 12345u);
    EXPECT_EQ(boardsim::Timer().Registre(0x18), 1u);
    EXPECT_THAT(carte.Trace(), ElementsAre("WATCHDOG enable=1"));
    libdevmem_close(t);
}

TEST_F(CarteSimulee, GpioKeepsLevelsAndRecordsSetAndClearWrites)
{
    libdevmem_handle* g = libdevmem_open(0x40E00000, 48);
    libdevmem_write_uint32(g, 24, 0x200000);
    libdevmem_write_uint32(g, 24, 0x200000);
    EXPECT_EQ(libdevmem_read_uint32(g, 0), 0x200000u);
    libdevmem_write_uint32(g, 36, 0x200000);
    EXPECT_EQ(boardsim::GpioCarte().Niveau(0), 0u);
    EXPECT_EQ(boardsim::GpioCarte().Ecritures().size(), 3u);
    EXPECT_THAT(carte.Trace(), ElementsAre("GPIO op=set bank=0 bits=0x00200000 level=0x00200000",
                                           "GPIO op=set bank=0 bits=0x00200000 level=0x00200000",
                                           "GPIO op=clr bank=0 bits=0x00200000 level=0x00000000"));
    libdevmem_close(g);
}

TEST(ReglagesCarte, KnobsComeFromTheEnvironment)
{
    banc::DossierTemporaire dossier;
    banc::Ecrit(dossier.Chemin() / "cpuinfo", "Processor\t: XScale\nHardware\t: TITAN board\n");
    setenv("MLAS_CPUINFO", (dossier.Chemin() / "cpuinfo").c_str(), 1);
    setenv("MLAS_SIM_START", "auto", 1);
    const boardsim::Reglages r = boardsim::LitReglages();
    EXPECT_EQ(r.ticksParMs, 3250.0);
    EXPECT_TRUE(r.startAuto);
    unsetenv("MLAS_SIM_START");
    setenv("MLAS_CPUINFO", "/nonexistent", 1);
    EXPECT_EQ(boardsim::LitReglages().ticksParMs, 3686.4);
    EXPECT_FALSE(boardsim::LitReglages().startAuto);
    unsetenv("MLAS_CPUINFO");
}

}  // namespace
