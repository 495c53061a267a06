// Polygons and fills: the polygon buffer that polygon mode fills, and the commands that
// outline or fill it.
#pragma once

#include "contexte.h"

#include <cstdint>
#include <span>

// The buffer lives in Sortie, in plotter units after scaling and rotation:
// - PointsPolygone[0, NombrePointsPolygone): the points in order; one reached by a move
//   carries kMarqueDeplacement on x (PM0 starts the buffer with the plotter position so
//   marked);
// - LongueursSousChemins[0, NombreSousChemins): the point counts of the closed sub-paths,
//   one after the other from point 0 (PM1 and PM2 close one, or drop it under 2 points);
// - BoitePolygoneMin, BoitePolygoneMax: the box of the points, without the marker.
// A fill reads it through the accessors below.
constexpr float kSeuilMarqueDeplacement = 2000000.0f;
inline bool EstDeplacementPolygone(const PointHPGL& stocke) {
  return stocke.x > kSeuilMarqueDeplacement;
}
inline PointHPGL SansMarquePolygone(const PointHPGL& stocke) {
  return EstDeplacementPolygone(stocke) ? PointHPGL{stocke.x - kMarqueDeplacement, stocke.y} : stocke;
}
std::span<const PointHPGL> PointsTamponPolygone();
std::span<const std::int32_t> SousCheminsPolygone();

// A point reaching the buffer in polygon mode (plotter units); a move carries the marker.
// Past the buffer's limits the job ends with "Memory error".
void AjoutePointPolygone(const PointHPGL& p, bool deplacement);

void ChangeModePolygone(int mode);  // PM
// EP: every buffered point into the vector temp file, a move for a marked point and a
// draw for any other; no line type, no closing edge.
void TraceContourPolygone();
// RR; complet is false when dy (or dx) was missing.
void RemplitRectangle(float dx, float dy, bool complet);
// FP (rectangle 0) and RR (rectangle 1).
void RemplitPolygone(int rectangle);
