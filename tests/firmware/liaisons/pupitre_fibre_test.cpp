// Operator board link of the fibre line: its start-up and the alarm's status
// exchange, which the KM250 line does not have.
#include "banc_liaisons.h"
#include "etat_pupitre.h"

#include <thread>

namespace {

using namespace banc;
using ::testing::HasSubstr;
using ::testing::Not;
using Pupitre = Liaisons;

int appelsFreqMin = 0;

TEST_F(Pupitre, FibreStartUpOpensTheLinksEnablesThePwmAndGreetsTheBoard)
{
    AppelInitFreqLFMin = [] { ++appelsFreqMin; };
    EXPECT_EQ(OuvrePupitre(), " Init. port COM3  VIPER <-> GL \n Init. port COM4  VIPER <-> SOURCE QL\n"
                              " Init. port COM2  PC <-> VIPER \nValidation Signal PWM du DSP\n");
    ExpectRaw(File_Com[2], B57600, false);
    ExpectRaw(File_Com[3], B9600, false);
    ExpectRaw(File_Com[1], B115200, false);
    EXPECT_EQ(Commandes().back(), "CMD code=0x09 ack=0xAA00 p=-");
    EXPECT_EQ(pupitre.bEcoMode, 1);
    EXPECT_EQ(appelsFreqMin, 1);

    EXPECT_EQ(Sortie(EnvoiGLCdeStart), "Start CPU <-> GL\n");
    EnvoiGLCdeDiodes(4);
    EXPECT_EQ(Recu(2, 10), Octets({kEsc, 'e', 3, 3, kCr, kEsc, 'd', 3, 4, kCr}));
    EXPECT_EQ(Sortie(EnvoiGLCdeResetPIC), "EnvoiGLCdeResetPIC\nVal = 1b Val = 55 Val = 3 Val = 0 Val = d \n");
    EXPECT_EQ(Sortie(EnvoiGLStatus), "EnvoiGLStatus\nVal = 1b Val = 66 Val = 3 Val = 0 Val = d \n");
    EXPECT_EQ(Recu(2, 10), Evenement('U') + Evenement('f'));

    boardsim::Dsp().SansAcquittement(true);
    EXPECT_EXIT(LFInitFiberLaser(), ::testing::ExitedWithCode(1), "") << "no PWM, no marking";
}

TEST_F(Pupitre, AnAlarmAsksTheBoardForItsStatus)
{
    OuvrePupitre();
    pupitre.bEcoMode = 0;
    // The board answers the request once it sees it; the reader's 100 ms
    // then last about 370 000 timer reads.
    boardsim::Timer().Virtuel(1);
    std::string recu;
    std::thread carteGL([&] {
        recu = Recu(2, 10);
        ptys.Send(2, Octets({kEsc, 'f', 4, 0x80, 0x0A, kCr}));
    });
    PupitreEnvoie(Evenement('k'));
    const std::string console = Sortie([] { EXPECT_EQ(LFTestSiEventEnCours(), 1); });
    carteGL.join();
    EXPECT_EQ(recu, Evenement('k') + Evenement('f'));
    EXPECT_THAT(console, HasSubstr("Alarme ON\n"));
    EXPECT_THAT(console, HasSubstr("AlarmeSynchro\nAlarmeTemperature\n"));
    EXPECT_THAT(console, Not(HasSubstr("AlarmeOscillator")));
    EXPECT_EQ(pupitre.bAlarmeEnCours, 1);
    EXPECT_EQ(pupitre.bEcoMode, 1);

    boardsim::Timer().Virtuel(kPasTimer);
    PupitreEnvoie(Evenement('k'));
    const std::string seul = Sortie([] { EXPECT_EQ(LFTestSiEventEnCours(), 1); });
    EXPECT_THAT(seul, HasSubstr("NO TRAME  TimeOut=1 FinTrame=0\n"));
    EXPECT_THAT(seul, Not(HasSubstr("AlarmeSynchro"))) << "no status, nothing to tell";
    EXPECT_EQ(Recu(2, 10), Evenement('k') + Evenement('f'));
}

}  // namespace
