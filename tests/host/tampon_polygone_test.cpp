#include "polygones.h"
#include "traceur.h"

namespace {

using V = std::vector<std::string>;

class TamponPolygone : public Traceur {};

TEST_F(TamponPolygone, EPWritesTheBufferedOutlineAsMovesAndDraws) {
  execute("PA0,0;PM0;PD100,0,100,100,0,100;PM2;");
  EXPECT_EQ(lisible(enregistrements()), (V{"M 0,0"}));  // nothing while the buffer fills
  execute("EP;");
  // One move and the draws; no closing edge is added.
  EXPECT_EQ(lisible(enregistrements()), (V{"M 0,0", "M 0,0", "D 100,0", "D 100,100", "D 0,100"}));
}

TEST_F(TamponPolygone, SubPathsAreClosedOrDroppedAndLineTypesIgnored) {
  execute("LT2,1;PA-40,0;PM0;PD10,0,10,10;PM1;PU50,50;PM1;PU-20,20;PD30,20;PM2;EP;");
  EXPECT_EQ(lisible(enregistrements()),
            (V{"M -40,0", "M -40,0", "D 10,0", "D 10,10", "M -20,20", "D 30,20"}));
  const auto longueurs = SousCheminsPolygone();
  ASSERT_EQ(longueurs.size(), 2u);
  EXPECT_EQ(longueurs[0], 3);
  EXPECT_EQ(longueurs[1], 2);
  const auto points = PointsTamponPolygone();
  ASSERT_EQ(points.size(), 5u);
  EXPECT_TRUE(EstDeplacementPolygone(points[3]));
  EXPECT_FLOAT_EQ(SansMarquePolygone(points[3]).x, -20);
  EXPECT_FALSE(EstDeplacementPolygone(points[4]));
  EXPECT_FLOAT_EQ(Sortie.BoitePolygoneMin.x, -40);
  // Two points, the start and one draw, make a sub-path; the start alone does not.
  execute("PA0,0;PM0;PD10,10;PM1;");
  EXPECT_EQ(SousCheminsPolygone().size(), 1u);
  execute("PM0;PM1;");
  EXPECT_TRUE(PointsTamponPolygone().empty());
  EXPECT_EQ(Sortie.ModePolygone, 1);
}

}  // namespace
