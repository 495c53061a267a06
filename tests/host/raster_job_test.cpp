// Raster pages into the job: image preparation, bands and sub-bands, line records,
// moves, passes, and the images rebuilt from the job by the shared decoder.
#include "fichiers_raster.h"
#include "impression.h"
#include "preparation_image.h"
#include "raster_dots.h"
#include "raster_job.h"
#include "raster_outils.h"

#include <algorithm>
#include <set>
#include <string>
#include <utility>
#include <vector>

namespace {

using Octets = std::vector<std::uint8_t>;
using Cases = std::set<std::pair<int, int>>;  // column, row

// One-plane rows drawn with '#' for ink.
Octets rangeeBits(const std::string& dessin) {
  Octets o((dessin.size() + 7) / 8, 0);
  for (std::size_t i = 0; i < dessin.size(); ++i)
    if (dessin[i] == '#') o[i / 8] = static_cast<std::uint8_t>(o[i / 8] | 0x80 >> (i % 8));
  return o;
}

// A page whose one-plane rows go to colour class 0 (ESC%1A), after what avant sets.
std::string pageBits(const std::vector<std::string>& dessin, const std::string& avant = "") {
  std::size_t largeur = 0;
  for (const auto& l : dessin) largeur = std::max(largeur, l.size());
  std::string s = "IN;" + avant + esc("%1A") + esc("*r" + std::to_string(largeur) + "S");
  for (const auto& l : dessin) s += esc("*b" + transfert(rangeeBits(l)));
  return s + esc("%0B") + "PG;";
}

// Grey bytes, '#' black and '.' white, into the grey raster.
std::string pageGris(const std::vector<std::string>& dessin) {
  std::size_t largeur = 0;
  for (const auto& l : dessin) largeur = std::max(largeur, l.size());
  std::string s = "IN;" + esc("%1A") + esc("*v6W") + std::string("\12\0\10\10\10\10", 6) +
                  esc("*r" + std::to_string(largeur) + "S");
  for (const auto& l : dessin) {
    // Whole rows: a short one would end in black.
    Octets o(largeur, 255);
    for (std::size_t i = 0; i < l.size(); ++i) o[i] = l[i] == '#' ? 0 : 255;
    s += esc("*b" + transfert(o));
  }
  return s + esc("%0B") + "PG;";
}

Cases cases(const std::vector<std::string>& dessin) {
  Cases c;
  for (std::size_t y = 0; y < dessin.size(); ++y)
    for (std::size_t x = 0; x < dessin[y].size(); ++x)
      if (dessin[y][x] == '#') c.insert({static_cast<int>(x), static_cast<int>(y)});
  return c;
}

Cases demandees(const jobfile::Job& j) {
  Cases c;
  for (const auto& d : rasterdots::askedDots(j)) c.insert({d.column, d.row});
  return c;
}

// Pen 0 marks rasters; page and marking resolutions equal.
settings::Record reglagesStylo() {
  settings::Record r = settings::Record::typical();
  r.pen(0, 500, 1, 1, 20000, 50);
  return r;
}

// Greys through the palette, mapped to power with a neutral threshold.
settings::Record reglagesGris() { return reglagesStylo().u16(62, 1).u16(72, 50); }

// Codes of the records between the pen's settings and the page end.
std::string codesRaster(const jobfile::Job& j) {
  std::string s;
  int ai = 0;
  for (const auto& r : j.records) {
    if (r.code == "AI" && ++ai == 2) break;
    if (ai == 1 && r.code != "AI") s += (s.empty() ? "" : " ") + r.code;
  }
  return s;
}

std::vector<std::int32_t> deplacements(const jobfile::Job& j, const char* code) {
  std::vector<std::int32_t> v;
  for (std::size_t i = 0; i + 1 < j.records.size(); ++i)
    if (j.records[i].code == code && j.records[i + 1].code == code) {
      v.push_back(jobfile::pair32(j.records[i], j.records[i + 1]));
      ++i;
    }
  return v;
}

class ImageRaster : public Entree {};

TEST_F(ImageRaster, APenImageBecomesC1C2LinesThatRebuildIt) {
  const std::vector<std::string> dessin = {"..####....", "..#..#....", "..####....", "", "......##", "......##"};
  const jobfile::Job j = imprime(pageBits(dessin), reglagesStylo());
  EXPECT_TRUE(messages().empty());
  // Two bands: three lines then R5; two lines, no R5. The head starts at the first
  // band's corner: no move to it.
  EXPECT_EQ(codesRaster(j), "C1 C2 C1 R5 RX RX RY RY C1 C2");
  EXPECT_EQ(demandees(j), cases(dessin));
  // The pen's settings records come first.
  EXPECT_EQ(j.find("PW")[0]->value, 50);
  EXPECT_EQ(j.find("VD")[0]->value, 500);
}

TEST_F(ImageRaster, AGreyImageBecomesC3C4LinesOfPowerLevels) {
  const std::vector<std::string> dessin = {"##..##", "######", ".####."};
  const jobfile::Job j = imprime(pageGris(dessin), reglagesGris());
  EXPECT_TRUE(messages().empty());
  EXPECT_EQ(codesRaster(j), "C3 C4 C3 R5");
  EXPECT_EQ(demandees(j), cases(dessin));
  // Black is full power after the square-root law; white no power.
  for (const auto& d : rasterdots::askedDots(j)) EXPECT_EQ(d.value, 127u);
  const auto c3 = j.find("C3");
  EXPECT_EQ(jobfile::unpackBits(c3[0]->line), (Octets{127, 127, 0, 0, 127, 127}));
}

TEST_F(ImageRaster, ARowShiftedBySixDotsStartsANewSubBandWithItsOwnMove) {
  // The band's last row is always taken: the shifted rows come before it.
  const std::vector<std::string> cinq = {"#####.......", ".....#####..", ".....#####.."};
  jobfile::Job j = imprime(pageGris(cinq), reglagesGris());
  EXPECT_EQ(codesRaster(j), "C3 C4 C3 R5");
  EXPECT_EQ(demandees(j), cases(cinq));
  const std::vector<std::string> six = {"#####.......", "......#####.", "......#####."};
  j = imprime(pageGris(six), reglagesGris());
  // The second sub-band has its own move and starts forward again.
  EXPECT_EQ(codesRaster(j), "C3 R5 RX RX RY RY C3 C4");
  EXPECT_EQ(deplacements(j, "RX"), (std::vector<std::int32_t>{6}));
  EXPECT_EQ(demandees(j), cases(six));
}

TEST_F(ImageRaster, AnImageWithoutInkWritesNoMoveNoLineAndNoFocus) {
  const jobfile::Job j = imprime(pageBits({"....", "...."}), reglagesStylo());
  EXPECT_EQ(j.codes(), "PW FR FR VD AI AI PU TE TE OP JF");
}

TEST_F(ImageRaster, PassesRepeatTheImageWithFocusSteps) {
  const std::vector<std::string> dessin = {"##", "##"};
  // Three passes from focus 0 to 200 (settings tenths): 'RF' 10 before each later pass.
  settings::Record r = reglagesStylo();
  r.pen(0, 500, 3, 1, 20000, 50).penFocus(0, 200, 0);
  const jobfile::Job j = imprime(pageBits(dessin), r);
  std::vector<int> rf;
  for (const auto* x : j.find("RF")) rf.push_back(x->svalue());
  EXPECT_EQ(rf, (std::vector<int>{10, 10, -20}));
  EXPECT_EQ(j.find("C1").size(), 3u);
  // Every pass goes back to the image's first row.
  EXPECT_EQ(deplacements(j, "RY"), (std::vector<std::int32_t>{-2, -2}));
}

TEST_F(ImageRaster, PassesThatWouldOverflowTheJobAreDroppedWithOneMemoryMessage) {
  std::vector<std::string> dessin;
  for (int i = 0; i < 48; ++i) dessin.push_back(i % 2 ? std::string(64, '#') : std::string(32, '.') + std::string(32, '#'));
  settings::Record r = reglagesStylo();
  r.pen(0, 500, 32000, 1, 20000, 50);
  const jobfile::Job j = imprime(pageBits(dessin), r);
  EXPECT_EQ(messages(), std::vector<std::string>{"Memory error"});
  const std::size_t lignes = j.find("C1").size() + j.find("C2").size();
  EXPECT_GT(lignes, 48u * 1000);
  EXPECT_LT(lignes, 48u * 32000);
  EXPECT_EQ(lignes % 48, 0u);  // whole passes only
  EXPECT_EQ(j.codes().substr(j.codes().size() - 2), "JF");
}

TEST_F(ImageRaster, BottomUpOrderWritesEveryBandOnceFromTheLastRow) {
  const std::vector<std::string> dessin = {"##......", "##......", "", "....###.", "....#...", "....###.",
                                           "", "", "#......#"};
  settings::Record r = reglagesStylo();
  r.options(0x100);
  const jobfile::Job j = imprime(pageBits(dessin), r);
  EXPECT_TRUE(messages().empty());
  EXPECT_EQ(j.find("C1").size() + j.find("C2").size(), 6u);
  EXPECT_EQ(demandees(j), cases(dessin));
  // The last band first.
  EXPECT_EQ(deplacements(j, "RY").front(), 8);
}

TEST_F(ImageRaster, RowsReadAFewAtATimeWriteTheSameJobInBothOrders) {
  std::vector<std::string> dessin;
  for (std::size_t y = 0; y < 23; ++y) dessin.push_back(std::string(y % 7, '.') + (y % 5 == 3 ? "" : "##.#"));
  for (bool gris : {false, true})
    for (std::uint32_t options : {0u, 0x100u}) {
      SCOPED_TRACE(std::string(gris ? "grey" : "pen") + (options ? ", bottom up" : ""));
      settings::Record r = gris ? reglagesGris() : reglagesStylo();
      r.options(options).pen(0, 500, 2, 1, 20000, 50);
      const std::string page = gris ? pageGris(dessin) : pageBits(dessin);
      const std::vector<std::uint8_t> entier = imprimeOctets(page, r);
      // So little memory that the writer reads 16 one-plane rows or 3 grey rows at a time.
      win32test::setAvailablePhysical(48);
      const std::vector<std::uint8_t> parBlocs = imprimeOctets(page, r);
      win32test::setAvailablePhysical(0);
      EXPECT_TRUE(messages().empty());
      EXPECT_EQ(parBlocs, entier);
      EXPECT_EQ(demandees(jobfile::decode(entier)), cases(dessin));
    }
}

TEST_F(ImageRaster, ColumnGroupsTakeAllTheirPassesBeforeTheNextGroup) {
  const std::vector<std::string> dessin = {"##......##", "##......##"};
  settings::Record r = reglagesStylo();
  r.pen(0, 500, 2, 1, 20000, 50).options(0x200);
  const jobfile::Job j = imprime(pageGris(dessin), r.u16(62, 1).u16(72, 50));
  EXPECT_EQ(j.find("C3").size(), 4u);
  EXPECT_EQ(demandees(j), cases(dessin));
  // Group one twice, then group two twice.
  EXPECT_EQ(deplacements(j, "RX"), (std::vector<std::int32_t>{0, 8, 0}));
}

TEST_F(ImageRaster, TurnedImagesKeepTheirDotsWhereTheOrientationPutsThem) {
  const std::vector<std::string> dessin = {"###.", "#...", ".#..", "", "...#"};
  // A plate of 17 x 17 dots: images of 16 x 16.
  constexpr int n = 16;
  for (bool gris : {false, true})
    for (int o = 1; o < 8; ++o) {
      SCOPED_TRACE(std::to_string(o) + (gris ? " grey" : " pen"));
      settings::Record r = gris ? reglagesGris() : reglagesStylo();
      r.orientation(static_cast<std::uint16_t>(o)).plate(1440, 1440);
      const jobfile::Job j = imprime(gris ? pageGris(dessin) : pageBits(dessin), r);
      EXPECT_TRUE(messages().empty());
      Cases attendu;
      for (auto [c, l] : cases(dessin)) {
        const int cm = n - 1 - c, lm = n - 1 - l;
        const std::pair<int, int> p[8] = {{c, l}, {cm, l}, {c, lm}, {cm, lm}, {l, c}, {lm, c}, {l, cm}, {lm, cm}};
        attendu.insert(p[o]);
      }
      EXPECT_EQ(demandees(j), attendu);
    }
}

TEST_F(ImageRaster, TurningInBlocksOfFewRowsGivesTheSameDots) {
  // So little memory that the transposing reads a block of 8 rows (one for greys) at a time.
  std::vector<std::string> dessin;
  for (int y = 0; y < 13; ++y) dessin.push_back(std::string(static_cast<std::size_t>(y % 5), '.') + "#..#");
  for (bool gris : {false, true}) {
    SCOPED_TRACE(gris ? "grey" : "pen");
    settings::Record r = gris ? reglagesGris() : reglagesStylo();
    r.orientation(5).plate(1440, 1440);
    win32test::setAvailablePhysical(24);
    const jobfile::Job j = imprime(gris ? pageGris(dessin) : pageBits(dessin), r);
    win32test::setAvailablePhysical(0);
    EXPECT_TRUE(messages().empty());
    Cases attendu;
    for (auto [c, l] : cases(dessin)) attendu.insert({15 - l, c});
    EXPECT_EQ(demandees(j), attendu);
  }
}

TEST_F(ImageRaster, RepeatCopiesComeBackToTheRasterStartAndTheNextPenStartsFromThere) {
  const std::string classe1 = esc("*v255a0b0c1I");
  std::string s = "IN;" + esc("%1A") + esc("*r8S") + esc("*b" + transfert(rangeeBits("..##"))) +
                  classe1 + esc("*b" + transfert(rangeeBits("........"))) +
                  esc("*b" + transfert(rangeeBits("......##"))) + esc("%0B") + "PG;";
  settings::Record r = reglagesStylo();
  r.pen(1, 500, 1, 1, 20000, 50).repeat(1);
  const jobfile::Job j = imprime(s, r);
  EXPECT_TRUE(messages().empty());
  // Pen 0: one line and back; pen 1 moves from the raster start to its row 2, and back;
  // then the copy.
  EXPECT_EQ(deplacements(j, "RY"), (std::vector<std::int32_t>{-1, 2, -3, -1, 2, -3}));
  const auto dots = rasterdots::askedDots(j);
  Cases c;
  for (const auto& d : dots) c.insert({d.column, d.row});
  EXPECT_EQ(c, (Cases{{2, 0}, {3, 0}, {6, 2}, {7, 2}}));
}

TEST_F(ImageRaster, ForbiddenZoneInkDiscardsTheJob) {
  settings::Record r = reglagesStylo();
  r.options(1).forbidden(0, 0, 200, 200);
  Impression i;
  EXPECT_EQ(i.flux(pageBits({"#"}), r), 0);
  ASSERT_FALSE(messages().empty());
  EXPECT_EQ(messages().back(), "Forbidden zone crossed");
  r.forbidden(5000, 5000, 6000, 6000);
  Impression k;
  EXPECT_EQ(k.flux(pageBits({"#"}), r), 1);
}

TEST_F(ImageRaster, AResolutionOf0IsADpiErrorNotADivision) {
  settings::Record r = reglagesStylo();
  r.resolution(0, 300);
  Impression i;
  EXPECT_EQ(i.flux(pageBits({"##"}), r), 0);
  ASSERT_FALSE(messages().empty());
  EXPECT_EQ(messages().back(), "DPI error");
}

// Writer pieces on their own.
class PiecesRaster : public Convertisseur {};

TEST_F(PiecesRaster, PackBitsRunsLiteralsAndThePad) {
  Octets out(64);
  Analyse.SensLigne = 0;
  const Octets cinq(5, 7);
  std::size_t n = CompresseLignePackBits(Analyse, cinq.data(), cinq.size(), 0, out.data());
  EXPECT_EQ(Octets(out.begin(), out.begin() + static_cast<long>(n)), (Octets{0xFC, 7}));
  const Octets deux{1, 2};
  n = CompresseLignePackBits(Analyse, deux.data(), 2, 0, out.data());
  EXPECT_EQ(Octets(out.begin(), out.begin() + static_cast<long>(n)), (Octets{0x01, 1, 2, 0x80}));
  const Octets un{9};
  n = CompresseLignePackBits(Analyse, un.data(), 1, 0, out.data());
  EXPECT_EQ(Octets(out.begin(), out.begin() + static_cast<long>(n)), (Octets{0x00, 9}));
  // A reverse 1-bit line is mirrored bit for bit before packing.
  Analyse.SensLigne = 1;
  const Octets bits{0x80, 0x00};
  n = CompresseLignePackBits(Analyse, bits.data(), 2, 1, out.data());
  EXPECT_EQ(Octets(out.begin(), out.begin() + static_cast<long>(n)), (Octets{0x01, 0x00, 0x01, 0x80}));
  const Octets octets{1, 2, 3};
  n = CompresseLignePackBits(Analyse, octets.data(), 3, 0, out.data());
  EXPECT_EQ(Octets(out.begin(), out.begin() + static_cast<long>(n)), (Octets{0x02, 3, 2, 1}));
  Analyse.SensLigne = 0;
  // Worst case within 2 n + 2.
  Octets pire;
  for (int i = 0; i < 300; ++i) pire.push_back(static_cast<std::uint8_t>(i % 3 == 0 ? i : 0xAA));
  Octets grand(2 * pire.size() + 2);
  n = CompresseLignePackBits(Analyse, pire.data(), pire.size(), 0, grand.data());
  EXPECT_LE(n, grand.size());
  EXPECT_EQ(jobfile::unpackBits(Octets(grand.begin(), grand.begin() + static_cast<long>(n))), pire);
}

TEST_F(PiecesRaster, MovesAreWrittenOnceAndFocusMovesNeverPass0x7FF0) {
  const jobfile::Job j = jobAvec(settings::Record::typical(), [] {
    Sortie.DernierX = Sortie.DernierY = 0;
    EcritDeplacementRelatif(Contexte, Sortie, 3, 4, 1);
    EcritDeplacementRelatif(Contexte, Sortie, 3, 4, 1);
    EcritDeplacementFocus(Contexte, Sortie, 70000);
    EcritDeplacementFocus(Contexte, Sortie, 0);
    EcritDeplacementFocus(Contexte, Sortie, -2000000000LL);
  });
  EXPECT_EQ(deplacements(j, "RX"), (std::vector<std::int32_t>{24}));
  EXPECT_EQ(deplacements(j, "RY"), (std::vector<std::int32_t>{4}));
  const auto rf = j.find("RF");
  ASSERT_GE(rf.size(), 3u);
  EXPECT_EQ(rf[0]->svalue(), 23333);
  EXPECT_EQ(rf[1]->svalue(), 23333);
  EXPECT_EQ(rf[2]->svalue(), 23334);
  long long somme = 0;
  for (std::size_t i = 3; i < rf.size(); ++i) {
    EXPECT_LE(std::abs(rf[i]->svalue()), 0x7FF0);
    somme += rf[i]->svalue();
  }
  EXPECT_EQ(somme, -2000000000LL);
}

}  // namespace
