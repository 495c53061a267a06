// Raster groups are not taken yet: each entry reads nothing, so the group's parameters
// and data are read as ordinary print data.
#include "rtl.h"

void AnalyseRtlStylo() {}
void AnalyseRtlTransfert() {}
void AnalyseRtlOperationLogique() {}
void AnalyseRtlPosition() {}
void AnalyseRtlLargeurFin() {}
void SauteGroupeRtl() {}
void AnalyseRtlConfigImage() {}
