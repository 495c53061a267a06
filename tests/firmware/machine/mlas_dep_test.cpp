// Vector moves as the DSP runs them: blocks in the ring, splitting, the
// staircase, the stack of marks with its delays, a whole job's end point, and
// per build the rotation and reset differences.
#include "mlas_dep.h"

#include "banc_machine.h"
#include "mlas_param.h"
#include "etat_marquage.h"
#include "etat_deplacement.h"
#include "etat_rotation.h"
#include "etat_pupitre.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <cmath>
#include <tuple>

namespace {

using ::testing::ElementsAre;
using ::testing::ElementsAreArray;
using ::testing::HasSubstr;

constexpr bool kViper = build::kViper;
constexpr int kCentre = 32766;
constexpr int kMicron = 1000;  // nanometres; one step with the factors of these tests

// What a block did: control word, target and delay word.
using Effet = std::tuple<int, int, int, int>;

// A block as the DSP ran it, its targets back in absolute steps.
struct Bloc {
    uint16_t ctl, divX, divY;
    int x, y;
    uint16_t delai;
};

class Deplacements : public banc::Machine {
protected:
    void SetUp() override
    {
        banc::Machine::SetUp();
        dsp.Demarre();
        deplacement.mmenpasX = deplacement.mmenpasY = 1000.0f;
        marquage.Orientation = 4;
        marquage.TempoSaut = marquage.TempoTir = marquage.TempopTir = 0;
        marquage.VitesseSaut = 2500;
        lasparam.VitesseMarquage = 500;
        deplacement.DIV_PD = deplacement.DIV_PU = 10;
        deplacement.VPULASER = 10;
        pupitre.bEcoMode = marquage.bTestInscription = marquage.bSimulation = rotation.bTC_DMC = rotation.bDMCpasApas = rotation.bMOdeIndexe = rotation.bCestUneRotation = 0;
        deplacement.VitesseDeDeplacementEnTC = 0;
        deplacement.CUneRechercheOrgigine = deplacement.bRechercheOrigine = 0;
        deplacement.iTabD = deplacement.NumblocDSP = 0;
        deplacement.LPen_Up = deplacement.DoSegment = 1;
        ReprendMarquage();
        Place(kCentre, kCentre);
    }
    static void Place(int x, int y)
    {
        deplacement.X_courant = x;
        deplacement.Y_courant = y;
        deplacement.PX_reel = x;
        deplacement.PY_reel = y;
    }
    std::vector<Bloc> Blocs() const
    {
        std::vector<Bloc> blocs;
        for (const auto& b : dsp.Blocs()) {
            blocs.push_back({b.mots[0], b.mots[1], b.mots[2], static_cast<int16_t>(b.mots[3]) + kCentre,
                             static_cast<int16_t>(b.mots[4]) + kCentre, b.mots[5]});
        }
        return blocs;
    }
    std::vector<Effet> Effets() const
    {
        std::vector<Effet> effets;
        for (const auto& b : Blocs()) effets.emplace_back(b.ctl, b.x, b.y, b.delai);
        return effets;
    }
    // Targets of the beam-on blocks, relative to the centre.
    std::vector<std::pair<int, int>> Marques() const
    {
        std::vector<std::pair<int, int>> cibles;
        for (const auto& b : Blocs()) {
            if (b.ctl & 0x8000) cibles.emplace_back(b.x - kCentre, b.y - kCentre);
        }
        return cibles;
    }
};

TEST_F(Deplacements, DelayWordsAndTheRing)
{
    EXPECT_EQ(MotDelai(7900), 64717);
    EXPECT_EQ(MotDelai(7901), 0xFFFF);
    for (int i = 0; i < 12; ++i) Deplacement(i % 2 ? 0x8001 : 0x0801, 3, 4, 100 + i, 200, i % 2 ? 7900 : 0);
    const auto lignes = carte.Trace({"BLOCK"});
    ASSERT_EQ(lignes.size(), 12u);
    EXPECT_EQ(lignes[9], "BLOCK n=9 ctl=0x8003 x=109 y=200 dpd=3 delay=64717");
    EXPECT_EQ(lignes[10], "BLOCK n=0 ctl=0x0801 x=110 y=200 dpd=3 delay=0") << "no delay leaves bit 1 clear";
    EXPECT_EQ(deplacement.NumblocDSP, 2);
}

TEST_F(Deplacements, ALongMoveIsSplitAt65000Steps)
{
    DoVecteurMicrons(70000 * kMicron, 0, 1, 0);
    const auto blocs = dsp.Blocs();
    ASSERT_EQ(blocs.size(), 2u);
    EXPECT_EQ(blocs[0].mots[3], 65000) << "X word of the target";
    EXPECT_EQ(blocs[1].mots[3], (70000) & 0xFFFF);
    EXPECT_EQ(deplacement.X_courant, kCentre + 70000);
}

TEST_F(Deplacements, SteepVectorsJumpInTwoAndMarkAsAStaircase)
{
    DoVecteurMicrons(100 * kMicron, 1 * kMicron, 1, 0);
    EXPECT_THAT(Effets(), ElementsAre(Effet{0x0801, kCentre + 100, kCentre, 0}, Effet{0x0801, kCentre + 100, kCentre + 1, 0}));
    Place(kCentre, kCentre);
    DoVecteurMicrons(100 * kMicron, 1 * kMicron, 0, 0);
    EXPECT_THAT(Marques(), ElementsAre(std::pair{50, 0}, std::pair{51, 1}, std::pair{100, 1}));

    // Runs rounded up would overshoot here; the path must stay on its way.
    for (auto [a, b] : {std::pair{3000, 59}, std::pair{50650, 1000}}) {
        Place(0, 0);
        const auto avant = Marques().size();
        DoVecteurMicrons(a * kMicron, b * kMicron, 0, 0);
        const auto marques = Marques();
        int x = -kCentre, y = -kCentre, diagonales = 0;
        for (auto i = avant; i < marques.size(); ++i) {
            EXPECT_GT(marques[i].first, x);
            EXPECT_GE(marques[i].second, y);
            diagonales += marques[i].second > y;
            std::tie(x, y) = marques[i];
        }
        EXPECT_EQ(diagonales, b);
        EXPECT_EQ(marques.back(), (std::pair{a - kCentre, b - kCentre}));
    }
}

TEST_F(Deplacements, AStackedPolylineReachesTheDspInOrderWithItsDelays)
{
    marquage.TempoSaut = 500;
    marquage.TempopTir = 400;
    marquage.TempoTir = 20000;
    DoVecteurMicrons(-20000 * kMicron, 0, 1, 1);
    DoVecteurMicrons(1000 * kMicron, 0, 0, 1);
    DoVecteurMicrons(0, 1000 * kMicron, 0, 1);
    DoVecteurMicrons(-500 * kMicron, -1000 * kMicron, 0, 1);
    EXPECT_EQ(deplacement.iTabD, 3);
    DoVecteurMicrons(5000 * kMicron, 0, 1, 1);
    EXPECT_EQ(deplacement.iTabD, 0);

    const int x0 = kCentre - 20000;
    const int x1 = x0 + 500;
    std::vector<Effet> attendus;
    auto bloc = [&](int ctl, int x, int y, int delai) { attendus.emplace_back(ctl, x, y, delai); };
    auto fin = [&](int x) { if (!kViper) bloc(0x0801, x, kCentre, 0); };  // closes a delay
    const int saut = kViper ? 2499 : 49971;  // 305 us, 20 times longer but in the VIPER build
    bloc(0x0801, x0, kCentre, 0);
    bloc(0x0803, x0, kCentre, saut);
    fin(x0);
    bloc(0x0803, x0, kCentre, saut);  // again, where the marks start
    fin(x0);
    bloc(0x8003, x0 + 1, kCentre + 1, 3277);  // first shot
    bloc(0x8001, x0 + 1000, kCentre, 0);
    bloc(0x8001, x0 + 1000, kCentre + 1000, 0);
    bloc(0x8001, x1, kCentre, 0);
    bloc(0x8003, x1, kCentre, 0xFFFF);
    bloc(0x8003, x1, kCentre, 0xFFFF);
    bloc(0x8003, x1, kCentre, 32768);
    fin(x1);
    bloc(0x0801, x1 + 5000, kCentre, 0);
    bloc(0x0803, x1 + 5000, kCentre, kViper ? 623 : 12452);
    fin(x1 + 5000);
    EXPECT_THAT(Effets(), ElementsAreArray(attendus));

    const auto premiere = Blocs().at(kViper ? 4 : 6);
    const auto diagonale = Blocs().at(kViper ? 6 : 8);
    EXPECT_EQ(premiere.divX, 5) << "500 mm/s along X";
    EXPECT_EQ(diagonale.divX, 11) << "each axis at its share of the speed";
    EXPECT_EQ(diagonale.divY, 6);
}

TEST_F(Deplacements, AFullStackIsWrittenBeforeTheNextMark)
{
    for (int i = 0; i < kTailleTabDeplace; ++i) DoVecteurMicrons(10 * kMicron, 0, 0, 1);
    EXPECT_EQ(deplacement.iTabD, kTailleTabDeplace);
    EXPECT_TRUE(Blocs().empty());
    DoVecteurMicrons(10 * kMicron, 0, 0, 1);
    EXPECT_EQ(deplacement.iTabD, 1);
    EXPECT_EQ(Blocs().size(), static_cast<std::size_t>(kTailleTabDeplace));
    DoVecteurMicrons(0, 10 * kMicron, 0, 0);
    EXPECT_EQ(deplacement.iTabD, 0) << "an unstacked mark follows the stacked ones";
    EXPECT_EQ(Marques().back(), (std::pair{10 * kTailleTabDeplace + 10, 10}));
}

TEST_F(Deplacements, AJobEndsExactlyWhereItAsked)
{
    deplacement.mmenpasX = deplacement.mmenpasY = 1000.0f / 1.9836729764938354f;
    marquage.Orientation = 2;
    struct Pas {
        int dx, dy;
        char saut, segment;
    };
    const std::vector<Pas> job = {
        {-10000000, -9000000, 1, 1}, {5400000, 0, 0, 1}, {3000000, 40000, 0, 1}, {-2000000, 7000000, 0, 1},
        {0, -3000, 0, 1},            {12345678, -6789012, 1, 1}, {-777777, 4321111, 0, 0}, {-3000000, 0, 0, 1},
        {-50000000, 0, 1, 0},
    };
    std::vector<std::pair<int, int>> sommets;
    double x = kCentre, y = kCentre;
    for (const Pas& p : job) {
        DoVecteurMicrons(p.dx, p.dy, p.saut, p.segment);
        x -= p.dx / 1e6 * deplacement.mmenpasX;
        y -= p.dy / 1e6 * deplacement.mmenpasY;
        sommets.emplace_back(static_cast<int>(std::floor(x + 0.5)), static_cast<int>(std::floor(y + 0.5)));
    }
    DepileTabPD();
    const auto blocs = dsp.Blocs();
    std::size_t suivant = 0;
    for (const auto& b : blocs) {
        const std::pair<int, int> cible{(b.mots[3] + kCentre) & 0xFFFF, (b.mots[4] + kCentre) & 0xFFFF};
        if (suivant < sommets.size() && cible == sommets[suivant]) ++suivant;
    }
    EXPECT_EQ(suivant, sommets.size()) << "every corner is reached, in order";
    EXPECT_EQ(deplacement.X_courant, sommets.back().first);
    EXPECT_EQ(deplacement.Y_courant, sommets.back().second);
    EXPECT_EQ(deplacement.iTabD, 0);
}

TEST_F(Deplacements, EcoAndInscriptionModesClearTheBeamBitOfEveryBlock)
{
    pupitre.bEcoMode = 1;
    DoVecteurMicrons(100 * kMicron, 0, 0, 0);
    Gestion_Tempo_us(9000, 0);
    pupitre.bEcoMode = 0;
    marquage.bTestInscription = 1;
    marquage.GainXRectPosition = marquage.GainYRectPosition = 0.5f;
    Deplacement(0x8001, 1, 1, kCentre + 1000, kCentre - 2000, 0);
    EXPECT_THAT(Effets(), ElementsAre(Effet{0x0001, kCentre + 100, kCentre, 0}, Effet{0x0801, kCentre + 100, kCentre, 0},
                                      Effet{0x0003, kCentre + 100, kCentre, 0xFFFF}, Effet{0x0003, kCentre + 100, kCentre, 8192},
                                      Effet{0x0001, kCentre + 500, kCentre - 1000, 0}));
}

TEST_F(Deplacements, ANullOrNegativeSpeedGivesTheSlowestDivisor)
{
    lasparam.VitesseMarquage = 0;
    DoVecteurMicrons(100 * kMicron, 30 * kMicron, 0, 0);
    lasparam.VitesseMarquage = -500;
    DoVecteurMicrons(0, 100 * kMicron, 0, 0);
    for (const auto& b : Blocs()) {
        EXPECT_EQ(b.divX, 0x8000);
        EXPECT_EQ(b.divY, 0x8000);
    }
}

TEST_F(Deplacements, CentreAndOriginSearch)
{
    Place(100, 100);
    EXPECT_EQ(VaAuCentre(), 1);
    lasparam.LargeurChamp = lasparam.HauteurChamp = 60.0f;
    marquage.Orientation = 2;
    EXPECT_EQ(Sortie([] { RetourOrigineInverse(); }), "Recherche origine en cours, mais pas de déplacement !\n");
    EXPECT_EQ(deplacement.X_courant, kCentre - 30000);
    EXPECT_EQ(deplacement.Y_courant, kCentre - 30000);
    marquage.TempoSaut = 500;
    DoVecteurMicrons(-1000 * kMicron, 0, 1, 0);
    EXPECT_THAT(Effets(), ElementsAre(Effet{0x0801, kCentre, kCentre, 0}, Effet{0x0801, kCentre, kCentre, 0},
                                      Effet{0x0801, kCentre - 29000, kCentre - 30000, 0}))
        << "one block to the centre, none for the origin, no jump delay while searching";
}

TEST_F(Deplacements, AResetDuringAMoveIsReportedPerBuild)
{
    dsp.FixeEntrees({.reset = true});
    deplacement.RetourOrigineOK = 1;
    const std::string console = Sortie([] { DoVecteurMicrons(10 * kMicron, 0, 1, 0); });
    std::string attendue;
    attendue = build::kTraits.texteSortieReset;
    if constexpr (build::kDmc) attendue += "Reset pendant attente fin comptage\n";
    EXPECT_EQ(console, attendue);
    EXPECT_EQ(deplacement.RetourOrigineOK, build::kDmc ? 0 : 1);
    EXPECT_EQ(Blocs().size(), 1u) << "the move still runs";
}

// A reset asked for during the longest delays a header may give (1 s, the
// jump delay twenty times over) ends each of them after one block.
TEST_F(Deplacements, AResetEndsALongDelay)
{
    marquage.TempoSaut = marquage.TempoTir = marquage.TempopTir = 1000000;
    dsp.FixeEntrees({.reset = true});
    Place(kCentre - 20000, kCentre);  // the long jump ends in the field, where a mark may be made
    Sortie([] {
        DoVecteurMicrons(40000 * kMicron, 0, 1, 0);
        DoVecteurMicrons(10 * kMicron, 0, 0, 1);
        DoVecteurMicrons(10 * kMicron, 0, 1, 1);
    });
    int longs = 0;
    for (const auto& b : Blocs()) longs += b.delai == 0xFFFF;
    EXPECT_EQ(longs, 4) << "after the long jump, before the mark, first shot, firing delay";
    EXPECT_EQ(Marques().size(), 3u) << "the mark itself still goes out";
}

TEST_F(Deplacements, RotationJumpsAndTheirDelays)
{
    rotation.bTC_DMC = rotation.bCestUneRotation = 1;
    marquage.TempoSaut = 500;
    DoVecteurMicrons(0, 10 * kMicron, 1, 0);
    const auto blocs = Blocs();
    EXPECT_EQ(blocs[0].divX, 1) << "2500 mm/s";
    EXPECT_EQ(blocs[0].divY, 1);
    // A jump too short for a delay of its own gets the whole delay while the part turns.
    if constexpr (build::kTraits.sautPleinEnRotation) {
        ASSERT_EQ(blocs.size(), 4u);
        EXPECT_EQ(blocs[1].delai, 0xFFFF);
        EXPECT_EQ(blocs[2].delai, 16384) << "10000 us";
    } else if constexpr (kViper) {
        EXPECT_EQ(blocs.size(), 1u);
    } else {
        EXPECT_EQ(blocs.size(), 2u) << "no delay, only the closing block";
    }
    marquage.bSimulation = 1;
    DoVecteurMicrons(0, 10 * kMicron, 1, 0);
    EXPECT_EQ(Blocs()[blocs.size()].divY, 100) << "simulation turns slowly";
    EXPECT_EQ(deplacement.VitesseDeDeplacementEnTC, kViper ? 0 : 100);
}

TEST_F(Deplacements, AMarkWhoseStartOrEndLeavesTheFieldIsNotMadeAndStopsTheMarking)
{
    lasparam.LargeurChamp = lasparam.HauteurChamp = 60.0f;  // 30000 steps each side of the centre
    ReprendMarquage();
    const std::string console = Sortie([] {
        DoVecteurMicrons(29000 * kMicron, 0, 0, 1);  // to 61766: inside
        DoVecteurMicrons(2000 * kMicron, 0, 0, 1);   // to 63766: past the edge
        DoVecteurMicrons(-1000 * kMicron, 0, 0, 1);  // back inside: the marking has stopped
        DepileTabPD();
    });
    EXPECT_THAT(console, HasSubstr("Vecteur marqué hors du champ de la lentille (de X=61766 Y=32766 à X=63766 "
                                   "Y=32766 pas) -> Arrêt du marquage\n"));
    EXPECT_EQ(deplacement.Interruption, ArretMarquage::HorsChamp);
    ASSERT_FALSE(Marques().empty());
    EXPECT_EQ(Marques().back(), std::make_pair(29000, 0));
    const size_t marques = Marques().size();

    // A jump may leave the field; a mark from there back in may not.
    ReprendMarquage();
    Sortie([] {
        DoVecteurMicrons(5000 * kMicron, 0, 1, 0);
        DoVecteurMicrons(-10000 * kMicron, 0, 0, 1);
        DepileTabPD();
    });
    EXPECT_EQ(deplacement.Interruption, ArretMarquage::HorsChamp);
    EXPECT_EQ(Marques().size(), marques);

    // The first-pulse delay creeps one step per block, never past the edge.
    ReprendMarquage();
    Place(kCentre + 29999, kCentre);
    marquage.TempopTir = 3 * 8000;
    Sortie([] {
        DoVecteurMicrons(-1000 * kMicron, 0, 0, 1);
        DepileTabPD();
    });
    marquage.TempopTir = 0;
    const auto creep = Marques();
    ASSERT_EQ(creep.size(), marques + 4);
    for (size_t i = marques; i < creep.size(); ++i) EXPECT_LE(creep[i].first, 30000) << i;

    // In orientation 1 the plate goes on from the corner of the origin return
    // past 65535 along X, the DSP wrapping the targets: a full field counts on
    // from there, and a mark back across the wrap is outside.
    ReprendMarquage();
    marquage.Orientation = 1;
    deplacement.mmenpasX = deplacement.mmenpasY = 65535.0f / 60;
    Sortie([] {
        RetourOrigineInverse();
        DoVecteurMicrons(5000 * kMicron, 5000 * kMicron, 1, 0);
        DoVecteurMicrons(10000 * kMicron, 10000 * kMicron, 0, 1);
        DepileTabPD();
    });
    EXPECT_EQ(deplacement.Interruption, ArretMarquage::Aucun);
    EXPECT_GT(deplacement.X_courant, 65535) << "past the wrap";
    EXPECT_EQ(Marques().back(), std::make_pair((deplacement.X_courant & 0xFFFF) - kCentre, deplacement.Y_courant - kCentre));
    Sortie([] { DoVecteurMicrons(0, -20000 * kMicron, 0, 1); });
    EXPECT_EQ(deplacement.Interruption, ArretMarquage::HorsChamp);

    // In step rotation the jumps leave X alone: the marks stay about the centre.
    ReprendMarquage();
    marquage.Orientation = 2;
    rotation.bDMCpasApas = 1;
    Sortie([] {
        RetourOrigineInverse();
        DoVecteurMicrons(5000 * kMicron, 5000 * kMicron, 1, 0);
        DoVecteurMicrons(5000 * kMicron, 0, 0, 1);
        DepileTabPD();
    });
    rotation.bDMCpasApas = 0;
    EXPECT_EQ(deplacement.Interruption, ArretMarquage::Aucun);
}

TEST_F(Deplacements, ADspThatStopsTakingBlocksEndsTheWaitsAndTheMarking)
{
    ReprendMarquage();
    dsp.Lenteur(~0u);
    for (int i = 0; i < 10; ++i) EXPECT_EQ(Deplacement(0x0801, 10, 10, kCentre + 100 * i, kCentre, 0), 1);
    const clock_t debut = banc::horlogeVirtuelle;
    int ecrit = -1;
    std::string console = Sortie([&] { ecrit = Deplacement(0x0801, 10, 10, kCentre, kCentre, 0); });
    EXPECT_EQ(ecrit, 0);
    EXPECT_THAT(console, ::testing::ContainsRegex("Le DSP ne prend plus de blocs \\(attente de plus de 1\\.[0-9] s\\) -> "
                                                  "Arrêt du marquage\n"));
    EXPECT_GE(banc::horlogeVirtuelle - debut, CLOCKS_PER_SEC);
    EXPECT_LT(banc::horlogeVirtuelle - debut, 2 * CLOCKS_PER_SEC);
    EXPECT_EQ(deplacement.Interruption, ArretMarquage::DspBloque);

    // Once stopped, the waits look once; nothing more is marked.
    const clock_t ensuite = banc::horlogeVirtuelle;
    console = Sortie([] {
        Attente_Fin_Comptage();
        DoVecteurMicrons(10 * kMicron, 0, 0, 0);
    });
    EXPECT_LT(banc::horlogeVirtuelle - ensuite, CLOCKS_PER_SEC / 100);
    EXPECT_THAT(console, ::testing::Not(HasSubstr("Le DSP")));
    EXPECT_TRUE(Marques().empty());

    // A DSP that runs again takes blocks again.
    dsp.Lenteur(0);
    EXPECT_EQ(Deplacement(0x0801, 10, 10, kCentre, kCentre, 0), 1);
    EXPECT_EQ(Blocs().size(), 11u);
}

}  // namespace
