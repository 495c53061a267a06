// StretchMaison: bitmaps rescaled through the printer's device contexts, at each depth and
// in each mode, and every way a call is refused without touching the target.
#include "debut.h"
#include "outils.h"

#include <dlfcn.h>

#include <cstdint>
#include <vector>

namespace {

using Octets = std::vector<std::uint8_t>;

constexpr std::uint8_t kIntact = 0xAB;

std::size_t pas(LONG largeur, WORD bits) {
  return (static_cast<std::size_t>(largeur) * bits + 31) / 32 * 4;
}

class Etirement : public ::testing::Test {
 protected:
  void SetUp() override {
    win32test::reset();
    imprimante_ = spool_.ouvre();
    ASSERT_NE(imprimante_, nullptr);
    ouverts_ = win32test::openHandles();
  }
  void TearDown() override {
    EXPECT_EQ(win32test::openHandles(), ouverts_);
    EXPECT_TRUE(ClosePrinter(imprimante_));
    win32test::reset();
  }
  // The target bits, a buffer of their size filled with kIntact beforehand.
  Octets etire(SIZE source, SIZE cible, WORD bitsSource, WORD bitsCible, const Octets& pixels, int hautEnBas = 0,
               const std::vector<RGBQUAD>& palette = {}) {
    const bool taille = cible.cx > 0 && cible.cy > 0;
    Octets sortie(taille ? pas(cible.cx, bitsCible) * static_cast<std::size_t>(cible.cy) : 16, kIntact);
    StretchMaison(imprimante_, source, cible, bitsSource, bitsCible, pixels.data(), sortie.data(), hautEnBas,
                  palette.empty() ? nullptr : palette.data());
    return sortie;
  }
  static bool intact(const Octets& o) {
    for (std::uint8_t x : o)
      if (x != kIntact) return false;
    return true;
  }

