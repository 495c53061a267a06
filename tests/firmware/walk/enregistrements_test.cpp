// Record handlers one by one: power codes per laser line, frequency ranges,
// speed, the rounding they share, units, the indexed mode, the simulation
// recording of help sheets and the rotation of cylinder jobs.
#include "Calcul.h"
#include "banc_marche.h"
#include "mk_dmc.h"
#include "mlas_dmc.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <cmath>
#include <limits>

namespace {

using banc::kCentre;
using banc::kDemiChamp;
using build::Id;
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
    EXPECT_EQ(iArrondi(-0.5), -1);
    EXPECT_EQ(iArrondi(25400.0f / 300 * 1000), 84667) << "dot pitch of 300 dpi in nanometres";
    EXPECT_EQ(iArrondi(NAN), 0);
    EXPECT_EQ(iArrondi(1e12), kMax);
    EXPECT_EQ(iArrondi(-1e12), kMin);

    EXPECT_DOUBLE_EQ(Round(3.14159, 2), 3.14) << "a fraction, not a whole number";
    EXPECT_DOUBLE_EQ(Round(-1.25, 1), -1.3);
    EXPECT_DOUBLE_EQ(Round(1.5, -3), 2.0);
    EXPECT_DOUBLE_EQ(Round(0.1234567891234, 15), 0.123456789);
}

// Each record received alone; its code position is 3 (one header byte, the marker).
class Enregistrements : public banc::Marche {
protected:
    static constexpr int32_t kCode = 3;
    void Recoit(const Builder& b)
    {
        banc::Marche::Recoit(b.bytes());
        BuffCourant = RecepBuff.data;
    }
    int DernierePuissance() const
    {
        int p = -1;
        for (const auto& c : dsp.Commandes())
            if (c.code == 0x06) p = c.parametres.at(0);
        return p;
    }
    int32_t Puissance(uint16_t pourcent)
    {
        Recoit(Builder().record("PW", pourcent));
        return kFibre ? LFFonctionPowerV2(kCode) : FonctionPower(kCode);
    }
    int32_t Frequence(uint32_t hertz)
    {
        Recoit(Builder().pair("FR", hertz));
        return kFibre ? LFFonctionFrequence(kCode) : FonctionFrequence(kCode);
    }
    int32_t Points(uint8_t penUp, const Builder& b)
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
        bEcoMode = 1;
        const std::string console = Sortie([&] { Puissance(100); });
        EXPECT_EQ(DernierePuissance(), 0x7F) << "eco mode keeps the emission bit clear";
        EXPECT_THAT(console, HasSubstr("Mode Eco en cours -> Puissance marquage = 0x7f"));
        bEcoMode = 0;
    }
    if constexpr (build::kId == Id::Fibre) {
        ModelDuLaser = 772;
        EXPECT_THAT(Sortie([&] { Puissance(100); }), HasSubstr("Fibre 300 détecté Puissance configurée = 255 = ff\n"));
    }
}

TEST_F(Enregistrements, FrequencyRangesFollowTheModelAndTakeBothHalves)
{
    if constexpr (kFibre) {
        ModelDuLaser = 772;
        EXPECT_EQ(Frequence(10000), 10);
        EXPECT_EQ(Frequency, 30000);
        EXPECT_EQ(PlageFreq, 70000);
        EXPECT_EQ(FreqInc, 546.0);
        EXPECT_EQ(FreqMoyenne, 65000.0);
        ModelDuLaser = 774;
        Frequence(10000);
        EXPECT_EQ(Frequency, build::kId == Id::Fibre ? 50000 : 20000);
        ModelDuLaser = 0;
        TypeSource = 2;
        Frequence(10000);
        EXPECT_EQ(Frequency, 10000) << "no minimum for this source";
    } else {
        EXPECT_EQ(Frequence(10000), 10);
        EXPECT_EQ(Frequency, 10000);
        if constexpr (build::kViper) {
            EXPECT_EQ(DeltaFrequency, 90000);
            EXPECT_EQ(FreqInc, 1406.0);
        } else {
            EXPECT_EQ(PlageFreq, 190000);
            EXPECT_EQ(FreqMoyenne, 105000.0);
        }
    }
    // Whatever 32 bits the job holds, the ranges stay within 32 bits.
    TypeSource = 2;
    Frequence(0x80000000u);
    EXPECT_EQ(Frequency, kMin);
    EXPECT_EQ(build::kViper ? DeltaFrequency : PlageFreq, kMax);

    // A high half alone changes nothing and takes its own record only.
    Frequency = 1234;
    Recoit(Builder().record("FR", 1).record("VD", 500));
    const std::string console =
        Sortie([&] { EXPECT_EQ(kFibre ? LFFonctionFrequence(kCode) : FonctionFrequence(kCode), 4); });
    EXPECT_THAT(console, HasSubstr("FR sans sa seconde moitié"));
    EXPECT_EQ(Frequency, 1234);
}

