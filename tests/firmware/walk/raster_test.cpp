// Raster records on the board's trace: images rebuilt dot by dot from the
// marked moves and compared with what the lines ask, the PackBits items, the
// speed and frequency curve and when it is sent, wide dots, negative marking,
// dot patterns, lines that cannot be marked, and the cylinder's line feed.
#include "banc_marche.h"
#include "mlas_boucles.h"
#include "mlas_main.h"
#include "prnRasterFunctions.h"
#include "raster_dots.h"
#include "etat_marquage.h"
#include "etat_deplacement.h"
#include "etat_rotation.h"
#include "etat_boucles.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <algorithm>

namespace {

using jobfile::Builder;
using ::testing::HasSubstr;
using ::testing::Not;

constexpr int kPas = 100;  // steps per dot at 254 dpi

struct Envoi {
    unsigned periode;  // ticks of 8,192 kHz
    unsigned pd;       // marking increment: mm/s / 25 on this bench
    bool operator==(const Envoi&) const = default;
};

class Raster : public banc::Marche {
protected:
    void SetUp() override
    {
        banc::Marche::SetUp();
        marquage.bNegatif = 0;
        marquage.RasterPatternDrawing = 2;
        marquage.RasterPatternCorrection = 0;
        marquage.TempoInterligneTC = marquage.TempoFinRotation = 0;
        boucles.LFNbreLigne = boucles.LFNbrepointA = 0;
    }
    void TearDown() override
    {
        marquage.RasterPatternDrawing = 2;
        banc::Marche::TearDown();
    }

