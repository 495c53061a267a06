// The service menu of each build after its start-up on the simulated board,
// the operator's console played from a file: the menu text, refused answers,
// the end of the console, the KM250 parameters with their limits, the laser
// source's commands on its UART, and the rotation-card tests turning the card.
#include "../demarrage/banc_demarrage.h"

#include "AnalyseEnteteFichier.h"
#include "GestionMenu.h"
#include "get_lib.h"
#include "mlas_dmc.h"
#include "etat_marquage.h"
#include "etat_rotation.h"

#include <sys/stat.h>

namespace {

using ::testing::EndsWith;
using ::testing::HasSubstr;
using ::testing::Not;

constexpr bool kFibre = build::kFibreLine;
// The fibre menu without the card quits at 10.
const std::string kQuitte = kFibre && !build::kDmc ? "10\n" : "12\n";
const std::string kEfface = kFibre ? "" : "[clear]\n";  // the fake "clear" of the bench
const std::string kChoix = "Votre choix : ";
const std::string kFinConsole = "\nFin de la saisie console\nWatchdog stoppé\nProgramme arrêté\n";

std::string Cadre(const std::string& titre)
{
    return "\n ----------------------------------------------------------\n"
           "|                          QUILMARDE                       |\n"
           "|                                                          |\n" +
           titre +
           "|                                                          |\n"
           " ----------------------------------------------------------\n"
           "\n";
}

// The menu with the parameters' start-up values.
std::string MenuAttendu()
{
    if constexpr (kFibre) {
        std::string m = Cadre("|            Programme de marquage Laser Fibre QUANTEL\t   |\n");
        if constexpr (build::kDmc) m += " 0 - Test du fonctionnement moteur TC Pas à Pas\n";
        m += " 1 - Laser en Reception (Mode YAG 100)\n"
             " 2 - Init. et test communication série\n"
             " 3 - Envoi de commandes\n"
             " 4 - Lecture Etat du Laser\n"
             " 5 - Lecture Buffer UART Source QL       (valeur en Hexa)\n"
             " 6 - Entrer une commande\n"
             " 7 - Tester une commande\n"
             " 8 - Marquage Laser Fibre QUANTEL\n";
        m += build::kDmc ? " 9 - Test TC Sarvel \n 10 - Recherche Origine \n 11 - Initialisation du moteur TC\n 12 - Quitter\n"
                         : " 9 - Affichage variation fréquence\n 10 - Quitter\n";
        return m + "\n";
    } else {
        std::string m = Cadre("| Programme de marquage laser KM250 avec driver Dranvik |\n");
        if constexpr (build::kDmc) m += " 0 - Test DMC\n";
        m += " 1 - Commande RS232\n"
             " 2 - Paramétrer la fréquence (valeur actuelle : 55000 Hz)\n"
             " 3 - Paramétrer la variation de fréquence (valeur actuelle : 0 Hz)\n"
             " 4 - Paramétrer la variation de vitesse raster (valeur actuelle : 0 mm/s)\n"
             " 5 - Changer la hauteur du motif raster (valeur actuelle : 0 microns)\n"
             " 6 - Changer le dessin du motif raster (valeur actuelle : 2)\n"
             " 7 - Modifier le marquage négatif (valeur actuelle : 0)\n"
             " 8 - Modifier l'orientation du laser par rapport à l'opérateur (valeur actuelle : 2)\n";
        m += build::kDmc ? " 9 - Test TC Sarvel \n 10 - Recherche Origine \n 11 - Initialisation du moteur TC\n"
                         : " 9 - Quitter\n";
        return m + "\n";
    }
}

// Each text found after the one before it.
testing::AssertionResult DansLOrdre(const std::string& texte, const std::vector<std::string>& morceaux)
{
    size_t position = 0;
    for (const std::string& m : morceaux) {
        const size_t trouve = texte.find(m, position);
        if (trouve == std::string::npos) return testing::AssertionFailure() << "missing or out of order: " << m;
        position = trouve + m.size();
    }
    return testing::AssertionSuccess();
}

class Menu : public banc::Demarrage {
protected:
    void SetUp() override
    {
        const auto bin = std::filesystem::current_path() / "bin";
        std::filesystem::create_directory(bin);
        banc::Ecrit(bin / "clear", "#!/bin/sh\necho '[clear]'\n");
        chmod((bin / "clear").c_str(), 0755);
        chemin_ = std::getenv("PATH") != nullptr ? std::getenv("PATH") : "/usr/bin:/bin";
        setenv("PATH", (bin.string() + ":" + chemin_).c_str(), 1);
        if constexpr (build::kDmc) boardsim::AjouteCarteDmc().Virtuel(1000);
        ASSERT_EQ(Demarre(), 0) << console;
    }
    void TearDown() override { setenv("PATH", chemin_.c_str(), 1); }

