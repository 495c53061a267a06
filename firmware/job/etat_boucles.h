// Marking loops: where the last start wait began, the statistics of a fibre
// marking, the pre-amplifier delay, and the KM250 line's loop flags.
#pragma once

#include <cstdint>

struct EtatBoucles {
    // Offset of the data still to mark when the last wait began.
    uint32_t MemCurrentBufferPosition = 0;
    // Statistics of a fibre marking, cleared before each one.
    uint32_t LFNbrePtTotal = 0;
    uint32_t LFNbreLigne = 0;
    double LFLgTotal = 0.0;
    uint32_t LFNbrepointE = 0;
    uint32_t LFNbrepointA = 0;

    int32_t TEMPO_PRE_AMP = 40000;  // microseconds before marking
    uint8_t bFirstLoop = 1;         // first pass of the marking loop
    uint8_t bEventdetected = 0;

    // KM250 line.
    uint8_t pen_Up = 1;
    int32_t LIMITE_PD = 2500;
    uint8_t marquage_encours = 0;
    uint8_t Marquage_chaine_en_cours = 0;
    int32_t XMligne = 0;
    int32_t XMcolonne = 0;
    uint8_t point_par_point = 0;
    uint8_t M_a_faire = 0;
    int32_t X0Saut = 0;
    int32_t Y0Saut = 0;
    unsigned char EndInst[6] = {0xFF, 0xFD, 'J', 'F', 0, 0};
    float fNtour = 0.0f;
    int32_t NbTotalIteration = 0;
};

inline EtatBoucles boucles;
inline void ReinitBoucles()
{
    boucles = EtatBoucles{};
}
