// Body walk: from the byte after the header, each record (0xFF 0xFD, two
// letters, a big-endian value) goes to the handler of its code in this build,
// until the end record, an unknown code, a reset request, a raster record that
// cannot be marked or the end of the received bytes.
#pragma once

#include <cstdint>

// Grey level whose speed and frequency were sent last; 0xFF: none yet.
extern uint8_t MemGrayLevel;
// Pending jump in nanometres, made before the next marked move.
extern int32_t MemX_PU;
extern int32_t MemY_PU;
// Dot pitch: micrometres, and nanometres rounded.
extern float EcartX;
extern float EcartY;
extern int32_t EcartXEntreDot;
extern int32_t EcartYEntreDot;
// Raster speed and frequency curve, by grey level.
inline constexpr int kTailleTabCoef = 128;
extern float TabCoefNonLineaires[kTailleTabCoef];
extern uint8_t bRasterC1C2;  // a C1 or C2 line is being handled
extern uint8_t bLastFicheMultiPlansTC;

// Walks the fiche whose last header byte is at p (the body starts at p + 1);
// returns the offset from p of the first byte after the last record handled.
int32_t AnalysePRN(unsigned char* p);
int32_t AnalyseFonctions();
// Code position of the next record at or after start + 1; the number of
// received bytes when none begins before their end.
int32_t DectecIDF(int32_t start);
// Runs the handler of the record whose code is at pos; 1 to go on, 0 to stop.
uint8_t SelectionFonction(int32_t pos, int32_t& consumed);
void PreCalcTabCoefNonLineaires();
