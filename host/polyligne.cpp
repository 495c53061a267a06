#include "polyligne.h"

#include "hpgl_commandes.h"
#include "hpgl_flux.h"
#include "labels.h"
#include "trace.h"

#include <cmath>

namespace {

// The state at the last flag or pair: a PE that the data ends inside goes on from there.
EtatPE EtatReprise{};

void noteReprise(const EtatPE& etat) {
  EtatReprise = etat;
  NoteRepriseCommande(Interpreteur.Mnemonique);
}

constexpr int masque(const EtatPE& e) { return e.SeptBits ? 127 : 255; }
constexpr bool estFinale(const EtatPE& e, int v) { return v >= (e.SeptBits ? 95 : 191); }

}  // namespace

int EstFinNombrePE(const EtatPE& etat, int octet) { return (octet & masque(etat)) <= 62; }

int DecodeChiffrePE(const EtatPE& etat, int octet) {
  const int v = octet & masque(etat);
  if (v <= 62) return 0;
  return estFinale(etat, v) ? v - (etat.SeptBits ? 95 : 191) : v - 63;
}

void LitEntierPE(const EtatPE& etat, int premier, std::int64_t& valeur) {
  std::uint64_t r = 0;
  unsigned decalage = 0;
  const unsigned largeur = etat.SeptBits ? 5 : 6;
  for (int octet = premier;; octet = LitOctetFlux(false)) {
    if (EstFinNombrePE(etat, octet)) {
      RemetOctetFlux();
      break;
    }
    // Digits past 64 bits are read and dropped.
    if (decalage < 64) r |= static_cast<std::uint64_t>(DecodeChiffrePE(etat, octet)) << decalage;
    decalage += largeur;
    if (estFinale(etat, octet & masque(etat))) break;
  }
  const auto grandeur = static_cast<std::int64_t>(r >> 1);
  valeur = r & 1 ? -grandeur : grandeur;
}

void LitReelPE(const EtatPE& etat, int premier, PointHPGL& point) {
  std::int64_t x = 0, y = 0;
  LitEntierPE(etat, premier, x);
  LitEntierPE(etat, LitOctetFlux(false), y);
  const double echelle = std::ldexp(1.0, -etat.BitsFraction);
  point = {static_cast<float>(static_cast<double>(x) * echelle),
           static_cast<float>(static_cast<double>(y) * echelle)};
}

int TraiteDrapeauPE(EtatPE& etat, int octet) {
  switch (octet & 127) {
    case '7':
      etat.SeptBits = true;
      return 1;
    case ':': {
      std::int64_t stylo = 0;
      LitEntierPE(etat, LitOctetFlux(false), stylo);
      const bool valide = stylo >= 0 && stylo <= Contexte.NombreStylos;
      SelectionneStylo(valide ? static_cast<int>(stylo) : -1);
      return 1;
    }
    case '<':
      etat.PlumeLeveeSuivante = true;
      return 1;
    case '=':
      etat.AbsoluSuivant = true;
      return 1;
    case '>': {
      const int a = DecodeChiffrePE(etat, LitOctetFlux(false));
      etat.BitsFraction = a & 1 ? -(a >> 1) : a >> 1;
      return 1;
    }
    default:
      return 0;
  }
}

void AnalysePE() {
  EtatPE etat = Analyse.CommandeReprise ? EtatReprise : EtatPE{};
  EtatInterpreteur& h = Interpreteur;
  for (;;) {
    const int octet = LitOctetFlux(false);
    if (octet == ';') return;
    if (TraiteDrapeauPE(etat, octet)) {
      noteReprise(etat);
      continue;
    }
    // A byte that is neither flag nor digit cannot start a pair: it is passed over
    // (were it read again as the pair's start, the command would never end).
    if (EstFinNombrePE(etat, octet)) continue;
    PointHPGL p{};
    LitReelPE(etat, octet, p);
    h.PlumeBaissee = !etat.PlumeLeveeSuivante;
    TraceSegmentPE(etat.AbsoluSuivant, p);
    Texte.DebutLabel = PositionTexte();
    etat.AbsoluSuivant = etat.PlumeLeveeSuivante = false;
    noteReprise(etat);
  }
}

void TraceSegmentPE(bool absolu, const PointHPGL& point) {
  const PointHPGL& c = Interpreteur.PointCourant;
  TracePointLigne(absolu ? point
                         : PointHPGL{static_cast<float>(static_cast<double>(c.x) + point.x),
                                     static_cast<float>(static_cast<double>(c.y) + point.y)});
}
