#include "hpgl_commandes.h"

#include "hpgl_flux.h"
#include "hpgl_groupes.h"
#include "rtl.h"

#include <algorithm>
#include <array>
#include <cassert>
#include <cmath>
#include <limits>

EtatInterpreteur Interpreteur{};

namespace {

using hpgl::Commande;

constexpr unsigned kLettres = 26;
constexpr unsigned kAucune = kLettres * kLettres;  // an entry that stays empty

// One entry per pair of letters, the command's or none.
using TableCommandes = std::array<void (*)(), kAucune + 1>;

unsigned place(int m) {
  const unsigned a = static_cast<unsigned>(m >> 8) - 'A', b = static_cast<unsigned>(m & 0xFF) - 'A';
  return a < kLettres && b < kLettres ? a * kLettres + b : kAucune;
}

const TableCommandes& table() {
  static const TableCommandes t = [] {
    TableCommandes t{};
    for (const auto groupe : {hpgl::CommandesConfiguration(), hpgl::CommandesStylos(),
                              hpgl::CommandesVecteurs(), hpgl::CommandesPolygones(),
                              hpgl::CommandesLabels()})
      for (const Commande& c : groupe) {
        assert(place(c.mnemonique) != kAucune && !t[place(c.mnemonique)]);
        t[place(c.mnemonique)] = c.execute;
      }
    return t;
  }();
  return t;
}

}  // namespace

float hpgl::exige(int genre) {
  float v = 0;
  if (!lit(v)) SignaleErreurCommande(genre, Interpreteur.Mnemonique);
  return v;
}

void hpgl::sauteNombres() {
  float v = 0;
  while (lit(v)) {
  }
}

int EntierHPGL(float valeur) {
  if (std::isnan(valeur)) return 0;
  constexpr double kMin = std::numeric_limits<int>::min(), kMax = std::numeric_limits<int>::max();
  return static_cast<int>(std::clamp(std::trunc(static_cast<double>(valeur)), kMin, kMax));
}

void ExecuteCommandeHPGL(int premiere) {
  const int seconde = LitOctetFlux(false);
  if (ReprendCommandeHPGL((premiere << 8 | seconde) & 0xDFDF)) return;
  // Unknown: a quoted string parameter is text, never commands; otherwise the second
  // letter may begin the next command.
  if (!EstLettreHPGL(seconde) || !SauteChaineGuillemets()) RemetOctetFlux();
}

bool ReprendCommandeHPGL(int m) {
  Interpreteur.Mnemonique = m;
  // A raster transfer that waited for its data: taken up where it stopped.
  if (m == kRepriseTransfertRtl) {
    AnalyseRtlTransfert();
    return true;
  }
  const auto execute = table()[place(m)];
  if (!execute) return false;
  execute();
  return true;
}
