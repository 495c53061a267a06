// Rotation axis on the rotation card: its state, moves in steps with an
// acceleration ramp, homing on the origin sensor and the direction
// convention. Builds with the rotation card only (mlas-fibre, mlas-km250):
// none of this is defined in the others.
#pragma once

#include <cstdint>

// steps: target when absolute, else the distance; mode "ORIGINE" stops on the
// origin sensor.
void DEPLACE_DMC(double steps, char absolute, const char* mode);
int Prise_Origine_DMC(const char* mode);
void Reglage_Sens_DMC();
// Runs the action with the axis turning clockwise and the card started, then
// gives back the job's direction and stops the card.
void EnSensHoraire(void (*action)());
void Init_Parametres_DMC(int code);
