// The watchdog on the OS-timer registers: arming, feeding and stopping.
#include "watchdog.h"

#include "../machine/banc_machine.h"
#include "etat_deplacement.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

namespace {

using ::testing::ElementsAre;

constexpr uint32_t kMatch3 = 0x0C;
constexpr uint32_t kWatchdog = 0x18;

class ChienDeGarde : public banc::Machine {
protected:
    void SetUp() override
    {
        banc::Machine::SetUp();
        timer.Virtuel(0);
        timer.Avance(0x12345678);
        handleOSTimer = libdevmem_open(materiel::kTimerOs, materiel::kFenetreTimerOs);
    }
    void TearDown() override
    {
        libdevmem_close(handleOSTimer);
        handleOSTimer = nullptr;
        banc::Machine::TearDown();
    }
    uint32_t Compteur() const { return libdevmem_read_uint32(handleOSTimer, 0x10); }

    boardsim::TimerOs& timer = boardsim::Timer();
};

TEST_F(ChienDeGarde, StartArmsMatchRegister3)
{
    const uint32_t avant = Compteur();
    EXPECT_EQ(Sortie([] { wd_start(1000); }), "Watchdog démarré\n");
    EXPECT_EQ(deplacement.WatchdogCounterInc, 1000000u);
    EXPECT_EQ(timer.Registre(kMatch3), avant + 1000000u);
    EXPECT_EQ(timer.Registre(kWatchdog), 1u);
    EXPECT_THAT(carte.Trace({"WATCHDOG"}), ElementsAre("WATCHDOG enable=1"));

    timer.Avance(500000);
    wd_refresh();
    EXPECT_EQ(timer.Registre(kMatch3), avant + 1500000u);
}

TEST_F(ChienDeGarde, LongTimeOutsDoNotWrap)
{
    Sortie([] { wd_start(5000); });  // 5000 * 1000000 does not fit 32 bits
    EXPECT_EQ(deplacement.WatchdogCounterInc, 5000000u);
    Sortie([] { wd_start(4294967295u); });
    EXPECT_EQ(deplacement.WatchdogCounterInc, 4294967295u);
}

TEST_F(ChienDeGarde, StopDisablesAndClosesTheWindow)
{
    Sortie([] { wd_start(1000); });
    const uint32_t arme = timer.Registre(kMatch3);
    EXPECT_EQ(Sortie([] { wd_stop(); }), "Watchdog stoppé\n");
    EXPECT_EQ(timer.Registre(kWatchdog), 0u);
    EXPECT_EQ(handleOSTimer, nullptr);
    EXPECT_THAT(carte.Trace({"WATCHDOG"}), ElementsAre("WATCHDOG enable=1", "WATCHDOG enable=0"));

    timer.Avance(1000);
    wd_refresh();
    EXPECT_EQ(timer.Registre(kMatch3), arme);
    EXPECT_EQ(Sortie([] { wd_stop(); }), "Watchdog stoppé\n");
}

}  // namespace
