// Polygons and fills: the polygon buffer that polygon mode fills, and the commands that
// outline or fill it.
#pragma once

#include "contexte.h"

// A point reaching the buffer in polygon mode (plotter units); a move carries the marker.
void AjoutePointPolygone(const PointHPGL& p, bool deplacement);

void ChangeModePolygone(int mode);  // PM
void TraceContourPolygone();        // EP
// RR; complet is false when dy (or dx) was missing.
void RemplitRectangle(float dx, float dy, bool complet);
// FP (rectangle 0) and RR (rectangle 1).
void RemplitPolygone(int rectangle);
