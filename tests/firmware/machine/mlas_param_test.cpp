// Marking parameters: PWM and increment words per laser model and build, the
// jump-parameter string, and the focal lens with its correction tables.
#include "mlas_param.h"

#include "banc_machine.h"
#include "mlas_correction.h"
#include "mlas_dep.h"
#include "etat_marquage.h"
#include "etat_deplacement.h"
#include "etat_rotation.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

namespace {

using ::testing::ElementsAre;
using ::testing::HasSubstr;

// A floor of 5000 Hz lets 8000 Hz through.
constexpr bool kPlancherBas = build::kTraits.freqQSwitchMin == 5000;

class Parametres : public banc::Machine {
protected:
    void SetUp() override
    {
        banc::Machine::SetUp();
        dsp.Demarre();
        marquage.DureeImpulsion = 1.0f;
        deplacement.DIV_PD = deplacement.DIV_PU = 1;
        deplacement.mmenpasX = deplacement.mmenpasY = 1000.0f / 1.9836729764938354f;
        deplacement.Pas_nom_XLAS = deplacement.Pas_nom_YLAS = 1.9836729764938354f;
        CurrentParamCorrection = {};
        rotation.PerimetreCylindreAMarquer = rotation.SavePerimetreCylindre = 0;
    }
    std::string DerniereCommande() const { return carte.Trace({"CMD"}).back(); }
};

TEST_F(Parametres, QSwitchedSourceSpeedAndFrequency)
{
    Conf_Speed_Freq(5004, 8000);
    EXPECT_EQ(lasparam.VitesseMarquage, 500);
    EXPECT_EQ(marquage.FreqQSwitch, kPlancherBas ? 8000 : 10000);
    EXPECT_EQ(carte.Trace({"CMD"}).front(),
              kPlancherBas ? "CMD code=0x03 ack=0xAA00 p=1024,8" : "CMD code=0x03 ack=0xAA00 p=819,8");
    EXPECT_EQ(carte.Trace({"INC"}).back(), "INC pu=1 pd=10");
    Conf_Speed_Freq(20000, 3000);
    EXPECT_EQ(marquage.FreqQSwitch, kPlancherBas ? 5000 : 10000);
    EXPECT_EQ(carte.Trace({"INC"}).back(), "INC pu=1 pd=40");
}

TEST_F(Parametres, FibreSourceLimitsPerModel)
{
    struct Cas {
        int32_t modele;
        int32_t source;
        int freq;
        int32_t attendue;
        int32_t max;
        const char* pwm;
    };
    const bool avec774 = build::kFibre500;
    const std::vector<Cas> cas = {
        {772, 0, 20000, 30000, 100000, "p=273,137"},
        {774, 1, 40000, avec774 ? 50000 : 40000, avec774 ? 200000 : 100000, avec774 ? "p=164,82" : "p=205,102"},
        {0, 0, 15000, 20000, 100000, "p=410,205"},
        {0, 1, 15000, 25000, 100000, "p=328,164"},
        {0, 2, 15000, 15000, 100000, "p=546,273"},
        {0, 2, 61499, 61000, 100000, "p=134,67"},
        {0, 2, 61500, 62000, 100000, "p=132,66"},
    };
    for (const Cas& c : cas) {
        marquage.ModelDuLaser = c.modele;
        marquage.TypeSource = c.source;
        LFConf_Speed_Freq(12000, c.freq);
        EXPECT_EQ(marquage.FreqQSwitch, c.attendue) << c.modele << " " << c.freq;
        EXPECT_EQ(marquage.FreqMaxDuLaser, c.max) << c.modele;
        EXPECT_EQ(DerniereCommande(), std::string("CMD code=0x03 ack=0xAA00 ") + c.pwm) << c.modele << " " << c.freq;
    }
    EXPECT_EQ(carte.Trace({"INC"}).back(), "INC pu=1 pd=24");
    Pilot_Puissance(200);
    EXPECT_EQ(DerniereCommande(), "CMD code=0x06 ack=0xAA00 p=200") << "power goes out unchanged";
}

TEST_F(Parametres, AQSwitchTheCardRefusesIsReported)
{
    dsp.SansAcquittement(true);
    EXPECT_EQ(Sortie(Init_QSwitch), "Erreur dans la fonction Pilot_PWM\n ");
}

TEST_F(Parametres, JumpParameterString)
{
    EXPECT_EQ(FK_PP(" VALEUR ENTETE 25000 150 400 0 0"), 1);
    EXPECT_EQ(marquage.chainecommande, "PP");
    EXPECT_EQ(marquage.VitesseSaut, 2500);
    EXPECT_EQ(marquage.VitesseRect, 2500) << "taken from the jump speed";
    EXPECT_EQ(marquage.TempoSaut, 150);
    EXPECT_EQ(carte.Trace({"INC"}).back(), "INC pu=50 pd=1");

    Decode_Parametres("VS?12,0150,-5 x");
    EXPECT_EQ(marquage.chainecommande, "VS?");
    EXPECT_EQ(marquage.nb_param, 4) << "a tail without digits gives one more 0";
    EXPECT_THAT(std::vector<int32_t>(marquage.lesparam, marquage.lesparam + 4), ElementsAre(12, 0150, -5, 0));
    Decode_Parametres("X1234567890123456789012345 7");
    EXPECT_EQ(marquage.nb_param, 2) << "an over-long number is one value";
    EXPECT_EQ(marquage.lesparam[1], 7);
}

constexpr ParamCorrection kLentille{254, 100.0f, 80.0f, 1, 2, 10.0f, 10.0f, 1.0f, 1.0f, 40};

TEST_F(Parametres, AFocalIsLoadedOnceWithItsTablesAndStepFactors)
{
    lasparam.VitesseMarquage = 500;
    const std::string console = Sortie([] { ActiveFocale(kLentille); });
    EXPECT_THAT(carte.Trace({"TABLE"}),
                ElementsAre("TABLE x0=32270 x1024=32395 x2047=32768 y0=32768 y1024=32643 y2047=32271"));
    EXPECT_EQ(marquage.MemoFocale, 254);
    EXPECT_FLOAT_EQ(deplacement.mmenpasX, 655.35f);
    EXPECT_FLOAT_EQ(deplacement.mmenpasY, 819.1875f);
    EXPECT_EQ(carte.Trace({"INC"}).back(), "INC pu=1 pd=13");
    EXPECT_FLOAT_EQ(marquage.fRatioVitesseXY, 1.25f);
    EXPECT_THAT(console, HasSubstr("Focale : 254 \nType correction -> X: 1 - Y: 2    Gain -> X : 1.000 - Y : 1.000   "
                                   "Angle -> X : 10.00 - Y 10.00\n"));
    EXPECT_THAT(console, HasSubstr("Courses MAX -> X= 100.000000 mm  -  Y= 80.000000 mm\n"));

    Sortie([] { ActiveFocale(kLentille); });
    EXPECT_EQ(carte.Trace({"TABLE"}).size(), 1u) << "the same lens is not loaded again";
    ParamCorrection autre = kLentille;
    autre.Reserve = 41;
    Sortie([&] { ActiveFocale(autre); });
    EXPECT_EQ(carte.Trace({"TABLE"}).size(), 2u);
}

TEST_F(Parametres, TablesOfEachCorrectionType)
{
    const std::vector<std::pair<ParamCorrection, std::string>> cas = {
        {{100, 130.0f, 130.0f, 0, 1, 10.0f, 0.0f, 1.5f, 1.0f, 40}, "x0=32768 x1024=32768 x2047=32768 y0=32768 y1024=32768 y2047=32768"},
        {{100, 130.0f, 130.0f, 3, 2, 0.0f, 0.0f, 3.0f, -1.0f, 40}, "x0=32768 x1024=32768 x2047=32768 y0=0 y1024=0 y2047=0"},
        {{100, 130.0f, 130.0f, 2, 1, 0.0f, 10.0f, 2.5f, 1.0f, 40}, "x0=65535 x1024=65535 x2047=65535 y0=32270 y1024=32395 y2047=32768"},
    };
    for (const auto& [p, valeurs] : cas) {
        Sortie([&, &p = p] { Charge_Table(p); });
        EXPECT_EQ(carte.Trace({"TABLE"}).back(), "TABLE " + valeurs);
    }
}

TEST_F(Parametres, ACylinderKeepsAFlatYTable)
{
    rotation.PerimetreCylindreAMarquer = 3000;
    const std::string console = Sortie([] { ActiveFocale(kLentille); });
    ParamCorrection tambour = kLentille;
    tambour.TypeCorrectionY = 1;
    Sortie([&] { DMCCharge_Table(tambour); });
    const auto tables = carte.Trace({"TABLE"});
    if constexpr (build::kDmc) {
        EXPECT_EQ(tables[0], "TABLE x0=32270 x1024=32395 x2047=32768 y0=32768 y1024=32643 y2047=32271");
    } else {
        EXPECT_THAT(console, HasSubstr("Initialisation des tables de correction pour un marquage DMC\n"));
        EXPECT_THAT(console, HasSubstr("X : formule de Drum TC\nY : formule de Cushion TC\n"));
    }
    EXPECT_EQ(tables.back(), "TABLE x0=32270 x1024=32395 x2047=32768 y0=32270 y1024=32270 y2047=32270");
}

}  // namespace
