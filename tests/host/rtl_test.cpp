#include "fichiers_raster.h"
#include "hpgl_flux.h"
#include "raster_outils.h"
#include "rtl.h"

#include <zlib.h>

#include <cstring>
#include <fstream>
#include <iterator>
#include <sstream>

namespace {

using Octets = std::vector<std::uint8_t>;

class Rtl : public Raster {
 protected:
  const EtatAnalyse& a = Analyse;
  // Greys from three-plane rows: the switch on.
  void modeGris() { regle(reglages().u16(62, 1)); }
};

std::string lisFichier(const std::string& nom) {
  std::ifstream f(nom, std::ios::binary);
  return {std::istreambuf_iterator<char>(f), {}};
}

// A binary PGM ("P5", maxval 255) from a gzip file.
struct Pgm {
  int largeur = 0, hauteur = 0;
  Octets pixels;
};
Pgm lisPgm(const std::string& nom) {
  gzFile f = gzopen(nom.c_str(), "rb");
  EXPECT_NE(f, nullptr);
  std::string texte;
  char tampon[65536];
  for (int n; f && (n = gzread(f, tampon, sizeof tampon)) > 0;) texte.append(tampon, static_cast<std::size_t>(n));
  if (f) gzclose(f);
  std::istringstream entete(texte);
  std::string magique;
  int maximum = 0;
  Pgm p;
  entete >> magique >> p.largeur >> p.hauteur >> maximum;
  EXPECT_EQ(magique, "P5");
  EXPECT_EQ(maximum, 255);
  const auto debut = static_cast<std::size_t>(entete.tellg()) + 1;
  p.pixels.assign(texte.begin() + static_cast<std::ptrdiff_t>(debut), texte.end());
  EXPECT_EQ(p.pixels.size(), static_cast<std::size_t>(p.largeur) * static_cast<std::size_t>(p.hauteur));
  return p;
}

TEST_F(Rtl, AGhostscriptImageDecodesPixelForPixelIntoTheGreyRaster) {
  // 300 x 300 mm plate, 75 dpi as the image was made; greys through the palette.
  regle(reglages().plate(300000, 300000).rasterResolution(75).u16(62, 1));
  const Pgm attendu = lisPgm(EXEMPLES "/lines.pgm.gz");
  execute(lisFichier(EXEMPLES "/lines.rtl"));
  EXPECT_TRUE(messages().empty());
  EXPECT_EQ(Contexte.EtendueX, attendu.largeur);
  EXPECT_EQ(Contexte.EtendueY, attendu.hauteur);
  ASSERT_GE(Sortie.LargeurRasterGris, attendu.largeur);
  int differents = 0;
  for (int y = 0; y < attendu.hauteur; ++y) {
    const Octets ligne = ligneGris(y);
    for (int x = 0; x < Sortie.LargeurRasterGris; ++x) {
      const std::uint8_t voulu =
          x < attendu.largeur ? attendu.pixels[static_cast<std::size_t>(y * attendu.largeur + x)] : 255;
      differents += ligne[static_cast<std::size_t>(x)] != voulu;
    }
  }
  EXPECT_EQ(differents, 0);
  EXPECT_EQ(ligneGris(attendu.hauteur), Octets(static_cast<std::size_t>(Sortie.LargeurRasterGris), 255));
}

TEST_F(Rtl, SourceWidthAndImageConfigurationGiveTheRowLength) {
  execute(esc("*r800S"));
  EXPECT_EQ(a.OctetsLigne, 100);
  EXPECT_EQ(a.PixelsLigne, 800);
  EXPECT_EQ(a.DernierPlan, 0);
  // Three bits per index: the eight-colour palette; four more bytes than the three read.
  execute(esc("*v7W") + std::string("\0\0\3", 3) + "PA9," + "PA5,5;");
  EXPECT_EQ(lisible(enregistrements()), (std::vector<std::string>{"M 5,5"}));
  EXPECT_EQ(a.DernierPlan, 2);
  EXPECT_EQ(a.PlanCourant, -1);
  EXPECT_EQ(Contexte.PaletteRaster[1].Rouge, 255);
  EXPECT_EQ(Contexte.PaletteRaster[7].Bleu, 255);
  execute(esc("*v7W") + std::string("\0\0\1", 3) + "abcd");
  EXPECT_EQ(a.DernierPlan, 0);
  EXPECT_EQ(Contexte.PaletteRaster[0].Vert, 255);
  EXPECT_EQ(Contexte.PaletteRaster[1].Vert, 0);
  // Grey bytes: one plane whatever the bits, one byte per pixel.
  execute(esc("*v6W") + std::string("\12\0\10\10\10\10", 6) + esc("*r800S"));
  EXPECT_EQ(a.OctetsLigne, 800);
  EXPECT_EQ(a.DernierPlan, 0);
  // No bits, or more than there are planes for.
  execute(esc("*v3W") + std::string("\0\0\0", 3));
  EXPECT_EQ(a.DernierPlan, 0);
  execute(esc("*v3W") + std::string("\0\0\11", 3));
  EXPECT_EQ(a.DernierPlan, 2);
}

TEST_F(Rtl, PlanesAreCountedByTheConfigurationAndEachCompleteRowIsStored) {
  modeGris();
  execute(esc("*v6W") + std::string("\0\0\3\10\10\10", 6) + esc("*r8S"));
  // Two rows in one group: yellow, green, black; then magenta and black.
  execute(esc("*b0m" + transfert({0x80}, 'v') + transfert({0xC0}, 'v') + transfert({0}, 'w') +
              transfert({0x80}, 'v') + transfert({0}, 'v') + transfert({0x80})));
  EXPECT_EQ(Sortie.RasterY, 2);
  EXPECT_EQ(gris(0, 0, 3), (Octets{226, 150, 0}));
  EXPECT_EQ(gris(1, 0, 2), (Octets{104, 0}));
  EXPECT_EQ(a.PlanCourant, -1);
  // One plane: every transfer is a row.
  execute(esc("*v3W") + std::string("\0\0\1", 3) + esc("*b1v\xFF" "1W\xFF"));
  EXPECT_EQ(Sortie.RasterY, 4);
}

TEST_F(Rtl, TheCursorMovesAbsoluteOrRelativeAndANewRowClearsTheSeeds) {
  std::memset(Analyse.LignesGraine, 7, sizeof Analyse.LignesGraine);
  execute(esc("*p30x100Y"));
  EXPECT_EQ(Sortie.RasterX, 30);
  EXPECT_EQ(Sortie.RasterY, 100);
  EXPECT_EQ(a.LignesGraine[2][0], 0);
  std::memset(Analyse.LignesGraine, 7, sizeof Analyse.LignesGraine);
  execute(esc("*p-10X"));
  EXPECT_EQ(Sortie.RasterX, 20);
  EXPECT_EQ(a.LignesGraine[0][0], 7);  // x alone keeps them
  execute(esc("*p+100Y"));
  EXPECT_EQ(Sortie.RasterY, 200);
  EXPECT_EQ(a.LignesGraine[0][0], 0);
  // Cut off by a byte that is not a letter: nothing applies.
  execute(esc("*p5x6y7,"));
  EXPECT_EQ(Sortie.RasterX, 20);
  EXPECT_EQ(Sortie.RasterY, 200);
}

TEST_F(Rtl, GroupsSetModeClassPaletteTransparencyAndMerge) {
  execute("SP2;" + esc("%0B"));
  EXPECT_EQ(Sortie.ClasseCourante, 1);
  EXPECT_EQ(Contexte.ModeHPGL, 1);
  execute(esc("%1A"));
  EXPECT_EQ(Sortie.ClasseCourante, 0);
  EXPECT_EQ(Contexte.ModeHPGL, 0);
  execute(esc("*v255a128b5c3I"));
  EXPECT_EQ(Contexte.PaletteRaster[3].Rouge, 255);
  EXPECT_EQ(Contexte.PaletteRaster[3].Vert, 128);
  EXPECT_EQ(Contexte.PaletteRaster[3].Bleu, 5);
  EXPECT_EQ(Sortie.ClasseCourante, 7);  // orange
  EXPECT_EQ(a.Rouge + a.Vert + a.Bleu, 0);
  execute(esc("*v9a9I") + esc("*v-1I"));  // no such entries
  EXPECT_EQ(Sortie.ClasseCourante, 7);
  EXPECT_EQ(Contexte.PaletteRaster[7].Rouge, 255);
  execute(esc("*v1N"));
  EXPECT_EQ(a.Transparence, 1);
  execute(esc("*l102O"));
  EXPECT_EQ(Contexte.OperationFusion, 0x660046u);
  execute(esc("*l255O"));
  EXPECT_EQ(Contexte.OperationFusion, 0xFF0062u);
  execute(esc("*l300O"));
  EXPECT_EQ(Contexte.OperationFusion, 0xCC0020u);
  execute(esc("*t75R") + esc("*b5M") + esc("*rC"));
  EXPECT_EQ(a.ModeCompression, 0);
  EXPECT_EQ(a.PixelsLigne, 0);
}

// Rows of 32 pixels into class 0, read back.
class Decodeurs : public Rtl {
 protected:
  void SetUp() override {
    Rtl::SetUp();
    execute(esc("*r32S"));
  }
  Octets rangee(std::int32_t r) {
    const Octets l = ligneClasse(0, r);
    return Octets(l.begin(), l.begin() + 4);
  }
  std::string mode(int m) { return esc("*b" + std::to_string(m) + "M"); }
};

TEST_F(Decodeurs, EachModeDecodesItsRowsAndKeepsTheSeed) {
  execute(mode(0) + esc("*b" + transfert({1, 2, 3, 4})));
  execute(mode(1) + esc("*b" + transfert({1, 0xF0, 1, 0x0F})));
  // 0x80 does nothing; 1 copies two bytes; -1 repeats one byte twice.
  execute(mode(2) + esc("*b" + transfert({0x80, 0x01, 0xAA, 0x55, 0xFF, 0x33})));
  // On the seed (the last row): byte 1, then two bytes from position 3.
  execute(mode(3) + esc("*b" + transfert({0x01, 0x66, 0x21, 0x77, 0x88})));
  EXPECT_EQ(rangee(0), (Octets{1, 2, 3, 4}));
  EXPECT_EQ(rangee(1), (Octets{0xF0, 0xF0, 0x0F, 0x0F}));
  EXPECT_EQ(rangee(2), (Octets{0xAA, 0x55, 0x33, 0x33}));
  EXPECT_EQ(rangee(3), (Octets{0xAA, 0x66, 0x33, 0x77}));
  // 12 bits per row: two bytes a row, the last 4 bits trimmed.
  execute(mode(4) + esc("*b" + transfert({0, 0, 0, 12, 0xFF, 0xFF, 0x12, 0x34})));
  EXPECT_EQ(rangee(4), (Octets{0xFF, 0xF0, 0, 0}));
  EXPECT_EQ(rangee(5), (Octets{0x12, 0x30, 0, 0}));
  EXPECT_EQ(a.OctetsLigne, 2);
  // A raw row, two empty rows, an unknown block, one copy of the seed, a run-length row.
  execute(esc("*r32S") + mode(5) +
          esc("*b" + transfert({0, 0, 2, 9, 8, 4, 0, 2, 7, 0, 0, 5, 0, 1, 1, 0, 2, 3, 0x44})));
  EXPECT_EQ(rangee(6), (Octets{9, 8, 0, 0}));
  EXPECT_EQ(rangee(7), (Octets{0, 0, 0, 0}));
  EXPECT_EQ(rangee(8), (Octets{0, 0, 0, 0}));
  EXPECT_EQ(rangee(9), (Octets{0, 0, 0, 0}));
  EXPECT_EQ(rangee(10), (Octets{0x44, 0x44, 0x44, 0x44}));
  EXPECT_EQ(Sortie.RasterY, 11);
  EXPECT_EQ(a.PlanCourant, -1);
}

TEST_F(Decodeurs, GreyRowsGoToTheGreyRasterWhateverTheirCompression) {
  execute(esc("*v6W") + std::string("\12\0\10\10\10\10", 6) + esc("*r4S"));
  execute(mode(1) + esc("*b" + transfert({3, 0x80})));
  execute(mode(2) + esc("*b" + transfert({0xFE, 0x40})));
  EXPECT_EQ(gris(0, 0, 5), (Octets{0x80, 0x80, 0x80, 0x80, 255}));
  EXPECT_EQ(gris(1, 0, 5), (Octets{0x40, 0x40, 0x40, 0, 255}));  // a short row ends in zeros
  EXPECT_EQ(Sortie.hRastersClasse[0], nullptr);
}

TEST_F(Decodeurs, AGroupWhoseDataComesInTwoChunksStoresEachRowOnce) {
  // Two rows in one group, then a move.
  const std::string flux =
      mode(1) + esc("*b" + transfert({3, 0x11}, 'v') + transfert({1, 0x22, 1, 0x33})) + "PA7,7;";
  const std::size_t debutGroupe = mode(1).size();
  for (std::size_t coupe = debutGroupe + 4; coupe < flux.size() - 3; ++coupe) {
    TearDown();
    SetUp();
    // As the job entry runs it: command by command while more may come, then the rest.
    tampon_ = flux.substr(0, coupe);
    auto* o = reinterpret_cast<std::uint8_t*>(tampon_.data());
    Analyse.Tampon = Analyse.Curseur = o;
    Analyse.Fin = o + tampon_.size();
    Analyse.FinDePage = 0;
    const std::uint8_t* avant = nullptr;
    while (Analyse.Attente == 0 && Analyse.Curseur != Analyse.Fin && Analyse.Curseur != avant) {
      avant = Analyse.Curseur;
      AnalyseFluxHPGL();
    }
    execute(std::string(Analyse.Curseur, Analyse.Fin) + flux.substr(coupe));
    EXPECT_EQ(Sortie.RasterY, 2) << "cut at " << coupe;
    EXPECT_EQ(rangee(0), (Octets{0x11, 0x11, 0x11, 0x11})) << "cut at " << coupe;
    EXPECT_EQ(rangee(1), (Octets{0x22, 0x22, 0x33, 0x33})) << "cut at " << coupe;
    EXPECT_EQ(lisible(enregistrements()), std::vector<std::string>{"M 7,7"});
  }
}

TEST_F(Decodeurs, ADeltaOffsetOf31ExtendsWhileTheAddedByteIs255) {
  Sortie.ClasseCourante = 8;
  execute(esc("*r2400S") + mode(3) + esc("*b" + transfert({0x1F, 0xFF, 0x02, 0x77})));
  EXPECT_EQ(a.LignesGraine[0][288], 0x77);
  EXPECT_EQ(a.LignesGraine[0][287], 0);
  EXPECT_EQ(Sortie.RasterY, 1);
}

TEST_F(Decodeurs, CorruptRowsStayInTheirRowAndEveryTransferUsesExactlyItsBytes) {
  auto essaie = [&](int m, const Octets& donnees) {
    std::memset(Analyse.LignesPlan[1], 0x5A, kTailleLignePlan);
    std::memset(Analyse.LignesGraine[1], 0x5A, kTailleLignePlan);
    Sortie.ClasseCourante = 8;
    execute(mode(m) + esc("*b" + transfert(donnees)) + "PA7,7;");
    EXPECT_EQ(lisible(enregistrements()).back(), "M 7,7") << "mode " << m;
    EXPECT_EQ(Octets(a.LignesPlan[1], a.LignesPlan[1] + kTailleLignePlan), Octets(kTailleLignePlan, 0x5A));
    EXPECT_EQ(Octets(a.LignesGraine[1], a.LignesGraine[1] + kTailleLignePlan), Octets(kTailleLignePlan, 0x5A));
  };
  essaie(0, Octets(kTailleLignePlan + 100, 0xEE));
  EXPECT_EQ(a.LignesPlan[0][kTailleLignePlan - 1], 0xEE);
  Octets paires;
  for (int i = 0; i < 200; ++i) paires.insert(paires.end(), {0xFF, 0x11});
  essaie(1, paires);
  essaie(1, {3});  // a count without its byte
  essaie(2, {0x7F, 1, 2});  // a literal run longer than the transfer
  essaie(2, {0x81});        // a repeat without its byte
  Octets loin{0x1F};
  loin.insert(loin.end(), 200, 0xFF);
  loin.insert(loin.end(), {0x00, 0xEE, 0xE3, 1, 2, 3, 4, 5, 6, 7, 8});
  essaie(3, loin);
  essaie(4, {0, 0, 0, 0, 'P', 'A', '1'});  // no bits per row
  essaie(4, {0, 0});
  essaie(5, {0, 0x7F, 0xFF, 1, 2});  // a block longer than the transfer
  essaie(5, {4, 0});
  essaie(7, {'P', 'A', '1', ',', '1'});  // unknown compression
  EXPECT_EQ(Sortie.RasterY, 7);
  // Data that ends inside a transfer or a group.
  EXPECT_EQ(abandonne(esc("*b0m5W") + "abc"), MsgSyntaxe);
  EXPECT_EQ(abandonne(esc("*v6W") + "ab"), MsgSyntaxe);
  EXPECT_EQ(abandonne(esc("*r12")), MsgSyntaxe);
}

}  // namespace
