// Rotation axis on the rotation card: its state, moves in steps with an
// acceleration ramp, homing on the origin sensor and the direction
// convention. Builds with the rotation card only (mlas-fibre, mlas-km250):
// none of this is defined in the others.
#pragma once

#include <cstdint>

extern uint8_t DMC_OK;  // card found by the probe
extern uint8_t DMC_ON;  // rotation in use by the current move
extern uint8_t DMC_X;   // the rotation replaces X
extern uint8_t DMC_Y;   // the rotation replaces Y
extern double PDMC_reel;     // exact axis position, steps
extern int32_t FMARQDMC;     // marking rate, steps/s
extern int32_t FDEPLDMC;     // top rate of a move, steps/s
extern int32_t FACCELDMC;    // acceleration, steps/s2
extern int32_t FACCELX;
extern int32_t FACCELY;
extern int32_t pas_DMC;
extern uint8_t sens_DMC_OK;  // direction setting of the job
extern uint8_t moins_dmc_las;  // direction line value of negative moves
extern uint8_t plus_dmc_las;   // direction line value of positive moves
extern uint8_t Origine_DMC;    // the axis has an origin sensor
extern uint8_t SUPPRIMER_RAMPE;
extern uint8_t DMCvertical;
extern uint8_t DMCsuivant;
extern int32_t inversy;
extern int32_t sens_marq;
extern int32_t positionnement;
extern int32_t TransfoX;
extern int32_t TransfoY;

// steps: target when absolute, else the distance; mode "ORIGINE" stops on the
// origin sensor.
void DEPLACE_DMC(double steps, char absolute, const char* mode);
int Prise_Origine_DMC(const char* mode);
void Reglage_Sens_DMC();
// Runs the action with the axis turning clockwise and the card started, then
// gives back the job's direction and stops the card.
void EnSensHoraire(void (*action)());
void Init_Parametres_DMC(int code);
