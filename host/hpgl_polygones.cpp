// Polygon and fill commands: PM, EP, FP, EA, EW, RR, and AC and FT, which change nothing.
#include "hpgl_groupes.h"

#include "polygones.h"
#include "trace.h"

using namespace hpgl;

namespace {

void commandeEA() {
  Interpreteur.Relatif = false;
  float x = 0;
  while (lit(x)) {
    TraceContourRectangle(false, {x, exige(2)});
    NoteRepriseCommande(Interpreteur.Mnemonique);
  }
  labelAuTraceur();
}

void commandeEW() {
  float r = 0, debut = 0, balayage = 0;
  if (!lit(r) || !lit(debut) || !lit(balayage)) return;
  TraceSecteur(r, debut, balayage, optionnel(5));
}

void commandeRR() {
  float dx = 0, dy = 0;
  const bool complet = lit(dx) && lit(dy);
  RemplitRectangle(dx, dy, complet);
}

constexpr Commande kCommandes[] = {
    {mnemo('P', 'M'), [] { ChangeModePolygone(EntierHPGL(optionnel(0))); }},
    {mnemo('E', 'P'), TraceContourPolygone},
    {mnemo('F', 'P'), [] { RemplitPolygone(0); }},
    {mnemo('E', 'A'), commandeEA},
    {mnemo('E', 'W'), commandeEW},
    {mnemo('R', 'R'), commandeRR},
    {mnemo('A', 'C'), [] {}},
    {mnemo('F', 'T'), sauteNombres},
};

}  // namespace

std::span<const Commande> hpgl::CommandesPolygones() { return kCommandes; }
