// The controller board's hardware map: the physical addresses of its register
// windows, the registers within them, the DSP's memory and its mailbox
// commands. Machine control and the simulated board both take them from here.
#pragma once

#include <cstdint>

namespace materiel {

// DSP card host port: address register, auto-incrementing data register, reset line.
inline constexpr uint32_t kPortDsp = 0x30000100;
inline constexpr uint32_t kLongueurPortDsp = 0x14;
inline constexpr uint32_t kRegistreDonnee = 0x00;
inline constexpr uint32_t kRegistreAdresse = 0x08;
inline constexpr uint32_t kRegistreReset = 0x10;

// OS timer: match register 3, counter, watchdog enable.
inline constexpr uint32_t kTimerOs = 0x40A00000;
inline constexpr uint32_t kLongueurTimerOs = 0x20;
inline constexpr uint32_t kFenetreTimerOs = 28;  // what the watchdog opens
inline constexpr uint32_t kMatch3 = 0x0C;        // OSMR3
inline constexpr uint32_t kCompteurOs = 0x10;    // OSCR
inline constexpr uint32_t kWatchdogOs = 0x18;    // OWER
inline constexpr uint32_t kCompteurTimerOs = kTimerOs + kCompteurOs;

// GPIO: levels, set and clear registers; GPIO 21 switches the Y galvanometer
// (flat or cylinder).
inline constexpr uint32_t kGpio = 0x40E00000;
inline constexpr uint32_t kLongueurGpio = 0x30;
inline constexpr uint32_t kGpioNiveaux = 0x00;  // GPLR0..2
inline constexpr uint32_t kGpioMiseA1 = 0x18;   // GPSR0..2
inline constexpr uint32_t kGpioMiseA0 = 0x24;   // GPCR0..2
inline constexpr uint32_t kGpio21 = 1u << 21;

// Rotation card: eight I/O ports from 0x2C0, seen through one window.
inline constexpr uint32_t kPortsDmc = 0x300002C0;
inline constexpr uint32_t kLongueurPortsDmc = 8;
inline constexpr unsigned short kPortBaseDmc = 0x2C0;
inline constexpr uint32_t kDmcCompteur0 = 0;
inline constexpr uint32_t kDmcCompteur1 = 1;
inline constexpr uint32_t kDmcCompteur2 = 2;
inline constexpr uint32_t kDmcMotControle = 3;
inline constexpr uint32_t kDmcControle = 4;  // control (write) and status (read)
inline constexpr uint32_t kDmcPorte0 = 5;
inline constexpr uint32_t kDmcPorte2 = 6;

// I2C output expander of the TITAN board.
inline constexpr uint8_t kExpandeurI2c = 0x20;

// DSP memory, in 16-bit words.
inline constexpr uint16_t kDspDemarrage = 0x0000;    // written last, it starts the program
inline constexpr uint16_t kDspProgramme = 0x0001;
inline constexpr uint16_t kDspAnneau = 0x4800;       // ring of vector blocks
inline constexpr uint16_t kDspTableX = 0x5000;       // correction tables
inline constexpr uint16_t kDspTableY = 0x5800;
inline constexpr uint16_t kDspFinTables = 0x5FFF;
inline constexpr uint16_t kDspEntrees = 0x7100;
inline constexpr uint16_t kDspPeriodeQSwitch = 0x7102;
inline constexpr uint16_t kDspStatut = 0x7104;
inline constexpr uint16_t kDspCommande = 0x7105;
inline constexpr uint16_t kDspVitesse = 0x710A;
inline constexpr uint16_t kDspOrigines = 0x710D;
inline constexpr uint16_t kDspPuissance = 0x7115;
inline constexpr uint16_t kDspIncrements = 0x7119;
inline constexpr uint16_t kDspVersion = 0x711B;      // program version, then its year
inline constexpr uint16_t kDspSorties = 0x711D;
inline constexpr uint16_t kDspChargement = 0x7FFF;   // 0x0200 here opens the program load
inline constexpr uint16_t kDspMotChargement = 0x0200;

// Mailbox commands (written after a 0 at kDspStatut) and the acknowledgement.
inline constexpr uint8_t kCmdEntrees = 0x01;
inline constexpr uint8_t kCmdPeriodeQSwitch = 0x03;
inline constexpr uint8_t kCmdVitesse = 0x05;
inline constexpr uint8_t kCmdPuissance = 0x06;
inline constexpr uint8_t kCmdValidePwm = 0x09;
inline constexpr uint8_t kCmdValideServo = 0x0B;
inline constexpr uint8_t kCmdDevalideServo = 0x0C;
inline constexpr uint8_t kCmdSorties = 0x10;
inline constexpr uint8_t kCmdValidePreAmp = 0x13;
inline constexpr uint8_t kCmdDevalidePreAmp = 0x14;
inline constexpr uint16_t kAcquittement = 0xAA00;

// Control words of a vector block.
inline constexpr uint16_t kBlocFaisceau = 0x8001;
inline constexpr uint16_t kBlocSansFaisceau = 0x0801;
inline constexpr uint16_t kDiviseurLent = 0x8000;

}  // namespace materiel
