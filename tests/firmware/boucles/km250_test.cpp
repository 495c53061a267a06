// The pre-heat request of the KM250 line: the pre-heat job is copied over the
// job file and waits for the start in its place.
#include "banc_boucles.h"
#include "etat_marquage.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

namespace {

using ::testing::HasSubstr;

class Prechauffe : public banc::Attente {};

TEST_F(Prechauffe, ThePreheatJobTakesThePlaceOfTheRequest)
{
    const auto prechauffe = banc::JobDeMarquage(0, 4000);
    banc::Ecrit("PreChauffeYag200.prn", banc::SansInstruction(prechauffe));
    EnMemoire(banc::JobDeMarquage(2));
    Start(true);
    auto attente = Lance(WaitStartMarking, 0);
    EXPECT_EQ(Resultat(attente), 1);

    EXPECT_EQ(EnMemoire(), banc::SansInstruction(prechauffe));
    EXPECT_EQ(banc::Contenu("tmpprn.prn"), banc::SansInstruction(prechauffe));
    EXPECT_THAT(Console(), HasSubstr("COPIE PRECHAUFFE YAG200 -> TMP\n"));
    EXPECT_THAT(Console(), HasSubstr("Analyse de l'Entete de la fiche de prechauffe\n"));
    EXPECT_EQ(marquage.bPreChauffe, 0);
}

TEST_F(Prechauffe, WithoutItsFileTheWaitEndsWithoutAStart)
{
    EnMemoire(banc::JobDeMarquage(2));
    Start(true);
    auto attente = Lance(WaitStartMarking, 0);
    EXPECT_EQ(Resultat(attente), 0);
    EXPECT_THAT(Console(), HasSubstr("ERROR : Preheat file Not found\n"));
    EXPECT_THAT(Lampes(), ::testing::IsEmpty());
}

}  // namespace
