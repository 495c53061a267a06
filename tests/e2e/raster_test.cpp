// Raster images end to end: a job with raster lines reaches mlas-fibre and
// mlas-km250 over TCP, is marked dot by dot on the simulated board, and the
// dots rebuilt from the board's trace are the job's image.
#include "banc_route.h"
#include "job_builder.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <map>
#include <set>

namespace {

namespace fs = std::filesystem;

using banc::Firmware;
using banc::kMarquageUnique;
using banc::kPortPC;
using banc::kPortPupitre;

constexpr const char* kFini = "Plus de fichier de marquage, Attente d'une nouvelle fiche ...\n";

// A job's image beside what one marking of the trace shows.
std::string Resume(const route::Image& image)
{
    const rasterdots::Comparison& c = image.comparaison;
    char texte[200];
    std::snprintf(texte, sizeof texte,
                  "%zu lines, %zu dots asked, %zu marked, %zu in their place, %zu missing, %zu not asked",
                  image.lignes, image.demandes.size(), image.marques.size(), c.both.size(), c.onlyAsked.size(),
                  c.onlyMarked.size());
    return texte;
}

class Image : public testing::TestWithParam<const char*> {
protected:
    // The program waiting for a job, the operator board out of eco mode.
    void Demarre()
    {
        firmware_ = std::make_unique<Firmware>(GetParam(), true, std::initializer_list<int>{kPortPC, kPortPupitre});
        ASSERT_TRUE(firmware_->AttendConsole([](const std::string& console) {
            return console.find("Attente d'une fiche à marquer\n") != std::string::npos ||
                   console.find("Wait for new marking file ...\n") != std::string::npos;
        })) << firmware_->Console();
        ASSERT_TRUE(firmware_->Lignes().Envoie(kPortPupitre, route::TrameModeNormal()));
    }
    void TearDown() override
    {
        if (firmware_) firmware_->Lignes().Vide(kPortPupitre);
    }

    // Waits for the n-th job's single marking; its image and the dots marked.
    route::Image Marquee(const jobfile::Job& job, size_t n = 1)
    {
        Firmware& f = *firmware_;
        EXPECT_TRUE(f.AttendConsole(kFini, n)) << f.Console();
        const std::string console = f.Console();
        EXPECT_EQ(console.find("-> Arrêt du marquage"), std::string::npos) << console;
        EXPECT_EQ(console.find("COMMANDE INCONNUE"), std::string::npos) << console;
        const auto trace = f.Trace();
        const auto marquages = route::Marquages(trace);
        EXPECT_EQ(marquages.size(), n);
        const size_t depuis = marquages.size() < n ? trace.size() : marquages[n - 1].premiereLigne;
        return route::ImageMarquee(job, trace, console, depuis);
    }

