#include "polygones.h"

#include "fichier_vecteurs.h"
#include "hpgl_commandes.h"
#include "trace.h"

#include <algorithm>
#include <new>

namespace {

void boiteInitiale(const PointHPGL& p) { Sortie.BoitePolygoneMin = Sortie.BoitePolygoneMax = p; }

void videPolygone(const PointHPGL& premier, bool marque) {
  Sortie.NombrePointsPolygone = 0;
  Sortie.NombreSousChemins = 0;
  Interpreteur.DebutSousChemin = 0;
  AjoutePointPolygone(premier, marque);
  boiteInitiale(premier);
}

void fermeSousChemin() {
  EtatSortie& s = Sortie;
  const std::int32_t n = s.NombrePointsPolygone - Interpreteur.DebutSousChemin;
  if (n < 2) {
    s.NombrePointsPolygone = Interpreteur.DebutSousChemin;
    return;
  }
  if (s.NombreSousChemins >= kMaxSousChemins) ErreurFatale(MsgMemoire);
  try {
    if (static_cast<std::size_t>(s.NombreSousChemins) >= s.LongueursSousChemins.size())
      s.LongueursSousChemins.resize(static_cast<std::size_t>(s.NombreSousChemins) + 1);
  } catch (const std::bad_alloc&) {
    ErreurFatale(MsgMemoire);
  }
  s.LongueursSousChemins[static_cast<std::size_t>(s.NombreSousChemins++)] = n;
  Interpreteur.DebutSousChemin = s.NombrePointsPolygone;
}

}  // namespace

// A page that outgrows the buffer ends with "Memory error" rather than with a part of
// its shape missing.
void AjoutePointPolygone(const PointHPGL& p, bool deplacement) {
  EtatSortie& s = Sortie;
  if (s.NombrePointsPolygone >= kMaxPointsPolygone) ErreurFatale(MsgMemoire);
  const auto i = static_cast<std::size_t>(s.NombrePointsPolygone);
  try {
    if (i >= s.PointsPolygone.size()) s.PointsPolygone.resize(i + 1);
  } catch (const std::bad_alloc&) {
    ErreurFatale(MsgMemoire);
  }
  s.PointsPolygone[i] = {deplacement ? p.x + kMarqueDeplacement : p.x, p.y};
  ++s.NombrePointsPolygone;
  s.BoitePolygoneMin = {std::min(s.BoitePolygoneMin.x, p.x), std::min(s.BoitePolygoneMin.y, p.y)};
  s.BoitePolygoneMax = {std::max(s.BoitePolygoneMax.x, p.x), std::max(s.BoitePolygoneMax.y, p.y)};
}

void ChangeModePolygone(int mode) {
  switch (mode) {
    case 0:
      Sortie.ModePolygone = 1;
      videPolygone(Interpreteur.PositionTraceur, true);
      break;
    case 1:
      fermeSousChemin();
      break;
    case 2:
      fermeSousChemin();
      Sortie.ModePolygone = 0;
      break;
    default:
      break;
  }
}

std::span<const PointHPGL> PointsTamponPolygone() {
  return {Sortie.PointsPolygone.data(), static_cast<std::size_t>(Sortie.NombrePointsPolygone)};
}

std::span<const std::int32_t> SousCheminsPolygone() {
  return {Sortie.LongueursSousChemins.data(), static_cast<std::size_t>(Sortie.NombreSousChemins)};
}

void TraceContourPolygone() {
  for (const PointHPGL& p : PointsTamponPolygone()) {
    EcritCodePointVecteur(EstDeplacementPolygone(p) ? CodeDeplacement : CodeTrace, SansMarquePolygone(p));
  }
}

void RemplitRectangle(float dx, float dy, bool complet) {
  EtatInterpreteur& h = Interpreteur;
  Sortie.ModePolygone = 1;
  videPolygone(h.PositionTraceur, false);
  if (!complet) {
    Sortie.ModePolygone = 0;
    return;
  }
  const PointHPGL c = h.PointCourant;
  for (const PointHPGL& p : {PointHPGL{c.x + dx, c.y}, PointHPGL{c.x + dx, c.y + dy},
                             PointHPGL{c.x, c.y + dy}, c})
    TracePoint(ActionTrace, p, h.Echelle);
  Sortie.NombreSousChemins = 0;
  fermeSousChemin();
  Sortie.ModePolygone = 0;
  RemplitPolygone(1);
}
