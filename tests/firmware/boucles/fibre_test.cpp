// What the fibre line alone does: the closed-peer signal in the fibre wait,
// the YAG wait of mode 1, the cylinder-turner adjustment, the source's minimum
// frequency and the pre-amplifier failures that end the program.
#include "banc_boucles.h"

#include "mlas_param.h"
#include "etat_marquage.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>

namespace {

using banc::kLampeAllumee;
using banc::kLampeEteinte;
using ::testing::ElementsAre;
using ::testing::HasSubstr;

class Fibre : public banc::Attente {};

// The PC closes a connection without a job when the drawing crosses the
// forbidden zone: the job in memory stays, and so does the lamp.
TEST_F(Fibre, APeerClosingWithoutAJobKeepsTheJobAndTheLamp)
{
    for (const Fonction attente : {LFWaitStartMarking, WaitStartMarking}) {
        const auto job = banc::JobDeMarquage();
        EnMemoire(job);
        Start(false);
        const size_t lampes = Lampes().size();
        const size_t debut = Console().size();
        auto resultat = Lance(attente, 0);
        ASSERT_TRUE(JusquaLampes(lampes + 1));
        ConnecteEtFerme();
        ASSERT_TRUE(JusquaConsole("Logiciel en écoute sur le Port Ethernet", 2, debut));
        Start(true);
        EXPECT_EQ(Resultat(resultat), 1);

        EXPECT_EQ(EnMemoire(), banc::SansInstruction(job));
        const auto apres = Lampes();
        EXPECT_EQ(apres.back(), kLampeEteinte);
        EXPECT_EQ(std::count(apres.begin() + static_cast<long>(lampes), apres.end(), kLampeEteinte), 1)
            << "not put out before the start";
    }
    EXPECT_THAT(Console(), HasSubstr("ATTENTE LANCEMENT DU MARQUAGE      franchissement de la zone interdite détecté\n"));
}

TEST_F(Fibre, TheYagWaitTakesNoStartWithoutAValidJob)
{
    EnMemoire(banc::JobDeMarquage(), 0);
    Start(true);
    auto attente = Lance(WaitStartMarking, 0);
    ASSERT_TRUE(JusquaConsole("Logiciel en écoute sur le Port RS232\n"));
    const auto nouveau = banc::JobDeMarquage(0, 1500);
    Envoie(nouveau);
    EXPECT_EQ(Resultat(attente), 1);
    EXPECT_EQ(EnMemoire(), banc::SansInstruction(nouveau));
    EXPECT_THAT(Lampes(), ElementsAre(kLampeEteinte, kLampeAllumee, kLampeEteinte));
}

// Ten rounds, each step ended by the start, then the scanner at the centre.
TEST_F(Fibre, TheTenthAdjustmentRoundEndsWithTheScannerAtTheCentre)
{
    EnMemoire(banc::JobDeMarquage(), 0);
    Start(true);
    auto attente = Lance(LFWaitStartMarking, 0);
    ASSERT_TRUE(JusquaConsole("Logiciel en écoute sur le Port Ethernet\n"));
    Envoie(banc::JobDeMarquage(4));
    EXPECT_EQ(Resultat(attente), 0);

    std::vector<std::string> attendus;
    for (int tour = 0; tour < 10; ++tour) {
        attendus.push_back("BLOCK n=" + std::to_string(2 * tour % 10) + " ctl=0x0801 x=65532 y=32766");
        attendus.push_back("BLOCK n=" + std::to_string((2 * tour + 1) % 10) + " ctl=0x0801 x=65534 y=32766");
    }
    std::vector<std::string> blocs;
    for (const std::string& ligne : carte.Trace({"BLOCK"})) blocs.push_back(ligne.substr(0, ligne.find(" dpd=")));
    ASSERT_EQ(blocs.size(), 21u);
    EXPECT_EQ(std::vector<std::string>(blocs.begin(), blocs.end() - 1), attendus);
    EXPECT_THAT(blocs.back(), HasSubstr("x=32766 y=32766"));
    const std::string console = Console();
    size_t tours = 0;
    for (size_t p = console.find("2- Reglage du TC Envoi de la valeur MAX. au DSP\n"); p != std::string::npos;
         p = console.find("2- Reglage du TC Envoi de la valeur MAX. au DSP\n", p + 1))
        ++tours;
    EXPECT_EQ(tours, 10u);
    EXPECT_THAT(console, ::testing::EndsWith("\nFin réglage TC \n"));
    EXPECT_EQ(marquage.bTCReglageMinMax, 0);
}

TEST_F(Fibre, MinimumFrequencyOfTheSourceAtStartUp)
{
    struct Cas {
        int32_t source, modele, frequence;
    };
    for (const Cas c : {Cas{0, 0, 30000}, Cas{1, 0, 35000}, Cas{2, 0, 42000}, Cas{1, 774, 50000}}) {
        SCOPED_TRACE(c.source);
        marquage.TypeSource = c.source;
        marquage.ModelDuLaser = c.modele;
        marquage.FreqQSwitch = 42000;
        const size_t debut = Console().size();
        InitFreqLFMin();
        EXPECT_EQ(marquage.FreqQSwitch, c.frequence);
        EXPECT_EQ(marquage.RapportCyclique, 50.0f);
        EXPECT_EQ(Console().substr(debut), "Initialisation de la freq. MIN par défaut au boot à " +
                                               std::to_string(c.frequence) + " Hz\n");
        const auto pwm = dsp.Commandes().back();
        EXPECT_EQ(pwm.code, 0x03);
        EXPECT_EQ(pwm.parametres.at(0), static_cast<uint16_t>(8192000.0 / c.frequence + 0.5)) << "Q-switch period";
    }
}

// The loop itself up to a marking: reloaded job, start, and a pre-amplifier
// that does not answer while a reset is asked for.
class PreAmpli : public banc::Attente {
protected:
    void Marque(uint8_t commandeRefusee)
    {
        setenv("MLAS_TCP_PORT", "0", 1);
        const auto job = banc::JobDeMarquage();
        banc::Ecrit("tmpprn.prn", banc::SansInstruction(job));
        dsp.FixeEntrees({true, true});
        dsp.RefuseCommande(commandeRefusee);
        dup2(STDERR_FILENO, STDOUT_FILENO);
        LFMarquageLFQuantel();
    }
};

TEST_F(PreAmpli, AFailureToEnableOrDisableItEndsTheProgramWithStatus1)
{
    // Under an emulator the test cannot execute itself again: it forks only.
    GTEST_FLAG_SET(death_test_style, *MLAS_EMULATEUR ? "fast" : "threadsafe");
    EXPECT_EXIT(Marque(0x13), ::testing::ExitedWithCode(1),
                "DEBUT DU MARQUAGE   \nValidation Pre-Amp\nErreur dans la fonction de validation de la Pre-Amp\n$");
    EXPECT_EXIT(Marque(0x14), ::testing::ExitedWithCode(1),
                "FIN DU MARQUAGE\nDevalidation PRE-AMP \\(DSP\\)\nErreur dans la fonction de Devalidation de la "
                "Pre-Amp\n$");
}

}  // namespace
