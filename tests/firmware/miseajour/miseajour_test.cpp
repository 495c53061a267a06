// Firmware upload as the operator and the disk see it: the program file, its
// mode, the job file, the lamps and the console; refusals leave nothing.
#include "MiseAJour.h"

#include "../machine/banc_machine.h"
#include "AnalyseEnteteFichier.h"
#include "job_builder.h"
#include "prnbuffer.h"
#include "etat_marquage.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <csignal>
#include <filesystem>
#include <set>
#include <string>
#include <sys/resource.h>
#include <sys/stat.h>
#include <vector>

namespace {

namespace fs = std::filesystem;
using ::testing::HasSubstr;
using ::testing::IsEmpty;
using Fichiers = std::set<std::string>;

// Three blinks of one lamp: output 1 is bit 9 of the outputs word.
std::vector<std::string> Clignote(int sortie, int fois = 1)
{
    const std::string allume = sortie == 1 ? "OUT word=0x0200" : "OUT word=0x0400";
    std::vector<std::string> lignes;
    for (int i = 0; i < 3 * fois; ++i) lignes.insert(lignes.end(), {allume, "OUT word=0x0000"});
    return lignes;
}

std::vector<uint8_t> Programme(size_t taille)
{
    std::vector<uint8_t> octets(taille);
    for (size_t i = 0; i < taille; ++i) octets[i] = static_cast<uint8_t>(i * 7 + 3);
    return octets;
}

int SommeXor(const std::vector<uint8_t>& octets)
{
    uint8_t somme = 0;
    for (uint8_t o : octets) somme ^= o;
    return somme;
}

class MiseAJour : public banc::Machine {
protected:
    void SetUp() override
    {
        banc::Machine::SetUp();
        dsp.Demarre();
        banc::Ecrit("tmpprn.prn", "job");
    }