  DossierSpool spool_;
  HANDLE imprimante_ = nullptr;
  std::size_t ouverts_ = 0;
};

TEST_F(Etirement, GreyIndexesWithoutPaletteComeBackAsTheyWent) {
  // 0 stands for white in the source, the inverting copy makes it 0 in the straight target ramp.
  const Octets huit{0, 64, 0xEE, 0xEE, 128, 255, 0xEE, 0xEE};
  EXPECT_EQ(etire({2, 2}, {2, 2}, 8, 8, huit), (Octets{0, 64, 0, 0, 128, 255, 0, 0}));
  // Source rows top first; the target is bottom-up.
  EXPECT_EQ(etire({2, 2}, {2, 2}, 8, 8, huit, 1), (Octets{128, 255, 0, 0, 0, 64, 0, 0}));

  const Octets quatre{0x01, 0x2F, 0, 0};
  EXPECT_EQ(etire({4, 1}, {4, 1}, 4, 4, quatre), (Octets{0x01, 0x2F, 0, 0}));
  EXPECT_EQ(etire({4, 1}, {4, 1}, 4, 8, quatre), (Octets{0, 17, 34, 255}));
}

TEST_F(Etirement, AOneBitSourceWithoutPaletteFlagKeepsItsBits) {
  const Octets bits{0xA5, 0x40, 0xFF, 0xFF, 0x5A, 0x80, 0, 0};
  // The flag is the fourth byte of entry 0: clear, the palette is not used.
  const std::vector<RGBQUAD> sansDrapeau{{0, 0, 0, 0}, {255, 255, 255, 0}};
  EXPECT_EQ(etire({10, 2}, {10, 2}, 1, 1, bits, 0, sansDrapeau), (Octets{0xA5, 0x40, 0, 0, 0x5A, 0x80, 0, 0}));
  // Set: entry 0 black and entry 1 white turn the bits over.
  const std::vector<RGBQUAD> avecDrapeau{{0, 0, 0, 1}, {255, 255, 255, 0}};
  EXPECT_EQ(etire({10, 2}, {10, 2}, 1, 1, bits, 0, avecDrapeau), (Octets{0x5A, 0x80, 0, 0, 0xA5, 0x40, 0, 0}));
}

TEST_F(Etirement, HalftoneAveragesThenTheTargetTakesTheNearestLevel) {
  // 10 and 20 mean 15; 30 and 41 mean 35.5, and the half rounds towards the source's
  // white (255 - 30 and 255 - 41 mean 219.5, up to 220) before the inversion.
  EXPECT_EQ(etire({4, 1}, {2, 1}, 8, 8, {10, 20, 30, 41}), (Octets{15, 35, 0, 0}));
  // Growing 2 to 3: the middle pixel is half of each, 50.5 down to 50 likewise.
  EXPECT_EQ(etire({2, 1}, {3, 1}, 8, 8, {0, 101, 0, 0}), (Octets{0, 50, 101, 0}));
  // To 16 levels: the nearest multiple of 17.
  EXPECT_EQ(etire({6, 1}, {6, 1}, 8, 4, {8, 9, 25, 26, 255, 136, 0, 0}), (Octets{0x01, 0x12, 0xF8, 0}));
  // To 1 bit: 128 and above is white, index 1.
  EXPECT_EQ(etire({4, 1}, {4, 1}, 8, 1, {127, 128, 0, 255}), (Octets{0x50, 0, 0, 0}));
  // Four 1-bit pixels, two set, into one: 127.5 down to 127.
  EXPECT_EQ(etire({2, 2}, {1, 1}, 1, 8, {0x80, 0, 0, 0, 0x40, 0, 0, 0}), (Octets{127, 0, 0, 0}));
}

TEST_F(Etirement, PalettesAndColourSourcesMeetTheGreyRampInverted) {
  std::vector<RGBQUAD> palette(256, RGBQUAD{0, 0, 0, 0});
  palette[0] = {10, 20, 30, 1};      // blue, green, red, flag
  palette[1] = {255, 255, 255, 0};
  // (30, 20, 10) inverted is (225, 235, 245), nearest grey 235; white inverted is black.
  EXPECT_EQ(etire({2, 1}, {2, 1}, 8, 8, {0, 1, 0, 0}, 0, palette), (Octets{235, 0, 0, 0}));
  // A 24-bit source at 4 bits: (0, 0, 0) inverted is white, (200, 100, 0) inverted averages 155, level 9.
  EXPECT_EQ(etire({2, 1}, {2, 1}, 24, 4, {0, 0, 0, 0, 100, 200, 0, 0}), (Octets{0xF9, 0, 0, 0}));
  // A 32-bit source halved to 1 bit: black and (250, 250, 250) mean 125, inverted 130: white.
  EXPECT_EQ(etire({2, 1}, {1, 1}, 32, 1, {0, 0, 0, 0, 250, 250, 250, 0}), (Octets{0x80, 0, 0, 0}));
}

TEST_F(Etirement, DeepTargetsAreStretchedDirectlyWithoutHalftoneOrInversion) {
  // 8-bit 0 is white and 255 black in the source ramp; 2 to 3 columns repeat the centre pixel.
  EXPECT_EQ(etire({2, 1}, {3, 1}, 8, 24, {0, 255, 0, 0}),
            (Octets{255, 255, 255, 0, 0, 0, 0, 0, 0, 0, 0, 0}));
  // Three colours into one: the centre one, not a mean.
  EXPECT_EQ(etire({3, 1}, {1, 1}, 24, 32, {1, 2, 3, 4, 5, 6, 7, 8, 9, 0, 0, 0}), (Octets{4, 5, 6, 0}));
  // A 4-bit palette source into 32 bits, rows top first in the source.
  std::vector<RGBQUAD> palette(16, RGBQUAD{0, 0, 0, 0});
  palette[0] = {1, 2, 3, 9};
  palette[1] = {4, 5, 6, 0};
  EXPECT_EQ(etire({1, 2}, {1, 2}, 4, 32, {0x00, 0, 0, 0, 0x10, 0, 0, 0}, 1, palette),
            (Octets{4, 5, 6, 0, 1, 2, 3, 0}));
}

TEST_F(Etirement, UnusableArgumentsLeaveTheTargetUntouched) {
  const Octets pixels(64, 0);
  for (SIZE s : {SIZE{0, 2}, SIZE{2, 0}, SIZE{-2, 2}, SIZE{2, -2}}) {
    EXPECT_TRUE(intact(etire(s, {2, 2}, 8, 8, pixels)));
    EXPECT_TRUE(intact(etire({2, 2}, s, 8, 8, pixels)));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_PARAMETER));
  }
  for (WORD p : {WORD{0}, WORD{2}, WORD{16}, WORD{48}}) {
    EXPECT_TRUE(intact(etire({2, 2}, {2, 2}, p, 8, pixels)));
    EXPECT_TRUE(intact(etire({2, 2}, {2, 2}, 8, p, pixels)));
  }
  Octets sortie(8, kIntact);
  StretchMaison(imprimante_, {2, 2}, {2, 2}, 8, 8, nullptr, sortie.data(), 0, nullptr);
  EXPECT_TRUE(intact(sortie));
  StretchMaison(imprimante_, {2, 2}, {2, 2}, 8, 8, pixels.data(), nullptr, 0, nullptr);
  StretchMaison(nullptr, {2, 2}, {2, 2}, 8, 8, pixels.data(), sortie.data(), 0, nullptr);
  EXPECT_TRUE(intact(sortie));
  // Rows whose bytes overflow 32 bits, and a target larger than the printer's bitmaps.
  StretchMaison(imprimante_, {2, 2}, {0x7FFFFFFF, 0x7FFFFFFF}, 8, 32, pixels.data(), sortie.data(), 0, nullptr);
  StretchMaison(imprimante_, {0x7FFFFFFF, 2}, {2, 2}, 32, 8, pixels.data(), sortie.data(), 0, nullptr);
  StretchMaison(imprimante_, {2, 2}, {9000, 9000}, 8, 8, pixels.data(), sortie.data(), 0, nullptr);
  EXPECT_TRUE(intact(sortie));
}

