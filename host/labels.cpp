#include "labels.h"

#include "fichier_vecteurs.h"
#include "hpgl_commandes.h"
#include "hpgl_flux.h"
#include "trace.h"

#include <algorithm>
#include <cmath>
#include <new>

ParametresTexte Texte{};

void CalculeDirectionTexte() {
  ParametresTexte& t = Texte;
  const double c = std::cos(t.Direction), s = std::sin(t.Direction);
  t.PasAvance = 1.5f * t.Largeur;
  t.PasLigne = 2.0f * t.Hauteur;
  t.A = t.Largeur * c / 4;
  t.B = t.Largeur * s / 4;
  t.C = t.Hauteur * (t.Inclinaison * c - s) / 6;
  t.D = t.Hauteur * (t.Inclinaison * s + c) / 6;
  const double avance = t.PasAvance * (1.0 + t.EspaceX);
  const double ligne = t.PasLigne * (1.0 + t.EspaceY);
  t.VecteurAvance = {static_cast<float>(avance * c), static_cast<float>(avance * s)};
  t.VecteurLigne = {static_cast<float>(ligne * s), static_cast<float>(-ligne * c)};
}

void InitTexteHPGL() {
  const EtatInterpreteur& h = Interpreteur;
  ParametresTexte& t = Texte;
  t.Largeur = 0.005f * (h.P2.x - h.P1.x);
  t.Hauteur = 0.0075f * (h.P2.y - h.P1.y);
  t.EspaceX = t.EspaceY = 0;
  t.Direction = 0;
  t.Inclinaison = 0;
  t.JeuCourant = 0;
  t.OrigineLabel = 1;
  t.Position = t.DebutLabel = PositionTexte();
  t.DecalageOrigine = {0, 0};
  CalculeDirectionTexte();
}

namespace {

PointHPGL point(double x, double y) { return {static_cast<float>(x), static_cast<float>(y)}; }

PointHPGL plus(const PointHPGL& a, const PointHPGL& b, double k = 1) {
  return point(a.x + k * b.x, a.y + k * b.y);
}

// Extent of the text counted last, in characters and lines, kept for genre 2.
double LargeurLabel = 0, LignesLabel = 0;

// Width in characters of one line, up to CR or the end; every printing byte counts,
// those of the upper half included, since they advance like the others.
double largeurLigne(std::span<const std::uint8_t> texte, std::size_t& i) {
  double n = 0;
  for (; i < texte.size() && texte[i] != '\r'; ++i) {
    const int c = texte[i];
    if (c >= 32)
      n += 1;
    else if (c == '\b')
      n -= 1;
    else if (c == '\t')
      n -= 0.5;
  }
  return n;
}

// The glyph a code draws in a charset (blank: charset 0's empty code 32).
const char* glyphe(int jeu, int code, int& jeuGlyphe, int& codeGlyphe) {
  jeuGlyphe = jeu;
  codeGlyphe = code;
  if (jeu == 0 && code >= 128) {
    jeuGlyphe = 7;
    codeGlyphe = code - 128;
  } else if (jeu < 0 || jeu > 7 || code >= 128 || code < 0) {
    if (jeu < 0 || jeu > 7)
      TraceDiagnostic("Charset %d not supported -- replaced by blank!\n", jeu);
    else
      TraceDiagnostic("Illegal char in string: %d = %c replaced by blank!\n", code, code);
    jeuGlyphe = 0;
    codeGlyphe = ' ';
  }
  return JeuxCaracteresTrait[jeuGlyphe][codeGlyphe];
}

// Accents and marks drawn over the character before them.
bool sansChasse(int jeu, int code) {
  switch (jeu) {
    case 1:
      return code == 95 || code == 96 || code == 126;
    case 2:
      return code == 39 || (code >= 94 && code <= 96) || (code >= 123 && code <= 125);
    case 3:
      return code == 95 || code > 122;
    case 4:
      return code == 39 || code == 94 || code == 95 || code > 122;
    case 5:
      return code == 101;
    default:
      return false;
  }
}

// Cell point through the character matrix: plotter units from the character's origin.
PointHPGL pointCellule(int octet) {
  const ParametresTexte& t = Texte;
  PointHPGL c{};
  DecodeTraitCaractere(octet, c);
  return point(t.A * c.x + t.C * c.y, t.B * c.x + t.D * c.y);
}

// The input window, in the units of the commands, does not hold the plotter point.
bool horsFenetreTexte(const PointHPGL& p) {
  const EtatInterpreteur& h = Interpreteur;
  if (!h.FenetreActive) return false;
  const PointHPGL q = h.Echelle ? ConvertitTraceurUtilisateur(p) : p;
  const PointHPGL* f = h.Fenetre;
  return CalculeCodeRegion(q, {std::min(f[0].x, f[1].x), std::min(f[0].y, f[1].y)},
                           {std::max(f[0].x, f[1].x), std::max(f[0].y, f[1].y)}) != 0;
}

void deplaceVersPosition() { TracePoint(ActionDeplacement, Texte.Position, false); }

}  // namespace

