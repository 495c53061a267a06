// Help sheets on the board trace: the walk records the drawing, the aiming
// beam retraces it with beam-off blocks until the sheet's time-out on the
// virtual clock, then goes back to the centre; the arrow job and the end of a
// turner adjustment step.
#include "AidePositionnement.h"

#include "banc_marche.h"
#include "etat_marquage.h"
#include "etat_deplacement.h"
#include "etat_rotation.h"

#if !MLAS_SERIAL_SINGLE_PORT
#include "../lib-zk-io/ptylinks.h"
#include "CommunicationViperGL.h"
#include "zkserial.h"
#endif

#include <gmock/gmock.h>
#include <gtest/gtest.h>

namespace {

using banc::kCentre;
using banc::Point;
using jobfile::Builder;
using jobfile::segment;
using ::testing::ElementsAre;
using ::testing::HasSubstr;

// The field corner lies 30000 steps before the centre; one step per micrometre.
constexpr int kCoin = kCentre - banc::kDemiChamp;
// Where the walk leaves the beam: the plate origin, then a jump of (1000, 500).
constexpr Point kDepart{kCoin + banc::kOrgX + 1000, kCoin + banc::kOrgY + 500};

class Aide : public banc::Marche {
protected:
    void SetUp() override
    {
        banc::Marche::SetUp();
        marquage.bSimulation = 1;
        marquage.GainXRectPosition = marquage.GainYRectPosition = 1.0f;
        marquage.DemiChampFocale = 30000;
        marquage.PositionningTimeout = 10;  // ms: 20 moves at 0.5 ms of virtual clock each
        deplacement.NbreDataPourPositionnement = deplacement.NbreDataPositionnementTC = 0;
    }

    // A sheet: a jump, then one stroke through the points.
    static void Feuille(std::initializer_list<jobfile::Element> trait)
    {
        Recoit(Builder().pu({segment(1000, 500)}).pd(trait).end().bytes());
    }
    static void Rectangle() { Feuille({segment(10000, 0), segment(0, 5000), segment(-10000, 0), segment(0, -5000)}); }
    // The build's positioning sheet of its main marking loop.
    static std::string Positionne()
    {
        return Sortie([] {
            if constexpr (build::kFibreLine) LFPositionningHelp(RecepBuff.data);
            else PositionningHelp(RecepBuff.data);
        });
    }

    // The aiming beam's rounds: beam-off blocks after the walk's last move,
    // up to the return to the centre.
    std::vector<Point> Tour(size_t depuis) const
    {
        std::vector<Point> points;
        bool trace = false;
        const auto lignes = carte.Trace();
        for (size_t i = depuis; i < lignes.size(); ++i) {
            unsigned ctl = 0, x = 0, y = 0;
            if (std::sscanf(lignes[i].c_str(), "BLOCK n=%*u ctl=0x%x x=%u y=%u", &ctl, &x, &y) != 3) continue;
            EXPECT_EQ(ctl & 0x8000, 0u) << "the beam stays off";
            const Point cible{static_cast<int>(x), static_cast<int>(y)};
            if (trace) points.push_back(cible);
            trace = trace || cible == kDepart;
        }
        return points;
    }

