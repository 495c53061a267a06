// Jobs written by the converter itself (brevolt-print loads the library as the
// host does), analysed as the reception leaves them in RecepBuff.
#include "banc_entete.h"
#include "settings_record.h"
#include "etat_marquage.h"
#include "etat_rotation.h"
#include "etat_reception.h"

#include <gmock/gmock.h>

#include <spawn.h>
#include <sys/wait.h>

#include <filesystem>
#include <fstream>

extern char** environ;

namespace {

using ::testing::ElementsAre;
namespace fs = std::filesystem;

class JobConvertisseur : public banc::Entete {
protected:
    // The spooled job of one page drawn with pen 1; centiemes: the printer value Unit100 is 1.
    std::vector<uint8_t> Convertit(const settings::Record& r, bool centiemes = false)
    {
        const fs::path dossier = carte.Dossier().Chemin(), spool = dossier / "spool", imprimante = spool / "laser";
        fs::create_directories(imprimante);
        if (centiemes) std::ofstream(imprimante / "values.txt") << "Unit100=dword:1\n";
        std::ofstream(dossier / "reglages.bin", std::ios::binary)
            .write(reinterpret_cast<const char*>(r.data()), static_cast<std::streamsize>(r.size()));
        std::ofstream(dossier / "dessin.plt") << "IN;SP1;PA;PU0,0;PD4000,0,4000,4000;PG;";
        setenv("BREVOLT_SPOOL_DIR", spool.c_str(), 1);
        const std::string reglages = (dossier / "reglages.bin").string(), dessin = (dossier / "dessin.plt").string();
        std::vector<char*> arguments = {const_cast<char*>(MLAS_BREVOLT_PRINT), const_cast<char*>("--settings"),
                                        const_cast<char*>(reglages.c_str()), const_cast<char*>(dessin.c_str()),
                                        nullptr};
        pid_t pid = 0;
        int statut = -1;
        if (posix_spawn(&pid, MLAS_BREVOLT_PRINT, nullptr, nullptr, arguments.data(), environ) == 0)
            waitpid(pid, &statut, 0);
        EXPECT_EQ(statut, 0) << "brevolt-print";
        for (const auto& f : fs::directory_iterator(imprimante))
            if (f.path().filename() != "values.txt") {
                const std::string octets = banc::Contenu(f.path());
                return {octets.begin(), octets.end()};
            }
        ADD_FAILURE() << "nothing spooled";
        return {};
    }
    // As the reception stores it: the start instruction is taken by the listener.
    void RecoitSansInstruction(const std::vector<uint8_t>& fichier)
    {
        ASSERT_GT(fichier.size(), 6u);
        ASSERT_TRUE(std::equal(fichier.begin(), fichier.begin() + 6, "!LB 1;"));
        Recoit(std::vector<uint8_t>(fichier.begin() + 6, fichier.end()));
    }
};

TEST_F(JobConvertisseur, ThousandthsOfAMillimetreJob)
{
    marquage.ModelDuLaser = 0;
    settings::Record r = settings::Record::typical();
    r.origin(12000, 34000).resolution(254, 508).pen(0, 750, 1, 2, 20000, 40).focalIndex(2).jumpSpeed(2500);
    RecoitSansInstruction(Convertit(r));
    EXPECT_EQ(Analyse(), 8 + 240 - 1) << "\"!KM 240;\" then the block; the body begins right after";
    EXPECT_EQ(reception.FichierOK, 1);
    EXPECT_THAT((std::vector<int64_t>{marquage.UniteDeLg, marquage.TypeDuFichier, marquage.ModelDuLaser, marquage.OrgXPlaque, marquage.OrgYPlaque, marquage.ResolutionDpiX,
                                   marquage.ResolutionDpiY, marquage.BlackInitialpower, marquage.VitesseInitiale, marquage.DimXPlaque, marquage.NumFocale}),
                ElementsAre(1, 0, build::kTraits.lectureModele == build::LectureModele::Aucune ? 0 : 775, 22000, 44000,
                            254, 508, 40, 750, 100000, 2));
    EXPECT_EQ(RecepBuff.data[resultat + 1], 0xFF) << "a record marker follows the header";
    EXPECT_EQ(Puissances().back(), banc::kFibre ? "CMD code=0x06 ack=0xAA00 p=50" : "CMD code=0x06 ack=0xAA00 p=217");
}

TEST_F(JobConvertisseur, HundredthsFibreCylinderJob)
{
    CarteRotation(1);
    settings::Record r = settings::Record::typical();
    r.model(772).origin(12000, 34000).requestedMarkingType(1).cylinderDiameter(40000).focalIndex(1);
    RecoitSansInstruction(Convertit(r, true));
    EXPECT_EQ(Analyse(), 8 + 200 - 1) << "\"!ZK 200;\"";
    // 40 mm across: 125.664 mm round, 12566 in 1/100 mm.
    EXPECT_THAT((std::vector<int64_t>{marquage.UniteDeLg, rotation.PerimetreCylindreAMarquer, marquage.OrgXPlaque, marquage.OrgYPlaque}),
                ElementsAre(0, 12566, 1200 + 1000, 3400 + 12566 / 2));
    EXPECT_EQ(banc::kAvecCarte ? rotation.bDMCpasApas : rotation.bTC_DMC, 1);
}

}  // namespace
