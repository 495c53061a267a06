// DSP card: host port, program load, mailbox commands, digital inputs and
// outputs, and the busy waits of the firmware.
#pragma once

#include "libdevmem.h"

#include <atomic>
#include <cstdint>
#include <ctime>

// Host port window (materiel::kPortDsp, 20 bytes), opened at start-up.
extern libdevmem_handle* h;
// OS-timer counter window (materiel::kCompteurTimerOs, 4 bytes), opened at start-up.
extern libdevmem_handle* hOSTimer;

// The process clock that the busy waits poll; tests put a virtual clock here.
extern clock_t (*LireHorloge)();

// Seconds of LireHorloge since it was made; a clock that goes back (wraps)
// is counted forward only.
class Chronometre {
public:
    Chronometre();
    double Secondes();

private:
    clock_t precedent_;
    double ecoule_ = 0.0;
};

// Ctrl-C: the signal handler only sets bArretDemande. The main thread's waits
// call ArretSiDemande, which runs the stop that BrancheArretCtrlC wired (once,
// on the thread that wired it; it does not return).
extern std::atomic<bool> bArretDemande;
void BrancheArretCtrlC(void (*arret)());
void ArretSiDemande();
// True while that stop runs: nothing waits for queued marks any more.
bool ArretEnCours();
// Operator-board event poll that Test_Reset runs first (fibre and KM250 lines,
// not mlas-km250-viper); none until BrancheEvenementsPupitre wires it.
extern int (*ScruteEvenementsPupitre)();

// One DSP word at a time through the host port: select an address, then each
// data transfer moves on by one word.
void AdresseDsp(uint16_t adresse);
void EcritDsp(uint16_t mot);
uint16_t LitDsp();

void Ecrire_Port(unsigned long address, char type, unsigned long value);
unsigned long Lire_Port(unsigned long address, char type);

int Dsp_Retour(int t);

unsigned char Get_Dsp_In();
int Pilot_PWM(int freq, float duty);
int Pilot_Vitesse(unsigned short a, unsigned short b);
int Pilot_Puissance(int power);
int EnablePWM();
int EnableServo();
int DisableServo();
int Ecrire_Tor_Dsp(unsigned char n, char on);
int Ecriture_TOR_DSP(unsigned char v);
int EnablePreAmp();
int DisablePreAmp();

int Fixe_Increment(unsigned short div_pd, unsigned short div_pu);
void EcritLesOrigines(unsigned short dac_x, unsigned short dac_y, unsigned short adc_x, unsigned short adc_y);
void LitLesOrigines();

unsigned char Lire_Tor_Dsp(unsigned char n);
int Test_Reset();
void Pause_Las(unsigned long ms);

void Reset_Dsp();
void Charge_Dsp();

// Tells the source the firmware version through a sequence of power values;
// version: major in the low byte, minor in the next one.
void StartSeq(unsigned short version);

// Flat or cylinder marking from the job's bTC_DMC: GPIO 21 on the VIPER
// board, the I2C cylinder turner on the TITAN board. Called only where the
// rotation card is not fitted.
void SwitchPlatCylindre();
