// Record handlers one by one: power codes per laser line, frequency ranges,
// the rounding they share, units, the indexed mode, the recording of help
// sheets and the rotation of cylinder jobs.
#include "Calcul.h"
#include "banc_marche.h"
#include "etat_marquage.h"
#include "etat_deplacement.h"
#include "etat_rotation.h"
#include "etat_pupitre.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <cmath>
#include <limits>

namespace {

using jobfile::Builder;
using jobfile::segment;
using ::testing::HasSubstr;

constexpr bool kFibre = build::kFibreLine;
constexpr int32_t kMax = std::numeric_limits<int32_t>::max();
constexpr int32_t kMin = std::numeric_limits<int32_t>::min();

TEST(Calcul, HalvesGoAwayFromZeroWithinTheIntegerRange)
{
    EXPECT_EQ(iArrondi(2.5), 3);
    EXPECT_EQ(iArrondi(-2.5), -3);
    EXPECT_EQ(iArrondi(2.4999), 2);
    EXPECT_EQ(iArrondi(25400.0f / 300 * 1000), 84667) << "dot pitch of 300 dpi in nanometres";
    EXPECT_EQ(iArrondi(NAN), 0);
    EXPECT_EQ(iArrondi(1e12), kMax);
    EXPECT_EQ(iArrondi(-1e12), kMin);
    EXPECT_DOUBLE_EQ(Round(3.14159, 2), 3.14) << "a fraction, not a whole number";
    EXPECT_DOUBLE_EQ(Round(-1.25, 1), -1.3);
    EXPECT_DOUBLE_EQ(Round(1.5, -3), 2.0);
    EXPECT_DOUBLE_EQ(Round(0.1234567891234, 15), 0.123456789);
}

// Each record received alone: its code position is 3 (one header byte, the marker).
class Enregistrements : public banc::Marche {
protected:
    static constexpr int32_t kCode = 3;
    static void Recoit(const Builder& b)
    {
        banc::Marche::Recoit(b.bytes());
        BuffCourant = RecepBuff.data;
    }
    int DernierePuissance() const
    {
        const auto commandes = dsp.Commandes();
        for (auto c = commandes.rbegin(); c != commandes.rend(); ++c)
            if (c->code == 0x06) return c->parametres.at(0);
        return -1;
    }
    static int32_t Puissance(uint16_t pourcent)
    {
        Recoit(Builder().record("PW", pourcent));
        return kFibre ? LFFonctionPowerV2(kCode) : FonctionPower(kCode);
    }
    static int32_t Frequence(const Builder& b)
    {
        Recoit(b);
        return kFibre ? LFFonctionFrequence(kCode) : FonctionFrequence(kCode);
    }
    static int32_t Points(uint8_t penUp, const Builder& b)
    {
        Recoit(b);
        return kFibre ? LFFonctionPU_PD(kCode, penUp) : FonctionPU_PD(kCode, penUp);
    }
};

TEST_F(Enregistrements, PowerCodesOfEachLaserLine)
{
    EXPECT_EQ(Puissance(100), 4);
    EXPECT_EQ(DernierePuissance(), 0xFF);
    Puissance(0);
    EXPECT_EQ(DernierePuissance(), kFibre ? 0x80 : 0xC0) << "emission on at level 0";
    Puissance(150);
    EXPECT_EQ(DernierePuissance(), 0xFF) << "more than 100 % is 100 %";
    if constexpr (kFibre) {
        pupitre.bEcoMode = 1;
        EXPECT_THAT(Sortie([] { Puissance(100); }), HasSubstr("Mode Eco en cours -> Puissance marquage = 0x7f"));
        EXPECT_EQ(DernierePuissance(), 0x7F) << "eco mode keeps the emission bit clear";
    }
}

TEST_F(Enregistrements, FrequencyRangesFollowTheModelAndStayWithin32Bits)
{
    const Builder dixKilohertz = Builder().pair("FR", 10000);
    if constexpr (kFibre) {
        marquage.ModelDuLaser = 772;
        EXPECT_EQ(Frequence(dixKilohertz), 10);
        EXPECT_EQ(marquage.Frequency, 30000);
        EXPECT_EQ(marquage.FreqInc, 546.0) << "70,000 Hz over 128";
        EXPECT_EQ(marquage.FreqMoyenne, 65000.0);
        marquage.ModelDuLaser = 774;
        Frequence(dixKilohertz);
        EXPECT_EQ(marquage.Frequency, build::kFibre500 ? 50000 : 20000);
        marquage.ModelDuLaser = 0;
    } else {
        EXPECT_EQ(Frequence(dixKilohertz), 10);
        EXPECT_EQ(build::kViper ? marquage.DeltaFrequency : marquage.PlageFreq, build::kViper ? 90000 : 190000);
    }
    marquage.TypeSource = 2;
    Frequence(Builder().pair("FR", 0x80000000u));
    EXPECT_EQ(marquage.Frequency, kMin);
    EXPECT_EQ(build::kViper ? marquage.DeltaFrequency : marquage.PlageFreq, kMax);

    // A high half alone changes nothing and takes its own record only.
    const std::string console = Sortie([] { EXPECT_EQ(Frequence(Builder().record("FR", 1).record("VD", 5)), 4); });
    EXPECT_THAT(console, HasSubstr("FR sans sa seconde moitié"));
    EXPECT_EQ(marquage.Frequency, kMin);
}

TEST_F(Enregistrements, AHundredthOfAMillimetreIsTenMicrometres)
{
    marquage.UniteDeLg = 0;
    marquage.CoefUnitVersNano = 10000;
    marquage.CoefUnitVersMicron = 10;
    marquage.OrgXPlaque = banc::kOrgX / 10;
    marquage.OrgYPlaque = banc::kOrgY / 10;
    banc::Marche::Recoit(Builder().pu({segment(200, 100)}).pd({segment(1000, 0)}).end().bytes());
    Marque();
    const auto traits = Traits();
    ASSERT_EQ(traits.size(), 1u);
    const int coin = banc::kCentre - banc::kDemiChamp;
    EXPECT_TRUE(banc::SuitLeDessin(traits[0], {coin + banc::kOrgX + 2000, coin + banc::kOrgY + 1000}, {segment(1000, 0)}, 10));
}

TEST_F(Enregistrements, AJumpWithoutPointsCentresOnceAndModeZeroSendsTheIndexedMarks)
{
    EXPECT_EQ(Points(1, Builder().pu().end()), 4);
    EXPECT_EQ(deplacement.FirstDeplacementCentreObjet, 0);

    Recoit(Builder().record("MO", 1));
    ChangtModeMarquage(kCode);
    EXPECT_EQ(rotation.bMOdeIndexe, 1);
    Points(0, Builder().pd({segment(1000, 0), segment(0, 1000)}).end());
    EXPECT_GT(deplacement.iTabD, 0);
    Recoit(Builder().record("MO", 0));
    ChangtModeMarquage(kCode);
    EXPECT_EQ(rotation.bMOdeIndexe, 0);
    EXPECT_EQ(deplacement.iTabD, 0);
}

TEST_F(Enregistrements, HelpSheetsRecordTheirVectorsUpToTheTablesEnds)
{
    marquage.bSimulation = 1;
    marquage.GainXRectPosition = marquage.GainYRectPosition = 1.0f;
    Builder b;
    b.record("PD", 0);
    for (int i = 0; i < 70; ++i) b.elements({segment(1000, -500)});
    b.end();
    for (const int type : {1, 3}) {
        marquage.TypeDuFichier = type;
        deplacement.CurrentRectPos = deplacement.NbreDataPourPositionnement = deplacement.NbreDataPositionnementTC = 0;
        const size_t avant = carte.Trace().size();
        EXPECT_EQ(Points(0, b), 4 + 70 * 8);
        EXPECT_TRUE(Traits(avant).empty()) << "a help sheet marks nothing";
        EXPECT_EQ(deplacement.CurrentRectPos, type == 1 ? 60 : 16);
        EXPECT_EQ(deplacement.RectanglePositionnementX[0], 1000.0f) << "steps";
        EXPECT_EQ(deplacement.RectanglePositionnementY[0], -500.0f);
    }
    EXPECT_EQ(deplacement.SavePointsCroixX[15], 1000.0f);
}

// A cylinder job with the rotation card (builds that have it): the card's
// model on its virtual clock, the axis in place of Y.
class Cylindre : public Enregistrements {
protected:
    void SetUp() override
    {
        Enregistrements::SetUp();
        if constexpr (build::kDmc) {
            dmc = &BrancheCarteRotation();
            rotation.sens_DMC_OK = 0;
            Reglage_Sens_DMC();
            RaccordsRotation.PriseOrigine = [] { ++prisesOrigine; };
        }
    }
    void TearDown() override
    {
        if constexpr (build::kDmc) DebrancheCarteRotation();
        Enregistrements::TearDown();
    }

