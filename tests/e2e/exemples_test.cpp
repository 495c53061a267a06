// Every HP-GL/2 drawing of examples/, converted by brevolt-print with its
// settings file (if any) and the tool's default lens, is marked whole by
// mlas-fibre on the simulated board: no marked move leaves the lens field.
#include "banc_route.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>

namespace {

namespace fs = std::filesystem;

using banc::Firmware;
using banc::kPortPupitre;

constexpr int kCentre = 32766;

std::vector<fs::path> Dessins()
{
    std::vector<fs::path> dessins;
    for (const auto& entree : fs::directory_iterator(banc::kExemples))
        if (entree.path().extension() == ".hpgl") dessins.push_back(entree.path());
    std::sort(dessins.begin(), dessins.end());
    return dessins;
}

constexpr const char* kFini = "Plus de fichier de marquage, Attente d'une nouvelle fiche ...\n";
constexpr const char* kArret = "-> Arrêt du marquage";

TEST(Exemples, EveryDrawingIsMarkedInsideTheDefaultLensField)
{
    const std::vector<fs::path> dessins = Dessins();
    ASSERT_GE(dessins.size(), 15u);

    Firmware f("mlas-fibre", true, {kPortPupitre});
    ASSERT_TRUE(f.AttendConsole("Pas de fichier de marquage, Attente d'une fiche à marquer\n")) << f.Console();
    ASSERT_TRUE(f.Lignes().Envoie(kPortPupitre, route::TrameModeNormal()));

    size_t marquees = 0;
    for (const fs::path& dessin : dessins) {
        SCOPED_TRACE(dessin.filename().string());
        std::vector<std::string> options = route::Reglages(dessin);
        options.insert(options.end(), banc::kMarquageUnique.begin(), banc::kMarquageUnique.end());
        ASSERT_FALSE(f.Imprime(dessin.filename().string(), options).empty());
        ++marquees;
        ASSERT_TRUE(f.AttendConsole([&](const std::string& console) {
            return banc::Occurrences(console, kFini) >= marquees || console.find(kArret) != std::string::npos;
        })) << f.Console();
        const std::string console = f.Console();
        ASSERT_EQ(console.find(kArret), std::string::npos) << console.substr(console.rfind("DEBUT DU MARQUAGE"));
        ASSERT_EQ(console.find("COMMANDE INCONNUE"), std::string::npos);
        ASSERT_EQ(route::Marquages(f.Trace()).size(), marquees) << "one marking, with the beam on";
    }

    const std::string console = f.Console();
    const double pasParMm = route::PasParMm(console);
    const double champ = route::ChampMm(console);
    ASSERT_EQ(champ, 130) << "the 160 mm lens";
    ASSERT_GT(pasParMm, 0);
    // The field is square, so the orientation does not matter.
    const double demi = champ / 2 * pasParMm;
    const auto marquages = route::Marquages(f.Trace());
    ASSERT_EQ(marquages.size(), dessins.size());
    for (size_t i = 0; i < dessins.size(); ++i) {
        const route::Marquage& m = marquages[i];
        EXPECT_GE(m.xMin, kCentre - demi) << dessins[i].filename() << ": " << m;
        EXPECT_LE(m.xMax, kCentre + demi) << dessins[i].filename() << ": " << m;
        EXPECT_GE(m.yMin, kCentre - demi) << dessins[i].filename() << ": " << m;
        EXPECT_LE(m.yMax, kCentre + demi) << dessins[i].filename() << ": " << m;
    }
    f.Lignes().Vide(kPortPupitre);
}

}  // namespace
