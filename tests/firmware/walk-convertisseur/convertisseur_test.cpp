// Jobs written by the converter library, received and marked by the firmware:
// the header sets the plate and the lens, the walk reaches the end record, and
// the DSP card marks the page's drawing as the job file holds it.
#include "banc_marche.h"
#include "conversion.h"
#include "job_file.h"
#include "prnReception.h"
#include "etat_marquage.h"
#include "etat_deplacement.h"
#include "etat_reception.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

namespace {

using banc::Point;
using ::testing::HasSubstr;
using ::testing::Not;

// A run of drawn elements and the position, in job units, where it starts.
struct Passage {
    long long x, y;
    std::vector<jobfile::Element> elements;
};

std::vector<Passage> Passages(const jobfile::Job& job)
{
    std::vector<Passage> passages;
    long long x = 0, y = 0;
    bool trace = false;
    for (const jobfile::Move& m : job.moves()) {
        if (m.draw && !trace) passages.push_back({x, y, {}});
        if (m.draw) passages.back().elements.push_back(m.element);
        trace = m.draw;
        x += m.element.dx;
        y += m.element.dy;
    }
    return passages;
}

class Convertis : public banc::Marche {
protected:
    // The spooled file as the listener stores it: its first "!LB 1;" is the
    // start instruction and does not reach the buffer.
    static void Recoit(const std::vector<uint8_t>& fichier)
    {
        ASSERT_GT(fichier.size(), 6u);
        PRNBuffClear(&RecepBuff);
        PRNBuffWriteBuff(&RecepBuff, fichier.data() + 6, static_cast<uint32_t>(fichier.size() - 6));
        reception.FichierOK = 1;
    }
    static int32_t AnalyseLEntete()
    {
        if constexpr (build::kFibreLine) return LFAnalyseEntete(RecepBuff.data);
        else return AnalyseEntete(RecepBuff.data);
    }
};

TEST_F(Convertis, ThePageDrawnIsMarkedAsTheConverterWroteIt)
{
    settings::Record reglages = settings::Record::typical();
    // Orientation 4: X and Y as drawn. A jump delay and no firing delays: the
    // delay blocks take the beam to each polyline's start, even the first one,
    // which follows no jump, and nothing is fired on the way.
    reglages.delays(100, 0, 0).u16(502, 3);
    const std::string dessin = "IN;SP1;PA;PU0,0;PD1000,0,1000,1000,0,1000,0,0;PU1400,200;PD2000,800,2400,200;PG;";
    const std::vector<uint8_t> fichier = JobConverti(dessin, reglages);
    const jobfile::Job job = jobfile::decode(fichier);
    const auto passages = Passages(job);
    ASSERT_EQ(passages.size(), 2u);

    Recoit(fichier);
    int32_t index = 0;
    Sortie([&] { index = AnalyseLEntete(); });
    ASSERT_EQ(reception.FichierOK, 1) << "the header was taken";
    EXPECT_EQ(static_cast<size_t>(index) + 1 + 6, job.bodyOffset) << "the walk starts at the first record";

    std::string console;
    const int32_t offset = Marque(&console, RecepBuff.data + index);
    EXPECT_EQ(static_cast<uint32_t>(index + offset), RecepBuff.count) << "the whole job, its end record included";
    EXPECT_THAT(console, Not(HasSubstr("COMMANDE INCONNUE")));
    EXPECT_THAT(console, HasSubstr("FinDeFile = true"));

    // One step per micrometre times the lens's steps per millimetre.
    const double pas = static_cast<double>(deplacement.mmenpasX) / 1000 * (marquage.UniteDeLg != 0 ? 1 : 10);
    const auto traits = Traits();
    ASSERT_EQ(traits.size(), passages.size());
    const Point origine = traits[0].Debut();
    const double coinX = banc::kCentre - lasparam.LargeurChamp / 2 * deplacement.mmenpasX;
    EXPECT_NEAR(origine.x, coinX + (marquage.OrgXPlaque + passages[0].x) * pas, 2) << "field corner, plate origin, first jump";
    for (size_t i = 0; i < traits.size(); ++i) {
        const Point debut{origine.x + static_cast<int>(std::lround((passages[i].x - passages[0].x) * pas)),
                          origine.y + static_cast<int>(std::lround((passages[i].y - passages[0].y) * pas))};
        EXPECT_NEAR(traits[i].Debut().x, debut.x, 1) << i;
        EXPECT_NEAR(traits[i].Debut().y, debut.y, 1) << i;
        EXPECT_TRUE(banc::SuitLeDessin(traits[i], traits[i].Debut(), passages[i].elements, pas)) << i;
    }
}

}  // namespace
