// The plotting pipeline: scaling, rotation, line types and clipping on the way to the
// vector temp file (or to the polygon buffer in polygon mode), and the shapes built on it.
#pragma once

#include "contexte.h"

enum ActionTrace : int { ActionDeplacement = 1, ActionTrace = 2, ActionPoint = 3 };

PointHPGL ConvertitUtilisateurTraceur(const PointHPGL& utilisateur);
PointHPGL ConvertitTraceurUtilisateur(const PointHPGL& traceur);
// Scaling (when asked) and rotation (when on): where a point lands in plotter units.
PointHPGL PointTraceur(const PointHPGL& p, bool echelle);

void TracePoint(int action, const PointHPGL& p, bool echelle);
void TraceSegmentType(const PointHPGL& a, const PointHPGL& b, bool redemarre);
// One pass through the dash pattern, from phase debut to phase fin of the pattern whose
// phase 0 lies at origine; (dx, dy) is one pattern length. A cut at fin lands on
// *finSegment when given.
void TraceMotifLigne(const PointHPGL& origine, double dx, double dy, double debut, double fin,
                     const PointHPGL* finSegment = nullptr);

// PA, PR, PU, PD coordinate lists; after each pair the list can be taken up again by
// its command, should the data end inside it.
void TraceLignes(bool relatif);
// One line-list point: clipped to the input window, symbol in symbol mode.
void TracePointLigne(const PointHPGL& point);

// AA (centre) and AR (offset from the current point); angles in degrees.
void TraceArc(bool relatif, const PointHPGL& centre, float balayage, float corde);
void TraceSegmentArc(const PointHPGL& centre, double rayon, double angle, bool suitPlume);
void TraceCercle(float rayon, float corde);
void TraceSecteur(float rayon, float debut, float balayage, float corde);
void TraceContourRectangle(bool relatif, const PointHPGL& coin);
void TraceGraduation(bool axeY);

// Returns 0 and the clipped ends when part of a-b lies in the window, 1 otherwise.
int DecoupeSegment(const PointHPGL fenetre[2], PointHPGL& a, PointHPGL& b);
int CalculeCodeRegion(const PointHPGL& p, const PointHPGL& min, const PointHPGL& max);
bool TesteBordDecoupe(double p, double q, double& tEntree, double& tSortie);

// Chord angle used by arcs, circles and wedges: magnitude within 0.5-180 degrees.
double CordeValide(float corde);
