#include "watchdog.h"

#include "plan_materiel.h"
#include "etat_deplacement.h"

#include <algorithm>
#include <cstdio>

#include <sched.h>

libdevmem_handle* handleOSTimer = nullptr;

namespace {
using materiel::kMatch3;
constexpr uint32_t kCompteur = materiel::kCompteurOs;
constexpr uint32_t kWatchdog = materiel::kWatchdogOs;
}  // namespace

void wd_start(unsigned int ms)
{
    // 1000 ticks per millisecond, worked out wide: ms * 1000000 overflows 32 bits from 4295 ms on.
    deplacement.WatchdogCounterInc = static_cast<uint32_t>(std::min<uint64_t>(uint64_t{ms} * 1000u, UINT32_MAX));
    wd_refresh();
    if (handleOSTimer != nullptr) libdevmem_write_uint32(handleOSTimer, kWatchdog, 1);
    std::printf("Watchdog démarré\n");
}

void wd_refresh()
{
    // Once stopped, the window is gone.
    if (handleOSTimer == nullptr) return;
    const uint32_t compteur = libdevmem_read_uint32(handleOSTimer, kCompteur);
    libdevmem_write_uint32(handleOSTimer, kMatch3, compteur + deplacement.WatchdogCounterInc);
}

void wd_stop()
{
    if (handleOSTimer != nullptr) {
        libdevmem_write_uint32(handleOSTimer, kWatchdog, 0);
        libdevmem_close(handleOSTimer);
        handleOSTimer = nullptr;
    }
    std::printf("Watchdog stoppé\n");
}

void* wd_control(void*)
{
    wd_start(1000);
    for (;;) {
        wd_refresh();
        sched_yield();
    }
}
