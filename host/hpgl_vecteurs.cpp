// Vector commands: PU, PD, PA, PR, PE, the arcs and circle, and the ticks (TL, XT, YT).
#include "hpgl_groupes.h"

#include "polyligne.h"
#include "trace.h"

using namespace hpgl;

namespace {

void plume(bool baissee) {
  EtatInterpreteur& h = Interpreteur;
  h.PlumeBaissee = baissee;
  TraceLignes(h.Relatif);
  labelAuTraceur();
}

void coordonnees(bool relatives) {
  EtatInterpreteur& h = Interpreteur;
  h.Relatif = relatives;
  TraceLignes(h.Relatif);
  labelAuTraceur();
}

void commandePE() {
  AnalysePE();
  labelAuTraceur();
}

void arc(bool relatif) {
  float x = 0;
  if (lit(x)) {
    const float y = exige(2), balayage = exige(3);
    float corde = 5;
    if (LitNombreHPGL(corde) == NombreInvalide) SignaleErreurCommande(99, Interpreteur.Mnemonique);
    TraceArc(relatif, {x, y}, balayage, corde);
  }
  labelAuTraceur();
}

void commandeCI() {
  float rayon = 0;
  if (lit(rayon)) TraceCercle(rayon, optionnel(5));
}

void commandeTL() {
  EtatInterpreteur& h = Interpreteur;
  float v = 0;
  if (lit(v)) {
    h.TickPositif = v / 100;
    h.TickNegatif = optionnel(0) / 100;
  } else {
    h.TickPositif = h.TickNegatif = 0.005f;
  }
}

constexpr Commande kCommandes[] = {
    {mnemo('P', 'U'), [] { plume(false); }},
    {mnemo('P', 'D'), [] { plume(true); }},
    {mnemo('P', 'A'), [] { coordonnees(false); }},
    {mnemo('P', 'R'), [] { coordonnees(true); }},
    {mnemo('P', 'E'), commandePE},
    {mnemo('A', 'A'), [] { arc(false); }},
    {mnemo('A', 'R'), [] { arc(true); }},
    {mnemo('C', 'I'), commandeCI},
    {mnemo('T', 'L'), commandeTL},
    {mnemo('X', 'T'), [] { TraceGraduation(false); }},
    {mnemo('Y', 'T'), [] { TraceGraduation(true); }},
};

}  // namespace

std::span<const Commande> hpgl::CommandesVecteurs() { return kCommandes; }
