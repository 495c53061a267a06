// Job and device state that machine control reads but does not own: the
// header analysis, the operator board and the rotation card set it. Defined
// here so that machine control links on its own; the start-up resets it.
#pragma once

#include <cstdint>

// Operator board: eco mode keeps the beam off.
extern uint8_t bEcoMode;
// Job kind and marking set-up from the header.
extern uint8_t bTestInscription;
extern float GainXRectPosition;
extern float GainYRectPosition;
extern uint8_t bSimulation;
extern uint8_t Orientation;  // 1..4
// Cylinder marking and the rotation card.
extern uint8_t bTC_DMC;
extern uint8_t bDMCpasApas;
extern uint8_t bMOdeIndexe;
extern uint8_t bCestUneRotation;
extern int32_t PerimetreCylindreAMarquer;
extern int32_t SavePerimetreCylindre;
// Board type found at start-up: 1 VIPER, 2 TITAN, 0 or -1 unknown.
extern int32_t TypeCarteCPU;
// Reset key pressed: a rotation does not start.
extern uint8_t Reset_presse;
