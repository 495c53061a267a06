// Moves and the DSP: the beam position, the DSP ring and its divisors, the
// stacked marks, the step scales, and where the body walk of the job stands
// (pending jump, dot pitch, the aiming-beam tables of the help sheets).
#pragma once

#include "build.h"
#include "mlas_conf.h"

#include <cstdint>

struct DeplaceEmpile {
    int32_t DivX;
    int32_t DivY;
    int32_t X;  // target
    int32_t Y;
};
inline constexpr int kTailleTabDeplace = build::kViper ? 512 : 64;

// Why a marking ends before its end record. The first reason is kept until
// the next marking starts (ReprendMarquage, which also takes the plate back to
// the positions around the centre until the origin return); meanwhile no
// marked move is made.
enum class ArretMarquage : uint8_t {
    Aucun,
    Reset,            // reset asked for while the next plane was awaited
    HorsChamp,        // a marked move would leave the lens field
    DspBloque,        // the DSP stopped taking blocks
    RotationBloquee,  // the rotation card did not finish its pulses
};

inline constexpr int kTailleRectanglePositionnement = 60;
inline constexpr int kTailleSavePointsCroix = 16;
inline constexpr int kTailleSavePointsTC = 50;

struct EtatDeplacement {
    // Vector block: control, X divisor, Y divisor, X - 32766, Y - 32766, delay.
    int32_t NBWORD = 6;
    int32_t NumblocDSP = 0;  // next ring block, 0..9
    uint16_t DIV_PD = 1;     // DSP marking increment
    uint16_t DIV_PU = 1;     // DSP jump increment
    int32_t VPULASER = 1;    // divisor of moves to the centre, of delays
    int32_t VPDLASER = 0;

    // Beam position in steps, the field centre at 32766.
    int32_t X_courant = 0;
    int32_t Y_courant = 0;
    // Exact position, to which moves are added so that rounding does not add up.
    double PX_reel = 0.0;
    double PY_reel = 0.0;
    // Last jump, which scales the jump delay.
    int32_t SautX = 0;
    int32_t SautY = 0;

    DeplaceEmpile TabDeplace[kTailleTabDeplace] = {};
    int32_t iTabD = 0;         // stacked moves
    int32_t X0TabDeplace = 0;  // start of the stacked polyline
    int32_t Y0TabDeplace = 0;

    uint8_t LPen_Up = 1;                // 1 after a jump, 0 after a mark
    uint8_t DoSegment = 1;              // marked moves may be cut into 1 mm pieces
    uint8_t CUneRechercheOrgigine = 0;  // the next jump writes no block
    uint8_t bRechercheOrigine = 0;      // jumps get no delay
    int32_t VitesseDeDeplacementEnTC = 0;
    uint8_t FirstDeplacementCentreObjet = 1;
    uint8_t RetourOrigineOK = 0;
    ArretMarquage Interruption = ArretMarquage::Aucun;

    // Step scales and rates; until the configuration files are read, the values they default to.
    float Pas_nom_XLAS = defaut::kPasNominal;  // one step, micrometres
    float Pas_nom_YLAS = defaut::kPasNominal;
    float mmenpasX = defaut::kMmEnPas;  // steps per mm
    float mmenpasY = defaut::kMmEnPas;
    float pasenmmX = defaut::kPasNominal / 1000;  // mm per step
    float pasenmmY = defaut::kPasNominal / 1000;
    int32_t FMARQX = defaut::Frequence(defaut::kVitesseMarquage);  // marking rate, steps/s
    int32_t FMARQY = defaut::Frequence(defaut::kVitesseMarquage);
    int32_t FDEPLX = defaut::Frequence(defaut::kVitesseSaut);  // jump rate, steps/s
    int32_t FDEPLY = defaut::Frequence(defaut::kVitesseSaut);

    // Last power value sent by Pilot_Puissance.
    int32_t MemCurrentPower = 0;
    // DSP timer frequency (Hz).
    float DSPTimerFreq = 250000.0f;
    // OS-timer ticks per millisecond (0.0 until the board is known).
    double NbrePeriodeTimerParMs = 0.0;
    // Set by the start-up until Charge_Dsp has started the card's program: a card
    // without its program answers nothing, so no reply is waited for meanwhile.
    uint8_t bDspSansProgramme = 0;
    // Watchdog counter ticks between feeds.
    uint32_t WatchdogCounterInc = 0;
    uint8_t CestUnSaut = 1;

    // Grey level whose speed and frequency were sent last; 0xFF: none yet.
    uint8_t MemGrayLevel = 0xFF;
    // Pending jump in nanometres, made before the next marked move.
    int32_t MemX_PU = 0;
    int32_t MemY_PU = 0;
    // Dot pitch: micrometres, and nanometres rounded.
    float EcartX = 0.0f;
    float EcartY = 0.0f;
    int32_t EcartXEntreDot = 0;
    int32_t EcartYEntreDot = 0;
    uint8_t bRasterC1C2 = 0;  // a C1 or C2 line is being handled

    // Start and end of the current vector, micrometres (simulation).
    int32_t PtXdepVecteur = 0;
    int32_t PtYdepVecteur = 0;
    int32_t PtXfinVecteur = 0;
    int32_t PtYfinVecteur = 0;

    float RectanglePositionnementX[kTailleRectanglePositionnement] = {};
    float RectanglePositionnementY[kTailleRectanglePositionnement] = {};
    float SavePointsCroixX[kTailleSavePointsCroix] = {};
    float SavePointsCroixY[kTailleSavePointsCroix] = {};
    float SavePointsTCX[kTailleSavePointsTC] = {};
    float SavePointsTCY[kTailleSavePointsTC] = {};
    int32_t CurrentRectPos = 0;  // next entry of the three tables
    int32_t NbreDataPourPositionnement = 0;
    int32_t NbreDataPositionnementTC = 0;
    int32_t OrgXPlaqValCorigeeRepTheo = 0;
    int32_t OrgYPlaqValCorigeeRepTheo = 0;

    // Pixel format of the current line: 1 bit per dot (C1, C2) or 1 byte (C3, C4).
    uint8_t TypeEncodage = 1;
    // Dots handled in the current line: R5 goes back over them.
    int32_t MemRasterObjectWidth = 0;
};

inline EtatDeplacement deplacement;
inline void ReinitDeplacement()
{
    deplacement = EtatDeplacement{};
}
