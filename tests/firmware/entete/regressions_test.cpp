// Inputs that once made the firmware misbehave, as the reception leaves them:
// header values that overflowed once scaled or offset, a jump delay of 100 s,
// and help sheets whose positions left 32 bits. Each is refused with its
// message, or run to its end without an overflow.
#include "AidePositionnement.h"
#include "banc_entete.h"
#include "etat_marquage.h"
#include "etat_reception.h"

#include <gmock/gmock.h>

#include <fstream>
#include <iterator>

namespace {

using ::testing::HasSubstr;
using ::testing::Not;

std::vector<uint8_t> Entree(const std::string& nom)
{
    std::ifstream f(std::string(MLAS_REGRESSIONS) + "/" + nom, std::ios::binary);
    std::vector<uint8_t> octets{std::istreambuf_iterator<char>(f), {}};
    EXPECT_FALSE(octets.empty()) << nom;
    return octets;
}

class Regressions : public banc::Entete {
protected:
    void Refusee(const std::vector<uint8_t>& job, const std::string& message)
    {
        reception.FichierOK = 1;
        Recoit(job);
        Analyse();
        EXPECT_EQ(reception.FichierOK, 0);
        EXPECT_THAT(console, HasSubstr(message + "Fichier pas valide -> Pas d'analyse de l'entête\n"));
    }
};

TEST_F(Regressions, HeaderValuesOutOfRangeAreRefused)
{
    Refusee(Entree("fw-jumpspeed-x10.job"), "Vitesse de saut hors limites dans l'entête : 2684354560\n");
    // A turner positioning sheet: its jump speed goes x 50 where the rotation card is.
    if constexpr (banc::kAvecCarte) {
        Refusee(Entree("fw-jumpspeed-x50.job"), "Vitesse de saut hors limites dans l'entête : 25165824000\n");
    } else {
        Recoit(Entree("fw-jumpspeed-x50.job"));
        Analyse();
        EXPECT_EQ(marquage.VitesseSaut, 50331648) << "mm/s, back from the header text";
    }
    CarteRotation(1);
    Refusee(Entree("fw-viper-cyl-origin.job"), "Origine de la plaque hors limites : X=800  Y=4294967279\n");
    // A whole job as the PC sends it: the start instruction is eaten by the reception.
    const std::vector<uint8_t> job = Entree("fw-jump-delay-100s.prn");
    Refusee({job.begin() + 6, job.end()},
            "Temporisation hors limites dans l'entête : saut=100000000  tir=100  pré-tir=100 us (maximum 1000000 us)\n");
    EXPECT_EQ(carte.Trace({"BLOCK"}).size(), 0u);
}

TEST_F(Regressions, HelpSheetPositionsOutOfRangeAreNotTaken)
{
    for (const char* nom : {"fw-helpsheet-112-38.job", "fw-helpsheet-112-67.job", "fw-helpsheet-160-35.job",
                            "fw-helpsheet-162-70.job", "fw-helpsheet-163-70.job", "fw-helpsheet-99-35.job"}) {
        Recoit(Entree(nom));
        Analyse();
        ASSERT_EQ(marquage.TypeDuFichier, 1) << nom;
        ASSERT_EQ(marquage.bSimulation, 1) << nom;
        const std::string aide = Sortie([] {
            if constexpr (banc::kFibre) LFPositionningHelp(RecepBuff.data + 8 + 240 - 1);
            else PositionningHelp(RecepBuff.data + 8 + 240 - 1);
        });
        // The VIPER build records the vectors as read: no position is summed.
        const auto refus = HasSubstr("Aide au positionnement : position hors limites");
        if constexpr (build::kViper) EXPECT_THAT(aide, Not(refus)) << nom;
        else EXPECT_THAT(aide, refus) << nom;
        EXPECT_THAT(carte.Trace({"BLOCK"}).back(), HasSubstr("x=32766 y=32766")) << nom << ": back at the centre";
    }
}

// The correction types are the fields plus one, kept to a byte: a field of 2^31 - 1
// overflowed the sum.
TEST_F(Regressions, CorrectionTypesOfAnyFieldKeepTheirLowByte)
{
    using namespace jobfile;
    Recoit(Job(Complet().set(ChTypeCorrectionX, INT32_MAX).set(ChTypeCorrectionY, -1)));
    Analyse();
    EXPECT_EQ(reception.FichierOK, 1);
    EXPECT_EQ(CurrentParamCorrection.TypeCorrectionX, 0);
    EXPECT_EQ(CurrentParamCorrection.TypeCorrectionY, 0);
}

TEST_F(Regressions, OrientationOfAnyFieldKeepsItsLowByte)
{
    using namespace jobfile;
    Recoit(Job(Complet().set(ChOrientationImage, INT32_MAX)));
    Analyse();
    EXPECT_EQ(marquage.Orientation, 0);
}

}  // namespace
