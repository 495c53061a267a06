// PCL/RTL raster escapes: one entry per parameter group, called by the parser once it
// has read ESC% or ESC* and the group letter.
#pragma once

void AnalyseRtlStylo();             // ESC%
void AnalyseRtlTransfert();         // ESC*b
void AnalyseRtlOperationLogique();  // ESC*l
void AnalyseRtlPosition();          // ESC*p
void AnalyseRtlLargeurFin();        // ESC*r
void SauteGroupeRtl();              // ESC*t
void AnalyseRtlConfigImage();       // ESC*v
