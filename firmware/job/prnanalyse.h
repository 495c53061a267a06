// Body walk: from the byte after the header, each record (0xFF 0xFD, two
// letters, a big-endian value) goes to the handler of its code in this build,
// until the end record, an unknown code, a reset request, a raster record that
// cannot be marked or the end of the received bytes.
#pragma once

#include <cstdint>

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
