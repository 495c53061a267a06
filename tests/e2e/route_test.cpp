// The programs as built, end to end: a drawing converted by brevolt-print and
// delivered by its printer's port over loopback TCP, or sent on the PC serial
// line, is received, marked on the simulated board as the job file draws it
// and, being a single marking, deleted; a job arriving while the start is
// awaited replaces the one in memory; Ctrl-C stops the program by the signal.
#include "banc_route.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <algorithm>

namespace {

using banc::Firmware;
using banc::kMarquageUnique;
using banc::kPortPC;
using banc::kPortPupitre;
using ::testing::ElementsAre;
using ::testing::EndsWith;
using ::testing::HasSubstr;
using ::testing::IsEmpty;
using ::testing::SizeIs;

std::vector<uint8_t> Octets(const std::filesystem::path& fichier)
{
    const std::string texte = route::Contenu(fichier);
    return {texte.begin(), texte.end()};
}

// The job file as the firmware keeps it: without the start instruction, which the listener eats.
std::string CommeRecu(const std::filesystem::path& job)
{
    return route::Contenu(job).substr(6);
}

// Each text found after the one before it.
testing::AssertionResult DansLOrdre(const std::string& console, const std::vector<std::string>& textes)
{
    size_t position = 0;
    for (const std::string& t : textes) {
        const size_t trouve = console.find(t, position);
        if (trouve == std::string::npos) return testing::AssertionFailure() << "\"" << t << "\" missing or out of order";
        position = trouve + t.size();
    }
    return testing::AssertionSuccess();
}

constexpr const char* kFinFibre = "\nArrêt du programme demandé (Ctrl C)\nWatchdog stoppé\nProgramme arrêté\n";

TEST(Fibre, AJobSentByTheSpoolerIsMarkedAsDrawnThenDeletedAndCtrlCStopsTheProgram)
{
    Firmware f("mlas-fibre", true, {kPortPupitre});
    ASSERT_TRUE(f.AttendConsole("Pas de fichier de marquage, Attente d'une fiche à marquer\n")) << f.Console();
    ASSERT_TRUE(f.Lignes().Envoie(kPortPupitre, route::TrameModeNormal()));

    const auto job = f.Imprime("square.hpgl", kMarquageUnique);
    ASSERT_FALSE(job.empty());
    ASSERT_TRUE(f.AttendConsole("Plus de fichier de marquage, Attente d'une nouvelle fiche ...\n")) << f.Console();

    const std::string console = f.Console();
    EXPECT_TRUE(DansLOrdre(console, {"Détection sur TCPIP\n", "Reception d'un nouveau fichier\n",
                                     "Taille fichier valide -> On le sauvegarde\n",
                                     "Entree dans la boucle de traitement pour le marquage.\n",
                                     "ATTENTE LANCEMENT DU MARQUAGE\n", "DEBUT DU MARQUAGE   \n", "Validation Pre-Amp\n",
                                     "FIN DU MARQUAGE\n", "Devalidation PRE-AMP (DSP)\n",
                                     "Suppression APRES MARQUAGE de la fiche tmpprn.prn\n", "PAS de fichier à charger!\n"}));
    const auto marquages = route::Marquages(f.Trace());
    ASSERT_THAT(marquages, SizeIs(1)) << "one start, one marking";
    EXPECT_TRUE(banc::SuitLeDessin(marquages[0], job, route::PasParMm(console)));
    EXPECT_FALSE(std::filesystem::exists(f.Travail() / "tmpprn.prn"));
    // The ready lamp lit for the start, out for the marking.
    EXPECT_THAT(route::LampePrete(f.Trace()), ::testing::Contains(true));
    EXPECT_FALSE(route::LampePrete(f.Trace()).back());

    f.Lignes().Vide(kPortPupitre);
    EXPECT_TRUE(f.ArreteParCtrlC(kFinFibre));
}

TEST(Fibre, AJobArrivingWhileTheStartIsAwaitedReplacesTheOneInMemory)
{
    Firmware f("mlas-fibre", false, {});
    ASSERT_TRUE(f.AttendConsole("Attente d'une fiche à marquer\n")) << f.Console();
    const auto premier = f.Imprime("square.hpgl", {});
    ASSERT_FALSE(premier.empty());
    ASSERT_TRUE(f.AttendTrace([](const auto& trace) {
        const auto lampe = route::LampePrete(trace);
        return !lampe.empty() && lampe.back();
    })) << f.Console();
    EXPECT_EQ(route::Contenu(f.Travail() / "tmpprn.prn"), CommeRecu(premier));

    const auto second = f.Imprime("circles.hpgl", {});
    ASSERT_FALSE(second.empty());
    ASSERT_TRUE(f.AttendConsole("ATTENTE LANCEMENT DU MARQUAGE\n", 2)) << f.Console();
    EXPECT_EQ(route::Contenu(f.Travail() / "tmpprn.prn"), CommeRecu(second));
    EXPECT_TRUE(DansLOrdre(f.Console(), {"ATTENTE LANCEMENT DU MARQUAGE\n", "Détection sur TCPIP\n",
                                         "Reception nouveau fichier\n", "FIN de l'analyse de l'entête\n",
                                         "Logiciel en écoute sur le Port Ethernet\n",
                                         "ATTENTE LANCEMENT DU MARQUAGE\n"}));
    // Lit for the first job, out while the second came in, lit again for it; nothing marked.
    ASSERT_TRUE(f.AttendTrace([](const auto& trace) -> bool { return route::LampePrete(trace).back(); }));
    const auto lampe = route::LampePrete(f.Trace());
    ASSERT_GE(lampe.size(), 3u);
    EXPECT_THAT(std::vector<bool>(lampe.end() - 3, lampe.end()), ElementsAre(true, false, true));
    EXPECT_THAT(route::Marquages(f.Trace()), IsEmpty());
    EXPECT_TRUE(f.ArreteParCtrlC(kFinFibre));
}

TEST(Km250, JobsOverTcpAndOverTheSerialLineAreMarkedAsDrawn)
{
    Firmware f("mlas-km250", true, {kPortPC, kPortPupitre});
    ASSERT_TRUE(f.AttendConsole("No .prn File : Wait for new marking file ...\n")) << f.Console();
    ASSERT_TRUE(f.Lignes().Envoie(kPortPupitre, route::TrameModeNormal()));

    const auto parTCP = f.Imprime("square.hpgl", kMarquageUnique);
    ASSERT_FALSE(parTCP.empty());
    ASSERT_TRUE(f.AttendConsole("Plus de fichier de marquage, Attente d'une nouvelle fiche ...\n")) << f.Console();
    EXPECT_FALSE(std::filesystem::exists(f.Travail() / "tmpprn.prn"));

    const auto parSerie = f.Imprime("circles.hpgl", kMarquageUnique, false);
    ASSERT_FALSE(parSerie.empty());
    ASSERT_TRUE(f.Lignes().Envoie(kPortPC, Octets(parSerie)));
    ASSERT_TRUE(f.AttendConsole("Plus de fichier de marquage, Attente d'une nouvelle fiche ...\n", 2)) << f.Console();

    const std::string console = f.Console();
    EXPECT_TRUE(DansLOrdre(console, {"Détection sur TCPIP\n", "- ANALYSE DE L'ENTETE de la fiche à marquer\n",
                                     "LANCEMENT DU MARQUAGE\n", "FIN MARQUAGE\n",
                                     "MARQUAGE UNIQUE: Suppression APRES MARQUAGE de la fiche tmpprn.prn\n",
                                     "Détection sur RS232\n", "Reception d'un nouveau fichier\n",
                                     "LANCEMENT DU MARQUAGE\n", "FIN MARQUAGE\n"}));
    const auto marquages = route::Marquages(f.Trace());
    ASSERT_THAT(marquages, SizeIs(2));
    EXPECT_TRUE(banc::SuitLeDessin(marquages[0], parTCP, route::PasParMm(console)));
    EXPECT_TRUE(banc::SuitLeDessin(marquages[1], parSerie, route::PasParMm(console)));
    EXPECT_FALSE(std::filesystem::exists(f.Travail() / "tmpprn.prn"));

    f.Lignes().Vide(kPortPupitre);
    EXPECT_TRUE(f.ArreteParCtrlC(kFinFibre));
}

TEST(Km250, AJobOnTheSerialLineReplacesTheOneInMemoryWhileTheStartIsAwaited)
{
    Firmware f("mlas-km250", false, {kPortPC});
    ASSERT_TRUE(f.AttendConsole("No .prn File : Wait for new marking file ...\n")) << f.Console();
    const auto premier = f.Imprime("square.hpgl", {});
    ASSERT_FALSE(premier.empty());
    ASSERT_TRUE(f.AttendConsole("ATTENTE LANCEMENT DU MARQUAGE\n")) << f.Console();

    const auto second = f.Imprime("circles.hpgl", {}, false);
    ASSERT_FALSE(second.empty());
    ASSERT_TRUE(f.Lignes().Envoie(kPortPC, Octets(second)));
    ASSERT_TRUE(f.AttendConsole("ATTENTE LANCEMENT DU MARQUAGE\n", 2)) << f.Console();
    EXPECT_EQ(route::Contenu(f.Travail() / "tmpprn.prn"), CommeRecu(second));
    EXPECT_TRUE(DansLOrdre(f.Console(), {"ATTENTE LANCEMENT DU MARQUAGE\n", "Détection sur RS232\n",
                                         "Reception nouveau fichier\n", "Logiciel en écoute sur le Port Ethernet\n",
                                         "Logiciel en écoute sur le Port RS232\n", "ATTENTE LANCEMENT DU MARQUAGE\n"}));
    EXPECT_THAT(route::Marquages(f.Trace()), IsEmpty());
    EXPECT_TRUE(f.ArreteParCtrlC(kFinFibre));
}

TEST(Km250Viper, AJobOnItsSingleSerialLineIsMarkedAsDrawn)
{
    Firmware f("mlas-km250-viper", true, {kPortPC});
    ASSERT_TRUE(f.AttendConsole("No .prn File : Wait for new marking file ...\n")) << f.Console();
    const auto job = f.Imprime("square.hpgl", kMarquageUnique, false);
    ASSERT_FALSE(job.empty());
    ASSERT_TRUE(f.Lignes().Envoie(kPortPC, Octets(job)));
    ASSERT_TRUE(f.AttendConsole("Plus de fichier de marquage, Attente d'une nouvelle fiche ...\n")) << f.Console();

    const std::string console = f.Console();
    EXPECT_TRUE(DansLOrdre(console, {"Détection sur RS232\n", "OK : Lancement du marquage\n", "FIN MARQUAGE\n",
                                     "MARQUAGE UNIQUE: Suppression APRES MARQUAGE de la fiche tmpprn.prn\n"}));
    const auto marquages = route::Marquages(f.Trace());
    ASSERT_THAT(marquages, SizeIs(1));
    EXPECT_TRUE(banc::SuitLeDessin(marquages[0], job, route::PasParMm(console)));
    EXPECT_TRUE(f.ArreteParCtrlC("\nArrêt demandé ...\nWatchdog stoppé\nProgramme arrêté\n"));
}

TEST(Demo, ShowsWhatWasMarkedBesideWhatTheDrawingAskedFor)
{
    route::Dossier dossier;
    route::Programme demo(MLAS_DEMO, {(banc::kExemples / "square.hpgl").string()}, dossier.Chemin(), {},
                          dossier.Chemin() / "sortie.txt", dossier.Chemin() / "erreurs.txt");
    ASSERT_TRUE(demo.Fin(banc::kDelai));
    const std::string sortie = route::Contenu(dossier.Chemin() / "sortie.txt");
    ASSERT_TRUE(WIFEXITED(demo.Statut()) && WEXITSTATUS(demo.Statut()) == 0)
        << sortie << route::Contenu(dossier.Chemin() / "erreurs.txt");
    const size_t ligne = sortie.find("marked length (mm)");
    ASSERT_NE(ligne, std::string::npos) << sortie;
    double demande = 0, marque = 0;
    ASSERT_EQ(std::sscanf(sortie.c_str() + ligne, "marked length (mm) %lf %lf", &demande, &marque), 2) << sortie;
    EXPECT_GT(demande, 0);
    EXPECT_NEAR(marque, demande, 0.05) << sortie;
    // The box marked is the drawing's (its axes turned by the orientation): nothing wrapped across the field.
    double l = 0, h = 0, ml = 0, mh = 0;
    ASSERT_EQ(std::sscanf(sortie.c_str() + sortie.find("marked box (mm)"), "marked box (mm) %lf x %lf %lf x %lf", &l,
                          &h, &ml, &mh),
              4)
        << sortie;
    EXPECT_NEAR(std::min(ml, mh), std::min(l, h), 0.05) << sortie;
    EXPECT_NEAR(std::max(ml, mh), std::max(l, h), 0.05) << sortie;
    EXPECT_THAT(sortie, HasSubstr("marked box in the 130 mm lens field: X "));
    EXPECT_THAT(sortie, HasSubstr("tmpprn.prn deleted after marking"));
    EXPECT_THAT(sortie, EndsWith("firmware stopped by Ctrl-C: \"Programme arrêté\"\n"));
}

TEST(Demo, ShowsTheDotsAnImageAskedBesideTheDotsMarked)
{
    const auto exemple = banc::kExemples / "badge.rtl";
    route::Dossier dossier;
    route::Programme demo(MLAS_DEMO, {exemple.string()}, dossier.Chemin(), {}, dossier.Chemin() / "sortie.txt",
                          dossier.Chemin() / "erreurs.txt");
    ASSERT_TRUE(demo.Fin(banc::kDelai));
    const std::string sortie = route::Contenu(dossier.Chemin() / "sortie.txt");
    const size_t ligne = sortie.find("raster dots");
    ASSERT_TRUE(WIFEXITED(demo.Statut()) && WEXITSTATUS(demo.Statut()) == 0)
        << sortie << route::Contenu(dossier.Chemin() / "erreurs.txt");
    ASSERT_NE(ligne, std::string::npos) << sortie;
    size_t demandes = 0, marques = 0;
    ASSERT_EQ(std::sscanf(sortie.c_str() + ligne, "raster dots %zu %zu", &demandes, &marques), 2) << sortie;
    EXPECT_GT(demandes, 1000u) << sortie;
    EXPECT_EQ(marques, demandes) << sortie;
    double identique = 0;
    ASSERT_EQ(std::sscanf(sortie.c_str() + sortie.find("image identical"), "image identical %lf", &identique), 1);
    EXPECT_GE(identique, 99.9) << sortie;
    EXPECT_THAT(sortie, HasSubstr("marked box in the 130 mm lens field: X "));
}

}  // namespace