TEST_F(Etirement, AFailedSystemCallLeavesTheTargetUntouchedAndNothingOpen) {
  using win32test::Call;
  const Octets pixels{0, 64, 0, 0, 128, 255, 0, 0};
  struct Panne {
    Call appel;
    unsigned rang;
  };
  for (WORD bitsCible : {WORD{8}, WORD{24}}) {
    for (Panne p : {Panne{Call::GetPrinter, 1}, Panne{Call::GetPrinter, 2}, Panne{Call::Allocation, 1},
                    Panne{Call::Allocation, 2}, Panne{Call::Allocation, 3}, Panne{Call::Allocation, 4},
                    Panne{Call::CreateDC, 1}, Panne{Call::CreateDC, 3}, Panne{Call::CreateCompatibleDC, 2},
                    Panne{Call::CreateDIBitmap, 1}, Panne{Call::CreateDIBitmap, 2}, Panne{Call::CreateDIBitmap, 3},
                    Panne{Call::SelectObject, 1}, Panne{Call::SelectObject, 3}, Panne{Call::StretchBlt, 1},
                    Panne{Call::StretchBlt, 2}, Panne{Call::GetObject, 1}, Panne{Call::GetDIBits, 1}}) {
      win32test::reset();
      win32test::inject(p.appel, win32test::Fault::Fail, p.rang);
      const Octets sortie = etire({2, 2}, {2, 2}, 8, bitsCible, pixels);
      // The 24-bit road makes one StretchBlt and no BitBlt.
      if (bitsCible == 24 && p.appel == Call::StretchBlt && p.rang == 2)
        EXPECT_FALSE(intact(sortie));
      else
        EXPECT_TRUE(intact(sortie)) << static_cast<int>(p.appel) << " #" << p.rang << " at " << bitsCible;
      EXPECT_EQ(win32test::openHandles(), ouverts_);
    }
  }
}

TEST(EtirementExporte, TheLibraryExportsItWithCLinkage) {
  void* bibliotheque = dlopen(BREVOLT_BIBLIOTHEQUE, RTLD_NOW | RTLD_LOCAL);
  ASSERT_NE(bibliotheque, nullptr) << dlerror();
  EXPECT_NE(dlsym(bibliotheque, "StretchMaison"), nullptr);
  EXPECT_NE(dlsym(bibliotheque, "debut"), nullptr);
  dlclose(bibliotheque);
}

}  // namespace
