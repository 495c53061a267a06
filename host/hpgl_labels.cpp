// Label commands: LB, BL, PB, CP, the direction, size, slant, spacing and origin of text,
// its terminator, character sets, symbol mode and user characters.
#include "hpgl_groupes.h"

#include "trace.h"

#include <cmath>

using namespace hpgl;

namespace {

void commandeLB() {
  EtatInterpreteur& h = Interpreteur;
  LitLabel(h.Label);
  TraceLabel(h.Label, 0);
  const PointHPGL p = PositionTexte();
  h.PointCourant = h.Echelle ? ConvertitTraceurUtilisateur(p) : p;
}

void commandeCP() {
  float espaces = 0;
  if (!lit(espaces)) {
    static constexpr std::uint8_t kSautLigne[] = {10, 13};
    TraceLabel(kSautLigne, 0);
    return;
  }
  const float lignes = exige(2);
  const PointHPGL& a = Texte.VecteurAvance;
  const PointHPGL& l = Texte.VecteurLigne;
  const PointHPGL p = PositionTexte();
  TracePoint(ActionDeplacement,
             {p.x + espaces * a.x - lignes * l.x, p.y + espaces * a.y - lignes * l.y}, false);
}

void commandeDI(bool relatif) {
  EtatInterpreteur& h = Interpreteur;
  float run = 0;
  if (!lit(run)) {
    Texte.Direction = 0;
  } else {
    float rise = exige(2);
    if (run == 0 && rise == 0) SignaleErreurCommande(0, h.Mnemonique);
    if (relatif) {
      run *= h.P2.x - h.P1.x;
      rise *= h.P2.y - h.P1.y;
    }
    Texte.Direction = static_cast<float>(std::atan2(rise, run));
  }
  CalculeDirectionTexte();
  labelAuTraceur();
}

void commandeSI(bool relatif) {
  EtatInterpreteur& h = Interpreteur;
  float l = relatif ? 0.75f : 0.187f, ht = relatif ? 1.5f : 0.269f;
  if (lit(l)) {
    ht = exige(2);
    if (l == 0 || ht == 0) SignaleErreurCommande(0, h.Mnemonique);
  }
  if (relatif) {
    Texte.Largeur = l / 100 * (h.P2.x - h.P1.x);
    Texte.Hauteur = ht / 100 * (h.P2.y - h.P1.y);
  } else {
    Texte.Largeur = l * 400;
    Texte.Hauteur = ht * 400;
  }
  CalculeDirectionTexte();
}

void commandeSL() {
  Texte.Inclinaison = optionnel(0);
  CalculeDirectionTexte();
}

void commandeES() {
  Texte.EspaceX = optionnel(0);
  Texte.EspaceY = optionnel(0);
  CalculeDirectionTexte();
}

void commandeLO() {
  const int n = EntierHPGL(optionnel(1));
  Texte.OrigineLabel = (n >= 1 && n <= 9) || (n >= 11 && n <= 19) ? n : 1;
}

void commandeSM() {
  for (;;) {
    const int c = LitOctetFlux(false);
    if (c == '\r' || c == ';') {
      Interpreteur.CaractereSymbole = 0;
      return;
    }
    if ((c >= '!' && c <= ':') || (c >= '<' && c <= '~')) {
      Interpreteur.CaractereSymbole = c;
      return;
    }
  }
}

constexpr Commande kCommandes[] = {
    {mnemo('L', 'B'), commandeLB},
    {mnemo('B', 'L'), [] { LitLabel(Interpreteur.Label); }},
    {mnemo('P', 'B'), [] { TraceLabel(Interpreteur.Label, 1); }},
    {mnemo('C', 'P'), commandeCP},
    {mnemo('D', 'I'), [] { commandeDI(false); }},
    {mnemo('D', 'R'), [] { commandeDI(true); }},
    {mnemo('D', 'V'), [] { Interpreteur.LabelsVerticaux = optionnel(0) != 0; }},
    {mnemo('S', 'I'), [] { commandeSI(false); }},
    {mnemo('S', 'R'), [] { commandeSI(true); }},
    {mnemo('S', 'L'), commandeSL},
    {mnemo('E', 'S'), commandeES},
    {mnemo('L', 'O'), commandeLO},
    {mnemo('D', 'T'), [] { Interpreteur.Terminateur = LitOctetFlux(false); }},
    {mnemo('C', 'S'), [] { Texte.JeuStandard = Texte.JeuCourant = EntierHPGL(optionnel(0)); }},
    {mnemo('C', 'A'), [] { Texte.JeuAlternatif = EntierHPGL(optionnel(0)); }},
    {mnemo('S', 'S'), [] { Texte.JeuCourant = Texte.JeuStandard; }},
    {mnemo('S', 'A'), [] { Texte.JeuCourant = Texte.JeuAlternatif; }},
    {mnemo('S', 'M'), commandeSM},
    {mnemo('U', 'C'), TraceCaractereUtilisateur},
};

}  // namespace

std::span<const Commande> hpgl::CommandesLabels() { return kCommandes; }
