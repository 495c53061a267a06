// Raster records: C1 to C4 lines of packed dots, R5 line returns and the
// RX/RY band moves. Every dot becomes a short marked move at a speed and
// frequency that follow its grey level through the curve; a run of blank dots
// becomes a pending jump, made only before the next marked move. On a
// cylinder the line feed of a 1-bit line turns the part.
#pragma once

#include <cstdint>

// pos: code position of the record; direction +1 or -1; format 1 or 2.
// Returns the bytes taken: the whole line. A line that has no dot pitch or
// whose data runs past its own length or past the received bytes marks
// nothing from there, says so on the console, and sets arret: the job ends.
int32_t FonctionRaster(int32_t pos, int8_t direction, uint8_t format, bool& arret);
// R5: back over the last line's width, and the pending jump made.
int32_t FonctionRetourAVide(int32_t pos);
// RX high, RX low, RY high and RY low together: a jump by whole dots. Sets
// arret when the four records are not there.
int32_t FonctionRxRy(int32_t pos, bool& arret);

// The one raster move (nanometres): marked when grey is a marked level, else
// added to the pending jump (or, on a cylinder, a line feed that turns it). 0.
int32_t FonctionRA(uint8_t grey, int32_t dx, int32_t dy);
void PointAllume(int8_t direction, uint8_t grey);
void PointEteint(int8_t direction, int32_t count);
// One dot of length L (nanometres) drawn with the pattern RasterPatternDrawing.
void MarqueMotif(uint8_t grey, int8_t direction, int32_t L);
void ChangementDeLigne();

// Speed (tenths of mm/s) and frequency (Hz) of a marked grey level.
int32_t CalculVitesse(uint8_t grey);
int32_t CalculFrequence(uint8_t grey);
// The lightest marked level: 126 in negative marking, else 1.
uint8_t GetMin_GrayLevel();
// Whether a dot of this level is marked in the current mode.
bool NiveauMarque(uint8_t grey);
