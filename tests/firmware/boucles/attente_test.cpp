// The start wait of each line's production loop: the ready lamp is lit, and
// the start taken, only while a whole job whose header was accepted is in
// memory; a job arriving meanwhile replaces it; an upload runs at once, but
// not when it is the job reloaded at power-up.
#include "banc_boucles.h"
#include "etat_reception.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

namespace {

using banc::kLampeAllumee;
using banc::kLampeEteinte;
using ::testing::ElementsAre;
using ::testing::HasSubstr;

class Attente : public banc::Attente {};

TEST_F(Attente, AValidJobLightsTheLampAndTheStartEndsTheWaitAtItsBody)
{
    const auto job = banc::JobDeMarquage();
    EnMemoire(job);
    Start(true);
    auto attente = Lance(kAttente, 0);
    EXPECT_EQ(Resultat(attente), 1);

    EXPECT_THAT(Lampes(), ElementsAre(kLampeAllumee, kLampeEteinte));
    const auto h = jobfile::converterHeader(775, 0);
    EXPECT_EQ(reception.CurrentBufferIndex, jobfile::converterTag(h).size() + h.bytes().size() - 1)
        << "the walk starts after the header";
    EXPECT_THAT(Console(), HasSubstr("ATTENTE LANCEMENT DU MARQUAGE\n"));
}

// Refused at reception (too large, not saved) or by the header analysis: the
// start, held all along, is taken only once a valid job has come.
TEST_F(Attente, AJobNotValidIsNotStartedUntilAValidOneArrives)
{
    const auto nouveau = banc::JobDeMarquage(0, 2000);
    for (const bool refuseParLEntete : {false, true}) {
        SCOPED_TRACE(refuseParLEntete);
        auto tronque = banc::JobDeMarquage();
        tronque.resize(60);
        EnMemoire(refuseParLEntete ? tronque : banc::JobDeMarquage(), refuseParLEntete ? 1 : 0);
        const size_t lampes = Lampes().size();
        const size_t debut = Console().size();
        Start(true);
        auto attente = Lance(kAttente, 0);
        ASSERT_TRUE(JusquaConsole("Logiciel en écoute sur le Port Ethernet\n", 1, debut));
        Envoie(nouveau);
        EXPECT_EQ(Resultat(attente), 1);

        EXPECT_EQ(EnMemoire(), banc::SansInstruction(nouveau));
        const auto apres = Lampes();
        EXPECT_THAT(std::vector<std::string>(apres.begin() + static_cast<long>(lampes), apres.end()),
                    ElementsAre(kLampeEteinte, kLampeAllumee, kLampeEteinte))
            << "dark until the valid job was in";
        const std::string console = Console().substr(debut);
        // The VIPER board's build says nothing of a job it did not save.
        if (!build::kViper || refuseParLEntete) {
            EXPECT_LT(console.find("Fichier pas valide -> Pas d'analyse de l'entête\n"),
                      console.find("Reception nouveau fichier\n"));
        }
    }
}

TEST_F(Attente, AJobArrivingWhileTheStartIsAwaitedReplacesTheOneInMemory)
{
    EnMemoire(banc::JobDeMarquage());
    auto attente = Lance(kAttente, 0);
    ASSERT_TRUE(JusquaLampes(1));
    const auto nouveau = banc::JobDeMarquage(0, 3000);
    Envoie(nouveau);
    ASSERT_TRUE(JusquaLampes(3));
    Start(true);
    EXPECT_EQ(Resultat(attente), 1);

    EXPECT_THAT(Lampes(), ElementsAre(kLampeAllumee, kLampeEteinte, kLampeAllumee, kLampeEteinte));
    EXPECT_EQ(EnMemoire(), banc::SansInstruction(nouveau));
    EXPECT_EQ(banc::Contenu("tmpprn.prn"), banc::SansInstruction(nouveau));
    EXPECT_THAT(Console(), HasSubstr("Reception nouveau fichier\n"));
}

// Nothing after the start instruction, or a job cut in half: the job in
// memory stays as it was, its lamp lit again, and the start marks it.
TEST_F(Attente, AnEmptyOrCutReceptionLeavesTheJobInMemoryReady)
{
    const auto job = banc::JobDeMarquage();
    std::ofstream("tmpprn.prn", std::ios::binary) << banc::SansInstruction(job);
    EnMemoire(job);
    auto attente = Lance(kAttente, 0);
    ASSERT_TRUE(JusquaLampes(1));
    auto coupe = banc::JobDeMarquage(0, 3000);
    coupe.resize(coupe.size() / 2);
    const std::vector<uint8_t> vide(job.begin(), job.begin() + 6);
    Envoie(vide);
    ASSERT_TRUE(JusquaLampes(3));
    Envoie(coupe);
    ASSERT_TRUE(JusquaLampes(5));
    Start(true);
    EXPECT_EQ(Resultat(attente), 1);

    EXPECT_THAT(Lampes(), ElementsAre(kLampeAllumee, kLampeEteinte, kLampeAllumee, kLampeEteinte, kLampeAllumee,
                                      kLampeEteinte));
    EXPECT_EQ(EnMemoire(), banc::SansInstruction(job));
    EXPECT_EQ(banc::Contenu("tmpprn.prn"), banc::SansInstruction(job));
    const auto h = jobfile::converterHeader(775, 0);
    EXPECT_EQ(reception.CurrentBufferIndex, jobfile::converterTag(h).size() + h.bytes().size() - 1) << "ready to be walked";
    EXPECT_THAT(Console(), HasSubstr("Fichier reçu incomplet (pas de fin de fichier (JF)) -> On ne le garde pas\n"));
}

TEST_F(Attente, AnUploadReloadedAtPowerUpIsNotRunButOneLaterIs)
{
    const std::vector<uint8_t> programme = {1, 2, 3, 4, 5};
    for (const uint8_t premierPassage : {1, 0}) {
        SCOPED_TRACE(premierPassage);
        EnMemoire(banc::JobDeMiseAJour("mlas-v4", programme));
        auto attente = Lance(kAttente, premierPassage);
        EXPECT_EQ(Resultat(attente), 0);
        EXPECT_EQ(std::filesystem::exists("update.mlas-v4"), premierPassage == 0);
    }
    EXPECT_THAT(Console(), ::testing::Not(HasSubstr("ATTENTE LANCEMENT DU MARQUAGE"))) << "no start for an upload";
    EXPECT_EQ(banc::Contenu("update.mlas-v4"), std::string(programme.begin(), programme.end()));
}

TEST_F(Attente, AnUploadArrivingWhileTheStartIsAwaitedRunsAtOnce)
{
    EnMemoire(banc::JobDeMarquage());
    Start(false);
    auto attente = Lance(kAttente, 0);
    ASSERT_TRUE(JusquaLampes(1));
    const std::vector<uint8_t> programme(300, 0x5A);
    Envoie(banc::JobDeMiseAJour("mlas-v5", programme));
    EXPECT_EQ(Resultat(attente), 0);

    EXPECT_EQ(banc::Contenu("update.mlas-v5"), std::string(programme.begin(), programme.end()));
    EXPECT_EQ(Lampes().front(), kLampeAllumee);
    EXPECT_THAT(Console(), HasSubstr("Update ok."));
}

}  // namespace
