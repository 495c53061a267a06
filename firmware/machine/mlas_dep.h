// Vector moves: a move asked for by the job becomes steps, is split where the
// DSP cannot take it in one block, gets per-axis speeds and divisors, and is
// written as vector blocks into the DSP's ring; marked polylines are stacked
// so that jump and firing delays can be placed around them.
#pragma once

#include "build.h"
#include "etat_deplacement.h"

#include <cstdint>

void InterromptMarquage(ArretMarquage raison);
void ReprendMarquage();
inline bool MarquageInterrompu()
{
    return deplacement.Interruption != ArretMarquage::Aucun;
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
