// The firmware's program: start-up in each build's order, the global
// parameters' defaults, the board type, the rotation origin at start-up, the
// orderly stop on Ctrl-C and the mode loop that runs the marking loop or the
// service menu's choices.
#pragma once

#include "build.h"
#include "libdevmem.h"

#include <cstdint>

// Firmware version (major, minor) as the banner shows it and the laser source is told.
inline constexpr unsigned char kVersionMajeure = build::kViper ? 2 : build::kDmc ? 11 : 10;
inline constexpr unsigned char kVersionMineure = build::kViper ? 0 : 20;

extern char MainVersion[21];
extern const char* MainDate;

// GPIO block (materiel::kGpio, 0x30 bytes), opened at start-up.
extern libdevmem_handle* HandleOUT;

// main's body: start-up, then the mode loop. The program's exit status.
int mlas_main(int argc, char* argv[]);
// Start-up up to the mode loop: 0, or the exit status of a fatal failure
// (servo, TITAN I2C bus).
int Demarrage();
// Runs the build's marking loop, which never returns; with "-menu", the modes
// the operator picks on the console. The exit status when a quit choice or
// the end of the console ends it.
int BoucleDesModes(int argc, char* argv[]);

void Init_Var();
// 1 VIPER, 2 TITAN, 0 neither named, -1 the file cannot be opened. Reads
// $MLAS_CPUINFO, else /proc/cpuinfo.
int cardType();
void PriseOrigine();
// Ctrl-C: OnSIGINT only records it; the main thread's next wait runs
// ArretCtrlC: beam and outputs off, listeners joined, ArretProgramme, and the
// process ends by the signal.
void OnSIGINT(int signal);
[[noreturn]] void ArretCtrlC();
// Watchdog off, job links and register windows closed, "Programme arrêté".
void ArretProgramme();

// Lamps (DSP outputs 1 and 2) when a loop starts.
void FlashLEDs();
void LFFlashLEDs();
