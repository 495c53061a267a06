// Pen, line and colour commands: SP, PC, PW, NP, LT, MC, TR.
#include "hpgl_groupes.h"

#include "fichier_vecteurs.h"

#include <algorithm>
#include <cstdio>

using namespace hpgl;

namespace {

constexpr std::uint32_t kSrcCopy = 0xCC0020;

void commandeSP() { SelectionneStylo(EntierHPGL(optionnel(0))); }

void commandePC() {
  float v = 0;
  if (!lit(v)) return;
  const int stylo = EntierHPGL(v);
  int rvb[3] = {0, 0, 0};
  for (int& c : rvb)
    if (lit(v)) c = std::clamp(EntierHPGL(v), 0, 255);
  if (Interpreteur.CouleursFixes || stylo < 0 || stylo > Contexte.NombreStylos ||
      stylo >= kTaillePaletteStylos)
    return;
  QuadCouleur& q = Contexte.PaletteStylos[stylo];
  q.Rouge = static_cast<std::uint8_t>(rvb[0]);
  q.Vert = static_cast<std::uint8_t>(rvb[1]);
  q.Bleu = static_cast<std::uint8_t>(rvb[2]);
}

std::int32_t dixiemes(float largeur) {
  return EntierHPGL(largeur * 10.0f);
}

void commandePW() {
  const EtatInterpreteur& h = Interpreteur;
  if (h.LargeursFixes) {
    if (!h.Silencieux) std::fputs("PW: ignored (hardware mode)\n", stderr);
    sauteNombres();
    return;
  }
  float largeur = 0.35f;
  const bool donnee = lit(largeur);
  if (donnee && largeur <= 0) largeur = 0.1f;
  const std::int32_t valeur = dixiemes(largeur);
  float p = 0;
  const int dernier = std::min(Contexte.NombreStylos, kTaillePaletteStylos - 1);
  if (donnee && lit(p)) {
    const int stylo = EntierHPGL(p);
    if (stylo >= 0 && stylo <= dernier) Contexte.TableStylos[stylo] = valeur;
  } else {
    for (int s = 1; s <= dernier; ++s) Contexte.TableStylos[s] = valeur;
  }
  if (donnee && valeur > Contexte.TableStylos[kIndexLargeurMax])
    Contexte.TableStylos[kIndexLargeurMax] = valeur;
}

void commandeNP() {
  float v = 0;
  if (lit(v) && v <= 256) Contexte.NombreStylos = EntierHPGL(v);
}

void commandeLT() {
  EtatInterpreteur& h = Interpreteur;
  float type = 0;
  if (!lit(type)) {
    h.TypeLigneLT = 7;
  } else {
    const int t = EntierHPGL(type);
    if (t >= -6 && t <= 6)
      h.TypeLigneLT = t;
    else
      TraceDiagnostic("Illegal line type:\t%d\n", t);
    float longueur = 0;
    if (lit(longueur)) {
      // A pattern of no length would never end a segment: kept as it was, as a negative one.
      const double motif = h.Diagonale * longueur / 100;
      if (motif > 0)
        h.LongueurMotifLT = motif;
      else
        TraceDiagnostic("Illegal pattern length:\t%g\n", static_cast<double>(longueur));
    }
  }
  h.TypeLigne = h.TypeLigneLT;
  h.LongueurMotif = h.LongueurMotifLT;
}

void commandeMC() {
  float mode = 0, opcode = 0;
  if (!lit(mode) || EntierHPGL(mode) == 0 || !lit(opcode))
    Contexte.OperationFusion = kSrcCopy;
  else
    Contexte.OperationFusion = OperationRasterMC(EntierHPGL(opcode));
}

void commandeTR() { Analyse.Transparence = optionnel(0) != 0; }

constexpr Commande kCommandes[] = {
    {mnemo('S', 'P'), commandeSP}, {mnemo('P', 'C'), commandePC}, {mnemo('P', 'W'), commandePW},
    {mnemo('N', 'P'), commandeNP}, {mnemo('L', 'T'), commandeLT}, {mnemo('M', 'C'), commandeMC},
    {mnemo('T', 'R'), commandeTR},
};

}  // namespace

std::span<const Commande> hpgl::CommandesStylos() { return kCommandes; }

std::uint32_t OperationRasterMC(int opcode) {
  switch (opcode) {
    case 0:
      return 0x000042;  // BLACKNESS
    case 17:
      return 0x1100A6;  // NOTSRCERASE
    case 51:
      return 0x330008;  // NOTSRCCOPY
    case 68:
      return 0x440328;  // SRCERASE
    case 85:
      return 0x550009;  // DSTINVERT
    case 90:
    case 102:
      return 0x660046;  // SRCINVERT
    case 136:
      return 0x8800C6;  // SRCAND
    case 187:
    case 251:
      return 0xBB0226;  // MERGEPAINT
    case 238:
      return 0xEE0086;  // SRCPAINT
    case 255:
      return 0xFF0062;  // WHITENESS
    default:
      return kSrcCopy;
  }
}

int ClasseCouleur(int rouge, int vert, int bleu) {
  if (rouge >= 246 && vert >= 119 && vert <= 137 && bleu <= 9) return 7;
  const int classe = (rouge > 128 ? 1 : 0) + (vert > 128 ? 2 : 0) + (bleu > 128 ? 4 : 0);
  return classe == 7 ? 8 : classe;
}

void SelectionneStylo(int stylo) {
  if (stylo < 0 || stylo > Contexte.NombreStylos || stylo >= kTaillePaletteStylos) {
    AfficheMessage(Contexte, MsgSyntaxe);
    stylo = 0;
  }
  if (stylo == Contexte.StyloCourant) return;
  Contexte.StyloCourant = stylo;
  const QuadCouleur& q = Contexte.PaletteStylos[stylo];
  const int classe = ClasseCouleur(q.Rouge, q.Vert, q.Bleu);
  Interpreteur.ClasseStylo = classe;
  Sortie.ClasseCourante = static_cast<std::uint8_t>(classe);
  EcritCodeVecteur(CodeClasse);
  EcritCodeVecteur(classe);
}
