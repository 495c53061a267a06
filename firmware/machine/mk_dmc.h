// Rotation card (PC/104, ports 0x2C0-0x2C7): its presence probe, its 8254
// counters (counter 0 divides the card clock, counter 1 sets the pulse rate,
// counter 2 counts the pulses of a move), the control lines and one ramped
// run of pulses. Builds with the rotation card only (mlas-fibre, mlas-km250):
// none of this is defined in the others.
#pragma once

#include "libdevmem.h"

#include <cstdint>

// Ports window (materiel::kPortsDmc, 8 bytes), opened by the start-up.
extern libdevmem_handle* handleDMC;

void ecrire_port_dmc(unsigned short port, unsigned char value);
unsigned char lire_port_dmc(unsigned short port);

int Test_DMC_Laser();
void init_DMC_Laser();

// Control lines; 0 sets the bit, 1 clears it.
void standby_DMC_Laser(int v);
void sens_DMC_Laser(int v);
void inhibition_DMC_Laser(int v);
void START_DMC();
void STOP_DMC();
int DmcEstALOrigine();

// Gates of counters 0 and 2: 0 on, 1 off.
void enable_timer0(int v);
void enable_timer2(int v);
void Emet_pulse_DMC_Laser(unsigned short n);
unsigned short COMPTOUNT_DMC();
int FIN_COUNT_DMC_LASER();
// 1 once counter 2 has finished; 0 when it has not within delaiMax seconds.
int ATTENTE_FIN_COUNT_DMC_LASER(double delaiMax);
void STOP_DMC_LASER();

// Seconds beyond which the card is not counting the pulses of a move: twice
// their time at the start rate (steps/s), plus a second.
double DureeMaxImpulsions(long impulsions, int32_t cadence);

// n steps (signed) at the start rate (steps/s).
void Deplace_DMC_Laser(long n, int32_t start);
void RAMPAGE_DMC_LASER(long count, int32_t start, int32_t top);
