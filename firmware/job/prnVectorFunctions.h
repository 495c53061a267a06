// Vector records: PU (jumps) and PD (marked strokes), each followed by 8-byte
// points (control word, dx, dy, length, big-endian, in job length units), and
// MO, the indexed mode. In a simulation run (help jobs) PD points are not
// marked: their ends are recorded in scanner steps for the aiming beam.
#pragma once

#include <cstdint>

// pos: code position of the record; penUp 1 for PU, 0 for PD. Returns the
// bytes taken: 4 and 8 per point, up to the next record or the end of the
// received bytes.
int32_t LFFonctionPU_PD(int32_t pos, uint8_t penUp);
// KM250 line; in the fibre builds the older variant that no dispatcher calls.
int32_t FonctionPU_PD(int32_t pos, uint8_t penUp);
int32_t ChangtModeMarquage(int32_t pos);
// Corrects one coordinate of a traced point for the aiming beam; side 0-3.
void AjustementDiodeDeVisee(uint8_t orientation, int32_t side, float& x, float& y);
