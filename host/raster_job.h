// The raster writers: a page's prepared images become line records of the job file.
// The image is turned to the marking orientation, cut into bands of non-blank rows,
// column groups and sub-bands of steady width; the head moves with RX/RY, lines go
// alternately forward and back, PackBits-packed, once per pass with focus steps.
#pragma once

#include "contexte.h"

#include <cstddef>
#include <cstdint>

constexpr std::uint32_t kOptionBasEnHaut = 0x100;
constexpr std::uint32_t kOptionPassesParGroupe = 0x200;

// The grey image (power levels, one byte per dot): C3/C4 lines with pen 0's passes.
void EcritRasterGris(ContexteConversion& ctx, EtatAnalyse& analyse, EtatSortie& sortie);
// The 1-bit image of ClasseCourante: C1/C2 lines with that pen's passes.
void EcritRasterStylo(ContexteConversion& ctx, EtatAnalyse& analyse, EtatSortie& sortie);

// PackBits of a line of n bytes into out (room for 2 n + 2), mirrored first for a reverse
// line (SensLigne 1; bits = 1 also reverses the bits of each byte); returns the even length.
std::size_t CompresseLignePackBits(const EtatAnalyse& analyse, const std::uint8_t* ligne, std::size_t n,
                                   int bits, std::uint8_t* out);

// RX/RY pairs to column x (bytes of 8 dots when octets is 1) and row ligne; nothing when
// the head is there already.
void EcritDeplacementRelatif(ContexteConversion& ctx, EtatSortie& sortie, std::int32_t x, std::int32_t ligne,
                             int octets);

// The outer frame of the stored grey raster cleared where no ink reaches it.
void NettoieBordRaster(ContexteConversion& ctx, EtatSortie& sortie);