PointHPGL PositionTexte() {
  const EtatInterpreteur& h = Interpreteur;
  const PointHPGL p = h.PositionTraceur;
  if (!h.RotationActive) return p;
  return point(h.CosRotation * p.x + h.SinRotation * p.y, -h.SinRotation * p.x + h.CosRotation * p.y);
}

void LitLabel(TexteLabel& tampon) {
  tampon.clear();
  const int terminateur = Interpreteur.Terminateur;
  try {
    for (;;) {
      const int c = LitOctetFlux(false);
      if (c == terminateur) {
        if (c != 3) tampon.push_back(static_cast<std::uint8_t>(c));
        break;
      }
      tampon.push_back(static_cast<std::uint8_t>(c));
    }
  } catch (const std::bad_alloc&) {
    ErreurFatale(MsgMemoire);
  }
}

void DecodeTraitCaractere(int octet, PointHPGL& point) {
  point = {static_cast<float>(((octet >> 4) & 7) - 1), static_cast<float>((octet & 15) - 4)};
}

void AppliqueOrigineLabel(std::span<const std::uint8_t> texte, int genre) {
  ParametresTexte& t = Texte;
  if (genre == 0) {
    std::size_t i = 0;
    LargeurLabel = largeurLigne(texte, i);
    LignesLabel = 0;
  } else if (genre == 1) {
    LargeurLabel = LignesLabel = 0;
    for (std::size_t i = 0; i < texte.size();) {
      std::size_t fin = i;
      LargeurLabel = std::max(LargeurLabel, largeurLigne(texte, fin));
      for (; i < fin; ++i) {
        if (texte[i] == '\n') LignesLabel += 1;
        if (texte[i] == '\v') LignesLabel -= 1;
      }
      ++i;  // the CR
    }
  }
  const int o = t.OrigineLabel;
  const int origine = (o >= 1 && o <= 9) || (o >= 11 && o <= 19) ? o : 1;
  const int colonne = (origine % 10 - 1) / 3;  // 0 left, 1 centre, 2 right
  const int rang = (origine % 10 - 1) % 3;     // 0 bottom, 1 middle, 2 top
  const double n = LargeurLabel, m = LignesLabel;
  const double horizontal = colonne == 0 ? 0 : colonne == 1 ? -n / 2 : -n;
  double vertical = 0;
  if (genre != 0) vertical = rang == 0 ? -m : rang == 1 ? -m / 2 : m - 1;
  t.Position = plus(plus(t.Position, t.VecteurAvance, horizontal), t.VecteurLigne, vertical);

  static constexpr double kFx[2][3] = {{0, 1.0 / 6, 1.0 / 3}, {1.0 / 3, 1.0 / 6, 1e-9}};
  static constexpr double kFy[2][3] = {{0, -1.0 / 3, -2.0 / 3}, {1.0 / 3, -1.0 / 3, -1}};
  const int loin = origine > 10 ? 1 : 0;
  const double fx = kFx[loin][colonne], fy = kFy[loin][rang];
  t.DecalageOrigine = point(fx * t.VecteurAvance.x - fy * t.VecteurLigne.x,
                            fx * t.VecteurAvance.y - fy * t.VecteurLigne.y);
}

