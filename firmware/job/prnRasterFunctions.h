// Raster records: C1 to C4 lines (packed dots), R5 line returns and the RX/RY
// band moves. This firmware does not mark raster images yet: each record is
// taken whole, never past the received bytes, nothing is marked, and the walk
// tells how many it passed over.
#pragma once

#include <cstdint>

extern int32_t NbreEnregistrementsRasterIgnores;

// direction +1 or -1; format 1 (a bit per dot) or 2 (a byte per dot).
int32_t FonctionRaster(int32_t pos, int8_t direction, uint8_t format);
int32_t FonctionRetourAVide(int32_t pos);
// RX high, RX low, RY high and RY low together.
int32_t FonctionRxRy(int32_t pos);
