#include "fichiers_raster.h"
#include "raster_outils.h"

#include <cstring>

namespace {

using Octets = std::vector<std::uint8_t>;

class Stockage : public Raster {
 protected:
  // A row of the bytes in plane 0 (and the other planes when given), at (x, y).
  void ligne(const Octets& plan0, std::int32_t pixels, std::int32_t x = 0, std::int32_t y = 0,
             const Octets& plan1 = {}, const Octets& plan2 = {}) {
    EtatAnalyse& a = Analyse;
    std::memset(a.LignesPlan, 0, sizeof a.LignesPlan);
    std::copy(plan0.begin(), plan0.end(), a.LignesPlan[0]);
    std::copy(plan1.begin(), plan1.end(), a.LignesPlan[1]);
    std::copy(plan2.begin(), plan2.end(), a.LignesPlan[2]);
    a.OctetsLigne = static_cast<std::int32_t>(plan0.size());
    a.PixelsLigne = pixels;
    Sortie.RasterX = x;
    Sortie.RasterY = y;
  }
  static Octets debut(const Octets& l, std::size_t n) { return Octets(l.begin(), l.begin() + static_cast<std::ptrdiff_t>(n)); }

};

TEST_F(Stockage, RastersAreMadeByTheirFirstRowAndHoldTheirInitialValue) {
  EXPECT_EQ(Sortie.hRasterGris, nullptr);
  ligne({0xF0}, 8, 8, 2);
  StockeLignePlan();
  ASSERT_NE(Sortie.hRastersClasse[0], nullptr);
  EXPECT_EQ(Sortie.LargeurRasterClasse, 31);  // 250 pixels
  EXPECT_EQ(Sortie.HauteurRasterClasse, 250);
  EXPECT_EQ(debut(ligneClasse(0, 2), 3), (Octets{0, 0xF0, 0}));
  EXPECT_EQ(ligneClasse(0, 249), Octets(31, 0));
  EXPECT_EQ(Sortie.RasterY, 3);
  EXPECT_EQ(Contexte.EtendueX, 16);
  EXPECT_EQ(Contexte.EtendueY, 3);
  EXPECT_EQ(Analyse.PlanCourant, -1);

  ligne({10, 20}, 2, 5, 1);
  StockeLigneGris(2);
  EXPECT_EQ(Sortie.LargeurRasterGris, 250);
  EXPECT_EQ(gris(1, 4, 4), (Octets{255, 10, 20, 255}));
  EXPECT_EQ(ligneGris(249), Octets(250, 255));

  // The power path starts from no power.
  TearDown();
  SetUp();
  ligne({0xFF}, 2, 0, 0, {0xFF}, {0xFF});
  StockeLigneConvertie();
  EXPECT_EQ(gris(0, 0, 3), (Octets{0, 0, 0}));  // white: no power
  EXPECT_EQ(ligneGris(249), Octets(250, 0));
}

TEST_F(Stockage, RowsBelowTheBottomMakeEveryRasterTallerAtItsInitialValue) {
  ligne({0x80}, 1);
  StockeLignePlan();
  ligne({7}, 1, 0, 260);
  StockeLigneGris(2);
  EXPECT_EQ(Sortie.HauteurRasterGris, 261);
  EXPECT_EQ(Sortie.HauteurRasterClasse, 261);
  EXPECT_EQ(Contexte.EtendueY, 261);
  EXPECT_EQ(ligneGris(255), Octets(250, 255));
  EXPECT_EQ(gris(260, 0, 2), (Octets{7, 255}));
  EXPECT_EQ(ligneClasse(0, 260), Octets(31, 0));
  // A raster made later is as tall as the others.
  Sortie.ClasseCourante = 3;
  ligne({0x80}, 1, 0, 4);
  StockeLignePlan();
  EXPECT_EQ(ligneClasse(3, 260), Octets(31, 0));
  // Class 8 stores nothing, yet its rows count and every raster reaches them.
  Sortie.ClasseCourante = 8;
  ligne({0xFF}, 8, 0, 300);
  StockeLignePlan();
  EXPECT_EQ(Sortie.RasterY, 301);
  EXPECT_EQ(Contexte.EtendueY, 301);
  EXPECT_EQ(ligneClasse(3, 300), Octets(31, 0));
  EXPECT_EQ(ligneGris(300), Octets(250, 255));
}

TEST_F(Stockage, RowsOutsideTheRasterAreRefusedWholeWithPlateSizeError) {
  auto refuse = [&](std::int32_t x, std::int32_t y, std::int32_t octets, bool plan) {
    ligne(Octets(static_cast<std::size_t>(octets), 0xFF), octets * (plan ? 8 : 1), x, y);
    return abandon([&] { plan ? StockeLignePlan() : StockeLigneGris(2); });
  };
  EXPECT_EQ(refuse(-1, 0, 1, false), MsgDimensionsPlaque);
  EXPECT_EQ(refuse(0, -1, 1, false), MsgDimensionsPlaque);
  EXPECT_EQ(refuse(249, 0, 2, false), MsgDimensionsPlaque);
  EXPECT_EQ(refuse(0, kTailleRasterMax, 1, false), MsgDimensionsPlaque);
  EXPECT_EQ(refuse(-3, 0, 1, true), MsgDimensionsPlaque);
  EXPECT_EQ(refuse(3, 0, 31, true), MsgDimensionsPlaque);  // 31 bytes and the carry
  EXPECT_EQ(refuse(248, 0, 1, false), -1);
  // Grey bytes: the bound is the byte count, as what is read and written.
  ligne({9, 9}, 100, 248, 1);
  EXPECT_EQ(abandon([] { StockeLigneGris(2); }), -1);
  EXPECT_EQ(refuse(0, 0, 31, true), -1);
  EXPECT_EQ(messages(), std::vector<std::string>(6, "Plate size error"));
  EXPECT_EQ(ligneGris(0), Octets(250, 255));  // nothing of the refused rows
  EXPECT_EQ(Contexte.EtendueX, 250);
}

// At 254 dpi a dot is 100 um: a plate of 26,212,600 um and its 5 mm make the tallest
// (or widest) page the store can reach. One dot more and the page is refused before any
// raster of it is created, whichever store its first row goes to.
TEST_F(Stockage, APageTheStoreCannotReachIsRefusedBeforeItsRasterIsMade) {
  constexpr std::uint32_t kPlaqueMax = 26212600;
  auto essaie = [&](std::uint32_t x, std::uint32_t y, int magasin) {
    TearDown();
    SetUp();
    regle(reglages().plate(x, y).u16(62, magasin == 2 ? 1 : 0));
    ligne({0xFF}, 8);
    const int message = abandon([&] {
      if (magasin == 0) StockeLignePlan();
      else if (magasin == 1) StockeLigneConvertie();
      else StockeLigneGris(2);
    });
    const bool cree = Sortie.hRasterGris || Sortie.hRastersClasse[0];
    return std::pair{message, cree};
  };
  for (int magasin = 0; magasin < 3; ++magasin) {
    EXPECT_EQ(essaie(20000, kPlaqueMax + 100, magasin), std::pair(static_cast<int>(MsgDimensionsPlaque), false)) << magasin;
    EXPECT_EQ(essaie(kPlaqueMax + 100, 20000, magasin), std::pair(static_cast<int>(MsgDimensionsPlaque), false)) << magasin;
    EXPECT_EQ(Sortie.RasterY, 0) << magasin;
  }
  EXPECT_EQ(essaie(20000, kPlaqueMax, 0), std::pair(-1, true));
  EXPECT_EQ(Sortie.HauteurRasterClasse, kTailleRasterMax);
  EXPECT_EQ(essaie(kPlaqueMax, 20000, 1), std::pair(-1, true));
  EXPECT_EQ(Sortie.LargeurRasterGris, kTailleRasterMax);
}

TEST_F(Stockage, APageOfMoreDotsThanAPageMayHoldIsRefusedAndSoAreRowsThatWouldMakeItSo) {
  // 10 dots per mm: a 1700 mm square is 290 M dots, a 1600 mm one 258 M.
  regle(reglages().plate(1700000, 1700000));
  ligne({0xFF}, 8);
  EXPECT_EQ(abandon([] { StockeLignePlan(); }), static_cast<int>(MsgDimensionsPlaque));
  EXPECT_EQ(Sortie.hRastersClasse[0], nullptr);

  TearDown();
  SetUp();
  regle(reglages().plate(1600000, 1600000));
  ligne({0xFF}, 8);
  EXPECT_EQ(abandon([] { StockeLignePlan(); }), -1);

  // A narrow page grows down to its rows, up to the same number of dots.
  TearDown();
  SetUp();
  regle(reglages().plate(1600000, 20000));
  ligne({0xFF}, 8, 0, 10000);
  EXPECT_EQ(abandon([] { StockeLignePlan(); }), -1);
  ligne({0xFF}, 8, 0, 20000);
  EXPECT_EQ(abandon([] { StockeLignePlan(); }), static_cast<int>(MsgDimensionsPlaque));
  EXPECT_EQ(Sortie.HauteurRasterClasse, 10001);
}

TEST_F(Stockage, AOneBitRowAtColumnThreeReachesOneMoreByteAndKeepsItsLeadingBits) {
  ligne({0xA0}, 3);
  StockeLignePlan();
  // 13 pixels in two bytes: the bits after the 13th are trimmed.
  ligne({0xFF, 0xFF}, 13, 3, 0);
  StockeLignePlan();
  EXPECT_EQ(debut(ligneClasse(0, 0), 4), (Octets{0xBF, 0xFF, 0x00, 0}));
  EXPECT_EQ(Contexte.EtendueX, 16);
}

TEST_F(Stockage, AWhitePaletteColourOverInkIsTransparentUnlessTheSourceIsOpaque) {
  regle(reglages().u16(62, 1));
  ligne({1, 2, 3}, 3);
  StockeLigneGris(2);
  // Palette entry 0 white, 1 black: a clear bit is white.
  ligne({0x40}, 3);
  StockeLignePlan();
  EXPECT_EQ(gris(0, 0, 3), (Octets{1, 0, 3}));
  Analyse.Transparence = 1;
  ligne({0x40}, 3);
  StockeLignePlan();
  EXPECT_EQ(gris(0, 0, 3), (Octets{255, 0, 255}));
}

TEST_F(Stockage, OneBitRowsInHpglModeTakeThePenColour) {
  regle(reglages().u16(62, 1));
  Contexte.ModeHPGL = 1;
  Contexte.StyloCourant = 2;  // red
  ligne({1, 2, 3, 4}, 4);
  StockeLigneGris(2);
  ligne({0x60}, 4, 0, 0);
  StockeLignePlan();
  EXPECT_EQ(gris(0, 0, 4), (Octets{1, 76, 76, 4}));
  Analyse.Transparence = 1;
  ligne({0x60}, 4, 0, 0);
  StockeLignePlan();
  EXPECT_EQ(gris(0, 0, 4), (Octets{255, 76, 76, 255}));
}

TEST_F(Stockage, MergeOperationsCombineTheRowWithWhatTheRasterHolds) {
  const std::pair<std::uint32_t, std::uint8_t> cas[] = {
      {0x000042, 0x00}, {0x1100A6, 0x03}, {0x330008, 0x0F}, {0x440328, 0xC0}, {0x550009, 0xC3},
      {0x660046, 0xCC}, {0x8800C6, 0x30}, {0xBB0226, 0x3F}, {0xEE0086, 0xFC}, {0xFF0062, 0xFF},
      {0x123456, 0xF0}, {0xCC0020, 0xF0}};
  std::int32_t y = 0;
  for (const auto& [code, attendu] : cas) {
    Contexte.OperationFusion = 0xCC0020;
    ligne({0x3C}, 1, 0, y);
    StockeLigneGris(2);
    Contexte.OperationFusion = code;
    ligne({0xF0}, 1, 0, y);
    StockeLigneGris(2);
    EXPECT_EQ(gris(y++, 0, 1), Octets{attendu}) << std::hex << code;
  }
  // xor of a row over the same values stores black.
  Contexte.OperationFusion = 0xCC0020;
  ligne({9, 200}, 2, 0, 0);
  StockeLigneGris(2);
  Contexte.OperationFusion = 0x660046;
  ligne({9, 200}, 2, 0, 0);
  StockeLigneGris(2);
  EXPECT_EQ(gris(0, 0, 2), (Octets{0, 0}));
}

TEST_F(Stockage, ThreePlanesGiveThePaletteGreysOrThePowerOfTheirColour) {
  // Pixels: black, red, yellow, white.
  const Octets p0{0x70}, p1{0x30}, p2{0x10};
  const std::string huitCouleurs = esc("*v6W") + std::string("\0\0\3\10\10\10", 6);
  regle(reglages().u16(62, 1));
  execute(huitCouleurs);
  ligne(p0, 4, 0, 0, p1, p2);
  StockeLigneConvertie();
  EXPECT_EQ(gris(0, 0, 4), (Octets{0, 76, 226, 255}));

  TearDown();
  SetUp();
  regle(reglages().u16(72, 60));
  execute(huitCouleurs);
  ligne(p0, 4, 0, 0, p1, p2);
  StockeLigneConvertie();
  // Levels 127, 106, 43, 0 less the threshold's 10.
  EXPECT_EQ(gris(0, 0, 4), (Octets{117, 96, 33, 0}));
  EXPECT_EQ(ConvertitGrisPuissance(1), 0);
  EXPECT_EQ(ConvertitGrisPuissance(100), 90);
  EXPECT_EQ(ConvertitGrisPuissance(200), 127);
  EXPECT_EQ(ConvertitGrisPuissance(0), 0);
}

TEST_F(Stockage, SaveSeedClearsTheTailOfTheRowAndCopiesIt) {
  EtatAnalyse& a = Analyse;
  std::memset(a.LignesPlan[1], 0x55, 8);
  a.OctetsLigne = 6;
  a.PlanCourant = 1;
  SauveLigneGraine(4);
  EXPECT_EQ(Octets(a.LignesPlan[1], a.LignesPlan[1] + 8), (Octets{0x55, 0x55, 0x55, 0x55, 0, 0, 0x55, 0x55}));
  EXPECT_EQ(Octets(a.LignesGraine[1], a.LignesGraine[1] + 7), (Octets{0x55, 0x55, 0x55, 0x55, 0, 0, 0}));
  EXPECT_EQ(a.LignesGraine[0][0], 0);
}

}  // namespace
