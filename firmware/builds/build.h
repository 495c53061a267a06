// Build selection: the five firmware programs are one source tree compiled
// five times. Code shared by every build tests these traits with if constexpr.
#pragma once

namespace build {

enum class Id { Fibre, FibreNoDmc, Km250, Km250NoDmc, Km250Viper };

struct Traits {
    Id id;
    const char* programme;   // program name
    const char* dspProgram;  // DSP program file loaded at start-up
};

}  // namespace build

// MLAS_BUILD_HEADER names one of the build files of this folder; it defines
// build::kTraits.
#ifndef MLAS_BUILD_HEADER
#error "MLAS_BUILD_HEADER must name the build selection file"
#endif
#include MLAS_BUILD_HEADER

namespace build {

inline constexpr Id kId = kTraits.id;
inline constexpr bool kFibreLine = kId == Id::Fibre || kId == Id::FibreNoDmc;
inline constexpr bool kKm250Line = !kFibreLine;
inline constexpr bool kDmc = kId == Id::Fibre || kId == Id::Km250;  // rotation card fitted
inline constexpr bool kViper = kId == Id::Km250Viper;               // VIPER board, single serial port

}  // namespace build