    // Power commands, and those of power 0.
    std::pair<int, int> Puissances() const
    {
        std::pair<int, int> n;
        for (const auto& ligne : carte.Trace({"CMD"})) {
            n.first += ligne.rfind("CMD code=0x06 ", 0) == 0;
            n.second += ligne.rfind("CMD code=0x06 ", 0) == 0 && ligne.ends_with(" p=0");
        }
        return n;
    }
};

std::vector<Point> Tours(int n, std::vector<Point> tour)
{
    std::vector<Point> points;
    for (int i = 0; i < n; ++i) points.insert(points.end(), tour.begin(), tour.end());
    return points;
}

TEST_F(Aide, PositionnementTraceLeRectangleJusquAuDelai)
{
    marquage.TypeDuFichier = 1;
    Rectangle();
    const size_t avant = carte.Trace().size();
    const std::string console = Positionne();

    const Point a{kDepart.x + 10000, kDepart.y}, b{a.x, a.y + 5000}, c{kDepart.x, b.y};
    auto attendu = Tours(5, {a, b, c, kDepart});
    attendu.push_back({kCentre, kCentre});
    EXPECT_EQ(Tour(avant), attendu);
    EXPECT_THAT(console, HasSubstr("OrgXPlaque =5000     OrgYPlaque=4000\n"));
    const int puissances = build::kTraits.puissanceCoupeeAuPositionnement ? 2 : 0;
    EXPECT_EQ(Puissances(), std::make_pair(puissances, puissances)) << "the laser at 0 around the walk";
    EXPECT_EQ(deplacement.NbreDataPourPositionnement, 0);
    EXPECT_EQ(deplacement.CUneRechercheOrgigine, 0) << "the field corner was taken without a move";
}

// The focus cross, then a positioning sheet: the cross's points are not
// traced again with the rectangle.
TEST_F(Aide, CroixDeFocalisationPuisRectangle)
{
    marquage.TypeDuFichier = 3;
    Feuille({segment(2000, 0), segment(-1000, 1000), segment(0, -2000)});
    size_t avant = carte.Trace().size();
    const std::string console = Sortie([] {
        if constexpr (build::kFibreLine) LFFocalisationHelp(RecepBuff.data);
        else FocalisationHelp(RecepBuff.data);
    });
    // No gain correction of the origin: the same start.
    const Point a{kDepart.x + 2000, kDepart.y}, b{a.x - 1000, a.y + 1000}, c{b.x, b.y - 2000};
    std::vector<Point> croix = Tours(6, {a, b, c});
    croix.insert(croix.end(), {a, b});
    croix.push_back({kCentre, kCentre});
    EXPECT_EQ(Tour(avant), croix);
    EXPECT_THAT(console, HasSubstr("Help Focalisation  OrgXPlaque =5000     OrgYPlaque=4000\n"));
    EXPECT_EQ(console.find("Traçage d'une croix\n") != std::string::npos, !build::kViper);

    marquage.TypeDuFichier = 1;
    marquage.PositionningTimeout = 4;
    Rectangle();
    avant = carte.Trace().size();
    Positionne();
    const Point r{kDepart.x + 10000, kDepart.y};
    auto rectangle = Tours(2, {r, {r.x, r.y + 5000}, {kDepart.x, r.y + 5000}, kDepart});
    rectangle.push_back({kCentre, kCentre});
    EXPECT_EQ(Tour(avant), rectangle);
}

TEST_F(Aide, ContourDuTourneCylindre)
{
    marquage.TypeDuFichier = 5;
    marquage.PositionningTimeout = 3;
    Feuille({segment(0, 3000), segment(4000, 0)});
    const size_t avant = carte.Trace().size();
    const std::string console = Sortie([] { TCHelp(RecepBuff.data); });
    const Point a{kDepart.x, kDepart.y + 3000}, b{a.x + 4000, a.y};
    EXPECT_THAT(Tour(avant), ElementsAre(a, b, a, b, a, b, Point{kCentre, kCentre}));
    EXPECT_THAT(console, HasSubstr("Help Positionnement accessoire TC Origine du cylindre : "));
    EXPECT_EQ(deplacement.NbreDataPositionnementTC, 0);
    EXPECT_EQ(rotation.bCestUneRotation, 0);
}

// More vectors than the table holds: the rest are left out, and said so.
TEST_F(Aide, TableBorneeAuxSoixantePremiersVecteurs)
{
    marquage.TypeDuFichier = 1;
    marquage.PositionningTimeout = 1;
    Builder b;
    b.pu({segment(1000, 500)}).record("PD", 0);
    for (int i = 0; i < 62; ++i) b.elements({segment(10, 0)});
    Recoit(b.end().bytes());
    const size_t avant = carte.Trace().size();
    const std::string console = Positionne();
    EXPECT_EQ(deplacement.CurrentRectPos, 60);
    EXPECT_THAT(console, HasSubstr("plus de 60 vecteurs, vecteur ignoré\n"));
    EXPECT_EQ(Tour(avant).front(), (Point{kDepart.x + 10, kDepart.y}));
}

#if !MLAS_SERIAL_SINGLE_PORT
TEST_F(Aide, DiodesDeViseePendantLaCroix)
{
    PtyLinks ptys;
    Sortie([] { InitPortRSGL_Viper(); });
    marquage.TypeDuFichier = 3;
    Feuille({segment(2000, 0)});
    Sortie([] { FocalisationHelp(RecepBuff.data); });
    EXPECT_EQ(ptys.Received(2, 10), std::string("\x1b" "d\x03\x04\r" "\x1b" "d\x03\x03\r"));
    CloseUART(2);
}
#endif

TEST_F(Aide, FinDeReglageAuStart)
{
    dsp.ScriptEntrees({{}, {}, {.start = true}});
    int resultat = 0;
    const std::string console = Sortie([&] { resultat = AttenteFinReglageTC(); });
    EXPECT_EQ(resultat, 1);
    EXPECT_EQ(console, "Attente Fin Reglage -> appui sur bouton Start\n");
    EXPECT_THAT(carte.Trace({"OUT"}), ElementsAre("OUT word=0x0000", "OUT word=0x0200", "OUT word=0x0000"));
}

// The arrow job turns the axis by its steps, or once round onto the origin
// sensor; the job's direction is kept.
class Fleche : public Aide {
protected:
    void SetUp() override
    {
        Aide::SetUp();
        if constexpr (build::kDmc) {
            dmc = &BrancheCarteRotation();
            rotation.sens_DMC_OK = 1;
            Reglage_Sens_DMC();
        } else {
            GTEST_SKIP() << "no rotation card in this build";
        }
    }
    void TearDown() override
    {
        if constexpr (build::kDmc) DebrancheCarteRotation();
        Aide::TearDown();
    }
    boardsim::CarteDmc* dmc = nullptr;
};

TEST_F(Fleche, TourneDuNombreDePasOuRevientALOrigine)
{
    if constexpr (build::kDmc) {
        dmc->PlaceAxe(5000);
        marquage.NbrePasRotation = 300;
        EXPECT_THAT(Sortie([] { PositionningOrigineFleche(RecepBuff.data); }),
                    HasSubstr("Sens Rotation = 0 - Nbre pas de rotation = 300\n"));
        EXPECT_EQ(dmc->Position(), 5300) << "clockwise, whatever the job's direction";
        EXPECT_EQ(rotation.sens_DMC_OK, 1);
        EXPECT_EQ(rotation.DMC_ON, 0);

        marquage.NbrePasRotation = 0;
        EXPECT_THAT(Sortie([] { PositionningOrigineFleche(RecepBuff.data); }), HasSubstr("AVEC recherche capteur\n"));
        EXPECT_TRUE(dmc->AOrigine());
        EXPECT_EQ(dmc->Position() / 15200, 1) << "the next origin clockwise";
    }
}

}  // namespace
