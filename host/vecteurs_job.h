// The vector section of a page: the page's vector temp file sorted pen by pen, then
// written pass by pass with the pen settings records, jumps and drawn segments.
#pragma once

#include "contexte.h"
#include "fichier_machine.h"

#include <cstddef>
#include <cstdint>

constexpr std::size_t kTailleBlocVecteurs = 5000;

// Elements waiting to be written, with the position they lead to (working units).
struct BlocVecteurs {
  ElementVecteur* Elements;  // kTailleBlocVecteurs entries
  std::size_t Nombre;
  std::int32_t X, Y;          // current position
  std::int32_t XPrec, YPrec;  // position before the last point
  std::int32_t XDebut, YDebut;  // where the block's first element starts
  int Trace;                  // 0 jump, 1 draw
};

// Plate extent in dots at the vector resolution; the page writer sets it.
extern std::int32_t EtendueVecteursX, EtendueVecteursY;

// Whether the page's vector temp file holds a draw of a pen that marks vectors.
bool ContientVecteurs(ContexteConversion& ctx);
void EcritVecteursJob(ContexteConversion& ctx, EtatSortie& sortie);

// Page normalisation of a plotter point with the interpreter's page extent.
void AppliqueOrigine(double& x, double& y);
// The same normalisation, its shift taken once for many points.
struct OriginePage {
  double xMin, yMin, largeur;
  bool paysage;
  void applique(double& x, double& y) const;
};
OriginePage OrigineCourante();
// Marking orientation 0-7 within a plate of px x py points.
void AppliqueOrientation(const ContexteConversion& ctx, double& x, double& y, double px, double py);

// One point of the vector temp file, converted and appended with the block's draw flag.
void AjoutePointVecteur(ContexteConversion& ctx, EtatSortie& sortie, BlocVecteurs& bloc, float x,
                        float y);
// A point already in working units and angle-corrected.
void AjoutePointVecteurBrut(ContexteConversion& ctx, EtatSortie& sortie, BlocVecteurs& bloc,
                            std::int32_t x, std::int32_t y);
// Speed bytes of the buffered elements, the pending 'PU'/'PD', the elements; empties the block.
void VideBlocVecteurs(ContexteConversion& ctx, EtatSortie& sortie, BlocVecteurs& bloc);
// Aborts the job (message 16) when the block's last segment touches the forbidden zone.
void VerifieZoneInterditeSegment(const ContexteConversion& ctx, const BlocVecteurs& bloc);
// A focus step between passes, kept from going past the pen's last-pass focus.
void LimiteDeplacementFocus(const ContexteConversion& ctx, int stylo, std::int64_t& delta);