    // Step rotation: two points of 3 mm along X and 2 mm around a 100 mm cylinder.
    static void RecoitDeuxPointsEnRotation()
    {
        rotation.bDMCpasApas = 1;
        rotation.PerimetreCylindreAMarquer = 10000;
        Builder b;
        b.pu({segment(1000, 0)}).pd({segment(3000, 2000), segment(3000, 2000)}).end();
        banc::Marche::Recoit(b.bytes());
    }

    static inline int prisesOrigine = 0;
    boardsim::CarteDmc* dmc = nullptr;
};

TEST_F(Cylindre, StepRotationTurnsThePartAndHomesItAfterTheLastPlane)
{
    if constexpr (!build::kDmc) {
        GTEST_SKIP() << "no rotation card in this build";
    } else {
        rotation.bDMCpasApas = 1;
        rotation.PerimetreCylindreAMarquer = 10000;  // 100 mm
        Builder b;
        b.pu({segment(1000, 0)}).pd({segment(3000, 2000)}).record("VT", 0).record("OP", 0).end();
        banc::Marche::Recoit(b.bytes());
        std::string console;
        Marque(&console);

        // 2 mm of a 100 mm turn of 15,200 half-steps, then back to 0.
        const auto mouvements = dmc->Mouvements();
        ASSERT_EQ(mouvements.size(), 2u);
        EXPECT_EQ(mouvements[0].impulsions, 304u);
        EXPECT_EQ(mouvements[1].impulsions, 304u);
        EXPECT_EQ(dmc->Position(), 0);
        EXPECT_EQ(rotation.DMC_ON, 0) << "the card is on for its moves only";
        EXPECT_EQ(prisesOrigine, 1);
        EXPECT_THAT(console, HasSubstr("Retour origine rotation - En absolu - Sans recherche du capteur"));
        EXPECT_THAT(console, HasSubstr("FIN NORMAL - Prise Origine avec recherche du capteur"));
        const auto traits = Traits();
        ASSERT_EQ(traits.size(), 1u);
        EXPECT_EQ(traits[0].Fin().x - traits[0].Debut().x, 3000);
        EXPECT_EQ(traits[0].Fin().y, traits[0].Debut().y) << "the beam does not move along Y";
    }
}

TEST_F(Cylindre, EachStrokeIsMarkedBeforeThePartTurns)
{
    if constexpr (!build::kDmc) {
        GTEST_SKIP() << "no rotation card in this build";
    } else {
        RecoitDeuxPointsEnRotation();
        Marque();

        // Stroke, turn, stroke, turn, in the order the trace shows them.
        std::string ordre;
        for (const auto& ligne : carte.Trace({"BLOCK", "DMCMOVE"})) {
            unsigned ctl = 0;
            const char c = ligne.rfind("DMCMOVE", 0) == 0 ? 'T'
                           : std::sscanf(ligne.c_str(), "BLOCK n=%*u ctl=0x%x", &ctl) == 1 && (ctl & 0x8000) ? 'M'
                                                                                                              : 0;
            if (c != 0 && (ordre.empty() || ordre.back() != c)) ordre += c;
        }
        EXPECT_EQ(ordre, "MTMT");
    }
}

TEST_F(Cylindre, ACardThatDoesNotCountItsPulsesStopsTheJob)
{
    if constexpr (!build::kDmc) {
        GTEST_SKIP() << "no rotation card in this build";
    } else {
        dmc->Virtuel(0);  // its clock stands still: no pulse comes
        RecoitDeuxPointsEnRotation();
        std::string console;
        Marque(&console);

        EXPECT_THAT(console, ::testing::ContainsRegex("Rotation : la carte DMC n'a pas envoyé ses 304 pas en "
                                                      "[0-9.]+ s -> Arrêt du marquage\n"));
        EXPECT_EQ(deplacement.Interruption, ArretMarquage::RotationBloquee);
        EXPECT_EQ(dmc->Mouvements().size(), 1u) << "no second turn";
        EXPECT_EQ(Traits().size(), 1u) << "no second stroke";
        EXPECT_EQ(deplacement.RetourOrigineOK, 0);
    }
}

}  // namespace
