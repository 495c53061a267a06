// What the HP-GL/2 command groups share: the entries of the dispatch table and the
// parameter readers. Each group's file holds its commands and the table of them.
#pragma once

#include "hpgl_commandes.h"
#include "hpgl_flux.h"
#include "labels.h"

#include <span>

namespace hpgl {

// Both letters folded to upper case, as the stream gives them.
constexpr int mnemo(char a, char b) { return (a << 8 | b) & 0xDFDF; }

// Interpreteur.Mnemonique names the command when it runs.
struct Commande {
  int mnemonique;
  void (*execute)();
};

std::span<const Commande> CommandesConfiguration();  // set-up, scaling, page
std::span<const Commande> CommandesStylos();         // pens, line types, colour
std::span<const Commande> CommandesVecteurs();       // moves, arcs, ticks
std::span<const Commande> CommandesPolygones();      // polygons, fills, rectangles
std::span<const Commande> CommandesLabels();         // text

inline bool lit(float& v) { return LitNombreHPGL(v) == NombreLu; }

inline float optionnel(float defaut) {
  float v = defaut;
  return lit(v) ? v : defaut;
}

// The next parameter, which must be there: kind n when it is missing.
float exige(int genre);

// Reads numbers until the list ends; what they say is not used.
void sauteNombres();

// Labels start again where the pen now is.
inline void labelAuTraceur() { Texte.DebutLabel = PositionTexte(); }

}  // namespace hpgl