    // The pen settings the converter writes before a band, then the band's move.
    static Builder& Bande(Builder& b, int32_t x, int32_t y)
    {
        b.record("PW", 50).pair("FR", 50000).record("VD", 500).record("AI", 0);
        return b.pair("RX", static_cast<uint32_t>(x)).pair("RY", static_cast<uint32_t>(y));
    }
    std::string MarqueCorps(const std::vector<uint8_t>& corps)
    {
        Recoit(corps);
        std::string console;
        Marque(&console);
        return console;
    }
    // The dots marked since trace line `depuis`, on the grid of this bench's lens and plate.
    std::vector<rasterdots::Dot> Marques(size_t depuis = 0) const
    {
        const rasterdots::Grid grille = rasterdots::plateGrid({marquage.Orientation, 1000, 1000, 60, 60}, marquage.OrgXPlaque * 1000.0,
                                                              marquage.OrgYPlaque * 1000.0, deplacement.EcartXEntreDot, deplacement.EcartYEntreDot);
        return rasterdots::markedDots(carte.Trace(), grille, depuis);
    }
    // The image asked by the body and the one marked are the same, one move per dot.
    testing::AssertionResult MemeImage(const Builder& b, size_t depuis = 0) const
    {
        const auto demandes = rasterdots::askedDots(jobfile::decodeBody(b.bytes()), marquage.bNegatif != 0);
        const auto marques = Marques(depuis);
        const auto c = rasterdots::compare(demandes, marques);
        if (demandes.empty() || !c.onlyAsked.empty() || !c.onlyMarked.empty() || marques.size() != demandes.size())
            return testing::AssertionFailure() << demandes.size() << " dots asked, " << marques.size()
                                               << " marked, " << c.onlyAsked.size() << " missing, "
                                               << c.onlyMarked.size() << " not asked";
        return testing::AssertionSuccess();
    }
    // Each beam-on move: from where, to where.
    std::vector<std::pair<banc::Point, banc::Point>> Coups(size_t depuis) const
    {
        std::vector<std::pair<banc::Point, banc::Point>> coups;
        banc::Point ici{banc::kCentre, banc::kCentre};
        const auto lignes = carte.Trace();
        for (size_t i = depuis; i < lignes.size(); ++i) {
            unsigned ctl = 0, x = 0, y = 0;
            if (std::sscanf(lignes[i].c_str(), "BLOCK n=%*u ctl=0x%x x=%u y=%u", &ctl, &x, &y) != 3) continue;
            const banc::Point cible{static_cast<int>(x), static_cast<int>(y)};
            if ((ctl & 0x8000) != 0) coups.push_back({ici, cible});
            ici = cible;
        }
        return coups;
    }
    // Each speed and frequency sent: the Q-switch period and the increment that follows it.
    std::vector<Envoi> Envois(size_t depuis = 0) const
    {
        std::vector<Envoi> envois;
        const auto lignes = carte.Trace();
        for (size_t i = depuis; i < lignes.size(); ++i) {
            unsigned periode = 0, pd = 0;
            if (std::sscanf(lignes[i].c_str(), "CMD code=0x03 ack=0xAA00 p=%u,", &periode) == 1) envois.push_back({periode, 0});
            else if (std::sscanf(lignes[i].c_str(), "INC pu=%*u pd=%u", &pd) == 1 && !envois.empty()) envois.back().pd = pd;
        }
        return envois;
    }
};

TEST_F(Raster, AnImageIsMarkedDotByDotWhereItsLinesPutIt)
{
    // Two bands as the converter writes them: forward and reverse lines, blank
    // dots (0 and 128-255) between marked ones, a line return and a move back.
    const std::vector<uint8_t> grises{0, 10, 10, 0, 0, 127, 200, 60, 255, 1};
    std::vector<uint8_t> inverse{5, 0, 0, 0, 0, 0, 0, 90, 0, 0};
    std::reverse(inverse.begin(), inverse.end());
    Builder b;
    Bande(b, 3, 2).line("C3", grises).line("C4", inverse).line("C3", grises).record("R5", 0);
    Bande(b, -2, 1).line("C1", std::vector<uint8_t>{0xA5, 0x0F}).line("C2", std::vector<uint8_t>{0x80, 0x01});
    b.record("R5", 0).record("OP", 0).end();

    const std::string console = MarqueCorps(b.bytes());
    EXPECT_THAT(console, Not(HasSubstr("COMMANDE INCONNUE")));
    EXPECT_TRUE(MemeImage(b));
    if constexpr (build::kFibreLine) {
        EXPECT_EQ(boucles.LFNbreLigne, 5u);
        EXPECT_EQ(boucles.LFNbrepointA, 30u + 10u) << "every grey dot, the marked 1-bit ones";
    }

    // Each lens orientation lays the same image on other scanner axes, from
    // the field's corner that the orientation takes (past the card's wrap in some).
    for (uint8_t o = 1; o <= 4; ++o) {
        marquage.Orientation = o;
        marquage.OrgXPlaque = marquage.OrgYPlaque = 10000;
        const size_t avant = carte.Trace().size();
        MarqueCorps(b.bytes());
        EXPECT_TRUE(MemeImage(b, avant)) << "orientation " << int{o};
    }
}

TEST_F(Raster, PackBitsItemsAreTakenAsTheirLengthSays)
{
    // A line of no data is a line feed alone; 0x80 is nothing; 0x81 repeats
    // its byte 128 times; a literal item 127 takes 128 bytes.
    std::vector<uint8_t> donnees{0x80, 0x81, 40, 0x7F};
    for (int i = 0; i < 128; ++i) donnees.push_back(static_cast<uint8_t>(i % 3 == 0 ? 0 : 70));
    Builder b;
    Bande(b, 0, 0).record("C3", 0).record("C3", static_cast<uint16_t>(donnees.size() / 2)).raw(donnees);
    b.record("C1", 1).raw(std::vector<uint8_t>{0x80, 0x80}).line("C1", std::vector<uint8_t>{0x40}).end();

    MarqueCorps(b.bytes());
    EXPECT_TRUE(MemeImage(b));
    const auto marques = Marques();
    ASSERT_EQ(marques.size(), 128u + 85u + 1u);
    EXPECT_EQ(marques.front().row, 1) << "after the empty line's feed";
    EXPECT_EQ(marques.back().row, 3);
}

TEST_F(Raster, SpeedAndFrequencyFollowTheGreyLevelAndAreSentOnlyWhenTheyChange)
{
    // Level 63 is the curve's centre: the speed of VD and the frequency in the
    // middle of the range (mlas-km250-viper: the frequency of FR); level 127 the
    // darkest: a fifth of the speed, the lowest frequency.
    const unsigned centre = build::kFibreLine ? 109 : build::kViper ? 164 : 66;
    const unsigned sombre = build::kViper ? 819 : 164;
    Builder b;
    Bande(b, 0, 0).line("C3", std::vector<uint8_t>(6, 0)).line("C3", std::vector<uint8_t>{0, 0, 0, 63});
    b.line("C3", std::vector<uint8_t>{63, 63, 0, 63, 127, 127});
    b.record("VD", 250).line("C3", std::vector<uint8_t>{127});
    b.line("C1", std::vector<uint8_t>{0x80}).line("C3", std::vector<uint8_t>{127}).end();

    MarqueCorps(b.bytes());
    EXPECT_EQ(Envois(), (std::vector<Envoi>{{centre, 20}, {sombre, 4}, {sombre, 2}, {164, 10}, {sombre, 2}}))
        << "a new speed, a 1-bit line at the pen's settings: the level is sent again";

    // The blank line sends nothing and moves nothing: the first block after
    // the band's move is the jump over both lines' blanks.
    const auto lignes = carte.Trace({"BLOCK"});
    const auto premier = std::find_if(lignes.begin(), lignes.end(), [](const std::string& l) { return l.find("ctl=0x8001") != std::string::npos; });
    ASSERT_NE(premier, lignes.end());
    unsigned x = 0, y = 0;
    ASSERT_EQ(std::sscanf((premier - 1)->c_str(), "BLOCK n=%*u ctl=0x0801 x=%u y=%u", &x, &y), 2);
    const banc::Point origine{banc::kCentre - banc::kDemiChamp + banc::kOrgX, banc::kCentre - banc::kDemiChamp + banc::kOrgY};
    EXPECT_EQ((banc::Point{static_cast<int>(x), static_cast<int>(y)}), (banc::Point{origine.x + 9 * kPas, origine.y + kPas}));
}

TEST_F(Raster, AWideDotIsMarkedOverFortyMicrometresOrLessTheCorrection)
{
    // Pitch above 150 um: 40 um marked; a correction shortens narrower dots;
    // a dot is never marked past its own pitch.
    struct Cas {
        uint32_t dpi;
        int32_t correction;
        int pas, marque;  // steps
    };
    for (const auto& [dpi, correction, pas, marque] :
         std::vector<Cas>{{100, 0, 254, 40}, {100, 20, 254, 40}, {254, 30, 100, 70}, {1270, 30, 20, 20}}) {
        marquage.ResolutionDpiX = dpi;
        marquage.RasterPatternCorrection = correction;
        Builder b;
        Bande(b, 1, 0).line("C1", std::vector<uint8_t>{0xC0}).line("C2", std::vector<uint8_t>{0x03}).end();
        const size_t avant = carte.Trace().size();
        MarqueCorps(b.bytes());
        const auto coups = Coups(avant);
        ASSERT_EQ(coups.size(), 4u) << dpi;
        const int debut = coups[0].first.x;
        for (size_t i = 0; i < 4; ++i) {
            // Forward dots from the left of their place, reverse ones from the right.
            const int place = i < 2 ? static_cast<int>(i) : 3 - static_cast<int>(i);
            EXPECT_EQ(std::min(coups[i].first.x, coups[i].second.x) - debut, place * pas) << dpi << " dot " << i;
            EXPECT_EQ(std::abs(coups[i].second.x - coups[i].first.x), marque) << dpi << " dot " << i;
        }
    }
}

TEST_F(Raster, NegativeMarkingMarksTheZeroBitsAndTheLowLevels)
{
    // The 1-bit dots that are off, and the grey levels 0-126; not 127.
    marquage.bNegatif = 1;
    Builder b;
    Bande(b, 0, 0).line("C1", std::vector<uint8_t>{0xA5}).line("C4", std::vector<uint8_t>{0, 127, 126, 64, 200});
    MarqueCorps(b.end().bytes());
    EXPECT_TRUE(MemeImage(b));
    EXPECT_EQ(Marques().size(), 4u + 3u);
    EXPECT_EQ(Envois().back(), (Envoi{build::kFibreLine ? 109u : build::kViper ? 164u : 66u, 20})) << "64 is the centre";
}

TEST_F(Raster, PatternsDrawTheirStrokesAndBlankDotsStayUnmarked)
{
    // Pattern 3: the lightest level up the diagonal, the dot's level back down;
    // reverse lines draw it the other way round. The blank dot between draws nothing.
    marquage.RasterPatternDrawing = 3;
    Builder b;
    Bande(b, 0, 0).line("C3", std::vector<uint8_t>{50, 0, 50}).line("C4", std::vector<uint8_t>{50}).end();
    MarqueCorps(b.bytes());
    const auto traits = Traits();
    ASSERT_EQ(traits.size(), 3u);
    const banc::Point a = traits[0].Debut();
    EXPECT_EQ(traits[0].points, (std::vector<banc::Point>{a, {a.x + kPas, a.y + kPas}, {a.x + kPas, a.y}}));
    EXPECT_EQ(traits[1].Debut(), (banc::Point{a.x + 2 * kPas, a.y}));
    const banc::Point r{a.x + 3 * kPas, a.y + kPas};
    EXPECT_EQ(traits[2].points, (std::vector<banc::Point>{r, {r.x, r.y + kPas}, {r.x - kPas, r.y}}));
    EXPECT_EQ(Envois().size(), 5u) << "lightest level and the dot's in turn";

    // A pattern that draws nothing still passes over its dots.
    marquage.RasterPatternDrawing = 9;
    Recoit(Builder().line("C3", std::vector<uint8_t>{50, 50}).end().bytes());
    const size_t avant = carte.Trace().size();
    Marque();
    EXPECT_TRUE(Traits(avant).empty());
    EXPECT_EQ(deplacement.MemX_PU, 2 * deplacement.EcartXEntreDot);
}

TEST_F(Raster, ALineThatCannotBeMarkedEndsTheJobWithNothingPastItsData)
{
    // Two literal items of two dots; the job cut anywhere inside the line.
    Builder b;
    Bande(b, 0, 0).record("C3", 3).raw(std::vector<uint8_t>{1, 10, 20, 1, 30, 40}).line("C3", std::vector<uint8_t>{5}).end();
    const std::vector<uint8_t> job = b.bytes();
    const size_t donnees = job.size() - 6 - 8 - 6;
    for (size_t recus = 0; recus < 6; ++recus) {
        Recoit({job.begin(), job.begin() + static_cast<long>(donnees + recus)});
        const size_t avant = carte.Trace().size();
        std::string console;
        EXPECT_LE(Marque(&console), static_cast<int32_t>(RecepBuff.count));
        EXPECT_THAT(console, HasSubstr("Ligne raster incomplète (données au-delà des octets reçus) -> fin du marquage"));
        EXPECT_EQ(Marques(avant).size(), recus < 3 ? 0u : 2u) << recus;
    }

    // A literal item that claims 128 bytes in a line of 4, a band move
    // without its RY, a resolution that gives no pitch: nothing is marked,
    // and the records after are not handled.
    const auto essai = [&](const Builder& corps, const char* message) {
        const size_t avant = carte.Trace().size();
        const std::string console = MarqueCorps(corps.bytes());
        EXPECT_THAT(console, HasSubstr(message));
        EXPECT_TRUE(Marques(avant).empty()) << message;
    };
    Builder longue;
    Bande(longue, 0, 0).record("C3", 2).raw(std::vector<uint8_t>{0x7F, 9, 9, 9}).line("C3", std::vector<uint8_t>(200, 9));
    essai(longue.end(), "Ligne raster invalide (données au-delà de la longueur de la ligne) -> fin du marquage");
    Builder sansRY;
    sansRY.pair("RX", 1).pair("RZ", 1).pair("RY", 1).line("C3", std::vector<uint8_t>{9});
    essai(sansRY.end(), "Déplacement RX RY incomplet dans le fichier -> fin du marquage");
    marquage.ResolutionDpiX = 100000000;
    Builder sansPas;
    Bande(sansPas, 0, 0).line("C3", std::vector<uint8_t>{9, 9});
    essai(sansPas.end(), "Ligne raster sans pas entre points (résolution) -> fin du marquage");
}

TEST_F(Raster, AResetEndsTheLineAtTheNextItemAndTheLineFeedIsStillMade)
{
    Recoit(Builder().line("C3", std::vector<uint8_t>{9, 8, 9}).end().bytes());
    BuffCourant = RecepBuff.data;
    deplacement.EcartXEntreDot = deplacement.EcartYEntreDot = 100000;
    deplacement.MemX_PU = deplacement.MemY_PU = 0;
    dsp.FixeEntrees({.reset = true});
    const size_t avant = carte.Trace().size();
    bool arret = false;
    int32_t pris = 0;
    Sortie([&] { pris = FonctionRaster(3, 1, 2, arret); });
    EXPECT_EQ(pris, 4 + 4) << "the whole line";
    EXPECT_FALSE(arret) << "the walk stops on the reset itself";
    EXPECT_TRUE(Coups(avant).empty());
    EXPECT_EQ(deplacement.MemY_PU, 100000);
}

// The cylinder: a 1-bit line's feed turns the part at once (through the Y
// axis, or by the rotation card in step mode); a grey line's feed waits with
// the pending jump.
class RasterCylindre : public Raster {
protected:
    void SetUp() override
    {
        Raster::SetUp();
        if constexpr (build::kDmc) {
            dmc = &BrancheCarteRotation();
            rotation.sens_DMC_OK = 0;
            Reglage_Sens_DMC();
        }
    }
    void TearDown() override
    {
        if constexpr (build::kDmc) DebrancheCarteRotation();
        Raster::TearDown();
    }
    boardsim::CarteDmc* dmc = nullptr;
};

TEST_F(RasterCylindre, ALineFeedOfA1BitLineTurnsThePart)
{
    // One dot forward, one back: the block between them is the line feed.
    Builder b;
    Bande(b, 0, 0).line("C1", std::vector<uint8_t>{0x80}).line("C2", std::vector<uint8_t>{0x01});
    b.line("C3", std::vector<uint8_t>{9}).line("C4", std::vector<uint8_t>{9}).end();
    const auto entre = [&](int trait) {
        const auto lignes = carte.Trace({"BLOCK"});
        long allume = -1;
        for (size_t i = 0; i < lignes.size(); ++i)
            if (lignes[i].find("ctl=0x8001") != std::string::npos && ++allume == trait) return lignes[i + 2];
        return std::string();
    };
    // An indexed job's feed is left to the jump, except where the indexed mode
    // is not looked at (no card) or is cleared at each fiche (mlas-km250).
    rotation.bTC_DMC = 1;
    rotation.bMOdeIndexe = 1;
    MarqueCorps(b.bytes());
    const bool tourne = (!build::kDmc && !build::kViper) || build::kTraits.modeIndexeEffaceParFiche;
    EXPECT_THAT(entre(0), HasSubstr(tourne ? "dpd=1 " : "dpd=10 ")) << "the part turns at the jump's speed";
    EXPECT_THAT(entre(2), HasSubstr("dpd=10 ")) << "a grey line's feed is an ordinary jump";

    if constexpr (build::kDmc) {
        // Step mode: the card turns by a line (100 um of a 152 mm perimeter: 10
        // half-steps) and by the band's RY; the beam stays on its row.
        rotation.bTC_DMC = rotation.bMOdeIndexe = 0;
        rotation.bDMCpasApas = 1;
        rotation.PerimetreCylindreAMarquer = 15200;
        Builder p;
        Bande(p, 1, 3).line("C1", std::vector<uint8_t>{0x80}).line("C2", std::vector<uint8_t>{0x01}).end();
        const size_t avant = carte.Trace().size();
        MarqueCorps(p.bytes());
        std::vector<uint32_t> impulsions;
        for (const auto& m : dmc->Mouvements()) impulsions.push_back(m.impulsions);
        EXPECT_THAT(impulsions, ::testing::ElementsAre(30u, 10u, 10u));
        const auto coups = Coups(avant);
        ASSERT_EQ(coups.size(), 2u);
        EXPECT_EQ(coups[0].first.y, coups[1].second.y);
    }
}

// The cylinder's line-feed and end-of-rotation pauses come from the job as they
// are (here 24 days a line): the operator's reset ends them.
clock_t resetA = 0;
clock_t HorlogeResetA()
{
    const clock_t t = banc::HorlogeVirtuelle();
    if (t >= resetA) boardsim::Dsp().FixeEntrees({.reset = true});
    return t;
}

TEST_F(RasterCylindre, AResetEndsThePausesTheJobAsksFor)
{
    Builder b;
    Bande(b, 0, 0).line("C1", std::vector<uint8_t>{0x80}).line("C2", std::vector<uint8_t>{0x01}).end();
    rotation.bTC_DMC = 1;
    rotation.bMOdeIndexe = 0;
    marquage.TempoInterligneTC = marquage.TempoFinRotation = INT32_MAX;
    const clock_t debut = banc::horlogeVirtuelle;
    resetA = debut + CLOCKS_PER_SEC;
    LireHorloge = HorlogeResetA;
    MarqueCorps(b.bytes());
    EXPECT_LT(banc::horlogeVirtuelle - debut, 2 * CLOCKS_PER_SEC);
}

}  // namespace
