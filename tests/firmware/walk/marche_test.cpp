// The body walk as the DSP card sees it: a vector job marked to its end
// record with its settings where the records put them, the wait between
// planes, the stop at an unknown code, and jobs cut short or followed by
// stale bytes.
#include "banc_marche.h"

#include "mlas_main.h"
#include "etat_marquage.h"
#include "etat_deplacement.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <csignal>
#include <functional>
#include <thread>

#include <unistd.h>

namespace {

using banc::kCentre;
using banc::kDemiChamp;
using banc::Point;
using jobfile::Builder;
using jobfile::Element;
using jobfile::segment;
using ::testing::HasSubstr;
using ::testing::Not;

constexpr bool kFibre = build::kFibreLine;
// Where a fiche's first jump starts: the field corner plus the plate origin.
constexpr Point kOrigine{kCentre - kDemiChamp + banc::kOrgX, kCentre - kDemiChamp + banc::kOrgY};

const std::vector<Element> kCarre{segment(10000, 0), segment(0, 10000), segment(-10000, 0), segment(0, -10000)};
const std::vector<Element> kTriangle{segment(8000, 0), segment(-4000, 6000), segment(-4000, -6000)};

Builder& Points(Builder& b, const char* code, const std::vector<Element>& elements)
{
    b.record(code, 0);
    for (const Element& e : elements) b.elements({e});
    return b;
}

// The page end the converter writes.
Builder& FinDePage(Builder& b)
{
    return b.record("AI", 0).pu().record("TE", 0).record("TE", 0).record("OP", 0);
}

class Marche : public banc::Marche {
protected:
    // The inputs read n times as they are, then as given for good.
    void EntreesPuis(size_t n, boardsim::Entrees ensuite)
    {
        std::vector<boardsim::Entrees> script(n);
        script.push_back(ensuite);
        dsp.ScriptEntrees(script);
    }
};

TEST_F(Marche, AVectorJobIsMarkedToItsEndRecordWithItsSettingsInPlace)
{
    // The records the converter writes and no build acts on are taken one by
    // one; 196,605 Hz has FF FD for its low half.
    Builder b;
    b.pair("AZ", static_cast<uint32_t>(-2500)).record("V2", 0).pu({segment(2000, 1000)});
    b.record("DP", 254).record("PW", 50).pair("FR", 196605).record("VD", 500).record("AI", 0);
    b.record("WB", 0x101).record("WD", 7).record("WF", 9).record("MO", 0);
    if constexpr (!build::kDmc) b.record("VT", 0);
    Points(b, "PD", kCarre).record("WB", 0).pu({segment(15000, 0)}).record("PW", 80).record("VD", 100);
    Points(b, "PD", kTriangle);
    FinDePage(b).end();
    Recoit(b.bytes());

    std::string console;
    EXPECT_EQ(Marque(&console), static_cast<int32_t>(RecepBuff.count)) << "everything taken, JF included";
    EXPECT_THAT(console, HasSubstr("FinDeFile = true"));
    EXPECT_THAT(console, Not(HasSubstr("COMMANDE INCONNUE")));

    const auto traits = Traits();
    ASSERT_EQ(traits.size(), 2u);
    const Point debut{kOrigine.x + 2000, kOrigine.y + 1000};
    EXPECT_TRUE(banc::SuitLeDessin(traits[0], debut, kCarre));
    EXPECT_TRUE(banc::SuitLeDessin(traits[1], {debut.x + 15000, debut.y}, kTriangle));

    // Power, frequency (period of 197 kHz) and speed reach the DSP before the stroke they belong to.
    const std::string puissance2 = "CMD code=0x06 ack=0xAA00 p=" + std::to_string(kFibre ? 229 : 242);
    const long trait1 = PremierBlocAllume();
    const long trait2 = PremierBlocAllume(Ligne(puissance2));
    EXPECT_LT(Ligne("CMD code=0x06 ack=0xAA00 p=" + std::to_string(kFibre ? 191 : 223)), trait1);
    EXPECT_LT(Ligne("CMD code=0x03 ack=0xAA00 p=42,"), trait1);
    EXPECT_LT(Ligne("INC pu=10 pd=20"), trait1) << "500 mm/s";
    EXPECT_LT(trait1, trait2);
    EXPECT_LT(Ligne("INC pu=10 pd=4", trait1), trait2) << "100 mm/s";
    EXPECT_EQ(Ligne("OUT "), -1) << "a single page waits for nothing";
}

TEST_F(Marche, EachPlaneWaitsForTheStartAndBeginsAtThePlateOrigin)
{
    Builder b;
    for (int page = 0; page < 2; ++page) {
        Points(b.record("V2", 0).pu({segment(3000, 2000)}), "PD", {segment(5000, 0)});
        FinDePage(b);
    }
    Recoit(b.end().bytes());
    EntreesPuis(400, {.start = true});

    std::string console;
    Marque(&console);
    EXPECT_THAT(console, HasSubstr("FinDeFile = false"));
    const auto traits = Traits();
    ASSERT_EQ(traits.size(), 2u);
    for (const auto& trait : traits)
        EXPECT_TRUE(banc::SuitLeDessin(trait, {kOrigine.x + 3000, kOrigine.y + 2000}, {segment(5000, 0)}));

    // Ready lamp lit (output 1, bit 9), then the start, and only then the next plane's marks.
    const long page1 = PremierBlocAllume();
    const long lampe = Ligne("OUT word=0x0200", page1);
    const long depart = Ligne("IN word=0x00FC", lampe);
    EXPECT_LT(page1, lampe);
    EXPECT_LT(lampe, depart);
    EXPECT_LT(depart, PremierBlocAllume(lampe));
}

TEST_F(Marche, AnUnknownCodeStopsTheWalkOnItsRecord)
{
    for (const auto& [code, apresUnSaut] : {std::pair{"XY", true}, {"Jf", true}, {"XY", false}}) {
        // The stroke before it is marked, whether a jump or the stop sends it out.
        Builder b;
        Points(b.pu({segment(1000, 0)}), "PD", {segment(2000, 0)});
        if (apresUnSaut) b.pu({segment(1000, 0)});
        const auto position = static_cast<int32_t>(b.size() + 1 + 2);
        Points(b.record(code, 0).pu({segment(1000, 0)}), "PD", {segment(2000, 0)}).end();
        Recoit(b.bytes());
        const size_t avant = carte.Trace().size();

        std::string console;
        EXPECT_EQ(Marque(&console), position) << "nothing of the unknown record is taken";
        char attendu[96];
        std::snprintf(attendu, sizeof attendu, "COMMANDE INCONNUE ! Valeurs dans fichier : %x %x 0 adresse=%x \n",
                      code[0], code[1], static_cast<unsigned>(position));
        EXPECT_THAT(console, HasSubstr(attendu));
        const auto traits = Traits(avant);
        ASSERT_EQ(traits.size(), 1u) << code;
        EXPECT_EQ(traits[0].Fin().x - traits[0].Debut().x, 2000);
    }
}

TEST_F(Marche, AJobCutAnywhereMarksOnlyWhatCameWhole)
{
    Builder b;
    Points(b.record("V2", 0).pu({segment(2000, 1000)}).record("PW", 50).pair("FR", 60000), "PD", kCarre);
    const std::vector<uint8_t> job = FinDePage(b).end().bytes();
    Recoit(job);
    Marque();
    const auto complet = Traits();
    ASSERT_EQ(complet.size(), 1u);

    for (size_t longueur = 0; longueur < job.size(); ++longueur) {
        Recoit({job.begin(), job.begin() + static_cast<long>(longueur)});
        const size_t avant = carte.Trace().size();
        std::string console;
        EXPECT_LE(Marque(&console), static_cast<int32_t>(RecepBuff.count)) << longueur;
        if (longueur + 4 < job.size()) {
            EXPECT_THAT(console, HasSubstr("Fin des données reçues sans fin de fichier (JF)")) << longueur;
        }
        EXPECT_THAT(console, Not(HasSubstr("COMMANDE INCONNUE"))) << longueur;
        EXPECT_THAT(console, Not(HasSubstr("Attente depart Marquage"))) << "a cut job has no next plane";

        // The marks are the first ones of the whole job, each at its place.
        const auto traits = Traits(avant);
        ASSERT_LE(traits.size(), 1u) << longueur;
        if (traits.empty()) continue;
        ASSERT_LE(traits[0].points.size(), complet[0].points.size());
        EXPECT_TRUE(std::equal(traits[0].points.begin(), traits[0].points.end(), complet[0].points.begin()));
    }
}

TEST_F(Marche, StaleBytesPastTheReceivedCountAreNeverRead)
{
    // The previous job left more points and an end record where this one stops.
    Builder recu;
    Points(recu.pu({segment(2000, 1000)}), "PD", {segment(4000, 0)});
    Builder perime;
    Points(perime.elements({segment(0, 4000), segment(-4000, 0)}), "PD", {segment(0, -4000)}).end();
    Recoit(recu.bytes(), perime.bytes());

    std::string console;
    EXPECT_EQ(Marque(&console), static_cast<int32_t>(RecepBuff.count));
    EXPECT_THAT(console, HasSubstr("Fin des données reçues sans fin de fichier (JF)"));
    const auto traits = Traits();
    ASSERT_EQ(traits.size(), 1u);
    EXPECT_TRUE(banc::SuitLeDessin(traits[0], {kOrigine.x + 2000, kOrigine.y + 1000}, {segment(4000, 0)}));
}

TEST_F(Marche, RasterDataIsNeverReadAsRecords)
{
    const std::vector<uint8_t> ligne{1, 0xFF, 0xFD, 'J', 'F', 2, 3};  // packed: FF FD 'J' 'F' at a record's place
    Builder b;
    b.pair("RX", 3).pair("RY", static_cast<uint32_t>(-2)).line("C1", ligne).line("C4", ligne).record("R5", 0);
    Points(b.record("V2", 0).pu({segment(1000, 0)}), "PD", {segment(2000, 0)});
    Recoit(FinDePage(b).end().bytes());

    std::string console;
    EXPECT_EQ(Marque(&console), static_cast<int32_t>(RecepBuff.count));
    EXPECT_THAT(console, Not(HasSubstr("COMMANDE INCONNUE")));
    const auto traits = Traits();
    ASSERT_GT(traits.size(), 1u) << "the lines are marked";
    EXPECT_EQ(traits.back().Fin().x - traits.back().Debut().x, 2000) << "then the stroke after them";
}

// Trace index of the first beam-on block that reaches the point, after `apres`; -1 when none.
long BlocAllumeVers(const std::vector<std::string>& trace, Point cible, long apres = -1)
{
    for (auto i = static_cast<size_t>(apres + 1); i < trace.size(); ++i) {
        unsigned ctl = 0, x = 0, y = 0;
        if (std::sscanf(trace[i].c_str(), "BLOCK n=%*u ctl=0x%x x=%u y=%u", &ctl, &x, &y) == 3 && (ctl & 0x8000) &&
            static_cast<int>(x) == cible.x && static_cast<int>(y) == cible.y)
            return static_cast<long>(i);
    }
    return -1;
}

TEST_F(Marche, ASettingBetweenTwoLinesReachesTheDspOnceTheFirstLineIsMarked)
{
    // Two pens meeting at a point: no jump between their lines.
    const std::string puissance = "CMD code=0x06 ack=0xAA00 p=" + std::to_string(kFibre ? 229 : 242);
    const std::vector<std::pair<std::function<void(Builder&)>, std::string>> reglages = {
        {[](Builder& b) { b.record("PW", 80); }, puissance},
        {[](Builder& b) { b.pair("FR", 30000); }, "CMD code=0x03 ack=0xAA00 p=273,"},
        {[](Builder& b) { b.record("VD", 100); }, "INC pu=10 pd=4"},
    };
    for (const auto& [reglage, commande] : reglages) {
        SCOPED_TRACE(commande);
        Builder b;
        b.pu({segment(2000, 1000)}).record("PW", 50).pair("FR", 60000).record("VD", 500).pd({segment(3000, 0)});
        reglage(b);
        b.pd({segment(0, 3000)}).end();
        Recoit(b.bytes());
        const long avant = static_cast<long>(carte.Trace().size()) - 1;
        Marque();
        const auto trace = carte.Trace();
        const Point coin{kOrigine.x + 2000 + 3000, kOrigine.y + 1000};
        const long finLigne1 = BlocAllumeVers(trace, coin, avant);
        const long reglageEnvoye = Ligne(commande, avant);
        ASSERT_NE(finLigne1, -1);
        EXPECT_LT(finLigne1, reglageEnvoye);
        EXPECT_LT(reglageEnvoye, BlocAllumeVers(trace, {coin.x, coin.y + 3000}, avant));
    }
}

TEST_F(Marche, ADrawingLeavingTheFieldStopsBeforeItsFirstOutsideMove)
{
    // The field spans 2766 to 62766 steps: the second segment would end past it.
    Builder b;
    Points(b.pu({segment(1000, 1000)}), "PD", {segment(30000, 0), segment(30000, 0)});
    Points(b.pu({segment(-40000 / 2, 2000)}), "PD", {segment(1000, 0)});
    Recoit(FinDePage(b).end().bytes());

    std::string console;
    EXPECT_LT(Marque(&console), static_cast<int32_t>(RecepBuff.count)) << "the records after it are not handled";
    EXPECT_THAT(console, HasSubstr("hors du champ de la lentille"));
    EXPECT_EQ(deplacement.Interruption, ArretMarquage::HorsChamp);
    const auto traits = Traits();
    ASSERT_EQ(traits.size(), 1u);
    EXPECT_TRUE(banc::SuitLeDessin(traits[0], {kOrigine.x + 1000, kOrigine.y + 1000}, {segment(30000, 0)}));
    // Nothing wrapped: every beam-on block stays in the field.
    for (const auto& trait : traits)
        for (const Point& p : trait.points) EXPECT_TRUE(p.x >= kCentre - kDemiChamp && p.x <= kCentre + kDemiChamp);
    // The marking lamp blinks the fault: three times on.
    EXPECT_EQ(carte.Trace({"OUT"}).size(), 6u);
    EXPECT_EQ(carte.Trace({"OUT"}).front(), "OUT word=0x0400");
}

TEST_F(Marche, AResolutionOfZeroStopsOnlyARasterRecord)
{
    marquage.ResolutionDpiX = 0;
    Builder b;
    Points(b.pu({segment(1000, 0)}), "PD", {segment(2000, 0)});
    b.pair("RX", 3).pair("RY", 0).line("C1", std::vector<uint8_t>{1, 2});
    Points(b.pu({segment(1000, 0)}), "PD", {segment(2000, 0)});
    Recoit(FinDePage(b).end().bytes());

    std::string console;
    Marque(&console);
    EXPECT_THAT(console, HasSubstr("Ligne raster sans pas entre points (résolution) -> fin du marquage"));
    const auto traits = Traits();
    ASSERT_EQ(traits.size(), 1u) << "the vectors before it are marked, nothing after";
    EXPECT_TRUE(banc::SuitLeDessin(traits[0], {kOrigine.x + 1000, kOrigine.y}, {segment(2000, 0)}));
}

TEST_F(Marche, AResetInsteadOfTheNextPlaneEndsTheJob)
{
    Builder b;
    for (int page = 0; page < 2; ++page) FinDePage(Points(b.pu({segment(3000, 2000)}), "PD", {segment(5000, 0)}));
    Recoit(b.end().bytes());
    EntreesPuis(300, {.reset = true});

    std::string console;
    Marque(&console);
    EXPECT_THAT(console, HasSubstr("Reset pendant l'attente du plan suivant -> Arrêt du marquage\n"));
    EXPECT_EQ(Traits().size(), 1u) << "the second plane is not marked";
    EXPECT_EQ(carte.Trace({"OUT"}).back(), "OUT word=0x0000") << "the ready lamp goes out";
    EXPECT_EQ(deplacement.Interruption, ArretMarquage::Reset);
}

// Ctrl-C lands on any thread while the marking runs and the board's trace
// takes its lock at every block: the program ends by the signal every time,
// with its stop lines, the beam's power at 0 and the outputs off.
TEST_F(Marche, CtrlCDuringTheMarkingStopsTheProgramWithTheOutputsOff)
{
    GTEST_FLAG_SET(death_test_style, "fast");
    Builder b;
    b.pu({segment(1000, 1000)});
    for (int i = 0; i < 300; ++i) b.pd({segment(i % 2 ? -20000 : 20000, 0)}).pu({segment(0, 100)});
    Recoit(b.end().bytes());
    const std::string fin = build::kViper ? "Arrêt demandé \\.\\.\\.\nWatchdog stoppé\nProgramme arrêté\n$"
                                          : "Arrêt du programme demandé \\(Ctrl C\\)\nWatchdog stoppé\nProgramme arrêté\n$";
    for (int essai = 0; essai < 20; ++essai) {
        SCOPED_TRACE(essai);
        const size_t avant = carte.Trace().size();
        EXPECT_EXIT(
            {
                dup2(STDERR_FILENO, STDOUT_FILENO);
                BrancheArretCtrlC(ArretCtrlC);
                std::signal(SIGINT, OnSIGINT);
                Ecrire_Tor_Dsp(2, 1);
                std::thread([this, essai] {
                    while (dsp.Blocs().size() < 20u + 10u * static_cast<unsigned>(essai)) usleep(50);
                    kill(getpid(), SIGINT);
                }).detach();
                AnalysePRN(RecepBuff.data);
                for (;;) Pause_Las(1);
            },
            ::testing::KilledBySignal(SIGINT), fin);
        const auto trace = carte.Trace();
        const std::vector<std::string> apres(trace.begin() + static_cast<long>(avant), trace.end());
        std::vector<std::string> sorties;
        for (const auto& l : apres)
            if (l.rfind("OUT ", 0) == 0) sorties.push_back(l);
        ASSERT_FALSE(sorties.empty());
        EXPECT_EQ(sorties.front(), "OUT word=0x0400") << "marking";
        EXPECT_EQ(sorties.back(), "OUT word=0x0000");
        EXPECT_THAT(apres, ::testing::Contains("CMD code=0x06 ack=0xAA00 p=0"));
    }
}

}  // namespace
