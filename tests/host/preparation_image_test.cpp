// Image preparation on small temp rasters: rescaling, the power tables, the screen,
// error diffusion and the relief rings.
#include "fichiers_raster.h"
#include "preparation_image.h"
#include "raster_outils.h"

#include <string>
#include <vector>

namespace {

using Octets = std::vector<std::uint8_t>;

class Preparation : public Raster {
 protected:
  void TearDown() override {
    if (Sortie.hRasterGris) CloseHandle(Sortie.hRasterGris);
    Sortie.hRasterGris = nullptr;
    Raster::TearDown();
  }

  // The grey raster holding these rows, as the current image.
  void image(const std::vector<Octets>& lignes) {
    Sortie.hRasterGris = CreeFichierTemp(Contexte);
    const auto w = static_cast<std::int32_t>(lignes.empty() ? 0 : lignes[0].size());
    for (std::size_t r = 0; r < lignes.size(); ++r)
      EcritRangee(Contexte, Sortie.hRasterGris, static_cast<std::int64_t>(r), w, 0, lignes[r].size(), lignes[r].data());
    Sortie.LargeurRasterGris = Sortie.LargeurCourante = w;
    Sortie.HauteurRasterGris = Sortie.HauteurCourante = static_cast<std::int32_t>(lignes.size());
  }

  std::vector<Octets> lignes() {
    std::vector<Octets> l(static_cast<std::size_t>(Sortie.HauteurCourante), Octets(static_cast<std::size_t>(Sortie.LargeurCourante)));
    for (std::size_t r = 0; r < l.size(); ++r)
      LitRangee(Contexte, Sortie.hRasterGris, static_cast<std::int64_t>(r), Sortie.LargeurCourante, 0, l[r].size(), l[r].data());
    return l;
  }