    // The payload as the wait hands it over: received after a header, with
    // the name, size and check byte the header analysis read.
    static const unsigned char* Recoit(const std::vector<uint8_t>& programme, const std::string& nom, long taille,
                                       int32_t somme)
    {
        constexpr uint32_t kEntete = 248;
        std::fill_n(RecepBuff.data, kEntete, uint8_t{0x20});
        std::copy(programme.begin(), programme.end(), RecepBuff.data + kEntete);
        RecepBuff.count = kEntete + static_cast<uint32_t>(programme.size());
        std::fill(std::begin(marquage.FirmwareFilename), std::end(marquage.FirmwareFilename), '\0');
        nom.copy(marquage.FirmwareFilename, sizeof marquage.FirmwareFilename - 1);
        marquage.FirmwareFilesize = static_cast<int32_t>(taille);
        marquage.FirmwareChecksum = somme;
        return RecepBuff.data + kEntete;
    }
    static std::string Televerse(const unsigned char* data)
    {
        return Sortie([&] { WriteFile2Disk(data); });
    }
    // The working folder but the board's trace.
    static Fichiers Dossier()
    {
        Fichiers noms;
        for (const auto& entree : fs::directory_iterator(fs::current_path()))
            if (entree.path().filename() != "trace.txt") noms.insert(entree.path().filename().string());
        return noms;
    }
    std::vector<std::string> Lampes() const { return carte.Trace({"OUT"}); }
};

TEST_F(MiseAJour, ProgrammeEcritExecutableEtJobSupprime)
{
    const auto programme = Programme(5000);
    const auto* data = Recoit(programme, "mlas-fibre_2.1", 5000, SommeXor(programme));
    const clock_t debut = banc::horlogeVirtuelle;
    const std::string console = Televerse(data);
    const double ms = static_cast<double>(banc::horlogeVirtuelle - debut) / 1000.0;

    EXPECT_EQ(console, "Calculated checksum : " + std::to_string(SommeXor(programme)) +
                           "\nUpdate ok. please reboot the CCU\n");
    EXPECT_EQ(Dossier(), Fichiers{"update.mlas-fibre_2.1"});
    EXPECT_EQ(banc::Contenu("update.mlas-fibre_2.1"), std::string(programme.begin(), programme.end()));
    struct stat etat {};
    ASSERT_EQ(stat("update.mlas-fibre_2.1", &etat), 0);
    EXPECT_EQ(etat.st_mode & 07777, 0755u);
    EXPECT_EQ(Lampes(), Clignote(1));
    EXPECT_GE(ms, 1000.0) << "200 ms on, 200 ms off, no pause after the last blink";
    EXPECT_LT(ms, 1100.0);
}

// As the wait hands it over: the job as received, its header analysed, the
// payload right after the header.
TEST_F(MiseAJour, JobDeMiseAJourRecu)
{
    const auto programme = Programme(3000);
    jobfile::HeaderBlock entete(240);
    entete.name("mlas-v3").set(jobfile::ChOrigineX, 3000).set(jobfile::ChOrigineY, SommeXor(programme));
    jobfile::Builder job;
    job.tag("LF", 240).header(entete).raw(programme);
    PRNBuffClear(&RecepBuff);
    PRNBuffWriteBuff(&RecepBuff, job.bytes().data(), static_cast<uint32_t>(job.size()));

    int32_t index = 0;
    EXPECT_THAT(Sortie([&] { index = LFAnalyseEntete(RecepBuff.data); }), HasSubstr("Firmware upload\n"));
    EXPECT_THAT(Televerse(RecepBuff.data + 1 + index), HasSubstr("Update ok."));
    EXPECT_EQ(Dossier(), Fichiers{"update.mlas-v3"});
    EXPECT_EQ(banc::Contenu("update.mlas-v3"), std::string(programme.begin(), programme.end()));
}

TEST_F(MiseAJour, ProgrammeVideDeSommeNulle)
{
    EXPECT_THAT(Televerse(Recoit({}, "vide", 0, 0)), HasSubstr("Calculated checksum : 0\nUpdate ok."));
    EXPECT_EQ(Dossier(), Fichiers{"update.vide"});
    EXPECT_EQ(fs::file_size("update.vide"), 0u);
}

TEST_F(MiseAJour, MauvaiseSommeRefusee)
{
    const auto programme = Programme(1000);
    const int juste = SommeXor(programme);
    for (const int32_t annoncee : {juste ^ 1, juste + 256}) {
        SCOPED_TRACE(annoncee);
        EXPECT_EQ(Televerse(Recoit(programme, "prog", 1000, annoncee)),
                  "Calculated checksum : " + std::to_string(juste) + "\nInvalid checksum (calculated " +
                      std::to_string(juste) + ", sended " + std::to_string(annoncee) + "). Update canceled\n");
        EXPECT_EQ(Dossier(), Fichiers{"tmpprn.prn"});
    }
    EXPECT_EQ(Lampes(), Clignote(2, 2));
}

// The name comes from the job: anything that could leave the folder, reach a
// shell or upset the console is refused before a file is made.
TEST_F(MiseAJour, NomHostileRefuse)
{
    const auto programme = Programme(64);
    for (const std::string nom : {"../mlas", "a/b", "x;rm -rf .", "$(reboot)", "nom\x1b[2J", "", "tab\tnom"}) {
        SCOPED_TRACE(nom);
        EXPECT_THAT(Televerse(Recoit(programme, nom, 64, SommeXor(programme))),
                    HasSubstr("Invalid file name. Update canceled\n"));
        EXPECT_EQ(Dossier(), Fichiers{"tmpprn.prn"});
    }
    EXPECT_EQ(Lampes(), Clignote(2, 7));
}

TEST_F(MiseAJour, TailleAuDelaDuRecuRefusee)
{
    const auto programme = Programme(100);
    for (const long taille : {101L, -1L, 0x7FFFFFFFL}) {
        SCOPED_TRACE(taille);
        EXPECT_THAT(Televerse(Recoit(programme, "prog", taille, SommeXor(programme))), HasSubstr("Update canceled\n"));
        EXPECT_EQ(Dossier(), Fichiers{"tmpprn.prn"});
    }
    EXPECT_EQ(Lampes(), Clignote(2, 3));
}

// A write cut short leaves neither the program nor a piece of it.
TEST_F(MiseAJour, EcritureInterrompueNeLaisseRien)
{
    const auto programme = Programme(100000);
    const auto* data = Recoit(programme, "gros", 100000, SommeXor(programme));
    rlimit avant{};
    ASSERT_EQ(getrlimit(RLIMIT_FSIZE, &avant), 0);
    rlimit limite = avant;
    limite.rlim_cur = 65536;
    const auto signalAvant = std::signal(SIGXFSZ, SIG_IGN);
    ASSERT_EQ(setrlimit(RLIMIT_FSIZE, &limite), 0);
    const std::string console = Televerse(data);
    setrlimit(RLIMIT_FSIZE, &avant);
    std::signal(SIGXFSZ, signalAvant);

    EXPECT_THAT(console, HasSubstr("Write error (65536 writed instead of 100000).\n"));
    EXPECT_THAT(console, ::testing::Not(HasSubstr("Update ok.")));
    EXPECT_THAT(Dossier(), IsEmpty());
    EXPECT_EQ(Lampes(), Clignote(2));
}

TEST_F(MiseAJour, ChangementAdrIPNeFaitQueRapporter)
{
    RecepBuff.count = 300;
    EXPECT_EQ(Sortie([] { ChangementAdrIP(RecepBuff.data + 247); }),
              " Changement d'adresse IP, Taille du buffer : 53\n");
    EXPECT_EQ(Dossier(), Fichiers{"tmpprn.prn"});
    EXPECT_THAT(carte.Trace({"OUT", "BLOCK"}), IsEmpty());
}

}  // namespace
