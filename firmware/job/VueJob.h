// The job as its readers see it: the bytes received into RecepBuff from one
// position on, so that the header analysis and the body walk never read past
// what came in, whatever the job's bytes claim.
#pragma once

#include "prnbuffer.h"

#include <algorithm>
#include <cstdint>
#include <functional>

struct VueJob {
    const unsigned char* octets = nullptr;
    uint32_t taille = 0;  // received bytes from octets on

    bool Couvre(uint32_t position, uint32_t longueur) const
    {
        return position <= taille && longueur <= taille - position;
    }
    // Reads past the received bytes give 0.
    uint8_t Octet(uint32_t position) const { return position < taille ? octets[position] : 0; }
    // Big-endian numbers whose first byte lies at position; 0 unless every byte was received.
    uint16_t Mot16(uint32_t position) const
    {
        if (!Couvre(position, 2)) return 0;
        return static_cast<uint16_t>(octets[position] << 8 | octets[position + 1]);
    }
    int16_t Mot16Signe(uint32_t position) const { return static_cast<int16_t>(Mot16(position)); }
    uint32_t Mot32(uint32_t position) const
    {
        if (!Couvre(position, 4)) return 0;
        return uint32_t{octets[position]} << 24 | uint32_t{octets[position + 1]} << 16 |
               uint32_t{octets[position + 2]} << 8 | octets[position + 3];
    }
};

// Start of the area that the header analysis and the body walk address by offset.
inline unsigned char* BuffCourant = nullptr;

// RecepBuff's received bytes from debut on; empty when debut lies outside them.
inline VueJob VueRecue(const unsigned char* debut)
{
    const unsigned char* const premier = RecepBuff.data;
    const unsigned char* const fin = RecepBuff.data + std::min(RecepBuff.count, kTaillePRNBuff);
    if (debut == nullptr || std::less<const unsigned char*>{}(debut, premier) ||
        std::less<const unsigned char*>{}(fin, debut))
        return {};
    return {debut, static_cast<uint32_t>(fin - debut)};
}

// The received bytes from BuffCourant on.
inline VueJob VueCourante()
{
    return VueRecue(BuffCourant);
}
