// Initial power and speed from the header: the power codes of each laser
// family in the DSP mailbox, the speed globals, and what the analysis sends.
#include "banc_entete.h"
#include "etat_marquage.h"
#include "etat_deplacement.h"

#include <gmock/gmock.h>

namespace {

using ::testing::ElementsAre;

class PuissanceVitesse : public banc::Entete {
protected:
    // The power value of each command 0x06 sent.
    std::vector<std::string> Codes(void (*ecrit)(uint16_t), std::initializer_list<uint16_t> pourcents)
    {
        Sortie([&] {
            for (uint16_t p : pourcents) ecrit(p);
        });
        std::vector<std::string> codes;
        for (const std::string& l : Puissances()) codes.push_back(l.substr(l.find("p=") + 2));
        return codes;
    }
};

TEST_F(PuissanceVitesse, PowerCodesPerFamilyWithPercentsAbove100Held)
{
    EXPECT_THAT(Codes(WritePower, {0, 50, 100, 200, 65535}), ElementsAre("192", "223", "255", "255", "255"));
    EXPECT_EQ(deplacement.MemCurrentPower, 255);
    EXPECT_EQ(Sortie([] { WritePower(7); }), "Puissance initiale 7\n");
}

TEST_F(PuissanceVitesse, FibreCodesKeepSevenBitsWhateverTheModel)
{
    marquage.ModelDuLaser = 774;
    EXPECT_THAT(Codes(LFWritePowerV2, {0, 1, 50, 100, 101}), ElementsAre("0", "1", "63", "127", "127"));
    marquage.ModelDuLaser = 772;
    EXPECT_EQ(Sortie([] { LFWritePowerV2(50); }),
              !build::kFibre500
                  ? "Puissance initiale dans en-tête : 50 en pourcentage \nFibre 300 détecté Puissance initiale = "
                    "191 = bf\nPuissance initiale configurée=63 (0x3f source fibre)\n"
                  : "Puissance initiale dans en-tête : 50 en pourcentage \nFibre 300 détecté - Puissance initiale = "
                    "191\nPuissance initiale configurée de la source fibre =63 \n");
}

TEST_F(PuissanceVitesse, SpeedAndTheHeaderPowerThroughTheAnalysis)
{
    WriteInitialSpeed(500);
    EXPECT_THAT((std::vector<double>{double(marquage.MarkingSpeed), double(marquage.DeltaMarkingSpeed), marquage.SpeedInc}),
                ElementsAre(5000, 4000, 62));
    WriteInitialSpeed(7);
    EXPECT_THAT((std::vector<double>{double(marquage.DeltaMarkingSpeed), marquage.SpeedInc}), ElementsAre(56, 0));

    Recoit(Job(Complet().set(jobfile::ChPuissanceNoir, 150)));
    Analyse();
    EXPECT_EQ(marquage.BlackInitialpower, 150);
    EXPECT_THAT(Puissances(), ElementsAre(build::kFibreLine ? "CMD code=0x06 ack=0xAA00 p=127"
                                                            : "CMD code=0x06 ack=0xAA00 p=255"));
    // The jump speed reaches the DSP's jump increment: a third of the speed, a third of the increment.
    const std::string avant = carte.Trace({"INC"}).back();
    Recoit(Job(Complet().set(jobfile::ChVitesseSaut, 1000)));
    Analyse();
    EXPECT_EQ(avant, "INC pu=60 pd=10");
    EXPECT_EQ(carte.Trace({"INC"}).back(), "INC pu=20 pd=10");
}

}  // namespace
