// Pre-header: header lengths and laser family per tag, "!LB" records ahead of
// the tag, the special jobs, and jobs too short or too long to analyse.
#include "banc_entete.h"
#include "etat_marquage.h"
#include "etat_reception.h"

#include <gmock/gmock.h>

namespace {

using ::testing::HasSubstr;
using ::testing::Not;

class AvantEntete : public banc::Entete {
protected:
    void Lit(const std::string& texte)
    {
        Recoit(std::vector<uint8_t>(texte.begin(), texte.end()));
        BuffCourant = RecepBuff.data;
        console = Sortie(LectAvantEntete);
    }
    static int Famille() { return banc::kFibre ? marquage.TypeLaser : build::kViper ? marquage.LaserKM250 : marquage.ModelLaser; }
};

TEST_F(AvantEntete, TagGivesHeaderLengthAndFamily)
{
    const int zk = build::kViper ? 0 : 2;
    std::string lb41;
    for (int i = 0; i < 41; ++i) lb41 += "!LB 1;";  // the most an 8-bit length holds
    const std::vector<std::tuple<std::string, int, uint32_t, int>> cas = {
        {"!KM 240;", 8, 240, 1},           {"!ZK 200;", 8, 200, zk},     {"!PC 200;", 8, 200, 0},
        {"!LB 1;!LB 1;!ZK 240;", 20, 240, zk}, {"!LB 2;!KM 123;", 14, 123, 1}, {lb41 + "!KM 200;", 254, 200, 1}};
    for (const auto& [pre, lg, entete, famille] : cas) {
        Lit(pre);
        EXPECT_EQ(marquage.LgAvantEntete, lg) << pre;
        EXPECT_EQ(marquage.LgEntete, entete) << pre;
        EXPECT_EQ(Famille(), famille) << pre;
    }
    Lit("!LB 1;!KM 240;");
    if constexpr (banc::kFibre) {
        EXPECT_EQ(console, "TypeLaser=1  -> YAG100\nLongueur avant Entete : 14\nLongeur de l'EnTete : 240\n");
    } else {
        EXPECT_THAT(console, HasSubstr("Type du laser : !LB\nType du laser : !KM\nLongueur avant Entete : 14\n"));
    }
}

TEST_F(AvantEntete, FirmwareIpArrowAndPreheatJobs)
{
    marquage.bSimulation = 1;
    Lit("!LF 240;");
    EXPECT_EQ(marquage.bReceptionFirmware, 1);
    EXPECT_EQ(marquage.bSimulation, 0);
    EXPECT_EQ(marquage.LgEntete, 240u);
    Lit("!IP 240;");
    EXPECT_EQ(marquage.bChangementIP + marquage.bReceptionFirmware + Famille(), 1);

    // An arrow job carries its step count where the others carry their length.
    marquage.LgEntete = 200;
    Lit(std::string("!PF 1;") + '\0' + '\0' + '\x3B' + '\x60' + "JF");
    EXPECT_EQ(marquage.bPositionningFleche, banc::kAvecCarte ? 1 : 0);
    if constexpr (banc::kAvecCarte) {
        EXPECT_EQ(marquage.LgAvantEntete, 9);
        EXPECT_EQ(marquage.NbrePasRotation, 15200);
        EXPECT_EQ(marquage.LgEntete, 200u);
        EXPECT_THAT(console, HasSubstr("Nombre de PAS de la rotation demandé : 15200\n"));
    }

    // Pre-heat: the "!PC" tag on the VIPER board, the previous file type 2 on the other KM250 builds.
    marquage.TypeDuFichier = 2;
    Lit("!KM 240;");
    EXPECT_EQ(marquage.bPreChauffe, build::kKm250Line && !build::kViper ? 1 : 0);
    marquage.bPreChauffe = 0;
    marquage.TypeDuFichier = 0;
    Lit("!PC 200;");
    EXPECT_EQ(marquage.bPreChauffe, build::kViper ? 1 : 0);
}

TEST_F(AvantEntete, JobTooShortOrPreHeaderTooLongIsRefused)
{
    const std::vector<uint8_t> job = Job(Complet());
    for (size_t taille : {size_t{0}, size_t{5}, size_t{8 + 100}, size_t{8 + 239}}) {
        reception.FichierOK = marquage.bSimulation = marquage.bFocalisationAPlat = 1;
        Recoit(job);  // the rest of the job still lies in the buffer, past the received count
        RecepBuff.count = static_cast<uint32_t>(taille);
        EXPECT_EQ(Analyse(), taille == 0 ? 0 : static_cast<int32_t>(taille - 1)) << taille;
        EXPECT_EQ(reception.FichierOK + marquage.bSimulation + marquage.bFocalisationAPlat, 0) << taille;
        EXPECT_THAT(console, HasSubstr("Fichier pas valide -> Pas d'analyse de l'entête\n"));
        EXPECT_THAT(console, Not(HasSubstr("FIN de l'analyse")));
    }
    EXPECT_TRUE(Puissances().empty()) << "nothing reaches the DSP";

    jobfile::Builder b;
    b.preHeader(42).raw(jobfile::converterTag(Complet())).header(Complet()).end();
    Recoit(b.bytes());
    reception.FichierOK = 1;
    Analyse();
    EXPECT_EQ(reception.FichierOK, 0);
    EXPECT_THAT(console, HasSubstr("Pré-entête trop longue"));

    jobfile::Builder lb;
    Recoit(lb.preHeader(6).bytes());
    reception.FichierOK = 1;
    Analyse();
    EXPECT_EQ(reception.FichierOK, 0);
    EXPECT_THAT(console, HasSubstr("Fichier incomplet : 36 octets reçus\n"));
}

}  // namespace
