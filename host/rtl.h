// PCL/RTL raster escapes: one entry per parameter group, called by the parser once it
// has read ESC% or ESC* and the group letter. Transferred rows are decoded into the
// parser's plane rows and complete rows go to the raster store.
#pragma once

#include <cstdint>

// An ESC*b group whose data ended after a whole transfer goes on from there.
constexpr int kRepriseTransfertRtl = 0x1B62;

void AnalyseRtlStylo();             // ESC%
void AnalyseRtlTransfert();         // ESC*b
void AnalyseRtlOperationLogique();  // ESC*l
void AnalyseRtlPosition();          // ESC*p
void AnalyseRtlLargeurFin();        // ESC*r
void SauteGroupeRtl();              // ESC*t
void AnalyseRtlConfigImage();       // ESC*v

// Row decoders on the next n bytes of the print data, which they always consume whole.
// Modes 0-3 decode one plane row into the current plane; modes 4 and 5 any number of rows.
void DecodeLigneBrute(std::int64_t n);
void DecodeLigneRepetition(std::int64_t n);
void DecodeLignePackBits(std::int64_t n);
void DecodeLigneDelta(std::int64_t n);
void DecodeLigneMode4(std::int64_t n);
void DecodeLigneAdaptative(std::int64_t n);
