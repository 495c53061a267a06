#include "debut.h"
#include "hpgl_commandes.h"
#include "hpgl_groupes.h"
#include "labels.h"
#include "traceur.h"

#include <ios>
#include <set>

namespace {

using V = std::vector<std::string>;
using Label = TexteLabel;

constexpr double kMotifDefaut = 492.89349760;  // 4 % of hypot(10000, 7200)

class Commandes : public Traceur {
 protected:
  const EtatInterpreteur& h = Interpreteur;
  static void pointEgal(const PointHPGL& p, float x, float y) {
    EXPECT_FLOAT_EQ(p.x, x);
    EXPECT_FLOAT_EQ(p.y, y);
  }
};

TEST_F(Commandes, INRestoresTheDefaultsButKeepsWindowRotationPensAndPageSize) {
  execute("IW0,0,50,50;PS800,600;RO90;IP0,0,100,100;SC0,10,0,10;LT2,10;TL1,2;SM*;DT#;"
          "PC5,1,2,3;SP5;DI1,1;PA5,5;IN;");
  pointEgal(h.P2, 10603, 7721);
  EXPECT_FALSE(h.Echelle);
  EXPECT_EQ(h.TypeLigneLT, 7);
  EXPECT_NEAR(h.LongueurMotif, kMotifDefaut, 1e-3);
  EXPECT_EQ(h.CaractereSymbole, 0);
  EXPECT_EQ(h.Terminateur, 3);
  EXPECT_EQ(Contexte.StyloCourant, -1);
  pointEgal(h.PointCourant, 3.1415927f, 3.1415927f);
  EXPECT_FLOAT_EQ(Texte.Hauteur, 54);
  // kept
  EXPECT_TRUE(h.FenetreActive);
  EXPECT_EQ(h.AngleRotation, 90);
  EXPECT_EQ(Contexte.PaletteStylos[5].Rouge, 1);
  EXPECT_TRUE(h.PSDonne);
}

TEST_F(Commandes, IPSetsTheScalingPointsAndIgnoresAnEmptyExtent) {
  execute("IP1000,1000;");
  pointEgal(h.P1, 1000, 1000);
  pointEgal(h.P2, 11000, 8200);
  execute("IP0,0,4000,3000;");
  pointEgal(h.P2, 4000, 3000);
  EXPECT_NEAR(h.LongueurMotif, 200, 1e-3);
  EXPECT_NEAR(h.LongueurMotifLT, 200, 1e-3);
  EXPECT_FLOAT_EQ(Texte.Largeur, 20);  // still 0.5 % of the new extent
  execute("IP;");
  pointEgal(h.P1, 603, 521);
  EXPECT_NEAR(h.LongueurMotif, kMotifDefaut, 1e-3);

  EXPECT_EQ(abandonne("IP5;"), 13);
  EXPECT_EQ(abandonne("IP1,2,3;"), 15);
  pointEgal(h.P2, 10603, 7721);
  // Points spanning nothing on an axis change nothing.
  execute("IP0,0,0,0;IP5,5,5,9;");
  pointEgal(h.P1, 603, 521);
  pointEgal(h.P2, 10603, 7721);
  EXPECT_EQ(messages(), (V{"Syntax 2 error", "Syntax 4 error"}));
}

TEST_F(Commandes, SCScalesUserUnitsAndIgnoresEqualBounds) {
  execute("SC0,100,0,100;PA10,10;");
  EXPECT_TRUE(h.Echelle);
  pointEgal(h.P1, 0, 100);
  pointEgal(h.P2, 100, 0);
  EXPECT_EQ(h.LargeurPage, 100);
  EXPECT_EQ(h.LongueurPage, 0);
  EXPECT_EQ(lisible(enregistrements()), (V{"M 10,90"}));
  execute("SC;");
  EXPECT_FALSE(h.Echelle);
  pointEgal(h.UMax, 10603, 7721);

  TearDown();
  SetUp();
  execute("PS100,200;SC0,100,0,100;");  // length below width
  pointEgal(h.P1, 100, 0);
  pointEgal(h.P2, 0, 100);

  execute("SC0,0,0,100;SC0,100,5,5;PA10,10;");
  EXPECT_TRUE(h.Echelle);
  pointEgal(h.UMax, 100, 100);
  EXPECT_EQ(lisible(enregistrements()), (V{"M 90,10"}));
  EXPECT_EQ(abandonne("SC0,100,5;"), 15);
}

TEST_F(Commandes, RORotatesEveryPointAndTheDeclaredPage) {
  execute("PS1000,2000;RO90;PA100,0;");
  EXPECT_EQ(h.LongueurPage, 2000);
  EXPECT_EQ(h.LargeurPage, 1000);
  EXPECT_EQ(lisible(enregistrements()), (V{"M 0,100"}));
  // The box was reset to the corners (0, 0) and (width, length) turned by 90 degrees.
  EXPECT_NEAR(Analyse.Boite.XMin, -2000, 1e-3);
  EXPECT_NEAR(Analyse.Boite.XMax, 0, 1e-3);
  EXPECT_NEAR(Analyse.Boite.YMax, 1000, 1e-3);
  execute("RO;RO45;");
  EXPECT_EQ(h.AngleRotation, 135);
}

TEST_F(Commandes, PSTakesItsWidthFromTheDrawingOrKeepsIt) {
  execute("PA300,40;PS1200;");
  EXPECT_EQ(h.LongueurPage, 1200);
  EXPECT_EQ(h.LargeurPage, 300);
  TearDown();
  SetUp();
  execute("PS1000;");
  EXPECT_EQ(h.LargeurPage, 0);  // nothing drawn yet: the width stays
  EXPECT_EQ(Analyse.Boite.XMax, 1000);
  execute("PS900,450;");
  EXPECT_EQ(h.LargeurPage, 450);
  EXPECT_EQ(Analyse.Boite.YMax, 450);
}

TEST_F(Commandes, SPWritesAClassOnlyForANewPenAndFallsBackToPenZero) {
  execute("SP3;SP3;SP9;SP999;SP;PC9,255,128,0;SP1;SP9;PC300,9,9,9;NP300;NP4;SP5;");
  // green 2, black for pens above 7, then white pen 0 (8) after the bad number;
  // pen 9 made orange (7); pens past the count are refused.
  EXPECT_EQ(lisible(enregistrements()), (V{"C 2", "C 0", "C 8", "C 0", "C 7", "C 8"}));
  EXPECT_EQ(messages(), (V{"Syntax error", "Syntax error"}));
  EXPECT_EQ(Contexte.NombreStylos, 4);
  EXPECT_EQ(Sortie.ClasseCourante, 8);
  EXPECT_EQ(Contexte.PaletteStylos[256].Bleu, 0);
  InitPageHPGL(false, true, false);  // pen colours fixed
  execute("PC1,255,255,255;");
  EXPECT_EQ(Contexte.PaletteStylos[1].Rouge, 0);
}

TEST_F(Commandes, PWFillsTheWidthTable) {
  execute("PW0.5,3;");
  EXPECT_EQ(Contexte.TableStylos[3], 5);
  EXPECT_EQ(Contexte.TableStylos[4], 1);
  EXPECT_EQ(Contexte.TableStylos[kIndexLargeurMax], 5);
  execute("PW;");
  EXPECT_EQ(Contexte.TableStylos[1], 3);
  EXPECT_EQ(Contexte.TableStylos[256], 3);
  EXPECT_EQ(Contexte.TableStylos[0], 0);
  EXPECT_EQ(Contexte.TableStylos[kIndexLargeurMax], 5);
  execute("PW-2,1;PW2,257;");
  EXPECT_EQ(Contexte.TableStylos[1], 1);
  EXPECT_EQ(Contexte.TableStylos[kIndexLargeurMax], 20);
  InitPageHPGL(true, false, true);
  execute("PW1;");
  EXPECT_EQ(Contexte.TableStylos[1], 1);
}

TEST_F(Commandes, LTChoosesTypeAndLengthAndIgnoresAPatternOfNoLength) {
  execute("LT-2,10;");
  EXPECT_EQ(h.TypeLigne, -2);
  EXPECT_NEAR(h.LongueurMotif, kMotifDefaut * 2.5, 1e-3);
  execute("LT8;");
  EXPECT_EQ(h.TypeLigne, -2);
  execute("LT3,-1;");
  EXPECT_EQ(h.TypeLigne, 3);
  EXPECT_NEAR(h.LongueurMotifLT, kMotifDefaut * 2.5, 1e-3);
  execute("LT;");
  EXPECT_EQ(h.TypeLigne, 7);
  execute("LT2,0;");
  EXPECT_EQ(h.TypeLigne, 2);
  EXPECT_NEAR(h.LongueurMotif, kMotifDefaut * 2.5, 1e-3);
}

TEST_F(Commandes, TerminatorLabelBufferAndSymbolMode) {
  execute("BLXYZ\x03");
  EXPECT_EQ(h.Label, (Label{'X', 'Y', 'Z'}));
  execute("DT#;BLA;B#");
  EXPECT_EQ(h.Terminateur, '#');
  EXPECT_EQ(h.Label, (Label{'A', ';', 'B', '#'}));
  execute("SM *;");
  EXPECT_EQ(h.CaractereSymbole, '*');
  execute("SM;");
  EXPECT_EQ(h.CaractereSymbole, 0);
  execute("SM\tA");
  EXPECT_EQ(h.CaractereSymbole, 'A');
  execute("MGskip me#VT;");  // text up to the terminator is dropped
  EXPECT_EQ(lisible(enregistrements()), (V{"VT"}));
}

TEST_F(Commandes, RasterOperation) {
  execute("MC1,90;");
  EXPECT_EQ(Contexte.OperationFusion, 0x660046u);  // SRCINVERT
  for (const char* texte : {"MC1;", "MC0,90;", "MC1,300;"}) {
    execute("MC1,0;");
    execute(texte);
    EXPECT_EQ(Contexte.OperationFusion, 0xCC0020u) << texte;  // SRCCOPY
  }
}

TEST_F(Commandes, APageEndStopsTheParserAndHandsThePageOver) {
  execute("SP1;PA0,0;PD10,10;PGX;PD15,15;AF;PD20,20;SP2;VT;");
  EXPECT_EQ(lisible(enregistrements()), (V{"C 0", "M 0,0", "D 10,10", "D 15,15"}));
  EXPECT_EQ(DrapeauNouvellePage, 1);
  EXPECT_EQ(DrapeauNouveauJob, 0);
  // The rest is the next page's.
  EXPECT_EQ(std::string(reinterpret_cast<const char*>(Analyse.Curseur)), "PD20,20;SP2;VT;");
}

TEST_F(Commandes, PolylineEncodingIsReadUpToItsEnd) {
  // Pen flag with pen 1 (0xC1: r = 2), seven-bit mode, pen-up and absolute flags, a
  // pair (a move to 1,1), a fraction flag whose digit is ';', bytes that start nothing:
  // all consumed.
  execute("PE:\xC1" "7<=A_A_>;1,2 ;VT;PE:\xD0;");
  EXPECT_EQ(lisible(enregistrements()), (V{"C 0", "M 1,1", "VT", "C 8"}));
  EXPECT_EQ(messages(), (V{"Syntax error"}));  // 0xD0 is r = 17: pen -8
}

TEST_F(Commandes, MnemonicsAreReadInEitherCase) {
  execute("sp1;pa0,0;Pd10,10;pU20,0;pr5,5;pd0,5;mo3;vT;");
  EXPECT_EQ(lisible(enregistrements()),
            (V{"C 0", "M 0,0", "D 10,10", "M 20,0", "M 25,5", "D 25,10", "MO 3", "VT"}));
}

TEST(GroupesHPGL, EveryMnemonicIsTwoLettersAndBelongsToOneGroup) {
  std::set<int> vus;
  for (const auto groupe : {hpgl::CommandesConfiguration(), hpgl::CommandesStylos(),
                            hpgl::CommandesVecteurs(), hpgl::CommandesPolygones(),
                            hpgl::CommandesLabels()})
    for (const hpgl::Commande& c : groupe) {
      const int a = c.mnemonique >> 8, b = c.mnemonique & 0xFF;
      EXPECT_TRUE(a >= 'A' && a <= 'Z' && b >= 'A' && b <= 'Z') << std::hex << c.mnemonique;
      EXPECT_NE(c.execute, nullptr);
      EXPECT_TRUE(vus.insert(c.mnemonique).second) << "twice: " << static_cast<char>(a)
                                                   << static_cast<char>(b);
    }
  EXPECT_EQ(vus.size(), 61u);
}

}  // namespace
