// DSP host port and mailbox against the simulated card: program load, the
// words each command leaves in the mailbox, inputs, lamps and the waits.
#include "mlas_func.h"

#include "banc_machine.h"
#include "build.h"
#include "etat_deplacement.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <filesystem>
#include <functional>
#include <vector>

namespace {

using ::testing::ElementsAre;
using ::testing::HasSubstr;
using ::testing::StartsWith;
using boardsim::CarteDsp;

constexpr bool kTempsDeChargement = build::kTraits.texteTempsChargement != nullptr;
constexpr bool kViper = build::kViper;

// Each read of the clock takes the next value; the last one stays.
std::vector<clock_t> valeursHorloge;
std::size_t lecturesHorloge = 0;
clock_t HorlogeScriptee()
{
    return valeursHorloge[std::min(lecturesHorloge++, valeursHorloge.size() - 1)];
}

int evenementsScrutes = 0;
int ScruteEvenements()
{
    ++evenementsScrutes;
    return 0;
}

class PortDsp : public banc::Machine {
protected:
    void SetUp() override
    {
        banc::Machine::SetUp();
        evenementsScrutes = 0;
    }

    void Programme(const std::string& texte) { banc::Ecrit(build::kTraits.dspProgram, texte); }
    void ProgrammeLivre() { std::filesystem::copy_file(MLAS_SIM_DSP_PROGRAM, build::kTraits.dspProgram); }
    std::string Journal() const { return banc::Contenu("log_dsp.txt"); }
};

std::string ResetAttendu()
{
    return "Reset du DSP avec pause : pause 500  pause 200\n";
}

void VerifieFinDeChargement(const std::string& sortie, const std::string& avant)
{
    if constexpr (!kTempsDeChargement) {
        EXPECT_EQ(sortie, avant);
    } else {
        EXPECT_THAT(sortie, StartsWith(avant + "Temps de chargement : "));
        EXPECT_THAT(sortie, ::testing::EndsWith(" (clock horloge) \n"));
    }
}

TEST_F(PortDsp, StartUpLoadsTheProgramEnablesTheServosAndSetsTheIncrements)
{
    ProgrammeLivre();
    VerifieFinDeChargement(Sortie(Charge_Dsp), ResetAttendu());
    EXPECT_EQ(EnableServo(), 1);
    EXPECT_EQ(Fixe_Increment(7, 3), 1);

    EXPECT_THAT(carte.Trace(), ElementsAre("RESET line=0", "RESET line=1", "BOOT word=0x0200",
                                           "LOAD words=32 sum=0xF510", "START word=0x4D4C run=1",
                                           "CMD code=0x0B ack=0xAA00 p=-", "INC pu=3 pd=7"));
    EXPECT_EQ(dsp.Mot(0), 0x4D4C);
    EXPECT_EQ(dsp.Mot(3), 0x0A5A);
    EXPECT_EQ(dsp.Mot(4), 2);
    EXPECT_EQ(dsp.Mot(0x7FFF), 0x0200);
    const std::string journal = Journal();
    EXPECT_THAT(journal, StartsWith("i= 2650\nI2= 1\ni= 2650\nI2= 2\n"));
    EXPECT_THAT(journal, HasSubstr("i= 34816\nI2= 136\nsaveH= 19788\nsaveL= 65\n"));
}

TEST_F(PortDsp, AMissingProgramLeavesTheCardSilent)
{
    const std::string sortie = Sortie(Charge_Dsp);
    VerifieFinDeChargement(sortie, ResetAttendu() + "Fichier DSP absent -> FIN du programme");
    EXPECT_EQ(EnableServo(), 0);
    EXPECT_EQ(Test_Reset(), 1);
    EXPECT_THAT(carte.Trace(), ElementsAre("RESET line=0", "RESET line=1", "CMD code=0x0B ack=0x0000 p=-",
                                           "CMD code=0x01 ack=0x0000 p=-"));
    EXPECT_TRUE(std::filesystem::exists("log_dsp.txt"));
    EXPECT_EQ(Journal(), "");
}

TEST_F(PortDsp, AMalformedProgramWritesNothingToTheCard)
{
    Programme("no marker here\n4D4C41 123456\n");
    VerifieFinDeChargement(Sortie(Charge_Dsp), ResetAttendu() + "Erreur d'identification du fichier DSP\n");
    Programme("@PA 0001 4D4C41 123456\n");
    VerifieFinDeChargement(Sortie(Charge_Dsp), ResetAttendu() + "Erreur dans le fichier 2");
    Programme("@PA 0000\n");
    VerifieFinDeChargement(Sortie(Charge_Dsp), ResetAttendu() + "Erreur dans le fichier 2");
    EXPECT_TRUE(carte.Trace({"BOOT", "START"}).empty());
    EXPECT_EQ(dsp.EtatCarte(), CarteDsp::Etat::Chargement);
    EXPECT_EQ(Journal(), "");
}

TEST_F(PortDsp, ShortAndLastTokensAreLoaded)
{
    Programme("header @PA 0000 4D4C41 ABCD 123456");
    Sortie(Charge_Dsp);
    EXPECT_EQ(dsp.EtatCarte(), CarteDsp::Etat::Marche);
    EXPECT_EQ(dsp.Mot(2), 0) << "a four-character token sends 0 as its second word";
    EXPECT_EQ(dsp.Mot(3), 0x1234);
    EXPECT_EQ(dsp.Mot(4), 0x56);
    EXPECT_EQ(Journal(), "i= 43981\nI2= 0\ni= 4660\nI2= 86\nsaveH= 19788\nsaveL= 65\n");
}

TEST_F(PortDsp, EachCommandLeavesItsParameterWordsAndIsAcknowledged)
{
    dsp.Demarre();
    struct Cas {
        std::function<int()> commande;
        int resultat;
        std::string ligne;
        std::string console;
    };
    const std::vector<Cas> cas = {
        {[] { return Pilot_PWM(50000, 50.0f); }, 1, "CMD code=0x03 ack=0xAA00 p=164,82", ""},
        {[] { return Pilot_PWM(20000, 12.5f); }, 1, "CMD code=0x03 ack=0xAA00 p=410,51", ""},
        {[] { return Pilot_Vitesse(10, 20); }, 1, "CMD code=0x05 ack=0xAA00 p=131,10,20", ""},
        {[] { return Pilot_Puissance(0x12345); }, 1, "CMD code=0x06 ack=0xAA00 p=9029", ""},
        {EnablePWM, 1, "CMD code=0x09 ack=0xAA00 p=-", "Validation Signal PWM du DSP\n"},
        {EnableServo, 1, "CMD code=0x0B ack=0xAA00 p=-", ""},
        {DisableServo, 1, "CMD code=0x0C ack=0xAA00 p=-", ""},
        {[] { return Ecrire_Tor_Dsp(2, 1); }, 0xAA00, "CMD code=0x10 ack=0xAA00 p=1024", ""},
        {[] { return Ecriture_TOR_DSP(0x13); }, 0xAA00, "CMD code=0x10 ack=0xAA00 p=1536", ""},
        {EnablePreAmp, 1, "CMD code=0x13 ack=0xAA00 p=-", "Validation Pre-Amp\n"},
        {DisablePreAmp, 1, "CMD code=0x14 ack=0xAA00 p=-", "Devalidation PRE-AMP (DSP)\n"},
        {[] { return Get_Dsp_In(); }, 0x01, "CMD code=0x01 ack=0xAA00 p=-", ""},
    };
    for (const Cas& c : cas) {
        int resultat = -1;
        EXPECT_EQ(Sortie([&] { resultat = c.commande(); }), c.console) << c.ligne;
        EXPECT_EQ(resultat, c.resultat) << c.ligne;
        EXPECT_EQ(carte.Trace({"CMD"}).back(), c.ligne);
    }
    EXPECT_EQ(deplacement.MemCurrentPower, 0x12345);
}

TEST_F(PortDsp, StartSeqSpellsTheVersionInPowerValuesAMomentApart)
{
    dsp.Demarre();
    const clock_t debut = banc::horlogeVirtuelle;
    EXPECT_EQ(Sortie([] { StartSeq(11 | 20 << 8); }), "Version -> EFS : 11.20\n");
    std::vector<std::string> attendues;
    for (int p : {1, 127, 112, 1, 65, 1, 65, 2, 66, 0, 64, 85})
        attendues.push_back("CMD code=0x06 ack=0xAA00 p=" + std::to_string(p));
    EXPECT_EQ(carte.Trace({"CMD"}), attendues);
    EXPECT_EQ(deplacement.MemCurrentPower, 85);
    EXPECT_GE(banc::horlogeVirtuelle - debut, 12 * 100000) << "100 ms after each value";
}

TEST_F(PortDsp, OriginsAreWrittenAndReadWithoutCommand)
{
    dsp.Demarre();
    EcritLesOrigines(0x10, 0x2A, 3, 0xFFFF);
    EXPECT_EQ(Sortie(LitLesOrigines), "OrigineDacX :10\n OrigineDacY :2a\n OrigineAdcX :3\n OrigineAdcY :ffff\n");
    EXPECT_THAT(carte.Trace(), ElementsAre("ORIGIN dacx=16 dacy=42 adcx=3 adcy=65535"));
}

TEST_F(PortDsp, StartAndResetInputs)
{
    dsp.Demarre();
    EXPECT_EQ(Lire_Tor_Dsp(1), 0);
    EXPECT_EQ(Test_Reset(), 0);
    dsp.FixeEntrees({.start = true});
    EXPECT_EQ(Lire_Tor_Dsp(1), 1);
    EXPECT_EQ(Lire_Tor_Dsp(0), 1);
    EXPECT_EQ(Lire_Tor_Dsp(2), 0);
    EXPECT_EQ(Lire_Tor_Dsp(8), 0);
    EXPECT_EQ(Test_Reset(), 0);
    dsp.FixeEntrees({.reset = true});
    EXPECT_EQ(Test_Reset(), 1);
    EXPECT_EQ(Lire_Tor_Dsp(1), 0);
    dsp.SansAcquittement(true);
    EXPECT_EQ(Get_Dsp_In(), 0);
    EXPECT_EQ(Test_Reset(), 1);
}

TEST_F(PortDsp, TestResetServesTheOperatorBoardFirst)
{
    dsp.Demarre();
    ScruteEvenementsPupitre = ScruteEvenements;
    Test_Reset();
    EXPECT_EQ(evenementsScrutes, kViper ? 0 : 1);
}

TEST_F(PortDsp, LampsKeepTheOtherOutputs)
{
    dsp.Demarre();
    for (unsigned char n = 1; n <= 4; ++n) Ecrire_Tor_Dsp(n, 0);
    const auto avant = carte.Trace({"OUT"}).size();
    Ecrire_Tor_Dsp(1, 1);
    EXPECT_TRUE(dsp.Lampe(1));
    Ecrire_Tor_Dsp(2, 1);
    Ecrire_Tor_Dsp(1, 0);
    EXPECT_FALSE(dsp.Lampe(1));
    EXPECT_TRUE(dsp.Lampe(2));
    Ecrire_Tor_Dsp(4, 2);
    EXPECT_FALSE(dsp.Lampe(4)) << "only 1 switches an output on";
    EXPECT_EQ(Ecrire_Tor_Dsp(0, 1), 0);
    EXPECT_EQ(Ecrire_Tor_Dsp(5, 1), 5);
    Ecriture_TOR_DSP(0x1);
    EXPECT_TRUE(dsp.Lampe(1));
    EXPECT_FALSE(dsp.Lampe(2));
    const auto sorties = carte.Trace({"OUT"});
    EXPECT_THAT(std::vector(sorties.begin() + static_cast<long>(avant), sorties.end()),
                ElementsAre("OUT word=0x0200", "OUT word=0x0600", "OUT word=0x0400", "OUT word=0x0400",
                            "OUT word=0x0200"));
}

TEST_F(PortDsp, AWaitInterruptedByTheResetTestAsksAgainAndTakesOnlyItsOwnReply)
{
    dsp.Demarre();
    dsp.RefuseCommande(0x0B);
    dsp.ScriptEntrees({{}, {.reset = true}});
    EXPECT_EQ(EnableServo(), 0);
    dsp.FixeEntrees({});
    dsp.RefuseCommande(0x06, 1);
    EXPECT_EQ(Pilot_Puissance(200), 1);
    EXPECT_THAT(carte.Trace({"CMD"}),
                ElementsAre("CMD code=0x0B ack=0x0000 p=-", "CMD code=0x01 ack=0xAA00 p=-", "CMD code=0x0B ack=0x0000 p=-",
                            "CMD code=0x01 ack=0xAA00 p=-", "CMD code=0x06 ack=0x0000 p=200",
                            "CMD code=0x01 ack=0xAA00 p=-", "CMD code=0x06 ack=0xAA00 p=200"));
}

TEST_F(PortDsp, PwmAndPowerGiveUpOnAResetInsteadOfWaitingForEver)
{
    dsp.Demarre();
    dsp.SansAcquittement(true);
    EXPECT_EQ(Pilot_PWM(50000, 50.0f), 0);
    EXPECT_EQ(Pilot_Puissance(77), 0);
    EXPECT_EQ(deplacement.MemCurrentPower, 77);
    EXPECT_EQ(EnablePWM(), 0);
    EXPECT_EQ(Fixe_Increment(1, 1), 0);
}

TEST_F(PortDsp, PortAccessTypes)
{
    Ecrire_Port(0x30000108, 'w', 0x6000);
    Ecrire_Port(0x30000100, 'x', 0x1111);
    EXPECT_EQ(Lire_Port(0x30000108, 'w'), 0x6000u) << "a bad type writes nothing";
    Ecrire_Port(0x30000110, 'b', 1);
    EXPECT_EQ(dsp.EtatCarte(), CarteDsp::Etat::Chargement);
    EXPECT_EXIT(Lire_Port(0x30000100, 'q'), ::testing::ExitedWithCode(2), "Illegal data type 'q'\\.");
}

TEST_F(PortDsp, PauseCountsProcessClockMillisecondsAndSurvivesAWrap)
{
    LireHorloge = HorlogeScriptee;
    valeursHorloge = {0, 250, 500, 750, 1000, 1250, 1500, 1750, 2000};
    Pause_Las(0);
    EXPECT_EQ(lecturesHorloge, 2u);
    lecturesHorloge = 0;
    Pause_Las(2);
    EXPECT_EQ(lecturesHorloge, 9u);
    valeursHorloge = {5000, 100};
    lecturesHorloge = 0;
    EXPECT_EQ(Sortie([] { Pause_Las(1); }),
              "!!!!!!! REMARQUE : Cas particulier -> le compteur de clock() a fait un tour complet -> "
              "t0= -2147483648.000000  t1= 100.000000\n");
}

}  // namespace
