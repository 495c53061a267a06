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

}  // namespace defaut

extern uint32_t Puissance;
extern int32_t NbFocales;
extern int32_t FocaleCourante;

int Lire_Config_Laser();