    std::unique_ptr<Firmware> firmware_;
};

// The converter's header for a job of that resolution (a single marking),
// then a body made here: two bands of lines, grey and 1-bit, each line
// alternately forward and reverse, as the converter writes them.
std::vector<uint8_t> JobImage(Firmware& f, int dpi)
{
    std::vector<std::string> options = kMarquageUnique;
    for (const char* champ : {"+44", "+46"})
        options.insert(options.end(), {"--set", std::string(champ) + ":u16=" + std::to_string(dpi)});
    const fs::path modele = f.Imprime("square.hpgl", options, false);
    const std::string texte = route::Contenu(modele);
    const std::vector<uint8_t> octets(texte.begin(), texte.end());
    const jobfile::Job entete = jobfile::decode(octets);

    jobfile::Builder corps;
    corps.record("DP", 300).record("PW", 50).pair("FR", 20000).record("VD", 500).record("AI", 0);
    // Grey levels 0 to 255, so that blank levels (0, 127 and above) lie among the marked ones.
    corps.pair("RX", 12).pair("RY", 8);
    for (int ligne = 0; ligne < 5; ++ligne) {
        std::vector<uint8_t> niveaux(48);
        for (int i = 0; i < 48; ++i)
            niveaux[static_cast<size_t>(i)] = static_cast<uint8_t>((i * 37 + ligne * 11) % 256);
        // Long runs of one level as well, which PackBits repeats.
        for (int i = 20; i < 30; ++i) niveaux[static_cast<size_t>(i)] = static_cast<uint8_t>(ligne * 30 + 1);
        corps.line(ligne % 2 == 0 ? "C3" : "C4", niveaux);
    }
    corps.record("R5", 0);
    corps.pair("RX", 60).pair("RY", 2);
    for (int ligne = 0; ligne < 4; ++ligne) {
        std::vector<uint8_t> bits(6);
        for (int i = 0; i < 6; ++i) bits[static_cast<size_t>(i)] = static_cast<uint8_t>(i * 29 + ligne * 7 + 0x35);
        bits[2] = ligne % 2 == 0 ? 0xFF : 0x00;
        corps.line(ligne % 2 == 0 ? "C1" : "C2", bits);
    }
    corps.record("AI", 0).record("OP", 0).end();

    std::vector<uint8_t> job(octets.begin(), octets.begin() + static_cast<std::ptrdiff_t>(entete.bodyOffset));
    job.insert(job.end(), corps.bytes().begin(), corps.bytes().end());
    // The size field of the header (offset 200 of a 240-byte block after the
    // pre-header and its tag) announces the whole file.
    const size_t taille = entete.preHeader.size() + entete.tag.size() + 200;
    for (int i = 0; i < 4; ++i)
        job.at(taille + static_cast<size_t>(i)) = static_cast<uint8_t>(job.size() >> (24 - 8 * i));
    return job;
}

// At 300 dpi each dot is one move over its pitch; at 100 dpi (a pitch above
// 150 micrometres) a 40 micrometre move and a jump over the rest.
TEST_P(Image, AnImageSentToThePortIsMarkedDotForDot)
{
    ASSERT_NO_FATAL_FAILURE(Demarre());
    size_t n = 0;
    for (const int dpi : {300, 100}) {
        SCOPED_TRACE(std::to_string(dpi) + " dpi");
        const std::vector<uint8_t> octets = JobImage(*firmware_, dpi);
        const jobfile::Job job = jobfile::decode(octets);
        ASSERT_EQ(job.field(jobfile::ChTailleFichier), static_cast<int32_t>(octets.size()));
        ASSERT_EQ(job.field(jobfile::ChDpiX), dpi);
        ASSERT_TRUE(route::Envoie(firmware_->Port(), octets));

        const route::Image image = Marquee(job, ++n);
        std::printf("%s, %d dpi: %s\n", GetParam(), dpi, Resume(image).c_str());
        SCOPED_TRACE(Resume(image));
        ASSERT_EQ(image.lignes, 9u);
        ASSERT_GT(image.demandes.size(), 200u);
        EXPECT_TRUE(image.comparaison.onlyAsked.empty());
        EXPECT_TRUE(image.comparaison.onlyMarked.empty());
        EXPECT_EQ(image.marques.size(), image.demandes.size()) << "one beam-on move a dot";
        // The speed follows the grey level: one divisor a level, a level 1-bit dots share.
        std::map<unsigned, std::set<unsigned>> diviseurs;
        for (const auto& [demande, marque] : image.comparaison.both) diviseurs[demande.value].insert(marque.value);
        for (const auto& [niveau, d] : diviseurs) EXPECT_EQ(d.size(), 1u) << "level " << niveau;
        EXPECT_GT(diviseurs.size(), 20u);
    }
}

// The raster example that Ghostscript made (grey lines at 100 dpi), converted
// by brevolt-print and sent by its printer's port: every dot is marked where
// the job asks, none is missing and none is added.
TEST_P(Image, AGhostscriptImageConvertedByBrevoltPrintIsMarkedAsTheJobAsks)
{
    const fs::path exemple = banc::kExemples / "badge.rtl";
    std::vector<std::string> options = route::Reglages(exemple);
    options.insert(options.end(), kMarquageUnique.begin(), kMarquageUnique.end());
    ASSERT_NO_FATAL_FAILURE(Demarre());
    const fs::path fichier = firmware_->Imprime("badge.rtl", options);
    ASSERT_FALSE(fichier.empty());
    const jobfile::Job job = jobfile::decodeFile(fichier.string());
    ASSERT_FALSE(job.find("C3").empty()) << "grey lines";

    const route::Image image = Marquee(job);
    std::printf("%s: %s\n", GetParam(), Resume(image).c_str());
    SCOPED_TRACE(Resume(image));
    ASSERT_GT(image.demandes.size(), 1000u);
    EXPECT_GE(image.comparaison.identical(), 0.999);
    EXPECT_TRUE(image.comparaison.onlyAsked.empty());
    EXPECT_TRUE(image.comparaison.onlyMarked.empty());
    EXPECT_EQ(image.marques.size(), image.demandes.size()) << "one beam-on move a dot";
}

INSTANTIATE_TEST_SUITE_P(Programmes, Image, testing::Values("mlas-fibre", "mlas-km250"),
                         [](const auto& info) { return std::string(info.param) == "mlas-fibre" ? "Fibre" : "Km250"; });

}  // namespace
