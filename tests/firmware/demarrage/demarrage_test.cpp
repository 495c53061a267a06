// Start-up of each build on the simulated board: its order in the console and
// in the board's trace, no waiting on a card that has no program yet, the
// rotation card, the board type, the fatal failures and the stop on Ctrl-C.
#include "banc_demarrage.h"

#include "mlas_dmc.h"
#include "etat_deplacement.h"
#include "etat_rotation.h"
#include "etat_pupitre.h"

#include <sstream>

namespace {

using ::testing::Contains;
using ::testing::ElementsAreArray;
using ::testing::HasSubstr;
using ::testing::Not;
using Demarrage = banc::Demarrage;

// The steps the board saw, one label per run of trace lines of the same step.
std::vector<std::string> Etapes(const std::vector<std::string>& trace)
{
    const std::pair<const char*, const char*> etapes[] = {
        {"CMD code=0x10 ", "lampes"},     {"START word=0x4D4C run=1", "programme"},
        {"CMD code=0x0B ack=0xAA00", "servo"}, {"INC ", "increments"},
        {"GPIO op=clr bank=0 bits=0x00200000", "galvo Y"}, {"CMD code=0x09 ack=0xAA00", "PWM"},
        {"I2C op=write addr=0x20", "I2C"}, {"DMCMOVE ", "rotation"},
        {"BLOCK n=0 ctl=0x0801 x=32766 y=32766", "centre"}, {"CMD code=0x06 ack=0xAA00 p=255", "puissance 255"},
    };
    std::vector<std::string> vues;
    for (const auto& ligne : trace) {
        for (const auto& [debut, nom] : etapes) {
            if (ligne.rfind(debut, 0) == 0 && (vues.empty() || vues.back() != nom)) vues.push_back(nom);
        }
    }
    return vues;
}

// Console lines of the start-up's own steps.
std::vector<std::string> Reperes(const std::string& console)
{
    const char* reperes[] = {"QUILMARDE",    "Initialisation des variables", "Carte ",      "Pas de marquage",
                             "- Lecture",    "- Chargement", "Fin du chargement", "Mode Sarvel", " Init. port",
                             "PRISE ORIGINE", "Origine détectée"};
    std::vector<std::string> lignes;
    std::istringstream texte(console);
    for (std::string ligne; std::getline(texte, ligne);) {
        for (const char* r : reperes) {
            if (ligne.rfind(r, 0) == 0) lignes.push_back(ligne);
        }
    }
    return lignes;
}

// Virtual microseconds of the start-up's own pauses: 0.7 s of DSP reset and
// 1 s after loading; without a rotation card, five lamp flashes of 0.6 s.
constexpr clock_t kPauses = build::kDmc ? 4'700'000 : 1'700'000;
constexpr clock_t kMarge = 300'000;

TEST_F(Demarrage, EachBuildStartsUpInItsOrderWithoutWaitingForTheUnloadedCard)
{
    ASSERT_EQ(Demarre(), 0) << console;
    const std::string banniere = " - Précision 1/1000e et 1/100e - Pas de segmentation Horizontaux/verticaux";
    const std::vector<std::string> sansCarte = {"Carte DMC PC104 PAS détectée", "Pas de marquage possible sur TC "};
    const std::vector<std::string> km250Dsp = {"- Lecture des fichiers de configuration (.INI)", "- Chargement du DSP"};
    const std::string servo = "Fin du chargement du DSP. Validation servomoteur";
    const std::string galvo = "Mode Sarvel - Validation du galvanométre Y ";
    const std::string gl = " Init. port COM3  VIPER <-> GL ";
    const std::vector<std::string> ports = {gl, " Init. port COM4  VIPER <-> SOURCE QL", " Init. port COM2  PC <-> VIPER "};
    const std::string init = "Initialisation des variables globales";
    std::vector<std::string> lignes, etapes;
    auto suite = [](std::vector<std::vector<std::string>> morceaux) {
        std::vector<std::string> tout;
        for (const auto& m : morceaux) tout.insert(tout.end(), m.begin(), m.end());
        return tout;
    };
    // The rotation card's start, where it is fitted, comes before or after the
    // processor board's.
    const std::vector<std::string> rien;
    const auto rotation = build::kDmc ? sansCarte : rien;
    const bool avant = build::kTraits.rotationAvantProcesseur;
    const std::string version = build::kViper ? "v2.00 " : build::kDmc ? "v11.20 " : "v10.20 ";
    lignes = suite({{"QUILMARDE SOFTWARE  " + version + build::kTraits.date + banniere + (build::kKm250Line ? " " : ""),
                     init},
                    avant ? rotation : rien, build::kViper ? rien : std::vector<std::string>{"Carte VIPER."},
                    avant ? rien : rotation, build::kKm250Line ? km250Dsp : rien, {servo}});
    if (build::kDmc) lignes.push_back(galvo);
    if (build::kFibreLine) lignes = suite({lignes, ports});
    else if (!build::kViper) lignes.push_back(gl);
    if (build::kDmc) etapes.push_back("lampes");
    etapes.insert(etapes.end(), {"programme", "servo", "increments"});
    if (build::kDmc) etapes.push_back("galvo Y");
    if (build::kFibreLine) etapes.push_back("PWM");
    etapes.push_back("centre");
    if (build::kKm250Line) etapes.push_back("puissance 255");
    EXPECT_THAT(Reperes(console), ElementsAreArray(lignes));
    const auto trace = Trace();
    EXPECT_THAT(Etapes(trace), ElementsAreArray(etapes));

    // Before the program is loaded nothing is answered, and nothing is waited for.
    const auto chargement = std::find(trace.begin(), trace.end(), "RESET line=0");
    std::vector<std::string> lampes;
    for (auto ligne = trace.begin(); ligne != chargement; ++ligne) {
        EXPECT_THAT(*ligne, HasSubstr("ack=0x0000"));
        if (ligne->rfind("CMD code=0x10", 0) == 0) lampes.push_back(ligne->substr(ligne->find(" p=") + 3));
    }
    std::vector<std::string> flashes;  // five without a rotation card
    for (int i = 0; build::kDmc && i < 5; ++i) flashes.insert(flashes.end(), {"512", "1536", "1024", "0"});
    EXPECT_EQ(lampes, flashes);
    EXPECT_LT(banc::horlogeDemarrage, kPauses + kMarge);
    if constexpr (!build::kViper) {
        EXPECT_EQ(deplacement.NbrePeriodeTimerParMs, 3686.4);
        EXPECT_NE(ScruteEvenementsPupitre, nullptr);
    }
}

TEST_F(Demarrage, RotationCardIsHomedBeforeTheScannerIsCentred)
{
    if constexpr (!build::kDmc) GTEST_SKIP() << "no rotation card in this build";
    boardsim::AjouteCarteDmc().Virtuel(1000);
    ASSERT_EQ(Demarre(), 0) << console;
    EXPECT_THAT(console, HasSubstr("CARTE DMC LASER DETECTEE\n"));
    EXPECT_THAT(console, HasSubstr("PRISE ORIGINE ROTATION au boot de la carte OU après marquage - Rotation horaire - "
                                   "AVEC recherche capteur (sens_DMC_OK=1)\nOK: Capteur détecté\n"
                                   "Origine détectée : 1     (sens_DMC_OK=0)\n"));
    const auto etapes = Etapes(Trace());
    EXPECT_THAT(etapes, Not(Contains("lampes")));
    const auto etapeRotation = std::find(etapes.begin(), etapes.end(), "rotation");
    ASSERT_NE(etapeRotation, etapes.end());
    EXPECT_EQ(*std::next(etapeRotation), "centre");
    EXPECT_TRUE(boardsim::Dmc().AOrigine());
    EXPECT_EQ(rotation.sens_DMC_OK, 1);  // the direction setting is given back
    EXPECT_EQ(rotation.DMC_ON, 0);
    EXPECT_EQ(RaccordsRotation.PriseOrigine, &PriseOrigine);  // the body walk homes the same way
}

TEST_F(Demarrage, TitanBoardSetsItsOutputsBeforeLoadingTheDsp)
{
    if constexpr (build::kViper) GTEST_SKIP() << "this build knows only the VIPER board";
    TypeCarte("model name\t: not a VIPER\nHardware\t: Arcom TITAN\n");
    ASSERT_EQ(Demarre(), 0) << console;
    EXPECT_THAT(console, HasSubstr("Carte TITAN.\n"));
    EXPECT_EQ(deplacement.NbrePeriodeTimerParMs, 3250.0);
    EXPECT_THAT(Trace({"I2C"}), ::testing::IsSupersetOf({"I2C op=write addr=0x20 data=0x03,0x00 ok=1",
                                                         "I2C op=write addr=0x20 data=0x07,0x00 ok=1"}));
    const auto etapes = Etapes(Trace());
    EXPECT_LT(std::find(etapes.begin(), etapes.end(), "I2C"), std::find(etapes.begin(), etapes.end(), "programme"));
}

TEST_F(Demarrage, FatalFailuresEndTheStartUpWithStatusOne)
{
    if constexpr (!build::kViper) {
        TypeCarte("Hardware\t: TITAN\n");
        boardsim::I2c().Casse(boardsim::OperationI2c::Ecriture);
        EXPECT_EQ(Demarre(), 1);
        EXPECT_THAT(console, HasSubstr("Carte TITAN.\nERROR de configuration du bus I2C de la carte TITAN\n"));
        EXPECT_THAT(Etapes(Trace()), Not(Contains("programme")));
        Ferme();
        TypeCarte("Hardware\t: VIPER\n");
    }
    std::filesystem::remove(build::kTraits.dspProgram);
    banc::horlogeDemarrage = 0;
    EXPECT_EQ(Demarre(), 1);
    EXPECT_THAT(console, HasSubstr("Fichier DSP absent -> FIN du programme"));
    EXPECT_THAT(console, HasSubstr("Validation servomoteur\nErreur dans la fonction EnableServo \n"));
    EXPECT_THAT(Etapes(Trace()), Not(Contains("centre")));
    EXPECT_LT(banc::horlogeDemarrage, kPauses + kMarge);
}

TEST_F(Demarrage, UnknownOrUnreadableBoardTypeLetsTheStartUpGoOn)
{
    if constexpr (build::kViper) GTEST_SKIP() << "this build knows only the VIPER board";
    TypeCarte("Hardware\t: SA1100-assabet\nRevision\t: TITAN\n");
    ASSERT_EQ(Demarre(), 0) << console;
    EXPECT_THAT(console, HasSubstr("Carte inconnue.\n"));
    EXPECT_EQ(pupitre.TypeCarteCPU, 0);
    EXPECT_EQ(deplacement.NbrePeriodeTimerParMs, 0.0);
    EXPECT_THAT(Etapes(Trace()), Contains("centre"));

    const std::string absent = (std::filesystem::current_path() / "absent").string();
    setenv("MLAS_CPUINFO", absent.c_str(), 1);
    testing::internal::CaptureStdout();
    EXPECT_EQ(cardType(), -1);
    EXPECT_EQ(testing::internal::GetCapturedStdout(), "File " + absent + " open error.\n");
}

TEST(Arret, CtrlCStopsInOrderAndEndsByTheSignal)
{
    // Under an emulator the test cannot execute itself again: it forks only.
    GTEST_FLAG_SET(death_test_style, *MLAS_EMULATEUR ? "fast" : "threadsafe");
    const std::string attendu = build::kViper ? "Arrêt demandé \\.\\.\\.\nWatchdog stoppé\nProgramme arrêté\n$"
                                              : "Arrêt du programme demandé \\(Ctrl C\\)\nWatchdog stoppé\nProgramme "
                                                "arrêté\n$";
    EXPECT_EXIT(
        {
            boardsim::Installe(boardsim::Reglages{});
            Init_Var();
            dup2(STDERR_FILENO, STDOUT_FILENO);
            BrancheArretCtrlC(ArretCtrlC);
            OnSIGINT(SIGINT);  // only recorded: the next wait stops the program
            Pause_Las(1);
        },
        ::testing::KilledBySignal(SIGINT), attendu);
}

}  // namespace
