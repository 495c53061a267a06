// Build selection: the five firmware programs are one source tree compiled
// five times. Code shared by every build tests these traits with if constexpr.
#pragma once

#include <cstdio>

namespace build {

enum class Ligne { Fibre, Km250 };
// Where the full header's model field is read, among the other fields' lines.
enum class LectureModele { Aucune, Premiere, ApresType, ApresCylindre };
// Which recorded positioning points the aiming-diode gains correct.
enum class ViseeAjustee { Aucune, Rectangle, Tous };

// firmware/CMakeLists.txt reads carteDmc and serieUnique from the build files
// to choose the sources: keep each on its own line as "true" or "false".
struct Traits {
    const char* programme;   // program name
    const char* dspProgram;  // DSP program file loaded at start-up
    Ligne ligne;             // product line
    bool carteDmc;           // rotation card fitted
    bool viperSeule;         // VIPER board only: no TITAN board, no operator board or source link
    const char* date;        // firmware date shown at start-up
    int freqQSwitch;         // Q-switch frequency until the configuration gives one
    bool serieUnique;        // one serial port (the PC link) in place of five

    LectureModele lectureModele;
    ViseeAjustee viseeAjustee;
    bool fibre500;                         // knows the Fibre 500 source (model 774)
    int freqQSwitchMin;                    // lowest Q-switch frequency a marking sets, Hz
    bool rotationAvantProcesseur;          // the rotation card starts before the processor board
    bool modeIndexeEffaceParFiche;         // each marking starts out of indexed mode
    bool viseeSuitPasAPas;                 // the aiming correction also follows stepped rotation
    bool puissanceCoupeeAuPositionnement;  // a positioning sheet sets the power to 0 around its walk
    bool contourTCLent;                    // a turner's outline is traced slowly
    bool rotationParPas;                   // stepped rotation counts as rotation for moves
    bool sautPleinEnRotation;              // a short jump keeps its whole delay while the part turns
    bool sautXEnPasAPas;                   // a jump moves along X in stepped rotation too

    // Console lines that differ; nullptr where the build shows none.
    const char* texteLaserYag;  // "!KM" pre-header, KM250 line
    const char* texteTypeFichier;
    const char* texteVitesseInitiale;
    const char* texteVitesseSaut;     // after the full header's timings
    const char* texteVitesseSautLue;  // as the jump speed field is read
    const char* texteResolutionYag;   // the YAG loop's header
    const char* textePuissanceFibre300;  // header power, by source model: code, code
    const char* textePuissanceFibre500;
    const char* textePuissanceAutreFibre;
    const char* textePuissanceConfiguree;  // seven-bit code, code
    const char* texteFibre300Configuree;   // record power, by source model: code, code
    const char* texteFibre500Configuree;
    const char* texteModeEco;
    const char* texteRetourNormal;
    const char* texteCalculOrigine;
    const char* texteOrigine;  // walk start: X, Y
    const char* texteOrigineCorrigee;
    const char* texteMarquageFiche;
    const char* texteFinMarquageYag;
    const char* texteLancementMarquage;  // KM250 loop
    const char* texteTempsChargement;    // DSP program load time
    const char* texteSortieReset;        // a reset during a move
};

}  // namespace build

// MLAS_BUILD_HEADER names one of the build files of this folder; it defines
// build::kTraits.
#ifndef MLAS_BUILD_HEADER
#error "MLAS_BUILD_HEADER must name the build selection file"
#endif
#include MLAS_BUILD_HEADER

namespace build {

inline constexpr bool kFibreLine = kTraits.ligne == Ligne::Fibre;
inline constexpr bool kKm250Line = !kFibreLine;
inline constexpr bool kDmc = kTraits.carteDmc;
inline constexpr bool kViper = kTraits.viperSeule;
inline constexpr bool kSerieUnique = kTraits.serieUnique;
inline constexpr bool kFibre500 = kTraits.fibre500;

// A console line of this build's; nothing where it has none.
template <typename... Valeurs>
void Affiche(const char* texte, Valeurs... valeurs)
{
    if (texte == nullptr) return;
    if constexpr (sizeof...(Valeurs) == 0) std::fputs(texte, stdout);
    else std::printf(texte, valeurs...);
}

}  // namespace build
