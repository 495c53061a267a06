// The flat and cylinder switch of the builds without the rotation card on the
// VIPER board: GPIO 21, set for a cylinder, cleared for flat marking.
#include "build.h"
#include "mlas_func.h"

#include "../machine/banc_machine.h"
#include "etat_rotation.h"
#include "etat_pupitre.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <utility>
#include <vector>

namespace {

using ::testing::ElementsAre;
using Ecriture = std::pair<uint32_t, uint32_t>;  // register offset, value

constexpr uint32_t kGpio21 = 0x200000;

class Bascule : public banc::Machine {
protected:
    void TearDown() override
    {
        rotation.bTC_DMC = 0;
        pupitre.TypeCarteCPU = -1;
        banc::Machine::TearDown();
    }
    static std::string Commute(uint8_t cylindre)
    {
        rotation.bTC_DMC = cylindre;
        return Sortie([] { SwitchPlatCylindre(); });
    }
    std::vector<Ecriture> EcrituresGpio() const
    {
        std::vector<Ecriture> ecritures;
        for (const auto& e : gpio.Ecritures()) ecritures.emplace_back(e.offset, e.valeur);
        return ecritures;
    }

    boardsim::Gpio& gpio = boardsim::GpioCarte();
};

TEST_F(Bascule, ViperBoardDrivesGpio21)
{
    pupitre.TypeCarteCPU = 1;
    const bool viper = build::kViper;
    EXPECT_EQ(Commute(1), viper ? "Marquage sur cylindre\n" : "Carte Viper : Marquage sur cylindre\n");
    EXPECT_EQ(gpio.Niveau(0), kGpio21);
    EXPECT_EQ(Commute(1), viper ? "Marquage sur cylindre\n" : "Carte Viper : Marquage sur cylindre\n");
    EXPECT_EQ(gpio.Niveau(0), kGpio21);
    EXPECT_EQ(Commute(0), viper ? "Marquage à plat \n" : "Carte Viper : Marquage à plat\n");
    EXPECT_EQ(gpio.Niveau(0), 0u);
    EXPECT_THAT(EcrituresGpio(), ElementsAre(Ecriture{24, kGpio21}, Ecriture{24, kGpio21}, Ecriture{36, kGpio21}));
    EXPECT_THAT(carte.Trace({"GPIO"}), ElementsAre("GPIO op=set bank=0 bits=0x00200000 level=0x00200000",
                                                   "GPIO op=set bank=0 bits=0x00200000 level=0x00200000",
                                                   "GPIO op=clr bank=0 bits=0x00200000 level=0x00000000"));
}

}  // namespace
