// Operator board link, played frame by frame from the pty of UART 2: events
// with their effects and answers, broken frames, the reader's time-outs.
#include "banc_liaisons.h"
#include "etat_pupitre.h"

#include <array>

namespace {

using namespace banc;
using ::testing::HasSubstr;
using Pupitre = Liaisons;

int Scrute()
{
    if constexpr (kFibre) return LFTestSiEventEnCours();
    else return TestSiEventEnCours();
}

// eco, normal, key on, key off, alarm, normal back during marking
std::array<int, 6> Etats()
{
    return {pupitre.bEcoMode, pupitre.bNormalMode, pupitre.bKeyON, pupitre.bKeyOFF, pupitre.bAlarmeEnCours, pupitre.bRetourNormalPendantMarquage};
}

TEST_F(Pupitre, EachEventSetsItsFlagsAndIsAnsweredAsTheLineDoes)
{
    OuvrePupitre();
    struct Cas {
        std::string trame;
        int resultat;
        std::string message;
        std::array<int, 6> apres;
        bool repondu;
        bool preAmpCoupe;
    };
    const std::vector<Cas> cas =
        kFibre ? std::vector<Cas>{{Evenement('g'), 1, " MODE ECO \n", {1, 0, 0, 0, 0, 0}, true, true},
                                  {Evenement('h'), 1, " MODE NORMAL \n", {0, 1, 0, 0, 0, 1}, true, false},
                                  {Evenement('i'), 1, " KEY ON \n", {0, 1, 1, 0, 0, 1}, true, false},
                                  {Evenement('j'), 1, " KEY OFF \n", {0, 1, 1, 1, 0, 1}, true, true},
                                  {Evenement('g', 1), 0, "", {0, 1, 1, 1, 0, 1}, false, false},
                                  {Evenement('d', 4), 0, "", {0, 1, 1, 1, 0, 1}, false, false},
                                  {Evenement('h'), 1, " MODE NORMAL \n", {0, 1, 1, 0, 0, 1}, true, false}}
               : std::vector<Cas>{{Evenement('g'), 1, "ECO\n", {1, 0, 0, 0, 0, 0}, false, false},
                                  {Evenement('h'), 1, "NORMAL\n", {0, 1, 0, 0, 0, 0}, false, false},
                                  {Evenement('i'), 0, "NO TRAME  TimeOut=1 FinTrame=0\n", {0, 1, 0, 0, 0, 0}, false,
                                   false},
                                  {Evenement('m'), 0, "", {0, 1, 0, 0, 0, 0}, false, false}};
    pupitre.bEcoMode = 0;
    pupitre.bMarquageEnCours = 1;
    for (const Cas& c : cas) {
        PupitreEnvoie(c.trame);
        const auto avant = Commandes().size();
        int resultat = -1;
        const std::string console = Sortie([&] { resultat = Scrute(); });
        EXPECT_EQ(resultat, c.resultat) << c.trame[1];
        EXPECT_THAT(console, HasSubstr(c.message)) << c.trame[1];
        EXPECT_EQ(Etats(), c.apres) << c.trame[1];
        EXPECT_EQ(DejaRecu(2), c.repondu ? c.trame : "") << c.trame[1];
        EXPECT_EQ(Commandes().size() > avant && Commandes().back() == "CMD code=0x14 ack=0xAA00 p=-", c.preAmpCoupe)
            << c.trame[1];
    }
    EXPECT_EQ(Sortie([] { EXPECT_EQ(Scrute(), 0); }), "") << "nothing waiting, nothing printed";

    PupitreEnvoie(Evenement('g'));
    EXPECT_EQ(Sortie([] { Scrute(); }),
              kFibre ? "Cde en Cours : 67 \nlongueur trame : Lg=3\nLg OK -> Etape PARAM\n"
                       "PARAM3    Chaine en cours strNewRep=g\x03   NbreParam=3\n"
                       "\nCR4    Chaine en cours strNewRep=g\x03   CR3 Fin trame\n"
                       "Trame lue :  67  3  0  0  0  0 \n MODE ECO \nDevalidation PRE-AMP (DSP)\n"
                     : "ECO\n");
}

TEST_F(Pupitre, BrokenFramesAreDroppedOrResynchronisedOnTheNextEsc)
{
    OuvrePupitre();
    struct Cas {
        std::string octets;
        int resultat;
        std::string trace;  // fibre line
    };
    const std::vector<Cas> cas = {
        {Octets({kEsc, 'q', 3, 0, kCr}), 0, "CDE retour Etape ESC\n"},
        {Octets({kEsc, 'g', 7, 0, kCr}), 0, "PB Longueur -> retour etape ESC\n"},
        {Octets({kEsc, 'g', 4, 1}), 0, "PARAM3    Chaine en cours strNewRep=g\x04\x01   NbreParam=3\n"},
        {Octets({kEsc, 'h', 3, 0, kEsc, 'h', 3, 0, kCr}), 0, "\nESC4  Chaine pas vide   strRep=h\x03 Var=68  Var=3 "},
        {Octets({kEsc, 'd', 3, 5, kEsc, 'h', 3, 0, kCr}), 1,
         "CR2 Ce n'est pas un CR, on recommence à 0 -> Etape ESC\n\nESC4  Chaine pas vide   strRep=d\x03\x05\x1b"
         " Var=64  Var=3  Var=5  Var=1b \nESC PosDuChar : 3 \nESC5  strRep=d\x03\x05\x1b   PosDuChar=3\nESC6  strRep="
         "\nESC7      ESC détecté passage à l'étape CDE"},
    };
    for (const Cas& c : cas) {
        PupitreEnvoie(c.octets);
        int resultat = -1;
        const std::string console = Sortie([&] { resultat = Scrute(); });
        EXPECT_EQ(resultat, c.resultat) << console;
        EXPECT_EQ(pupitre.bNormalMode, c.resultat) << console;
        if (kFibre) {
            EXPECT_THAT(console, HasSubstr(c.trace));
        }
        EXPECT_EQ(Scrute(), 0) << "every byte was taken";
        DejaRecu(2);
    }
}

TEST_F(Pupitre, TheReaderWaitsOnTheOsTimerAndHandsBackWholeFrames)
{
    OuvrePupitre();
    const auto dureeMs = [] {
        const uint32_t avant = LireTimer();
        EXPECT_EQ(Sortie([] { EXPECT_EQ(LectRSRepGL(100.0f, 0), ""); }),
                  kFibre ? "FIN3 LectRSRepGL\nNO TRAME  TimeOut=1 FinTrame=0\n" : "NO TRAME  TimeOut=1 FinTrame=0\n");
        return (LireTimer() - avant) / kTicksParMs;
    };
    EXPECT_THAT(dureeMs(), ::testing::AllOf(::testing::Ge(100.0), ::testing::Lt(100.5)));
    // The counter wraps 10 ms into the wait: the wait starts again from there.
    libdevmem_write_uint32(hOSTimer, 0, 0xFFFFFFFFu - 36864);
    EXPECT_THAT(dureeMs(), ::testing::AllOf(::testing::Ge(110.0), ::testing::Lt(110.5)));

    const char lettre = kFibre ? 'b' : 'd';  // four parameters, the longest frame
    PupitreEnvoie(Octets({kEsc, lettre, 6, 1, 2, 3, 0xFF, kCr}));
    std::string trame;
    Sortie([&] { trame = LectRSRepGL(100.0f, 0); });
    EXPECT_EQ(trame, Octets({lettre, 6, 1, 2, 3, 0xFF, kCr}));
}

TEST_F(Pupitre, WithoutThePortOrTheTimerThePollFindsNoEvent)
{
    EXPECT_EQ(Scrute(), 0);
    EXPECT_EQ(LectRSRepGL(100.0f, 0), "");
    OuvrePupitre();
    pupitre.bEcoMode = 0;
    libdevmem_close(hOSTimer);
    hOSTimer = nullptr;
    PupitreEnvoie(Evenement('g'));
    EXPECT_EQ(Scrute(), 0);
    EXPECT_EQ(LectRSRepGL(100.0f, 1), "");
    EXPECT_EQ(pupitre.bEcoMode, 0);
    hOSTimer = libdevmem_open(materiel::kCompteurTimerOs, 4);
    Sortie([] { EXPECT_EQ(Scrute(), 1) << "the frame was left in the port"; });
}

TEST_F(Pupitre, TestResetServesTheBoardOnceWired)
{
    OuvrePupitre();
    pupitre.bEcoMode = 0;
    PupitreEnvoie(Evenement('g'));
    EXPECT_EQ(Test_Reset(), 0);
    EXPECT_EQ(pupitre.bEcoMode, 0) << "not wired yet";
    BrancheEvenementsPupitre();
    Sortie([] { EXPECT_EQ(Test_Reset(), 0); });
    EXPECT_EQ(pupitre.bEcoMode, 1);
    EXPECT_EQ(DejaRecu(2), kFibre ? Evenement('g') : "");
}

}  // namespace
