#include "fichiers_raster.h"
#include "impression.h"
#include "raster_outils.h"

namespace {

using Octets = std::vector<std::uint8_t>;
using V = std::vector<std::string>;

// 4 plotter units per dot (1016 per inch at 254 dpi); pen 1 is black, class 0.
class Remplissage : public Raster {
 protected:
  Octets rangee(std::int32_t r, int classe = 0) {
    const Octets l = ligneClasse(classe, r);
    return Octets(l.begin(), l.begin() + 10);
  }
  // Rows [de, a) of class 0 hold the row, the rows around them nothing.
  void rangees(std::int32_t de, std::int32_t a, const Octets& attendu) {
    if (de > 0) {
      EXPECT_EQ(rangee(de - 1), Octets(10, 0));
    }
    for (std::int32_t r = de; r < a; ++r) EXPECT_EQ(rangee(r), attendu) << "row " << r;
    EXPECT_EQ(rangee(a), Octets(10, 0));
  }
  static constexpr const char* kCarre = "PM0;PA0,0;PD100,0,100,100,0,100;PM2;FP;";
};

TEST_F(Remplissage, FPFillsTheSquareInTheCurrentClassAndGivesTheRasterStateBack) {
  Analyse.Transparence = 0;
  Sortie.RasterX = 7;
  Sortie.RasterY = 9;
  execute(std::string("SP1;") + kCarre);
  // 100 units are 25 dots; with the outline the shape spans 26.
  rangees(0, 26, {0xFF, 0xFF, 0xFF, 0xC0, 0, 0, 0, 0, 0, 0});
  EXPECT_EQ(Sortie.RasterX, 7);
  EXPECT_EQ(Sortie.RasterY, 9);
  EXPECT_EQ(Analyse.Transparence, 0);
  EXPECT_EQ(Contexte.ModeHPGL, 0);
  EXPECT_EQ(Analyse.PixelsLigne, 26);
  EXPECT_EQ(Contexte.EtendueY, 26);
  EXPECT_EQ(lisible(enregistrements()), (V{"C 0"}));  // no vector for the fill
  // Elsewhere on the page: from column and row 50.
  execute("PA200,200;PM0;PD300,200,300,300,200,300;PM2;FP;");
  rangees(50, 76, {0, 0, 0, 0, 0, 0, 0x3F, 0xFF, 0xFF, 0xF0});
}

TEST_F(Remplissage, RRFillsItsRectangleAndNothingWithoutDy) {
  execute("SP1;PA40,80;RR100;");
  EXPECT_EQ(Sortie.ModePolygone, 0);
  EXPECT_EQ(Sortie.hRastersClasse[0], nullptr);
  // x and y exchanged on the page: 15 columns from 20, 25 rows from 10.
  execute("RR100,60;");
  rangees(10, 35, {0, 0, 0x0F, 0xFF, 0xE0, 0, 0, 0, 0, 0});
  // A new page keeps the box but not the points: FP has nothing to fill.
  Sortie.NombrePointsPolygone = 0;
  execute("PA1000,1000;FP;");
  EXPECT_EQ(Contexte.EtendueY, 35);
  EXPECT_TRUE(messages().empty());
}

TEST_F(Remplissage, SubPathsFillByTheAlternateRule) {
  execute("SP1;PA0,0;PM0;PD100,0,100,100,0,100;PM1;PU30,30;PD70,30,70,70,30,70;PM2;FP;");
  EXPECT_EQ(rangee(5), (Octets{0xFF, 0xFF, 0xFF, 0xC0, 0, 0, 0, 0, 0, 0}));
  EXPECT_EQ(rangee(12), (Octets{0xFF, 0x80, 0x3F, 0xC0, 0, 0, 0, 0, 0, 0}));
}

TEST_F(Remplissage, TheInputWindowCutsTheFillOrDropsIt) {
  execute("SP1;IW1000,1000,2000,2000;" + std::string(kCarre));
  EXPECT_EQ(Sortie.hRastersClasse[0], nullptr);
  // The window ends 15 dots down: 16 rows of the 26.
  execute("IW0,0,60,400;" + std::string(kCarre));
  rangees(0, 16, {0xFF, 0xFF, 0xFF, 0xC0, 0, 0, 0, 0, 0, 0});
  // It starts 5 dots right: the row's first byte loses its first 5 bits.
  TearDown();
  SetUp();
  execute("SP1;IW0,20,400,400;" + std::string(kCarre));
  rangees(0, 26, {0x07, 0xFF, 0xFF, 0xC0, 0, 0, 0, 0, 0, 0});
}

TEST_F(Remplissage, WhiteFillsNothingAndGreysTakeThePenColour) {
  execute("PC1,255,255,255;SP1;" + std::string(kCarre));
  EXPECT_EQ(Sortie.hRastersClasse[0], nullptr);
  EXPECT_EQ(Sortie.hRasterGris, nullptr);
  regle(reglages().u16(62, 1));
  execute("SP2;" + std::string(kCarre));  // red
  Octets attendu(28, 76);
  attendu[26] = attendu[27] = 255;
  EXPECT_EQ(gris(3, 0, 28), attendu);
}

TEST_F(Remplissage, FailuresOfGdiAreBitmapErrorsAndOfMemoryMemoryErrors) {
  using win32test::Call;
  for (Call c : {Call::GetDC, Call::CreateCompatibleDC, Call::CreateCompatibleBitmap, Call::SelectObject,
                 Call::CreatePen, Call::Polygon, Call::GetObject, Call::GetBitmapBits}) {
    win32test::inject(c);
    EXPECT_EQ(abandonne(std::string("SP1;") + kCarre), MsgBitmap);
  }
  win32test::inject(Call::SelectObject, win32test::Fault::Fail, 2);
  EXPECT_EQ(abandonne(kCarre), MsgBitmap);
  win32test::inject(Call::Allocation);
  EXPECT_EQ(abandonne(kCarre), MsgMemoire);
  win32test::inject(Call::Allocation, win32test::Fault::Fail, 2);
  EXPECT_EQ(abandonne(kCarre), MsgMemoire);
  V attendu(9, "Bitmap error");
  attendu.insert(attendu.end(), 2, "Memory error");
  EXPECT_EQ(messages(), attendu);
  EXPECT_EQ(Sortie.hRastersClasse[0], nullptr);
}

// The page holds 250 rows and 250 columns. A box of 100,000,000 rows is drawn and stored
// only as far as the page goes; a row past its right edge is refused, as a raster row is.
TEST_F(Remplissage, AFillStopsAtThePageBottomAndPastTheRightEdgeIsRefused) {
  const std::string haute = "PM0;PA0,0;PD400000000,0,400000000,100,0,100;PM2;FP;";
  execute("SP1;" + haute);
  EXPECT_TRUE(messages().empty());
  EXPECT_EQ(rangee(249), (Octets{0xFF, 0xFF, 0xFF, 0xC0, 0, 0, 0, 0, 0, 0}));
  EXPECT_EQ(Contexte.EtendueY, 250);
  EXPECT_EQ(Analyse.PixelsLigne, 26);
  EXPECT_EQ(abandonne("PM0;PA0,0;PD100,0,100,4000000,0,4000000;PM2;FP;"), MsgDimensionsPlaque);

  // White stores nothing but the extent of the rows, as far as the page goes.
  TearDown();
  SetUp();
  execute("PC1,255,255,255;SP1;" + haute);
  EXPECT_TRUE(messages().empty());
  EXPECT_EQ(Sortie.hRastersClasse[0], nullptr);
  EXPECT_EQ(Contexte.EtendueX, 26);
  EXPECT_EQ(Contexte.EtendueY, 250);
}

// Through the job entry: the page's printer context, merge row and rasters live with the page.
class PageRaster : public Entree {};

TEST_F(PageRaster, APageWithAFillAndAnImageLeavesNothingBehindWhetherWrittenOrDiscarded) {
  Impression i;
  const std::size_t ouverts = win32test::openHandles();
  const std::string image = esc("*r8S") + esc("*b1W") + "\xF0";
  win32test::inject(win32test::Call::GetDC);  // the fill draws compatibly with the printer
  EXPECT_EQ(i.flux("IN;SP1;PM0;PA0,0;PD100,0,100,100,0,100;PM2;FP;" + image + "PG;", settings::Record::typical()), 1);
  EXPECT_EQ(Contexte.ContexteImprimante, nullptr);
  EXPECT_EQ(Contexte.LigneFond, nullptr);
  EXPECT_EQ(win32test::openHandles(), ouverts);
  // A row past the plate's edge: the job goes.
  EXPECT_EQ(i.flux("IN;" + esc("*p0x0Y") + esc("*r8S") + esc("*p2000X") + esc("*b1W") + "\xF0PG;",
                   settings::Record::typical()),
            0);
  EXPECT_EQ(messages(), V{"Plate size error"});
  EXPECT_EQ(Contexte.LigneFond, nullptr);
  EXPECT_EQ(Sortie.hRasterGris, nullptr);
  EXPECT_EQ(win32test::openHandles(), ouverts);
}

}  // namespace
