// The rotation card driven by machine control: its probe with and without a
// card, moves split into counts of counter 2, the acceleration ramp, homing on
// the origin sensor, the direction convention and reset requests, all on the
// card's virtual clock.
#include "mk_dmc.h"
#include "mlas_dep.h"
#include "mlas_dmc.h"

#include "../machine/banc_machine.h"
#include "etat_deplacement.h"
#include "etat_rotation.h"
#include "etat_pupitre.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

namespace {

using ::testing::Each;
using ::testing::ElementsAre;
using ::testing::Field;
using ::testing::HasSubstr;

constexpr uint16_t kDiviseurDepart = 87;  // 92160 / ((1583 / 3) * 2)
constexpr uint16_t kDiviseurHaut = 58;    // 92160 / 1583

class RotationSansCarte : public banc::Machine {
protected:
    void SetUp() override
    {
        banc::Machine::SetUp();
        dsp.Demarre();
        handleDMC = libdevmem_open(materiel::kPortsDmc, materiel::kLongueurPortsDmc);
    }
    void TearDown() override
    {
        libdevmem_close(handleDMC);
        handleDMC = nullptr;
        rotation.DMC_OK = rotation.DMC_ON = 0;
        banc::Machine::TearDown();
    }
};

class Rotation : public RotationSansCarte {
protected:
    void SetUp() override
    {
        banc::Machine::SetUp();
        dsp.Demarre();
        dmc = &BrancheCarteRotation();
        deplacement.RetourOrigineOK = 1;
        rotation.DMC_ON = 1;
        rotation.sens_DMC_OK = 0;
        Reglage_Sens_DMC();
        START_DMC();
    }
    void TearDown() override
    {
        DebrancheCarteRotation();
        banc::Machine::TearDown();
    }

