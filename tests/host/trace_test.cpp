#include "hpgl_commandes.h"
#include "traceur.h"
#include "trace.h"

#include <cmath>
#include <limits>

namespace {

using V = std::vector<std::string>;

class Trace : public Traceur {};

TEST_F(Trace, DotsForLineTypeZero) {
  execute("LT0;PA0,0;PD1000,0,1000,500;");
  EXPECT_EQ(lisible(enregistrements()), (V{"M 0,0", "P 1000,0", "P 1000,500"}));
}

TEST_F(Trace, FixedDashesRunOnAcrossTheSegmentsOfALine) {
  // Two patterns of 50 % down, 50 % up on the default 492.893 length.
  execute("LT2,4;PA0,0;PD985.787,0;");
  EXPECT_EQ(lisible(enregistrements()),
            (V{"M 0,0", "D 246.45,0", "M 492.89,0", "D 739.34,0", "M 985.79,0"}));
  // A quarter of a pattern, then the rest of the dash on the next segment; a move
  // starts the pattern again; a segment of no length writes nothing.
  TearDown();
  SetUp();
  execute("LT2,4;PA0,0;PD123.22,0,123.22,0,123.22,400;PU0,0;PD0,100;");
  EXPECT_EQ(lisible(enregistrements()),
            (V{"M 0,0", "D 123.22,0", "D 123.22,123.23", "M 123.22,369.67", "D 123.22,400",
               "M 0,0", "D 0,100"}));
}

TEST_F(Trace, AdaptiveDashesFitWholePatternsAndMinusTwoEndsAtItsMarker) {
  execute("LT-2,4;PA0,0;PD1000,0;");
  // ceil(1000 / 492.893) = 3 patterns of 333.33: a quarter down, three quarters up.
  EXPECT_EQ(lisible(enregistrements()), (V{"M 0,0", "D 83.33,0", "M 333.33,0", "D 416.67,0",
                                           "M 666.67,0", "D 750,0", "M 1000,0"}));
  TearDown();
  SetUp();
  execute("LT-3,100;PA0,0;PD0,10;");  // one pattern at least
  EXPECT_EQ(lisible(enregistrements()), (V{"M 0,0", "D 0,3.5", "M 0,6.5", "D 0,10"}));
  TearDown();
  SetUp();
  execute("LT2,0.0000001;PA0,0;PD1000,0;");  // dashes finer than a mark: drawn solid
  EXPECT_EQ(lisible(enregistrements()), (V{"M 0,0", "D 1000,0"}));
}

// Only the part of a stroke that can reach the plate is cut into dashes; the pen moves
// over the rest, and the dashes lie where cutting the whole stroke would have put them.
TEST_F(Trace, DashesOfStrokesFromAndToFarOffKeepTheirPhase) {
  execute("LT2,4;PA-40000000,0;PD1000,0,40000000,0;");
  const std::vector<Enregistrement> e = enregistrements();
  ASSERT_LT(e.size(), 2000u);
  EXPECT_EQ(e[1].code, 1) << "a move over the part out of reach";
  EXPECT_EQ(lisible({e.back()}), V{"M 4e+07,0"});
  const double demiMotif = Interpreteur.LongueurMotif / 2;
  int verifies = 0;
  for (const Enregistrement& r : e) {
    if (r.x == 1000 || std::fabs(r.x) >= 40000) continue;  // segment and reach ends
    const double n = (r.x + 40000000.0) / demiMotif;
    ASSERT_NEAR(n, std::round(n), 1e-4) << r.x;
    EXPECT_EQ(r.code, static_cast<long long>(std::round(n)) % 2 ? 2 : 1) << r.x;
    ++verifies;
  }
  EXPECT_GT(verifies, 100);

  // Adaptive: the whole patterns of the stroke; those out of reach are moved over.
  TearDown();
  SetUp();
  execute("LT-2,4;PA-40000000,0;PD1000,0;");
  const std::vector<Enregistrement> a = enregistrements();
  ASSERT_LT(a.size(), 2000u);
  const double n = std::ceil(40001000.0 / Interpreteur.LongueurMotif), motif = 40001000.0 / n;
  int traits = 0;
  for (const Enregistrement& r : a) {
    if (r.code != 2) continue;
    const double quart = (r.x + 40000000.0) / motif - 0.25;  // each dash is the first quarter
    ASSERT_NEAR(quart, std::round(quart), 1e-4) << r.x;
    ++traits;
  }
  EXPECT_GT(traits, 50);
  EXPECT_EQ(lisible({a.back()}), V{"M 1000,0"});
}

TEST_F(Trace, ClippingToTheInputWindow) {
  execute("IW0,0,1000,1000;PA0,0;PU-500,500;PD1500,500,1500,1500,2000,2000;");
  // Outside wholly: a move to the end. Crossing: a move to the way in, a draw to the way out.
  EXPECT_EQ(lisible(enregistrements()), (V{"M 0,0", "M -500,500", "M 0,500", "D 1000,500",
                                           "M 1500,1500", "M 2000,2000"}));
  TearDown();
  SetUp();
  // A segment that starts on the window's edge is seen when it goes in, not when it
  // goes out.
  execute("IW1000,1000,0,0;PA0,500;PD1500,500;IW;PU1000,200;IW1000,1000,0,0;PD1200,200;");
  EXPECT_EQ(lisible(enregistrements()), (V{"M 0,500", "D 1000,500", "M 1000,200", "M 1200,200"}));
}

TEST_F(Trace, ArcsTakeTheirChordAndEndOnTheSweep) {
  execute("PA100,0;PD;AA0,0,90,30;");
  EXPECT_EQ(lisible(enregistrements()), (V{"M 100,0", "D 86.6,50", "D 50,86.6", "D 0,100"}));
  TearDown();
  SetUp();
  // Relative centre, negative sweep; with the pen up the chord points are moves.
  execute("PA100,0;PD;AR-100,0,-45,30;PU;AA0,0,-45,45;");
  EXPECT_EQ(lisible(enregistrements()),
            (V{"M 100,0", "D 86.6,-50", "D 70.71,-70.71", "M 0,-100"}));
  TearDown();
  SetUp();
  // A chord of 0 is taken as 0.5 degree, a negative one by its size.
  execute("PA100,0;PD;AA0,0,1,0;AA0,0,-60,-30;");
  EXPECT_EQ(lisible(enregistrements()),
            (V{"M 100,0", "D 100,0.87", "D 99.98,1.75", "D 87.46,-48.48", "D 51.5,-85.72"}));
  EXPECT_EQ(CordeValide(std::numeric_limits<float>::quiet_NaN()), 5);
  EXPECT_EQ(CordeValide(400), 180);
  TearDown();
  SetUp();
  // More than a turn is one turn.
  execute("PA100,0;PD;AA0,0,1000,90;");
  EXPECT_EQ(lisible(enregistrements()),
            (V{"M 100,0", "D 0,100", "D -100,0", "D 0,-100", "D 100,0"}));
}

TEST_F(Trace, CirclesAndWedges) {
  execute("PA0,0;CI100,90;");
  // The fourth chord point falls a hair short of the full turn.
  EXPECT_EQ(lisible(enregistrements()), (V{"M 0,0", "M 100,0", "D 0,100", "D -100,0", "D 0,-100",
                                           "D 100,0", "D 100,0", "M 0,0"}));
  TearDown();
  SetUp();
  execute("PA0,0;EW100,0,90,30;EW100,0,-45,30;");
  EXPECT_EQ(lisible(enregistrements()),
            (V{"M 0,0", "D 100,0", "D 86.6,50", "D 50,86.6", "D 0,100", "D 0,0", "D 100,0",
               "D 86.6,-50", "D 70.71,-70.71", "D 0,0"}));
}

TEST_F(Trace, RectanglesAndTicks) {
  execute("PA10,20;EA30,50;TL10,5;XT;YT;");
  EXPECT_EQ(lisible(enregistrements()),
            (V{"M 10,20", "D 10,50", "D 30,50", "D 30,20", "D 10,20", "M 10,-340", "D 10,740",
               "M 10,20", "M -490,20", "D 1010,20", "M 10,20"}));
}

TEST_F(Trace, PolygonModeFillsTheBufferInsteadOfTheFile) {
  execute("PA5,5;PM0;PD10,0,10,10;PU20,20;PD30,20;PM1;PM2;PU40,40;");
  EXPECT_EQ(lisible(enregistrements()), (V{"M 5,5", "M 40,40"}));
  ASSERT_EQ(Sortie.NombrePointsPolygone, 5);
  EXPECT_FLOAT_EQ(Sortie.PointsPolygone[0].x, 5 + kMarqueDeplacement);
  EXPECT_FLOAT_EQ(Sortie.PointsPolygone[3].x, 20 + kMarqueDeplacement);
  EXPECT_EQ(Sortie.NombreSousChemins, 1);
  EXPECT_EQ(Sortie.LongueursSousChemins[0], 5);
  EXPECT_FLOAT_EQ(Sortie.BoitePolygoneMax.x, 30);
  EXPECT_EQ(Sortie.ModePolygone, 0);
  execute("PM0;PM1;");  // a lone start point is dropped
  EXPECT_EQ(Sortie.NombrePointsPolygone, 0);
  execute("RR10;");  // without dy: nothing to fill, polygon mode off
  EXPECT_EQ(Sortie.NombrePointsPolygone, 1);
  EXPECT_EQ(Sortie.ModePolygone, 0);
}

}  // namespace
