// Job reception: the start instruction the listeners wait for, whether the
// job in memory is whole, and how far its marking has gone.
#pragma once

#include "build.h"

#include <cstdint>

struct EtatReception {
    unsigned char StartInst[6] = {'!', 'L', 'B', ' ', '1', ';'};
    // The job in memory is whole and valid; mlas-km250-viper starts without one.
    uint8_t FichierOK = build::kViper ? 0 : 1;
    // A TCP peer that sends nothing for this long (ms) is let go, its job dropped.
    int32_t DelaiSilenceTCP = 10000;
    uint32_t CurrentBufferIndex = 0;  // offset in RecepBuff of the data still to mark
};

inline EtatReception reception;
inline void ReinitReception()
{
    reception = EtatReception{};
}
