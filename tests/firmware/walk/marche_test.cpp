// The body walk as the DSP card sees it: a vector job marked to its end
// record with its settings where the records put them, the wait between
// planes, the stop at an unknown code, and jobs cut short or followed by
// stale bytes.
#include "banc_marche.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

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

class Marche : public banc::Marche {};

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
    std::vector<boardsim::Entrees> script(400);
    script.push_back({.start = true});
    dsp.ScriptEntrees(script);

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
    for (const char* code : {"XY", "Jf"}) {
        // The jump before it sends the stroke out; the walk stops with nothing stacked.
        Builder b;
        Points(b.pu({segment(1000, 0)}), "PD", {segment(2000, 0)}).pu({segment(1000, 0)});
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
        EXPECT_EQ(Traits(avant).size(), 1u) << code;
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

}  // namespace
