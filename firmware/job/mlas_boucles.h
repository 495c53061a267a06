// The production loops of the firmware: the job in memory is analysed, the
// ready lamp is lit, the start input is awaited while a new job may arrive
// and replace it, and the job is marked on each start. Help sheets, firmware
// uploads and the other jobs that do not mark are run at once instead.
#pragma once

#include <cstdint>

// The loops never return: the fibre loop (mode 8 of the fibre line), the YAG
// loop (mode 1 of the fibre line) and the KM250 loop (mode 1 of the KM250 line).
[[noreturn]] void LFMarquageLFQuantel();
[[noreturn]] void BoucleYag();
[[noreturn]] void BoucleKm250();

// The waits of the loops: 1 when start was pressed with a valid marking job in
// memory, 0 when the job in memory does not mark (it was run, or skipped on
// the first pass). LFWaitStartMarking is the fibre loop's; WaitStartMarking is
// the YAG loop's in the fibre line and the KM250 loop's in the KM250 line.
uint8_t LFWaitStartMarking(uint8_t premierPassage);
uint8_t WaitStartMarking(uint8_t premierPassage);

// The help sheet of the job in memory, by its file type (TypeDuFichier).
void AideParType(unsigned char* fiche);

// Default minimum Q-switch frequency of the fibre source at start-up.
void InitFreqLFMin();