TEST_F(Enregistrements, SpeedAndPulseDuration)
{
    ModeTurboTCValide = 1;
    Recoit(Builder().record("VD", 1000));
    EXPECT_THAT(Sortie([] { FonctionVitesseMarquage(kCode); }), HasSubstr("Vitesse en mode Turbo TC = 4000  mm/s \n"));
    EXPECT_EQ(MarkingSpeed, 40000);
    EXPECT_EQ(DeltaMarkingSpeed, 32000);
    EXPECT_EQ(SpeedInc, 500.0);

    Recoit(Builder().record("DI", 25));
    EXPECT_EQ(FonctionDureeImpulsion(kCode), 4);
    EXPECT_EQ(DureeImpulsion, 2.0f);
}

TEST_F(Enregistrements, AHundredthOfAMillimetreIsTenMicrometres)
{
    UniteDeLg = 0;
    CoefUnitVersNano = 10000;
    CoefUnitVersMicron = 10;
    OrgXPlaque = banc::kOrgX / 10;
    OrgYPlaque = banc::kOrgY / 10;
    Builder b;
    b.pu({segment(200, 100)}).record("PD", 0).elements({segment(1000, 0)}).end();
    banc::Marche::Recoit(b.bytes());
    Marque();
    const auto traits = Traits();
    ASSERT_EQ(traits.size(), 1u);
    const banc::Point debut{kCentre - kDemiChamp + banc::kOrgX + 2000, kCentre - kDemiChamp + banc::kOrgY + 1000};
    EXPECT_TRUE(banc::SuitLeDessin(traits[0], debut, {segment(1000, 0)}, 10));
}

TEST_F(Enregistrements, PointListsEndAtTheNextRecordAndAJumpWithoutPointsCentresOnce)
{
    Builder b;
    b.record("PD", 0).elements({segment(100, 0), segment(0, 100), segment(-100, 0)}).record("JF", 0);
    EXPECT_EQ(Points(0, b), 4 + 3 * 8);

    EXPECT_EQ(Points(1, Builder().pu().end()), 4);
    EXPECT_EQ(FirstDeplacementCentreObjet, 0);
    if constexpr (!build::kDmc) {
        bTC_DMC = 1;
        EXPECT_EQ(bRotationPUVecteur, 1) << "jumps turn the cylinder";
        Points(0, b);
        EXPECT_EQ(bRotationPUVecteur, 0) << "not the marks";
    }
}

TEST_F(Enregistrements, ModeZeroSendsTheIndexedMarksFirst)
{
    Recoit(Builder().record("MO", 1));
    ChangtModeMarquage(kCode);
    EXPECT_EQ(bMOdeIndexe, 1);
    Points(0, Builder().pd({segment(1000, 0), segment(0, 1000)}).end());
    EXPECT_GT(iTabD, 0);
    Recoit(Builder().record("MO", 0));
    ChangtModeMarquage(kCode);
    EXPECT_EQ(bMOdeIndexe, 0);
    EXPECT_EQ(iTabD, 0);
}

