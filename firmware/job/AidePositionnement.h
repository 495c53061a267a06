// Help sheets: the sheet's body is walked in simulation, which records its
// drawing in scanner steps instead of marking it; the aiming beam then traces
// the recorded outline, the laser power at 0, until the sheet's time-out runs
// out, and goes back to the centre. Each takes the job as AnalysePRN does.
#pragma once

// Positioning rectangle (file type 1): LFPositionningHelp in the fibre line's
// marking loop, PositionningHelp in the KM250 line. In the fibre line
// PositionningHelp is the YAG loop's: no diodes, no power command, 4 points.
void LFPositionningHelp(unsigned char* job);
void PositionningHelp(unsigned char* job);
// Focus cross on a flat part (file type 3): LFFocalisationHelp in the fibre
// line, FocalisationHelp in the KM250 line.
void LFFocalisationHelp(unsigned char* job);
void FocalisationHelp(unsigned char* job);
// Focus cross on the cylinder turner (file type 6).
void FocalisationTCHelp(unsigned char* job);
// Cylinder-turner outline (file types 5 and 7).
void TCHelp(unsigned char* job);
// Vice outlines (file type 8 along X, other help types along Y) and the arrow
// job that turns the rotation axis or brings it back to its origin: called by
// the builds with the rotation card (mlas-fibre, mlas-km250) only.
void PositionningEtauSarvelSelonX(unsigned char* job);
void PositionningEtauSarvelSelonY(unsigned char* job);
void PositionningOrigineFleche(unsigned char* job);

// End of one cylinder-turner adjustment step: the ready lamp blinks once a
// second until the start input is pressed; 1 when it read 1.
int AttenteFinReglageTC();
