// The TITAN board's I2C outputs on the recording bus: the expander set-up, the
// cylinder turner, register reads, failures of each step, the bus path, and
// the flat and cylinder switch on that board.
#include "TitanIO.h"
#include "mlas_func.h"

#include "../machine/banc_machine.h"
#include "etat_rotation.h"
#include "etat_pupitre.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <cstdlib>
#include <stdexcept>
#include <vector>

namespace {

using ::testing::ElementsAre;
using ::testing::IsEmpty;
using boardsim::OperationI2c;
using Octets = std::vector<uint8_t>;

class SortiesTitan : public banc::Machine {
protected:
    void TearDown() override
    {
        CloseI2cIO();
        unsetenv("MLAS_I2C_DEV");
        banc::Machine::TearDown();
    }
    static std::string Erreurs(const std::function<void()>& action)
    {
        testing::internal::CaptureStderr();
        action();
        return testing::internal::GetCapturedStderr();
    }

    boardsim::BusI2c& bus = boardsim::I2c();
};

TEST_F(SortiesTitan, SetUpMakesPort1OutputsAtZero)
{
    const int fd = InitI2cIO();
    ASSERT_GE(fd, 0);
    EXPECT_THAT(bus.Ecritures(), ElementsAre(Octets{3, 0}, Octets{7, 0}));
    EXPECT_EQ(bus.Registre(3), 0);
    EXPECT_EQ(bus.Registre(7), 0);
    EXPECT_THAT(carte.Trace({"I2C"}),
                ElementsAre("I2C op=open addr=0x00 data=- ok=1", "I2C op=slave addr=0x20 data=- ok=1",
                            "I2C op=write addr=0x20 data=0x03,0x00 ok=1", "I2C op=write addr=0x20 data=0x07,0x00 ok=1"));

    EXPECT_EQ(InitI2cIO(), fd);  // already open: the bus is left alone
    EXPECT_EQ(bus.Transactions().size(), 4u);
}

TEST_F(SortiesTitan, CylinderTurnerIsBit0OfPort1)
{
    EXPECT_EQ(GVT_TourneCylindre(1), -1);  // not open yet
    EXPECT_THAT(bus.Transactions(), IsEmpty());

    const int fd = InitI2cIO();
    EXPECT_EQ(GVT_TourneCylindre(5), 0);
    EXPECT_EQ(read_i2c_register(fd, 3), 1);
    EXPECT_EQ(read_i2c_register(fd, 1), 1);  // the pin follows
    EXPECT_EQ(GVT_TourneCylindre(0), 0);
    EXPECT_EQ(read_i2c_register(fd, 3), 0);
    EXPECT_THAT(bus.Ecritures(), ElementsAre(Octets{3, 0}, Octets{7, 0}, Octets{3, 1}, Octets{3}, Octets{1},
                                             Octets{3, 0}, Octets{3}));

    EXPECT_EQ(CloseI2cIO(), 0);
    EXPECT_EQ(GVT_TourneCylindre(1), -1);
    EXPECT_EQ(bus.Transactions().back().operation, OperationI2c::Fermeture);
}

TEST_F(SortiesTitan, EachFailedStepClosesTheBus)
{
    struct Cas {
        OperationI2c panne;
        unsigned reussites;
        const char* message;
    };
    for (const Cas& cas : {Cas{OperationI2c::Ouverture, 0, "Error open i2c bus\n"},
                           Cas{OperationI2c::Esclave, 0, "Error select slave device\n"},
                           Cas{OperationI2c::Ecriture, 0, "Error write_i2c_register, write\nError write output regiter\n"},
                           Cas{OperationI2c::Ecriture, 1, "Error write_i2c_register, write\nError output config\n"}}) {
        bus.Casse(cas.panne, cas.reussites);
        int fd = 0;
        EXPECT_EQ(Erreurs([&] { fd = InitI2cIO(); }), cas.message);
        EXPECT_EQ(fd, -1);
        const auto avant = bus.Transactions().size();
        EXPECT_EQ(GVT_TourneCylindre(1), -1);
        EXPECT_EQ(bus.Transactions().size(), avant);
        if (cas.panne != OperationI2c::Ouverture) {
            EXPECT_EQ(bus.Transactions().back().operation, OperationI2c::Fermeture);
        }
        bus.Repare();
    }
    // Nothing was kept of the failures: the bus is opened afresh.
    EXPECT_GE(InitI2cIO(), 0);
    EXPECT_EQ(GVT_TourneCylindre(1), 0);
    EXPECT_EQ(bus.Registre(3), 1);
}

TEST_F(SortiesTitan, BusPathComesFromTheEnvironment)
{
    const auto chemin = (carte.Dossier().Chemin() / "i2c-7").string();
    setenv("MLAS_I2C_DEV", chemin.c_str(), 1);
    EXPECT_EQ(Erreurs([] { EXPECT_EQ(InitI2cIO(), -1); }), "Error open i2c bus\n");  // no bus there yet
    EXPECT_THAT(bus.Transactions(), IsEmpty());

    boardsim::Installe(boardsim::LitReglages());
    EXPECT_GE(InitI2cIO(), 0);
    EXPECT_THAT(boardsim::I2c().Ecritures(), ElementsAre(Octets{3, 0}, Octets{7, 0}));
    CloseI2cIO();

    // A device node is used as it is: here one that is no I2C bus.
    setenv("MLAS_I2C_DEV", "/dev/null", 1);
    boardsim::Installe(boardsim::LitReglages());
    EXPECT_THROW(boardsim::I2c(), std::logic_error);
    EXPECT_EQ(Erreurs([] { EXPECT_EQ(InitI2cIO(), -1); }), "Error select slave device\n");
}

TEST_F(SortiesTitan, SwitchTurnsTheCylinderTurner)
{
    pupitre.TypeCarteCPU = 2;
    ASSERT_GE(InitI2cIO(), 0);
    auto commute = [](uint8_t cylindre) {
        rotation.bTC_DMC = cylindre;
        return Sortie([] { SwitchPlatCylindre(); });
    };
    EXPECT_EQ(commute(1), "Carte Titan : Marquage sur cylindre\n");
    EXPECT_EQ(bus.Registre(3), 1);
    EXPECT_EQ(commute(0), "Carte Titan : Marquage à plat\n");
    EXPECT_EQ(bus.Registre(3), 0);
    EXPECT_THAT(bus.Ecritures(), ElementsAre(Octets{3, 0}, Octets{7, 0}, Octets{3, 1}, Octets{3, 0}));
    EXPECT_THAT(boardsim::GpioCarte().Ecritures(), IsEmpty());
    rotation.bTC_DMC = 0;
    pupitre.TypeCarteCPU = -1;
}

}  // namespace
