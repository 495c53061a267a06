// Vector moves: a move asked for by the job becomes steps, is split where the
// DSP cannot take it in one block, gets per-axis speeds and divisors, and is
// written as vector blocks into the DSP's ring; marked polylines are stacked
// so that jump and firing delays can be placed around them.
#pragma once

#include "build.h"

#include <cstdint>

// Vector block: control, X divisor, Y divisor, X - 32766, Y - 32766, delay.
extern int32_t NBWORD;
extern int32_t NumblocDSP;  // next ring block, 0..9

extern uint16_t DIV_PD;  // DSP marking increment
extern uint16_t DIV_PU;  // DSP jump increment
extern int32_t VPULASER;  // divisor of moves to the centre, of delays
extern int32_t VPDLASER;

// Beam position in steps, the field centre at 32766.
extern int32_t X_courant;
extern int32_t Y_courant;
// Exact position, to which moves are added so that rounding does not add up.
extern double PX_reel;
extern double PY_reel;
// Last jump, which scales the jump delay.
extern int32_t SautX;
extern int32_t SautY;

struct DeplaceEmpile {
    int32_t DivX;
    int32_t DivY;
    int32_t X;  // target
    int32_t Y;
};
inline constexpr int kTailleTabDeplace = build::kViper ? 512 : 64;
extern DeplaceEmpile TabDeplace[kTailleTabDeplace];
extern int32_t iTabD;  // stacked moves
extern int32_t X0TabDeplace;  // start of the stacked polyline
extern int32_t Y0TabDeplace;

extern uint8_t LPen_Up;    // 1 after a jump, 0 after a mark
extern uint8_t DoSegment;  // marked moves may be cut into 1 mm pieces
extern uint8_t CUneRechercheOrgigine;  // the next jump writes no block
extern uint8_t bRechercheOrigine;      // jumps get no delay
extern int32_t VitesseDeDeplacementEnTC;
extern uint8_t FirstDeplacementCentreObjet;
extern uint8_t RetourOrigineOK;

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
extern ArretMarquage Interruption;
void InterromptMarquage(ArretMarquage raison);
void ReprendMarquage();
inline bool MarquageInterrompu()
{
    return Interruption != ArretMarquage::Aucun;
}

// Delay word of a block: ticks of 8,192,000 Hz, 0xFFFF above 7900 us.
uint16_t MotDelai(unsigned int delay_us);

// 1 when the block is written; 0 when the DSP took no block in time (nothing written).
int Deplacement(unsigned short control, unsigned short div_x, unsigned short div_y, int x, int y,
                unsigned int delay_us);
int Fin_Dsp();
// Returns the reset test made once the DSP is done.
int Attente_Fin_Comptage();
void Marquer_Point();
// The stacked marks sent and every block done: a setting that the DSP takes
// at once (power, frequency, speed) or a turn of the part comes after them.
void FinitMarquesEnAttente();

// dx, dy in nanometres; saut: beam off; segment: a piece of a polyline. A
// marked move that would leave the lens field is not made: the marking stops.
void DoVecteurMicrons(int dx, int dy, char saut, char segment);
void Effectue_Deplacement(float dx, float dy, char absolute, char saut, char stack);
void CalculVitessesXY(int dx, int dy, char saut, char stack);
void Deplacement_Laser(int dx, int dy, float vx, float vy, char saut, char stack);
void DepileTabPD();

void Gestion_Tempo(char saut);
void Gestion_Tempo_Ptir(int div_x, int div_y, int x, int y);
void Gestion_Tempo_us(int us, char beam_off);

int VaAuCentre();
int VaAuCentreTC();
int RetourOrigineInverse();

void Calcul_Div_Pd();
void Calcul_Div_Pu();
