// Operator board and serial links: the processor board found at start-up,
// the states the operator board reports, its command table and start-up frame,
// and the calibration values of the QUANTEL source.
#pragma once

#include <array>
#include <cstdint>
#include <string>

struct EtatPupitre {
    // Board type found at start-up: 1 VIPER, 2 TITAN, 0 or -1 unknown.
    int32_t TypeCarteCPU = -1;
    // Eco mode keeps the beam off.
    uint8_t bEcoMode = 0;
    // Reset key pressed: a rotation does not start.
    uint8_t Reset_presse = 0;

    // States reported by the board's events.
    uint8_t bNormalMode = 0;
    uint8_t bKeyON = 0;
    uint8_t bKeyOFF = 0;
    uint8_t bAlarmeEnCours = 0;
    uint8_t bRetourNormalPendantMarquage = 0;
    // Set by the marking loops while a job is marked.
    uint8_t bMarquageEnCours = 0;

    // Letters the reader takes as a command; filled by InitTabDeCde.
    std::string TabDeCde;

    // Contents of the KM250 line's start-up frame.
    std::array<uint8_t, 8> stTypAdrMask{};    // eth0 address, then mask
    std::array<uint8_t, 2> TypeVersion{};     // major, minor
    std::array<uint8_t, 2> TypeVersionDSP{};  // version / 100, version % 100
    std::array<uint8_t, 2> TypeAnneeDSP{};    // year high, year low

    // Calibration values of the QUANTEL source, kept from its RCD reply.
    int ValPulseLength = 0;
    int ValHighPulseLength = 0;
    int ValLowPulseLength = 0;
    int ValRepetitionRate = 0;
    int ValHighRepetitionRate = 0;
    int ValLowRepetitionRate = 0;
    float ValCourantPump1 = 0.0f;
    float ValTemperaturePump1 = 0.0f;
    float ValCourantPump2 = 0.0f;
    float ValTemperaturePump2 = 0.0f;
    float ValCourantBooster = 0.0f;
    float ValCourantMaxBooster = 0.0f;
};

inline EtatPupitre pupitre;
inline void ReinitPupitre()
{
    pupitre = EtatPupitre{};
}
