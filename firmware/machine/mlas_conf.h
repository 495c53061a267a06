// Laser configuration files "MLASER.INI" and "MLASPPL.INI", read from the
// working folder at start-up, and the defaults that replace a value of 0.
#pragma once

#include "build.h"

#include <cstdint>

namespace defaut {

inline constexpr float kPasNominal = 1.9836729764938354f;  // 130 mm over 65535 steps, micrometres
inline constexpr int32_t kFreqQSwitch = build::kTraits.freqQSwitch;
inline constexpr float kRapportCyclique = 4.0f;
inline constexpr int32_t kVitesseMarquage = 500;
inline constexpr int32_t kNbPasses = 1;
inline constexpr int32_t kVitesseSaut = 2500;
inline constexpr int32_t kVitesseRect = 2500;
inline constexpr bool kKm250Actuel = build::kKm250Line && !build::kViper;
inline constexpr int32_t kTempoSaut = kKm250Actuel ? 120000 : 150000;
inline constexpr int32_t kTempoTir = kKm250Actuel ? 300 : 400;
inline constexpr int32_t kTempopTir = kKm250Actuel ? 10 : 400;
inline constexpr float kChamp = 130.0f;  // mm

inline constexpr float kMmEnPas = 1000.0f / kPasNominal;  // steps per mm
// Step rate of a speed in mm/s.
constexpr int32_t Frequence(int32_t vitesse)
{
    return static_cast<int32_t>(static_cast<float>(vitesse) * kMmEnPas + 0.5f);
}

}  // namespace defaut

int Lire_Config_Laser();
