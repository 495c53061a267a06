// Laser configuration files: values by position, defaults for zeros and for
// what a file does not give, derived step factors, rates and DSP increments.
#include "mlas_conf.h"

#include "banc_machine.h"
#include "mlas_dep.h"
#include "mlas_param.h"
#include "etat_marquage.h"
#include "etat_deplacement.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

namespace {

using ::testing::HasSubstr;
using ::testing::Not;

constexpr bool kFibre = build::kFibreLine;
constexpr int32_t kFreqDefaut = build::kTraits.freqQSwitch;

class Configuration : public banc::Machine {
protected:
    void SetUp() override
    {
        banc::Machine::SetUp();
        dsp.Demarre();
    }
    std::string Lit() { return Sortie([] { EXPECT_EQ(Lire_Config_Laser(), 1); }); }
    std::string DernierIncrement() const { return carte.Trace({"INC"}).back(); }
};

TEST_F(Configuration, ZerosGiveTheDefaultsAndTheirDerivedFactors)
{
    banc::Ecrit("MLASER.INI", "0 0 0 0 0 80 0 0 0\n");
    banc::Ecrit("MLASPPL.INI", "0 0 0 0 0\n");
    const std::string console = Lit();

    EXPECT_FLOAT_EQ(deplacement.Pas_nom_XLAS, 1.9836729764938354f);
    EXPECT_NEAR(deplacement.mmenpasY, 504.115, 0.001);
    EXPECT_EQ(marquage.FreqQSwitch, kFreqDefaut);
    EXPECT_EQ(lasparam.VitesseMarquage, 500);
    EXPECT_EQ(marquage.Puissance, 0u) << "the power in the file is not taken";
    EXPECT_EQ(marquage.Nb_passes_laser, 1);
    EXPECT_EQ(marquage.VitesseRect, 2500);
    EXPECT_EQ(marquage.TempoSaut, defaut::kKm250Actuel ? 120000 : 150000);
    EXPECT_EQ(marquage.TempoTir, defaut::kKm250Actuel ? 300 : 400);
    EXPECT_EQ(marquage.TempopTir, defaut::kKm250Actuel ? 10 : 400);
    EXPECT_EQ(DernierIncrement(), "INC pu=50 pd=10");
    EXPECT_NEAR(lasparam.HauteurChampPas, 65535.0, 0.01);
    if constexpr (kFibre) {
        EXPECT_THAT(console, HasSubstr("Type de la source : 0\nVitesse de saut : 2500 mm/s    (VitesseSaut)\n"));
        EXPECT_THAT(console, HasSubstr("Sur X, Nbre de Pas par mm : 504.115"));
    } else {
        EXPECT_THAT(console, HasSubstr("Valeurs du fichier d'initialisation : \nPas de déplacement en X : 1.983673 micron"));
        EXPECT_THAT(console, HasSubstr("Nombre de Passe du Laser : 1 - Focale : 0\n"));
    }
}

TEST_F(Configuration, FileValuesAndTheirDerivedRates)
{
    marquage.TypeSource = 0;
    banc::Ecrit("MLASER.INI", "2.5 2.0\n40000 12.5 800 80 2 3 1\n");
    banc::Ecrit("MLASPPL.INI", "3000 200 50 1500 60");
    const std::string console = Lit();

    EXPECT_FLOAT_EQ(deplacement.mmenpasX, 400.0f);
    EXPECT_FLOAT_EQ(deplacement.mmenpasY, 500.0f);
    EXPECT_EQ(marquage.FreqQSwitch, 40000);
    EXPECT_FLOAT_EQ(marquage.RapportCyclique, 12.5f);
    EXPECT_EQ(lasparam.VitesseMarquage, 800);
    EXPECT_EQ(marquage.TypeSource, kFibre ? 1 : 0) << "only the fibre line reads the source type";
    EXPECT_EQ(marquage.TempoSaut, 200);
    EXPECT_EQ(DernierIncrement(), "INC pu=48 pd=13");
    if constexpr (kFibre) {
        EXPECT_THAT(console, HasSubstr("Sur Y, Longueur entre 2 Pas : 0.002000 mm   - 2.000000 micron     (pasenmmY, "
                                       "Pas_nom_YLAS)\n"));
    } else {
        EXPECT_THAT(console, HasSubstr("Sur X, Nbre de Pas par mm : 400.000000  (mmenpasX) - Sur Y, Nbre de Pas par mm : "
                                       "500.000000  (mmenpasY)\n"));
        EXPECT_THAT(console, HasSubstr(std::string("FreqQSwitch : 40000 - RapportCyclique : 12.500000 - Vitesse de "
                                                   "marquage : 800 mm/s - Puissance de marquage : 0 ") +
                                       (build::kViper ? "pour 100\n" : "en pourcentage\n")));
    }
}

TEST_F(Configuration, MissingShortOrUnreadableFilesKeepTheDefaults)
{
    marquage.RapportCyclique = 0.0f;
    marquage.TempoSaut = marquage.TempoTir = 0;
    marquage.VitesseSaut = 1234;
    std::string console = Lit();
    EXPECT_THAT(console, HasSubstr("Fichier MLASER.INI absent -> valeurs par défaut\n"));
    EXPECT_THAT(console, HasSubstr("Fichier MLASPPL.INI absent -> valeurs par défaut\n"));
    EXPECT_FLOAT_EQ(marquage.RapportCyclique, 4.0f);
    EXPECT_EQ(marquage.VitesseSaut, 1234) << "a value the file does not give stays";
    EXPECT_EQ(marquage.TempoTir, defaut::kTempoTir);

    marquage.RapportCyclique = 0.0f;
    marquage.TempoSaut = marquage.TempoTir = 0;
    banc::Ecrit("MLASER.INI", "2.5 2.5 40000");
    banc::Ecrit("MLASPPL.INI", "3000 abc 50 60 70");
    console = Lit();
    EXPECT_THAT(console, HasSubstr("Fichier MLASER.INI : valeur 4 absente ou illisible -> valeurs par défaut à partir "
                                   "de celle-ci\n"));
    EXPECT_THAT(console, HasSubstr("Fichier MLASPPL.INI : valeur 2 absente ou illisible"));
    EXPECT_THAT(console, Not(HasSubstr("valeur 3")));
    EXPECT_EQ(marquage.VitesseSaut, 3000);
    EXPECT_EQ(marquage.TempoSaut, defaut::kTempoSaut);
    EXPECT_EQ(marquage.TempoTir, defaut::kTempoTir) << "nothing is read after an unreadable value";
}

}  // namespace