  void resolutions(int page, int x, int y) {
    Contexte.ResolutionRaster = page;
    Contexte.Entete.Champs[ChDpiX] = x;
    Contexte.Entete.Champs[ChDpiY] = y;
  }
};

TEST(Fraction, MarkingOverPageResolutionAsWholeAndFraction) {
  std::int32_t e = -1, r = -1, p = -1;
  EXPECT_EQ(DecomposeFraction(300, 500, e, r, p), 1);
  EXPECT_EQ((std::vector<int>{e, r, p}), (std::vector<int>{1, 2, 3}));
  EXPECT_EQ(DecomposeFraction(600, 400, e, r, p), 1);
  EXPECT_EQ((std::vector<int>{e, r, p}), (std::vector<int>{0, 2, 3}));
  EXPECT_EQ(DecomposeFraction(300, 300, e, r, p), 1);
  EXPECT_EQ((std::vector<int>{e, r, p}), (std::vector<int>{0, 1, 1}));
  EXPECT_EQ(DecomposeFraction(300, 900, e, r, p), 1);
  EXPECT_EQ((std::vector<int>{e, r, p}), (std::vector<int>{3, 0, 0}));
  EXPECT_EQ(DecomposeFraction(0, 300, e, r, p), 0);
  EXPECT_EQ((std::vector<int>{e, r, p}), (std::vector<int>{0, 0, 0}));
}

TEST_F(Preparation, From300To500DotsThreePixelsBecomeFive) {
  resolutions(300, 500, 300);
  image({{1, 2, 3, 4, 5, 6}, {7, 8, 9, 10, 11, 12}});
  AugmenteDpiGris(Contexte, Sortie);
  EXPECT_EQ(lignes(), (std::vector<Octets>{{1, 1, 2, 2, 3, 4, 4, 5, 5, 6}, {7, 7, 8, 8, 9, 10, 10, 11, 11, 12}}));
}

TEST_F(Preparation, From600To400RowsTwoOfEveryThreeRemain) {
  resolutions(600, 600, 400);
  image({{1}, {2}, {3}, {4}, {5}, {6}, {7}});
  AugmenteDpiGris(Contexte, Sortie);
  // Rows 0 and 1 of every three; row 6 still has its step below it.
  EXPECT_EQ(lignes(), (std::vector<Octets>{{1}, {2}, {4}, {5}, {7}}));
}

TEST_F(Preparation, EqualResolutionsLeaveTheImageAndOneBelowOneAboveDoBoth) {
  resolutions(300, 300, 300);
  image({{1, 2}, {3, 4}});
  AugmenteDpiGris(Contexte, Sortie);
  EXPECT_EQ(lignes(), (std::vector<Octets>{{1, 2}, {3, 4}}));
  CloseHandle(Sortie.hRasterGris);
  resolutions(300, 150, 600);
  image({{1, 2, 3, 4}, {5, 6, 7, 8}});
  AugmenteDpiGris(Contexte, Sortie);
  EXPECT_EQ(lignes(), (std::vector<Octets>{{1, 3}, {1, 3}, {5, 7}, {5, 7}}));
}

TEST_F(Preparation, AResolutionOf0OrOneTooLargeForTheRowsIsADpiError) {
  resolutions(0, 300, 300);
  image({{1}});
  EXPECT_EQ(abandon([] { AugmenteDpiGris(Contexte, Sortie); }), MsgDpi);
  resolutions(300, 0, 300);
  EXPECT_EQ(abandon([] { AugmenteDpiGris(Contexte, Sortie); }), MsgDpi);
  CloseHandle(Sortie.hRasterGris);
  resolutions(1, 65535, 300);
  image({Octets(100, 1)});
  EXPECT_EQ(abandon([] { AugmenteDpiGris(Contexte, Sortie); }), MsgDpi);
  EXPECT_EQ(messages().back(), "DPI error");
}

TEST_F(Preparation, PenBitsRescaleWithTheirUsedWidth) {
  resolutions(300, 600, 300);
  HANDLE& h = Sortie.hRastersClasse[0];
  h = CreeFichierTemp(Contexte);
  const Octets l{0xA0};  // 3 used dots: 1 0 1
  EcritRangee(Contexte, h, 0, 1, 0, 1, l.data());
  Sortie.ClasseCourante = 0;
  Sortie.LargeurCourante = 1;
  Sortie.HauteurCourante = 1;
  Contexte.LargeurPixelsStylo = 3;
  AugmenteDpiStylo(Contexte, Sortie);
  // Every bit of the byte doubles, padding included.
  EXPECT_EQ(Sortie.LargeurCourante, 2);
  EXPECT_EQ(Contexte.LargeurPixelsStylo, 16);
  Octets o(2);
  LitRangee(Contexte, h, 0, 2, 0, 2, o.data());
  EXPECT_EQ(o, (Octets{0xCC, 0x00}));
  // Down to 150: every other of the 16 dots.
  resolutions(300, 150, 300);
  AugmenteDpiStylo(Contexte, Sortie);
  EXPECT_EQ(Contexte.LargeurPixelsStylo, 8);
  LitRangee(Contexte, h, 0, 1, 0, 1, o.data());
  EXPECT_EQ(o[0], 0xA0);
}

TEST_F(Preparation, SquareRootPowerTableEnds) {
  regle(reglages().u16(72, 50));
  const auto t = TablePuissanceRacine();
  EXPECT_EQ(t[0], ConvertitGrisPuissance(127));
  EXPECT_EQ(t[0], 127);
  EXPECT_EQ(t[255], 0);
  EXPECT_EQ(t[254], 8);  // 127 / sqrt(255)
}

TEST_F(Preparation, ScreenLevelsFromDarkness) {
  const auto ndg = TableNiveauxTrame(50);
  EXPECT_EQ(ndg[0], 255);
  EXPECT_EQ(ndg[128], 127);
  EXPECT_EQ(ndg[255], 0);
  EXPECT_EQ(TableNiveauxTrame(0)[200], 182);  // a threshold of 0 darkens by 2.55 x 50, 127
  int encre64 = 0, encre0 = 0, encre1 = 0;
  for (int y = 0; y < 8; ++y)
    for (int x = 0; x < 8; ++x) {
      encre64 += CelluleTrame(64, y, x);
      encre0 += CelluleTrame(0, y, x);
      encre1 += CelluleTrame(1, y, x);
    }
  EXPECT_EQ(encre64, 64);
  EXPECT_EQ(encre0, 0);
  EXPECT_EQ(encre1, 1);
  EXPECT_TRUE(CelluleTrame(1, 3, 3));
}

TEST_F(Preparation, BlackScreensToFullPowerAndWhiteToNothing) {
  regle(reglages().u16(66, 1).u16(72, 50));
  image(std::vector<Octets>(8, Octets{0, 0, 0, 0, 0, 0, 0, 0, 255, 255}));
  TrameNiveauxGris(Contexte, Sortie);
  for (const Octets& l : lignes()) EXPECT_EQ(l, (Octets{127, 127, 127, 127, 127, 127, 127, 127, 0, 0}));
  // With relief ink is 1.
  regle(reglages().u16(86, 1).u16(72, 50));
  CloseHandle(Sortie.hRasterGris);
  image({Octets{0, 255}});
  TrameNiveauxGris(Contexte, Sortie);
  EXPECT_EQ(lignes()[0], (Octets{1, 0}));
}

TEST_F(Preparation, DiffusionSpreadsTheErrorAndMapsToPower) {
  regle(reglages().u16(70, 1).u16(72, 50));
  image({{100, 100}, {100, 100}});
  DiffusePuissance(Contexte, Sortie);
  // Row 0: 100 -> 0 (error 100: 7/16 right = 143), 143 -> 255; row 1 from 131 - 21 and
  // 106 - 35: both below 128.
  EXPECT_EQ(lignes(), (std::vector<Octets>{{127, 0}, {127, 127}}));
}

TEST_F(Preparation, ReliefRingsRampAroundTheInkAndAWidthOf0ChangesNothing) {
  Contexte.Entete.Champs[ChDpiX] = Contexte.Entete.Champs[ChDpiY] = 1000;
  // Ramp width 0: the screened 0/1 image stays.
  regle(reglages().u16(86, 1).u16(90, 0).resolution(1000, 1000));
  image({{0, 0, 0, 0, 0}, {0, 0, 1, 0, 0}, {0, 0, 0, 0, 0}});
  AppliqueContourPuissance(Contexte, Sortie);
  EXPECT_EQ(lignes(), (std::vector<Octets>{{0, 0, 0, 0, 0}, {0, 0, 1, 0, 0}, {0, 0, 0, 0, 0}}));
  CloseHandle(Sortie.hRasterGris);
  // Two rings (51 um at 1000 dpi), the first rising to 50 %.
  regle(reglages().u16(86, 1).u16(88, 50).u16(90, 51).u16(92, 25).resolution(1000, 1000));
  image({{0, 0, 0, 0, 0}, {0, 0, 1, 0, 0}, {0, 0, 0, 0, 0}});
  AppliqueContourPuissance(Contexte, Sortie);
  const auto tab = TablePuissanceRelief(2, 1, 50);
  EXPECT_EQ(tab[2], 63);  // 50 x 1.27
  EXPECT_EQ(tab[3], 127);
  // The first ring closes the corners too (rows, then columns); the second is full power.
  EXPECT_EQ(lignes(), (std::vector<Octets>{{127, 63, 63, 63, 127}, {127, 63, 0, 63, 127}, {127, 63, 63, 63, 127}}));
}

TEST_F(Preparation, TheRampTableNeverPassesIts260Entries) {
  const auto t = TablePuissanceRelief(254, 100000, 100);
  EXPECT_EQ(t[0], 127);
  EXPECT_EQ(t[1], 0);
  EXPECT_EQ(t[259], 127);  // the clamped start reaches full ramp at the table's end
  const auto u = TablePuissanceRelief(10, 0, 40);
  EXPECT_EQ(u[2], 58);  // 50.8 + 76.2 x 1 / 10, truncated
  EXPECT_GE(u[11], 126);
}

TEST_F(Preparation, SmallMemoryStillMovesTheRingBlocksOn) {
  win32test::setAvailablePhysical(30);
  regle(reglages().u16(86, 1).u16(88, 50).u16(90, 26).u16(92, 0).resolution(1000, 1000));
  std::vector<Octets> dessin(40, Octets(4, 0));
  dessin[20][1] = 1;
  image(dessin);
  AppliqueContourPuissance(Contexte, Sortie);
  win32test::setAvailablePhysical(0);
  const auto l = lignes();
  EXPECT_EQ(l[20], (Octets{127, 0, 127, 127}));
  EXPECT_EQ(l[19][1], 127);  // one ring at full power
  EXPECT_EQ(l[0], (Octets{127, 127, 127, 127}));
}

}  // namespace