    boardsim::CarteDmc* dmc = nullptr;
};

TEST_F(RotationSansCarte, ProbeFindsNoCardAndMovesDoNothing)
{
    EXPECT_EQ(Sortie([] { init_DMC_Laser(); }), "PAS DE CARTE DMC LASER\nCarte DMC PC104 PAS détectée\n");
    EXPECT_EQ(rotation.DMC_OK, 0);
    rotation.DMC_ON = 1;
    rotation.PDMC_reel = 3.0;
    DEPLACE_DMC(500.0, 0, "NON");  // would wait for ever on counters that are not there
    EXPECT_EQ(rotation.PDMC_reel, 3.0);
}

TEST_F(Rotation, ProbeSeesTheEchoThenTheCounterSetUp)
{
    EXPECT_EQ(Sortie([] { EXPECT_EQ(Test_DMC_Laser(), 1); }), "CARTE DMC LASER DETECTEE\n");
    EXPECT_EQ(rotation.DMC_OK, 1);
    // init: both probe phases; then START_DMC: standby set, inhibit clear, probe bits gone.
    EXPECT_THAT(carte.Trace({"DMC"}), ElementsAre("DMC ctl=0x01", "DMC ctl=0x40", "DMC ctl=0x04", "DMC ctl=0x04",
                                                  "DMC ctl=0x05", "DMC ctl=0x44"));
    EXPECT_EQ(dmc->Controle(), 0x44);
    DEPLACE_DMC(10.0, 0, "NON");
    EXPECT_EQ(dmc->Controle() & 0x41, 0);
}

TEST_F(Rotation, LongMoveGoesAsCountsOf65000)
{
    DEPLACE_DMC(70000.0, 0, "NON");
    EXPECT_THAT(dmc->Mouvements(), ElementsAre(Field(&boardsim::MouvementDmc::impulsions, 65000u),
                                              Field(&boardsim::MouvementDmc::impulsions, 5000u)));
    EXPECT_EQ(dmc->Position(), 70000);
    EXPECT_EQ(rotation.PDMC_reel, 70000.0);
    EXPECT_THAT(carte.Trace({"DMCMOVE", "DMCEND"}),
                ElementsAre("DMCMOVE n=65000 dir=cw pos=0", "DMCEND pos=65000 left=0 origin=0",
                            "DMCMOVE n=5000 dir=cw pos=65000", "DMCEND pos=70000 left=0 origin=0"));
}

TEST_F(Rotation, RampStartsAbove100Steps)
{
    DEPLACE_DMC(100.0, 0, "NON");
    DEPLACE_DMC(101.0, 0, "NON");
    const auto moves = dmc->Mouvements();
    ASSERT_EQ(moves.size(), 2u);
    EXPECT_THAT(moves[0].diviseurs, ElementsAre(kDiviseurDepart));
    ASSERT_GT(moves[1].diviseurs.size(), 1u);
    EXPECT_EQ(moves[1].diviseurs.front(), kDiviseurDepart);
    for (std::size_t i = 1; i < moves[1].diviseurs.size(); ++i) {
        EXPECT_LT(moves[1].diviseurs[i], moves[1].diviseurs[i - 1]);
        EXPECT_GE(moves[1].diviseurs[i], kDiviseurHaut);
    }
    EXPECT_EQ(dmc->Position(), 201);
}

TEST_F(Rotation, LongRampStopsAtTheTopRate)
{
    DEPLACE_DMC(5000.0, 0, "NON");
    const auto moves = dmc->Mouvements();
    ASSERT_EQ(moves.size(), 1u);
    EXPECT_EQ(moves[0].diviseurs.back(), kDiviseurHaut);
    EXPECT_EQ(dmc->Position(), 5000);
}

TEST_F(Rotation, DirectionFollowsTheSetting)
{
    DEPLACE_DMC(-500.0, 0, "NON");
    EXPECT_EQ(dmc->Position(), -500);
    EXPECT_EQ(rotation.PDMC_reel, -500.0);
    EXPECT_EQ(dmc->Controle() & 0x10, 0x10);

    rotation.sens_DMC_OK = 1;  // the other way round: negative moves turn clockwise
    Reglage_Sens_DMC();
    EXPECT_EQ(rotation.moins_dmc_las, 1);
    EXPECT_EQ(rotation.plus_dmc_las, 0);
    DEPLACE_DMC(-500.0, 0, "NON");
    EXPECT_EQ(dmc->Position(), 0);
    EXPECT_EQ(rotation.PDMC_reel, -1000.0);
    EXPECT_THAT(carte.Trace({"DMCMOVE"}), ElementsAre("DMCMOVE n=500 dir=ccw pos=0", "DMCMOVE n=500 dir=cw pos=-500"));
}

TEST_F(Rotation, AbsoluteMovesRoundAndKeepTheFraction)
{
    rotation.PDMC_reel = 10.4;
    DEPLACE_DMC(0.0, 1, "NON");
    EXPECT_EQ(dmc->Position(), -10);
    EXPECT_NEAR(rotation.PDMC_reel, 0.4, 1e-9);  // 10.4 - 10

    DEPLACE_DMC(25.6, 1, "NON");  // 26 - 0
    EXPECT_EQ(dmc->Position(), 16);
    EXPECT_DOUBLE_EQ(rotation.PDMC_reel, 25.6);
    DEPLACE_DMC(0.3, 0, "NON");  // 26 - 26: no count written
    EXPECT_EQ(dmc->Mouvements().size(), 2u);
}

TEST_F(Rotation, HomingStopsOnTheSensor)
{
    dmc->PlaceAxe(5000);
    std::string console;
    console = Sortie([] { EXPECT_EQ(Prise_Origine_DMC(""), 1); });
    EXPECT_EQ(console, "OK: Capteur détecté\n");
    EXPECT_TRUE(dmc->AOrigine());
    EXPECT_EQ(rotation.PDMC_reel, 0.0);
    const auto moves = dmc->Mouvements();
    ASSERT_EQ(moves.size(), 2u);
    EXPECT_EQ(moves[0].impulsions, 1000u);
    EXPECT_EQ(moves[1].impulsions, 15200u);
    EXPECT_GE(dmc->Position(), 15200);
    const auto arret = carte.Trace({"DMCSTOP"});
    ASSERT_EQ(arret.size(), 1u);
    EXPECT_THAT(arret[0], HasSubstr("origin=1"));
}

TEST_F(Rotation, HomingFromTheSensorClearsItFirst)
{
    dmc->PlaceAxe(14200);  // the first 1000 steps end on the sensor
    Sortie([] { EXPECT_EQ(Prise_Origine_DMC(""), 1); });
    EXPECT_THAT(dmc->Mouvements(), ElementsAre(Field(&boardsim::MouvementDmc::impulsions, 1000u),
                                              Field(&boardsim::MouvementDmc::impulsions, 1000u),
                                              Field(&boardsim::MouvementDmc::impulsions, 15200u)));
    EXPECT_TRUE(dmc->AOrigine());
}

TEST_F(Rotation, HomingWithoutSearchReportsAMissedSensor)
{
    dmc->PlaceAxe(5000);
    EXPECT_EQ(Sortie([] { EXPECT_EQ(Prise_Origine_DMC("entree"), 0); }),
              "ERREUR : Capteur présent mais pas détecté\n");
    EXPECT_EQ(dmc->Position(), 6000 - 15200);
    EXPECT_EQ(rotation.PDMC_reel, 0.0);

    rotation.Origine_DMC = 0;  // no sensor: the position is taken as the origin
    rotation.PDMC_reel = 42.0;
    EXPECT_EQ(Prise_Origine_DMC(""), 1);
    EXPECT_EQ(rotation.PDMC_reel, 0.0);
    EXPECT_EQ(dmc->Mouvements().size(), 2u);
}

TEST_F(Rotation, ResetIsReportedButTheMoveEnds)
{
    dsp.FixeEntrees({.start = false, .reset = true});
    const std::string console = Sortie([] { DEPLACE_DMC(300.0, 0, "NON"); });
    EXPECT_EQ(console, "Rotation en cours - Demande de Reset 1 -> exit\n"
                       "Reset pendant attente fin comptage\n"
                       "Reset pendant calcul RAMPAGE\n"
                       "Rotation en cours - Demande de Reset 3 -> exit\n");
    EXPECT_EQ(deplacement.RetourOrigineOK, 0);
    EXPECT_EQ(dmc->Position(), 300);

    pupitre.Reset_presse = 1;  // the key was pressed: the position is taken, the axis stays
    Sortie([] { DEPLACE_DMC(100.0, 0, "NON"); });
    EXPECT_EQ(dmc->Position(), 300);
    EXPECT_EQ(rotation.PDMC_reel, 400.0);
}

TEST_F(Rotation, SlowRatesGetTheSlowestDivisor)
{
    rotation.FDEPLDMC = 2;  // a start rate of 0 would divide by zero
    DEPLACE_DMC(3.0, 0, "NON");
    const auto moves = dmc->Mouvements();
    ASSERT_EQ(moves.size(), 1u);
    EXPECT_THAT(moves[0].diviseurs, ElementsAre(0xFFFF));  // 92160 clamped, not 26624
    EXPECT_EQ(dmc->Position(), 3);
}

TEST_F(Rotation, CounterTwoCountsDownAndStops)
{
    Deplace_DMC_Laser(1000, 1054);
    EXPECT_EQ(FIN_COUNT_DMC_LASER(), 0);
    dmc->Avance(100000);  // 0.1 s at 92160 / 87 Hz: 105 pulses, the first loading the count
    const unsigned short reste = COMPTOUNT_DMC();
    EXPECT_GT(reste, 880);
    EXPECT_LT(reste, 1000);
    STOP_DMC_LASER();
    const unsigned short arrete = COMPTOUNT_DMC();
    EXPECT_LE(arrete, reste);
    dmc->Avance(1000000);
    EXPECT_EQ(COMPTOUNT_DMC(), arrete);
    EXPECT_EQ(FIN_COUNT_DMC_LASER(), 0);
}

TEST_F(Rotation, DirectionTablesFollowTheCode)
{
    rotation.inversy = 1;
    rotation.DMC_X = 0;
    rotation.sens_marq = 1;
    rotation.positionnement = 5;
    Init_Parametres_DMC(4);  // row 5, k = 3
    EXPECT_EQ(rotation.DMCvertical, 1);
    EXPECT_EQ(rotation.DMCsuivant, 1);

    rotation.inversy = -1;
    rotation.DMC_X = 1;
    rotation.sens_marq = 3;
    rotation.positionnement = 0;
    Init_Parametres_DMC(12);  // sens_marq becomes 1: row 1, k = 1, suivant inverted
    EXPECT_EQ(rotation.sens_marq, 1);
    EXPECT_EQ(rotation.TransfoX, 1);
    EXPECT_EQ(rotation.DMCvertical, 1);
    EXPECT_EQ(rotation.DMCsuivant, 0);

    rotation.DMCvertical = rotation.DMCsuivant = 7;
    Init_Parametres_DMC(3);  // no such row: only the inversion
    EXPECT_EQ(rotation.sens_marq, 3);
    EXPECT_EQ(rotation.TransfoY, -1);
    EXPECT_EQ(rotation.DMCvertical, 7);
}

}  // namespace
