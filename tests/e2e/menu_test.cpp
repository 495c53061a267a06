// The programs as built with "-menu", the operator typing on a pseudo-terminal
// console: a source command reaching the source's serial line, a rotation-card
// test turning the card, the KM250 parameter limits, typing ahead of the menu,
// each build's quit choice, the end of the console, and the YAG loop chosen
// from the menu marking a job.
#include "banc_route.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <algorithm>

namespace {

using banc::Firmware;
using banc::kPortPC;
using banc::kPortPupitre;
using ::testing::EndsWith;
using ::testing::HasSubstr;
using ::testing::SizeIs;
using namespace std::chrono_literals;

constexpr int kPortSource = 3;
const std::string kChoix = "Votre choix : ";

bool SortiAvec(int statut, int code)
{
    return WIFEXITED(statut) && WEXITSTATUS(statut) == code;
}

TEST(Menu, FibreCommandsTheSourceAndTurnsTheCardThenTheEndOfTheConsoleStopsIt)
{
    Firmware f("mlas-fibre", false, {kPortSource}, {.menu = true, .carteDmc = true});
    ASSERT_TRUE(f.Repond(kChoix, 1, "3\n"));
    EXPECT_THAT(f.Console(), HasSubstr(" 8 - Marquage Laser Fibre QUANTEL\n 9 - Test TC Sarvel \n 10 - Recherche Origine \n"
                                       " 11 - Initialisation du moteur TC\n 12 - Quitter\n\n" +
                                       kChoix));
    ASSERT_TRUE(f.Repond(" 7 - Quitter\n\n" + kChoix, 1, "1\n"));
    ASSERT_TRUE(f.Repond("Valeur : ", 1, "050\n"));
    EXPECT_EQ(f.Lignes().Recoit(kPortSource, 8, banc::kDelai), "SRR 050\r");
    ASSERT_TRUE(f.Repond(" 7 - Quitter\n\n" + kChoix, 2, "7\n"));

    ASSERT_TRUE(f.Repond(kChoix, 4, "9\n"));
    ASSERT_TRUE(f.Repond(" Rotation Anti-Horaire : 1    -    Horaire : 2 ? ", 1, "2\n"));
    ASSERT_TRUE(f.Repond("(15200 pour un tour) \n", 1, "300\n"));
    ASSERT_TRUE(f.Repond(kChoix, 5, "\x04"));  // Ctrl-D: the end of the console
    const int statut = f.Fin();
    EXPECT_TRUE(SortiAvec(statut, 0)) << statut;
    EXPECT_THAT(f.Console(), HasSubstr("RotationFleche =2     sens_DMC_OK=0 \n Veuillez saisir le nombre de DEMI-PAS de "
                                       "la rotation (15200 pour un tour) \n\n ------"));
    EXPECT_THAT(f.Console(), EndsWith(kChoix + "\nFin de la saisie console\nWatchdog stoppé\nProgramme arrêté\n"));
    const auto trace = f.Trace();
    EXPECT_EQ(std::count_if(trace.begin(), trace.end(),
                            [](const std::string& l) { return l.rfind("DMCMOVE n=300 dir=cw ", 0) == 0; }),
              1);
}

TEST(Menu, Km250RefusesParametersOutOfTheirLimitsAndQuitsOnAChoiceNotListed)
{
    Firmware f("mlas-km250", false, {}, {.menu = true});
    ASSERT_TRUE(f.Repond(kChoix, 1, "2\n"));
    ASSERT_TRUE(f.Repond("Veuillez saisir la nouvelle fréquence (en Hz) : \n", 1, "9999\n"));
    ASSERT_TRUE(f.Repond("Valeur invalide : la fréquence minimale est 10000 Hz", 1, "10000\n"));
    ASSERT_TRUE(f.Repond(kChoix, 2, "6\n"));
    EXPECT_THAT(f.Console(), HasSubstr(" 2 - Paramétrer la fréquence (valeur actuelle : 10000 Hz)\n"
                                       " 3 - Paramétrer la variation de fréquence (valeur actuelle : 0 Hz)\n"));
    const std::string refus = "Valeur invalide : elle doit être comprise entre 1 et 5";
    ASSERT_TRUE(f.Repond("5 <=> Demi-flèche\n", 1, "0\n"));
    ASSERT_TRUE(f.Repond(refus, 1, "6\n"));
    ASSERT_TRUE(f.Repond(refus, 2, "5\n"));
    ASSERT_TRUE(f.Repond(kChoix, 3, "12\n"));
    const int statut = f.Fin();
    EXPECT_TRUE(SortiAvec(statut, 0)) << statut;
    EXPECT_THAT(f.Console(), HasSubstr(" 6 - Changer le dessin du motif raster (valeur actuelle : 5)\n"));
    EXPECT_THAT(f.Console(), EndsWith(" 11 - Initialisation du moteur TC\n\n" + kChoix));
}

class QuitteLeMenu : public ::testing::TestWithParam<std::pair<std::string, std::string>> {};

TEST_P(QuitteLeMenu, WhatWasTypedBeforeTheMenuIsDroppedAndTheListedQuitChoiceEndsTheProgram)
{
    const auto& [programme, choix] = GetParam();
    Firmware f(programme, false, {}, {.menu = true});
    ASSERT_TRUE(f.Repond("QUILMARDE SOFTWARE", 1, "2\n"));
    ASSERT_TRUE(f.Repond(" - Quitter\n\n" + kChoix, 1, choix + "\n"));
    const int statut = f.Fin();
    EXPECT_TRUE(SortiAvec(statut, 0)) << statut << f.Console();
    EXPECT_THAT(f.Console(), EndsWith(" " + choix + " - Quitter\n\n" + kChoix));
    EXPECT_EQ(banc::Occurrences(f.Console(), kChoix), 1u) << "the menu once: the choice typed ahead was not taken";
}

INSTANTIATE_TEST_SUITE_P(Programmes, QuitteLeMenu,
                         ::testing::Values(std::pair{"mlas-fibre-nodmc", "10"}, std::pair{"mlas-km250-nodmc", "9"},
                                           std::pair{"mlas-km250-viper", "9"}),
                         [](const auto& info) {
                             std::string nom = info.param.first;
                             std::replace(nom.begin(), nom.end(), '-', '_');
                             return nom;
                         });

TEST(Menu, TheYagLoopChosenFromTheMenuMarksAJobAsDrawn)
{
    Firmware f("mlas-fibre-nodmc", true, {kPortPC, kPortPupitre}, {.menu = true});
    ASSERT_TRUE(f.Repond(kChoix, 1, "1\n"));
    ASSERT_TRUE(f.AttendConsole("No .prn File : Wait for new marking file ...\n")) << f.Console();
    ASSERT_TRUE(f.Lignes().Envoie(kPortPupitre, route::TrameModeNormal()));

    const auto job = f.Imprime("square.hpgl", {});
    ASSERT_FALSE(job.empty());
    // Every start marks the job in memory again: the second start ends the first marking.
    ASSERT_TRUE(f.AttendConsole("\nLANCEMENT DU MARQUAGE\n", 2)) << f.Console();
    const std::string console = f.Console();
    EXPECT_THAT(console, HasSubstr("Analyse de l'Entete de la fiche à marquer\n"));
    const auto marquages = route::Marquages(f.Trace());
    ASSERT_THAT(marquages, ::testing::Not(SizeIs(0)));
    EXPECT_TRUE(banc::SuitLeDessin(marquages[0], job, route::PasParMm(console)));
    f.Lignes().Vide(kPortPupitre);
    EXPECT_TRUE(f.ArreteParCtrlC("\nArrêt du programme demandé (Ctrl C)\nWatchdog stoppé\nProgramme arrêté\n"));
}

}  // namespace
