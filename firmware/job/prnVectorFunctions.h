// Vector records: PU (jumps) and PD (marked strokes), each followed by 8-byte
// points (control word, dx, dy, length, big-endian, in job length units), and
// MO, the indexed mode. In a simulation run (help jobs) PD points are not
// marked: their ends are recorded in scanner steps for the aiming beam.
#pragma once

#include <cstdint>

extern uint8_t bRotationPUVecteur;  // builds without the rotation card: cylinder turned during jumps

// Start and end of the current vector, micrometres (simulation).
extern int32_t PtXdepVecteur;
extern int32_t PtYdepVecteur;
extern int32_t PtXfinVecteur;
extern int32_t PtYfinVecteur;

inline constexpr int kTailleRectanglePositionnement = 60;
inline constexpr int kTailleSavePointsCroix = 16;
inline constexpr int kTailleSavePointsTC = 50;
extern float RectanglePositionnementX[kTailleRectanglePositionnement];
extern float RectanglePositionnementY[kTailleRectanglePositionnement];
extern float SavePointsCroixX[kTailleSavePointsCroix];
extern float SavePointsCroixY[kTailleSavePointsCroix];
extern float SavePointsTCX[kTailleSavePointsTC];
extern float SavePointsTCY[kTailleSavePointsTC];
extern int32_t CurrentRectPos;  // next entry of the three tables
extern int32_t NbreDataPourPositionnement;
extern int32_t NbreDataPositionnementTC;
extern int32_t OrgXPlaqValCorigeeRepTheo;
extern int32_t OrgYPlaqValCorigeeRepTheo;

// pos: code position of the record; penUp 1 for PU, 0 for PD. Returns the
// bytes taken: 4 and 8 per point, up to the next record or the end of the
// received bytes.
int32_t LFFonctionPU_PD(int32_t pos, uint8_t penUp);
// KM250 line; in the fibre builds the older variant that no dispatcher calls.
int32_t FonctionPU_PD(int32_t pos, uint8_t penUp);
int32_t ChangtModeMarquage(int32_t pos);
// Corrects one coordinate of a traced point for the aiming beam; side 0-3.
void AjustementDiodeDeVisee(uint8_t orientation, int32_t side, float& x, float& y);