TEST_F(Enregistrements, HelpSheetsRecordTheirVectorsUpToTheTablesEnds)
{
    bSimulation = 1;
    GainXRectPosition = GainYRectPosition = 1.0f;
    Builder b;
    b.record("PD", 0);
    for (int i = 0; i < 70; ++i) b.elements({segment(1000, -500)});
    b.end();
    for (const int type : {1, 3}) {
        TypeDuFichier = type;
        CurrentRectPos = NbreDataPourPositionnement = NbreDataPositionnementTC = 0;
        const size_t avant = carte.Trace().size();
        EXPECT_EQ(Points(0, b), 4 + 70 * 8);
        EXPECT_TRUE(Traits(avant).empty()) << "a help sheet marks nothing";
        EXPECT_EQ(CurrentRectPos, type == 1 ? 60 : 16);
        EXPECT_EQ(RectanglePositionnementX[0], 1000.0f) << "steps";
        EXPECT_EQ(RectanglePositionnementY[0], -500.0f);
        if (type == 3) {
            EXPECT_EQ(SavePointsCroixX[15], 1000.0f);
        }
    }
}

// A cylinder job with the rotation card fitted (builds that have it): the
// card's model on its virtual clock, the axis replacing Y.
class Cylindre : public Enregistrements {
protected:
    void SetUp() override
    {
        Enregistrements::SetUp();
        if constexpr (build::kDmc) {
            dmc = &boardsim::AjouteCarteDmc();
            dmc->Virtuel(1000);
            handleDMC = libdevmem_open(0x300002C0, 8);
            hOSTimer = libdevmem_open(0x40A00010, 4);
            boardsim::Timer().Virtuel(3686);
            DMC_X = 0;
            DMC_Y = 1;
            FDEPLDMC = 1583;
            FACCELDMC = 302;
            PDMC_reel = 0.0;
            Origine_DMC = 1;
            SUPPRIMER_RAMPE = Reset_presse = 0;
            sens_DMC_OK = 0;
            Sortie([] { init_DMC_Laser(); });
            Reglage_Sens_DMC();
            prisesOrigine = 0;
            RaccordsRotation.PriseOrigine = [] { ++prisesOrigine; };
        }
    }
    void TearDown() override
    {
        if constexpr (build::kDmc) {
            libdevmem_close(hOSTimer);
            libdevmem_close(handleDMC);
            hOSTimer = handleDMC = nullptr;
            DMC_OK = DMC_ON = 0;
        }
        Enregistrements::TearDown();
    }

    static inline int prisesOrigine = 0;
    boardsim::CarteDmc* dmc = nullptr;
};

TEST_F(Cylindre, StepRotationTurnsThePartAndHomesItAfterTheLastPlane)
{
    if constexpr (!build::kDmc) {
        GTEST_SKIP() << "no rotation card in this build";
    } else {
        bDMCpasApas = 1;
        PerimetreCylindreAMarquer = 10000;  // 100 mm
        Builder b;
        b.pu({segment(1000, 0)}).record("PD", 0).elements({segment(3000, 2000)}).record("VT", 0).record("OP", 0).end();
        banc::Marche::Recoit(b.bytes());
        std::string console;
        Marque(&console);

        // 2 mm of a 100 mm turn of 15,200 half-steps, then back to 0.
        const auto mouvements = dmc->Mouvements();
        ASSERT_EQ(mouvements.size(), 2u);
        EXPECT_EQ(mouvements[0].impulsions, 304u);
        EXPECT_EQ(mouvements[1].impulsions, 304u);
        EXPECT_EQ(mouvements[1].sens, -mouvements[0].sens);
        EXPECT_EQ(dmc->Position(), 0);
        EXPECT_EQ(DMC_ON, 0) << "the card is on for its moves only";
        EXPECT_EQ(prisesOrigine, 1);
        EXPECT_EQ(bLastFicheMultiPlansTC, 1);
        EXPECT_THAT(console, HasSubstr("Retour origine rotation - En absolu - Sans recherche du capteur"));
        EXPECT_THAT(console, HasSubstr("FIN NORMAL - Prise Origine avec recherche du capteur"));
        const auto traits = Traits();
        ASSERT_EQ(traits.size(), 1u);
        EXPECT_EQ(traits[0].Fin().x - traits[0].Debut().x, 3000);
        EXPECT_EQ(traits[0].Fin().y, traits[0].Debut().y) << "the beam does not move along Y";
    }
}

}  // namespace