void TraceLabel(std::span<const std::uint8_t> texte, int genre) {
  ParametresTexte& t = Texte;
  const bool vertical = Interpreteur.LabelsVerticaux;
  t.Position = PositionTexte();
  AppliqueOrigineLabel(texte, genre);
  for (std::size_t i = 0; i < texte.size(); ++i) {
    const PointHPGL& avance = t.VecteurAvance;
    const PointHPGL& ligne = t.VecteurLigne;
    switch (const int c = texte[i]) {
      case '\b':
        t.Position = plus(t.Position, avance, -1);
        break;
      case '\t':
        t.Position = plus(t.Position, avance, -0.5);
        break;
      case '\n':
        if (vertical) {
          t.DebutLabel.x += ligne.x;
          t.Position = point(t.Position.x + ligne.x, t.Position.y - ligne.y);
        } else {
          t.DebutLabel = plus(t.DebutLabel, ligne);
          t.Position = plus(t.Position, ligne);
        }
        break;
      case '\v':
        t.DebutLabel = plus(t.DebutLabel, ligne, -1);
        t.Position = plus(t.Position, ligne, -1);
        break;
      case '\r':
        if (vertical) t.DebutLabel.y -= ligne.y;
        t.Position = t.DebutLabel;
        AppliqueOrigineLabel(texte.subspan(i + 1), genre == 0 ? 0 : 2);
        break;
      case 14:
        if (t.JeuAlternatif != 0) t.JeuCourant = t.JeuAlternatif;
        break;
      case 15:
        t.JeuCourant = t.JeuStandard;
        break;
      case ' ':
        t.Position = plus(t.Position, avance);
        break;
      default:
        TraceCaractere(c);
        break;
    }
    if (vertical) t.Position = point(t.Position.x - avance.x, t.Position.y + ligne.y);
    deplaceVersPosition();
  }
}

void TraceCaractere(int code) {
  EtatInterpreteur& h = Interpreteur;
  ParametresTexte& t = Texte;
  h.TypeLigne = 7;
  int jeu = 0, indice = 0;
  const char* traits = glyphe(t.JeuCourant, code, jeu, indice);
  if (sansChasse(jeu, indice)) t.Position = plus(t.Position, t.VecteurAvance, -1);
  const PointHPGL origine = plus(t.Position, t.DecalageOrigine);
  bool dehors = false;
  for (const char* s = traits; *s; ++s) {
    const int octet = static_cast<unsigned char>(*s);
    const PointHPGL p = plus(origine, pointCellule(octet));
    dehors = dehors || horsFenetreTexte(p);
    TracePoint(octet & 0x80 && !dehors ? ActionTrace : ActionDeplacement, p, false);
  }
  t.Position = plus(t.Position, t.VecteurAvance);
  h.TypeLigne = h.TypeLigneLT;
}

PointHPGL CentreCaractereSymbole(int code) {
  int jeu = 0, indice = 0;
  const char* traits = glyphe(Texte.JeuCourant, code, jeu, indice);
  double x = 0, y = 0;
  int n = 0;
  for (const char* s = traits; *s; ++s, ++n) {
    const PointHPGL p = pointCellule(static_cast<unsigned char>(*s));
    x += p.x;
    y += p.y;
  }
  return n ? point(x / n, y / n) : PointHPGL{0, 0};
}

// At the current point itself: a segment cut by the input window leaves the plotter at
// the window's edge, where no point was given.
void PrepareCaractereSymbole(int code) {
  const EtatInterpreteur& h = Interpreteur;
  ParametresTexte& t = Texte;
  const PointHPGL centre = CentreCaractereSymbole(code);
  t.DecalageOrigine = {-centre.x, -centre.y};
  t.Position = h.Echelle ? ConvertitUtilisateurTraceur(h.PointCourant) : h.PointCourant;
}

// The label's origin offset is put back afterwards: a symbol does not move later text.
void TraceCaractereSymbole(int code) {
  ParametresTexte& t = Texte;
  const PointHPGL decalage = t.DecalageOrigine;
  PrepareCaractereSymbole(code);
  const PointHPGL retour = t.Position;
  TraceCaractere(code);
  TracePoint(ActionDeplacement, retour, false);
  t.DecalageOrigine = decalage;
}

void TraceCaractereUtilisateur() {
  EtatInterpreteur& h = Interpreteur;
  ParametresTexte& t = Texte;
  h.TypeLigne = 7;
  t.Position = PositionTexte();
  PointHPGL p = plus(t.Position, t.DecalageOrigine);
  bool baisse = false;
  float v = 0, dy = 0;
  while (LitNombreHPGL(v) == NombreLu) {
    if (v >= 99) {
      baisse = true;
    } else if (v <= -99) {
      baisse = false;
    } else {
      if (LitNombreHPGL(dy) != NombreLu) break;
      const double dx = v, dyc = dy * 2.0 / 3.0;
      p = point(p.x + t.A * dx + t.C * dyc, p.y + t.B * dx + t.D * dyc);
      TracePoint(baisse ? ActionTrace : ActionDeplacement, p, false);
    }
  }
  t.Position = plus(t.Position, t.VecteurAvance);
  deplaceVersPosition();
  h.TypeLigne = h.TypeLigneLT;
}
