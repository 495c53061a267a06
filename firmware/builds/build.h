// Build selection: the five firmware programs are one source tree compiled
// five times. Code shared by every build tests these traits with if constexpr.
#pragma once

namespace build {

enum class Id { Fibre, FibreNoDmc, Km250, Km250NoDmc, Km250Viper };
enum class Ligne { Fibre, Km250 };

// firmware/CMakeLists.txt reads carteDmc and serieUnique from the build files
// to choose the sources: keep each on its own line as "true" or "false".
struct Traits {
    Id id;
    const char* programme;   // program name
    const char* dspProgram;  // DSP program file loaded at start-up
    Ligne ligne;             // product line
    bool carteDmc;           // rotation card fitted
    bool viperSeule;         // VIPER board only: no TITAN board, no operator board or source link
    const char* date;        // firmware date shown at start-up
    int freqQSwitch;         // Q-switch frequency until the configuration gives one
    bool serieUnique;        // one serial port (the PC link) in place of five
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
inline constexpr bool kFibreLine = kTraits.ligne == Ligne::Fibre;
inline constexpr bool kKm250Line = !kFibreLine;
inline constexpr bool kDmc = kTraits.carteDmc;
inline constexpr bool kViper = kTraits.viperSeule;
inline constexpr bool kSerieUnique = kTraits.serieUnique;

}  // namespace build