    // The mode loop of "-menu" with the console holding `saisie`: its exit status.
    int Session(const std::string& saisie)
    {
        const auto fichier = std::filesystem::current_path() / "saisie.txt";
        banc::Ecrit(fichier, saisie);
        EXPECT_NE(std::freopen(fichier.c_str(), "r", stdin), nullptr);
        bConsoleFermee = false;
        char programme[] = "mlas", option[] = "-menu";
        char* argv[] = {programme, option, nullptr};
        testing::internal::CaptureStdout();
        const int statut = BoucleDesModes(2, argv);
        sortie = testing::internal::GetCapturedStdout();
        return statut;
    }

    std::string sortie;

private:
    std::string chemin_;
};

TEST_F(Menu, EachBuildShowsItsMenuAndTheEndOfTheConsoleStopsTheProgram)
{
    ASSERT_EQ(Session(""), 0);
    EXPECT_EQ(sortie, MenuAttendu() + kChoix + kFinConsole);
    EXPECT_EQ(h, nullptr) << "the DSP window is closed as on Ctrl-C";
}

TEST_F(Menu, AnswersThatAreNotAChoiceShowTheMenuAgain)
{
    const std::string horsLimites = "Valeur invalide : elle doit être comprise entre 0 et 255";
    // A blank line is passed over; a number not listed shows the menu again in the fibre line.
    ASSERT_EQ(Session(std::string("abc\n256\n  \n-1\n") + (kFibre ? "13\n" : "") + kQuitte), 0);
    const std::string m = MenuAttendu() + kChoix;
    EXPECT_EQ(sortie, m + "Valeur invalide" + m + horsLimites + m + horsLimites + m + (kFibre ? m : "") + kEfface);
    EXPECT_NE(h, nullptr) << "a quit choice only leaves the loop";
}

TEST_F(Menu, TheEndOfTheConsoleInsideAServiceEndsTheProgramWithNothingDone)
{
    if constexpr (kFibre) {
        ASSERT_EQ(Session("3\n1\n"), 0);
        EXPECT_THAT(sortie, EndsWith(kChoix + "Valeur : " + kFinConsole));
        EXPECT_EQ(ports.Received(3, 1), "") << "nothing sent to the source";
    } else {
        ASSERT_EQ(Session("2\n"), 0);
        EXPECT_THAT(sortie, EndsWith("Veuillez saisir la nouvelle fréquence (en Hz) : \n" + kFinConsole));
        EXPECT_EQ(marquage.Frequency, 55000);
    }
    EXPECT_THAT(sortie, Not(HasSubstr("[clear]")));
}

TEST_F(Menu, Km250ParametersAreTakenWithinTheirLimits)
{
    if constexpr (kFibre) GTEST_SKIP() << "KM250 line only";
    ASSERT_EQ(Session("2\n9999\n10000\n"      // refused, then taken
                      "6\n0\n6\n5\n"          // two refused, then taken
                      "5\n70000\n150\n"       // too wide for its 16 bits
                      "7\n2\n1\n"             // 0 or 1 only
                      "8\n0\n5\n4\n"          // 1 to 4
                      "4\n-120\n3\n-500\n" +  // any 32-bit value
                      kQuitte),
              0);
    EXPECT_EQ(marquage.Frequency, 10000);
    EXPECT_EQ(marquage.DeltaFrequency, -500);
    EXPECT_EQ(marquage.DeltaMarkingSpeed, -120);
    EXPECT_EQ(marquage.RasterPatternSize, 150);
    EXPECT_EQ(marquage.RasterPatternDrawing, 5);
    EXPECT_EQ(marquage.bNegatif, 1);
    EXPECT_EQ(marquage.Orientation, 4);

    const std::string frequence = "\nVeuillez saisir la nouvelle fréquence (en Hz) : \n";
    const std::string dessin = "\nVeuillez saisir le nouveau dessin du motif raster : \n1 <=> Flèche\n2 <=> Barre "
                               "horizontale\n3 <=> Barre verticale\n4 <=> Croix\n5 <=> Demi-flèche\n";
    const std::string entre1Et5 = "Valeur invalide : elle doit être comprise entre 1 et 5";
    const std::string orientation =
        "\nVeuillez saisir l'orientation du laser par rapport à l'opérateur : \n"
        "1 <=> 0° (Dans l'axe de l'opérateur, dans la pratique c'est impossible)\n"
        "2 <=> 90° (A gauche de l'opérateur <=> Sur colonne)\n"
        "3 <=> 180° (Face à l'opérateur <=> Station Benchtop)\n4 <=> 270° (A droite de l'opérateur)\n";
    const std::string entre1Et4 = "Valeur invalide : elle doit être comprise entre 1 et 4";
    EXPECT_TRUE(DansLOrdre(
        sortie,
        {kChoix + frequence + "Valeur invalide : la fréquence minimale est 10000 Hz" + frequence + "[clear]\n",
         " 2 - Paramétrer la fréquence (valeur actuelle : 10000 Hz)\n"
         " 3 - Paramétrer la variation de fréquence (valeur actuelle : 0 Hz)\n",
         kChoix + dessin + entre1Et5 + dessin + entre1Et5 + dessin + "[clear]\n",
         " 6 - Changer le dessin du motif raster (valeur actuelle : 5)\n",
         "\nVeuillez saisir la nouvelle hauteur du motif raster (en microns) : \n"
         "Valeur invalide : elle doit être comprise entre 0 et 65535"
         "\nVeuillez saisir la nouvelle hauteur du motif raster (en microns) : \n[clear]\n",
         "\n0 = positif, 1 = negatif : \nValeur invalide : elle doit être comprise entre 0 et 1"
         "\n0 = positif, 1 = negatif : \n[clear]\n",
         " 7 - Modifier le marquage négatif (valeur actuelle : 1)\n",
         kChoix + orientation + entre1Et4 + orientation + entre1Et4 + orientation + "[clear]\n",
         "\nVeuillez saisir la nouvelle variation de vitesse raster (en mm/s) : \n[clear]\n",
         "\nVeuillez saisir la nouvelle variation de fréquence (en Hz) : \n[clear]\n",
         " 4 - Paramétrer la variation de vitesse raster (valeur actuelle : -120 mm/s)\n"
         " 5 - Changer la hauteur du motif raster (valeur actuelle : 150 microns)\n",
         " 8 - Modifier l'orientation du laser par rapport à l'opérateur (valeur actuelle : 4)\n"}));
    EXPECT_THAT(sortie, EndsWith(kChoix + "[clear]\n"));
}

#if !MLAS_SERIAL_SINGLE_PORT  // the source is not wired to the VIPER board
size_t Occurrences(const std::string& texte, const std::string& motif)
{
    size_t n = 0;
    for (size_t p = texte.find(motif); p != std::string::npos; p = texte.find(motif, p + motif.size())) ++n;
    return n;
}

TEST_F(Menu, SourceCommandsGoOutOnTheSourceUartAsTyped)
{
    if constexpr (!kFibre) GTEST_SKIP() << "fibre line only";
    ASSERT_EQ(Session("3\n1\n050\n2\n1.50\n3\n4\n5\n6\n"
                      "1\n1000\n2\n1.5\n1\n0 5\n8\nabc\n7\n" +
                      kQuitte),
              0);
    EXPECT_EQ(ports.Received(3, 33), "SRR 050\rSBC 1.50\rEBE\rDBE\rEGE\rDGE\r");
    const std::string cmdes = "\n 1 - SRR : Set Repetion Rate (Fréquence de marquage en kHz de 020 à 100)\n"
                              " 2 - SBC : Set Booster pump Current (Puisssance en Ampère X.XX A)\n"
                              " 3 - EBE : Enable Booster Emission\n"
                              " 4 - DBE : Disable Booster Emission\n"
                              " 5 - EGE : Enable Guide Emission  (Validation diode de visée)\n"
                              " 6 - DGE : Disable Guide Emission (Dévalidation diode de visée)\n"
                              " 7 - Quitter\n\n" +
                              kChoix;
    const std::string refus3 = "Valeur : Valeur refusée : 3 caractères attendus\n";
    EXPECT_EQ(sortie, MenuAttendu() + kChoix + cmdes + "Valeur : " + cmdes + "Valeur : " + cmdes + cmdes + cmdes +
                          cmdes + cmdes + refus3 + cmdes + "Valeur : Valeur refusée : 4 caractères attendus\n" + cmdes +
                          refus3 + cmdes + cmdes + "Valeur invalide" + cmdes + MenuAttendu() + kChoix);
    testing::internal::CaptureStdout();
    EXPECT_EQ(SendCmdes(), 0) << "the end of the console quits the commands";
    EXPECT_THAT(testing::internal::GetCapturedStdout(), EndsWith(cmdes));
}

TEST_F(Menu, FibreServiceChoicesTalkToTheSourceAndShowTheirTexts)
{
    if constexpr (!kFibre) GTEST_SKIP() << "fibre line only";
    ports.Send(3, "OK\r\nAB", File_Com[3]);  // the reply to the typed command, then two bytes more
    const bool dmc = build::kDmc;
    ASSERT_EQ(Session("7\n6\nRRR\n5\n2\n4\n19\n" + std::string(dmc ? "" : "9\n0\n11\n") + kQuitte), 0);
    EXPECT_EQ(ports.Received(3, 20), "RRR\r" + std::string(16, '\0'));
    std::string dump = " 0x41 0x42";
    for (int i = 2; i < 255; ++i) dump += " 0x0";
    const std::string m = MenuAttendu() + kChoix;
    std::vector<std::string> attendu = {m + "Test Envoi Cde : Pas de Cde en test\n" + m,
                                        "Cde : Atttente réponse : OK\n" + m, dump + m,
                                        " Init. port COM4  VIPER <-> SOURCE QL\n" + m, " 19 - Quitter\n" + kChoix + m};
    if (!dmc) {
        std::string table = "choix 9\nResultat Fonction varation fréquence\n";
        for (int i = 0; i < 128; ++i) table += "f=0.000000   ";
        attendu.push_back(table + "\n" + m + m + m);
    }
    EXPECT_TRUE(DansLOrdre(sortie, attendu));
    EXPECT_THAT(sortie, EndsWith(m));
    EXPECT_EQ(Occurrences(sortie, m), dmc ? 6u : 9u);
}

#endif

TEST_F(Menu, RotationCardTestsTurnTheCard)
{
    if constexpr (!build::kDmc) GTEST_SKIP() << "no rotation card in this build";
    auto& carte = boardsim::Dmc();
    const size_t avant = carte.Mouvements().size();
    ASSERT_EQ(Session("0\n450\n"       // fixed moves whatever the angle
                      "9\n2\n300\n"    // clockwise, 300 half-steps
                      "10\n"           // one turn at most, to the sensor
                      "11\nx\n" +      // back to 0 from where the axis was counted
                      kQuitte),
              0);
    std::vector<std::pair<uint32_t, int>> mouvements;
    const auto tous = carte.Mouvements();
    for (size_t i = avant; i < tous.size(); ++i) mouvements.emplace_back(tous[i].impulsions, tous[i].sens);
    // Test 0 keeps the start-up's direction setting, in which positive moves turn anticlockwise.
    const std::vector<std::pair<uint32_t, int>> attendus = {
        {7600, -1}, {600, -1}, {600, 1}, {300, 1}, {1000, 1}, {15200, 1}, {5000, 1}, {29100, -1}};
    EXPECT_EQ(mouvements, attendus);
    EXPECT_EQ(rotation.DMC_ON, 0);
    EXPECT_EQ(rotation.sens_DMC_OK, 0);
    EXPECT_EQ(carte.Controle() & 0x24, 0x24) << "stopped: standby and inhibit set";

    EXPECT_TRUE(DansLOrdre(
        sortie, {kChoix + "\nVeuillez saisir l'angle de rotation relatif (en 1/10 de d°) : "
                          "Deplacement absolu en 7600\nDeplacement absolu en 7600\n"
                          "Deplacement relatif de 600\nDeplacement relatif de -600\n",
                 kChoix + " Rotation Anti-Horaire : 1    -    Horaire : 2 ? RotationFleche =2     sens_DMC_OK=0 \n"
                          " Veuillez saisir le nombre de DEMI-PAS de la rotation (15200 pour un tour) \n",
                 kChoix + "sens_DMC_OK=0 \n1000 Horaire relatif SANS capteur\n",
                 kChoix + "Initialisation du TC Sarvel\nCARTE DMC LASER DETECTEE\nsens_DMC_OK=0 -> Sens HORAIRE\n"
                          "5000 Horaire relatif SANS capteur\n"
                          "Déplacement Horaire absolue vers l'origine SANS capteur\n"
                          "FIN INITIALISATION ET TEST DEPLACEMENT     TOUCHE\n",
                 MenuAttendu() + kChoix + kEfface}));
}

}  // namespace
