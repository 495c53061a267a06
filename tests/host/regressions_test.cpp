// Inputs that once made the converter misbehave, and the bounds they led to:
// dashed strokes far off the plate, settings whose page arithmetic overflowed,
// repeat counts and passes beyond the largest job the controller takes, fills
// whose box is far larger than the page, raster pages taller than the store reaches.
#include "impression.h"
#include "raster_dots.h"
#include "traceur.h"

#include <cstring>
#include <fstream>
#include <iterator>

namespace {

using settings::Record;

std::string entree(const std::string& nom) {
  std::ifstream f(std::string(REGRESSIONS) + "/" + nom, std::ios::binary);
  std::string octets{std::istreambuf_iterator<char>(f), {}};
  EXPECT_FALSE(octets.empty()) << nom;
  return octets;
}

// A settings record from a file; what it lacks up to the minimum size is zero.
Record reglages(const std::string& nom) {
  const std::string octets = entree(nom);
  Record r(std::max<std::size_t>(octets.size(), ParametresJob::kTailleMin));
  std::memcpy(r.data(), octets.data(), octets.size());
  return r;
}

class Regressions : public Traceur {};

// Strokes of 444,444,444 plotter units: only the part that can reach the plate is cut
// into dashes (millions of records before, for a 100 mm plate).
TEST_F(Regressions, DashedStrokesFarOffThePlateCostWhatThePlateHolds) {
  Contexte.Entete.Champs[ChPlaqueX] = Contexte.Entete.Champs[ChPlaqueY] = 100000;
  Contexte.ResolutionVecteurs = 1016;
  for (const char* nom : {"host-dash-amplification.hpgl", "host-dash-timeout-2.hpgl"}) {
    SetUp();
    execute(entree(nom));
    EXPECT_LT(enregistrements().size(), 20000u) << nom;
    TearDown();
  }
  SetUp();
}

TEST_F(Entree, SettingsWhosePageArithmeticOverflowsAreRefused) {
  for (const char* nom : {"host-settings-plate-overflow.rec", "host-settings-plate-overflow-2.rec"}) {
    Impression i;
    EXPECT_EQ(i.flux(page("PU0,0;PD400,0;"), reglages(nom)), 0) << nom;
    EXPECT_EQ(messages().back(), "Plate size error") << nom;
    EXPECT_TRUE(i.fichier().empty()) << nom;
  }
  // A field size that the signed header cannot hold is refused as well.
  Impression i;
  EXPECT_EQ(i.flux("PG;", Record::typical().jobType(3).fieldSize(0x80000000u, 100000)), 0);
  EXPECT_EQ(messages().back(), "Plate size error");
}

TEST_F(Entree, RepeatsAndPassesStayWithinTheLargestJobTheControllerTakes) {
  const jobfile::Job copies = imprime(page("PU0,0;PD400,0;"), Record::typical().repeat(2000000000));
  EXPECT_EQ(messages(), std::vector<std::string>{"Memory error"});
  EXPECT_EQ(copies.codes(), "V2 DP PW FR FR VD AI PD PU AI PU TE TE OP JF") << "the page once, no copy";

  // Passes of a drawing that the job holds some hundreds of times.
  std::string dessin = "PU0,0;PD";
  for (int i = 0; i < 2000; ++i) dessin += std::to_string(i % 2 * 4000) + "," + std::to_string(i * 2) + ",";
  dessin.back() = ';';
  const jobfile::Job passes = imprime(page(dessin), Record::typical().pen(0, 500, 32767, 2, 20000, 50));
  EXPECT_EQ(messages(), (std::vector<std::string>{"Memory error", "Memory error"}));
  EXPECT_LE(passes.records.back().offset + 6, kTailleJobMax);
  EXPECT_TRUE(passes.codes().ends_with("PU TE TE OP JF")) << "the page ends as usual";
}

// Points far off the plate all land on its corner and write nothing, pass after pass:
// 32,767 passes read them again and again (minutes for a 280 KB stream). The passes
// count what their points would write, so they stop at the largest job.
TEST_F(Entree, PassesThatWriteNothingStillStopAtTheLargestJob) {
  std::string dessin = "PU200000,200000;PD";
  for (int i = 0; i < 20000; ++i) dessin += std::to_string(200000 + i % 2) + ",200000,";
  dessin.back() = ';';
  const jobfile::Job passes = imprime(page(dessin), Record::typical().pen(0, 500, 32767, 2, 20000, 50));
  EXPECT_EQ(messages(), std::vector<std::string>{"Memory error"});
  EXPECT_TRUE(passes.codes().ends_with("OP JF")) << "the job is written";
}

// A polygon reaching 11,111,111,111 plotter units: its box in dots left 32 bits when
// its size and position were summed. No bitmap holds it: the job is refused.
TEST_F(Entree, FillsBeyondWhatABitmapHoldsAreRefused) {
  Impression i;
  EXPECT_EQ(i.flux(page("PU11111111111,0;PM0;PD0,0,0,1000;PM2;FP;"), Record::typical()), 0);
  EXPECT_EQ(messages().back(), "Bitmap error");
  EXPECT_TRUE(i.fichier().empty());
}

// A triangle 177,000,000 dots long and a bar 50,000,000 rows tall: their whole box was
// drawn (5 and 4 s). Only what the page can store is drawn now: the triangle still
// crosses the plate's right edge and is refused, the bar stops at the page's bottom.
TEST_F(Entree, FillsFarLargerThanThePageCostWhatThePageHolds) {
  Impression i;
  EXPECT_EQ(i.flux(entree("host-fill-long-edge.hpgl"), Record::typical()), 0);
  EXPECT_EQ(messages(), std::vector<std::string>{"Plate size error"});
  const jobfile::Job barre = imprime(entree("host-fill-tall-box.hpgl"), Record::typical().pen(0, 500, 1, 1, 20000, 50));
  EXPECT_EQ(messages().size(), 1u);
  const std::vector<rasterdots::Dot> points = rasterdots::askedDots(barre);
  ASSERT_FALSE(points.empty());
  int bas = 0, droite = 0;
  for (const rasterdots::Dot& d : points) {
    bas = std::max(bas, d.row);
    droite = std::max(droite, d.column);
  }
  // 9 dots wide down the 105 mm of the page at 300 dpi.
  EXPECT_EQ(points.size(), 9u * 1240u);
  EXPECT_EQ(bas, 1239);
  EXPECT_EQ(droite, 8);
}

// A plate of 1,292,145,632 um at 300 dpi: its first grey row made the grey raster
// 15,261,622 rows tall and wrote all of them white (55 GB). Rows that far down can never
// be stored: the page is refused before its raster is written.
TEST_F(Entree, RasterPagesTallerThanTheStoreReachesAreRefusedBeforeTheirRasterIsWritten) {
  const std::string flux = entree("host-raster-tall-plate.prn");
  Impression i;
  EXPECT_EQ(i.flux(flux, Record::typical().plate(300000, 1292145632)), 0);
  EXPECT_EQ(messages(), std::vector<std::string>{"Plate size error"});
  EXPECT_TRUE(i.fichier().empty());
  // The same white rows on a 300 mm plate make a job.
  const jobfile::Job job = imprime(flux, Record::typical().plate(300000, 300000));
  EXPECT_EQ(messages().size(), 1u);
  EXPECT_TRUE(job.codes().ends_with("OP JF")) << job.codes();
}

}  // namespace
