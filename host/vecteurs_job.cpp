#include "vecteurs_job.h"

#include "debut.h"
#include "fichier_vecteurs.h"
#include "hpgl_commandes.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <limits>
#include <memory>
#include <numbers>
#include <optional>
#include <vector>

std::int32_t EtendueVecteursX = 0, EtendueVecteursY = 0;

namespace {

constexpr int kSansClasse = 8;
constexpr std::size_t kMargeBloc = 10;
constexpr std::int32_t kSegmentCourt = 500;

// What the section has written so far: settings are written again only when they change.
struct EtatSection {
  std::optional<std::int32_t> dp, pw, fr, vd, ai, wd, wf;
  bool wb = false;
  int dernierStylo = 0;  // last pen record written: 0 none, 1 'PU', 2 'PD'
  std::uint32_t finElements = 0;  // job file count after the last elements
  bool premierNote = false;
  std::int32_t premierX = 0, premierY = 0;
  bool plafondSignale = false;  // passes beyond the job size were dropped
  std::uint64_t chargePasses = 0;  // what the repeated passes of every pen count toward the job
};
EtatSection Section;

// The eight per-pen files of the page; closed with the section, also when it aborts.
// Records gather in a buffer per pen and go to the file a buffer at a time.
struct FichiersStylos {
  static constexpr std::size_t kTampon = 65536;
  std::array<FILE*, 8> f{};
  std::array<long long, 8> taille{};  // bytes written, buffered ones included
  std::array<std::vector<std::uint8_t>, 8> attente;
  FichiersStylos() = default;
  FichiersStylos(const FichiersStylos&) = delete;
  FichiersStylos& operator=(const FichiersStylos&) = delete;
  ~FichiersStylos() {
    for (FILE* x : f)
      if (x) std::fclose(x);
  }
};

std::int32_t entier(double v) {
  if (std::isnan(v)) return 0;
  constexpr double kMin = std::numeric_limits<std::int32_t>::min();
  constexpr double kMax = std::numeric_limits<std::int32_t>::max();
  return static_cast<std::int32_t>(std::clamp(v, kMin, kMax));
}

// Vector file coordinates (dots at the vector resolution) to working units, unrounded.
double unites(const ContexteConversion& ctx, double points) {
  const double parPouce = ctx.Entete.Champs[ChUnite] ? 25400.0 : 2540.0;
  return points * parPouce / static_cast<float>(ctx.ResolutionVecteurs);
}

bool orientationEchangee(const ContexteConversion& ctx) {
  return ctx.Entete.Champs[ChOrientation] > 3;
}

bool styloVecteur(const ContexteConversion& ctx, int classe) {
  if (classe < 0 || classe >= kSansClasse) return false;
  const std::int16_t type = ctx.Slots[classe].TypeStylo;
  return type != 0 && type != 1;
}

int litOctet(ContexteConversion& ctx, LecteurVecteurs& f) {
  const int c = f.octet();
  if (c < 0) ErreurFatale(ctx, MsgFichierTemporaire);
  return c;
}

std::uint8_t indexVitesse(const EtatSortie& sortie, int valeur) {
  for (int i = 0; i < 256; ++i)
    if (sortie.TableVitesses[i] >= valeur) return static_cast<std::uint8_t>(i);
  return 255;
}

int valeurAngle(const EtatSortie& sortie, int coin) {
  const PaireVitesseAngle* t = sortie.TableVitesseAngle;
  if (coin == t[0].Angle) return t[0].Vitesse;
  for (int i = 1; i < 15; ++i)
    if (t[i].Angle >= coin && t[i - 1].Angle < coin) return t[i].Vitesse;
  return 0;
}

// The speed index of every corner byte, made again only when the tables change: a block
// often holds a few elements, and the search runs through up to 256 entries.
struct IndexCoins {
  std::array<std::uint16_t, 256> vitesses{};
  std::array<std::int32_t, 30> angles{};
  std::array<std::uint8_t, 256> index{};
  std::uint8_t lent = 0;  // the index of the speed value 10
  bool fait = false;
};

const IndexCoins& indexCoins(const EtatSortie& sortie) {
  static IndexCoins c;
  std::array<std::int32_t, 30> angles;
  for (std::size_t i = 0; i < 15; ++i) {
    angles[2 * i] = sortie.TableVitesseAngle[i].Angle;
    angles[2 * i + 1] = sortie.TableVitesseAngle[i].Vitesse;
  }
  if (c.fait && angles == c.angles &&
      std::equal(c.vitesses.begin(), c.vitesses.end(), sortie.TableVitesses))
    return c;
  std::copy(sortie.TableVitesses, sortie.TableVitesses + 256, c.vitesses.begin());
  c.angles = angles;
  for (int coin = 0; coin < 256; ++coin)
    c.index[static_cast<std::size_t>(coin)] = indexVitesse(sortie, valeurAngle(sortie, coin));
  c.lent = indexVitesse(sortie, 10);
  c.fait = true;
  return c;
}

// Direction in degrees, 0 to 360.
double direction(const ElementVecteur& e) {
  double a = std::atan2(static_cast<double>(e.Dy), static_cast<double>(e.Dx)) * 180.0 / std::numbers::pi;
  return a < 0 ? a + 360.0 : a;
}

// Whether the two directions are more than 121 degrees apart: their difference is then
// between 121 and 239 degrees either way round, and the corner is 120 whatever the
// rounding of the directions. The bound leaves a wide margin over the rounding here.
bool angleObtus(const ElementVecteur& u, const ElementVecteur& v) {
  const std::int64_t scalaire = std::int64_t{u.Dx} * v.Dx + std::int64_t{u.Dy} * v.Dy;
  if (scalaire >= 0) return false;
  const double nu = static_cast<double>(std::int64_t{u.Dx} * u.Dx + std::int64_t{u.Dy} * u.Dy);
  const double nv = static_cast<double>(std::int64_t{v.Dx} * v.Dx + std::int64_t{v.Dy} * v.Dy);
  constexpr double kCos121 = 0.5160;  // cos 121 degrees is 0.51504
  const auto s = static_cast<double>(scalaire);
  return s * s > kCos121 * kCos121 * nu * nv;
}

// Corner of each element to the next, in degrees, clamped to 120; split parts run straight on.
// A direction is worked out only for a corner that needs it, and once.
void calculeCoins(ElementVecteur* e, std::size_t n) {
  double suivante = 0;
  bool connue = false;
  for (std::size_t i = 0; i + 1 < n; ++i) {
    if (e[i].Coin == 255 || angleObtus(e[i], e[i + 1])) {
      e[i].Coin = static_cast<std::uint8_t>(e[i].Coin == 255 ? 0 : 120);
      connue = false;
      continue;
    }
    const double a = connue ? suivante : direction(e[i]);
    suivante = direction(e[i + 1]);
    connue = true;
    int d = static_cast<int>(std::fabs(a - suivante));
    if (d > 35) d = 360 - d;
    d = std::min(d, 120);
    e[i].Coin = static_cast<std::uint8_t>(d);
  }
  e[n - 1].Coin = 120;
}

// Runs of corners that vary by less than 15 degrees take their average.
void lisseCoins(ElementVecteur* e, std::size_t n) {
  std::size_t debut = 0;
  int mini = e[0].Coin, maxi = e[0].Coin, somme = e[0].Coin, compte = 1;
  for (std::size_t i = 1; i < n; ++i) {
    const int c = e[i].Coin;
    if (std::max(maxi, c) - std::min(mini, c) >= 15) {
      const auto moyenne = static_cast<std::uint8_t>(somme / compte);
      for (std::size_t k = debut; k < i; ++k) e[k].Coin = moyenne;
      debut = i;
      mini = maxi = somme = c;
      compte = 1;
    } else {
      mini = std::min(mini, c);
      maxi = std::max(maxi, c);
      somme += c;
      ++compte;
    }
  }
}

void notePremierPoint(ContexteConversion& ctx, EtatSortie& sortie, std::int32_t x, std::int32_t y) {
  Section.premierNote = true;
  Section.premierX = x;
  Section.premierY = y;
  NoteDebutRepetition(ctx, sortie);
}

void deplace(BlocVecteurs& bloc, std::int32_t x, std::int32_t y) {
  bloc.XPrec = bloc.X;
  bloc.YPrec = bloc.Y;
  bloc.X = x;
  bloc.Y = y;
}

// The last move of the block as elements.
void ajouteElements(ContexteConversion& ctx, EtatSortie& sortie, BlocVecteurs& bloc) {
  const std::int64_t dx = static_cast<std::int64_t>(bloc.X) - bloc.XPrec;
  const std::int64_t dy = static_cast<std::int64_t>(bloc.Y) - bloc.YPrec;
  struct Cible {
    ContexteConversion& ctx;
    EtatSortie& sortie;
    BlocVecteurs& bloc;
    std::int32_t xPrec, yPrec;
  } c{ctx, sortie, bloc, bloc.XPrec, bloc.YPrec};
  // One reference captured: small enough for the std::function to hold without allocating.
  DecoupeSegment(dx, dy, [&c](const ElementVecteur& e) {
    // A long segment splits into many parts: flush on the way rather than overrun the block.
    if (c.bloc.Nombre + kMargeBloc > kTailleBlocVecteurs) VideBlocVecteurs(c.ctx, c.sortie, c.bloc);
    if (c.bloc.Nombre == 0) {
      c.bloc.XDebut = c.xPrec;
      c.bloc.YDebut = c.yPrec;
    }
    c.bloc.Elements[c.bloc.Nombre++] = e;
  });
  if (bloc.Nombre + kMargeBloc > kTailleBlocVecteurs) VideBlocVecteurs(ctx, sortie, bloc);
}

// What turns a point of the vector temp file into working units; none of it changes while
// a section is written, so the section takes it once.
struct ConversionPoint {
  explicit ConversionPoint(const ContexteConversion& ctx)
      : motifTest(ctx.MotifTest), origine(OrigineCourante()), cosAngle(std::cos(ctx.AngleMarquage)) {
    const std::int32_t* ch = ctx.Entete.Champs;
    const bool echange = orientationEchangee(ctx);
    px = motifTest ? ch[ChPlaqueX] : EtendueVecteursX;
    py = motifTest ? ch[ChPlaqueY] : EtendueVecteursY;
    limiteX = echange ? ch[ChPlaqueY] : ch[ChPlaqueX];
    limiteY = echange ? ch[ChPlaqueX] : ch[ChPlaqueY];
  }

  // Position in working units of a point of the vector temp file.
  std::pair<std::int32_t, std::int32_t> operator()(const ContexteConversion& ctx, float fx, float fy) const {
    double x = fx, y = fy;
    if (!motifTest) origine.applique(x, y);
    AppliqueOrientation(ctx, x, y, px, py);
    std::int32_t X = motifTest ? Arrondit(x) : Arrondit(unites(ctx, x));
    std::int32_t Y = motifTest ? Arrondit(y) : Arrondit(unites(ctx, y));
    X = std::min(X, limiteX);
    Y = std::min(Y, limiteY);
    X = Arrondit(X * cosAngle);
    return {X, Y};
  }

  bool motifTest;
  OriginePage origine;
  double cosAngle;
  double px = 0, py = 0;
  std::int32_t limiteX = 0, limiteY = 0;
};

void ajoutePoint(ContexteConversion& ctx, EtatSortie& sortie, BlocVecteurs& bloc,
                 const ConversionPoint& conversion, float x, float y) {
  const auto [X, Y] = conversion(ctx, x, y);
  deplace(bloc, X, Y);
  if ((ctx.Options & kOptionZoneInterdite) && bloc.Trace) VerifieZoneInterditeSegment(ctx, bloc);
  ajouteElements(ctx, sortie, bloc);
}

// Closed intervals [a0, a1] and [b0, b1] meet.
bool chevauche(std::int64_t a0, std::int64_t a1, std::int64_t b0, std::int64_t b1) {
  return a0 <= b1 && b0 <= a1;
}

int sens(std::int64_t ax, std::int64_t ay, std::int64_t bx, std::int64_t by, std::int64_t cx,
         std::int64_t cy) {
  const std::int64_t v = (bx - ax) * (cy - ay) - (by - ay) * (cx - ax);
  return (v > 0) - (v < 0);
}

// Segments [p, q] and [r, s] have a point in common (ends and touching included).
bool segmentsSeCoupent(std::int64_t px, std::int64_t py, std::int64_t qx, std::int64_t qy,
                       std::int64_t rx, std::int64_t ry, std::int64_t sx, std::int64_t sy) {
  const int d1 = sens(rx, ry, sx, sy, px, py), d2 = sens(rx, ry, sx, sy, qx, qy);
  const int d3 = sens(px, py, qx, qy, rx, ry), d4 = sens(px, py, qx, qy, sx, sy);
  if (d1 * d2 < 0 && d3 * d4 < 0) return true;
  auto sur = [](std::int64_t ax, std::int64_t ay, std::int64_t bx, std::int64_t by, std::int64_t cx,
                std::int64_t cy) {
    return std::min(ax, bx) <= cx && cx <= std::max(ax, bx) && std::min(ay, by) <= cy &&
           cy <= std::max(ay, by);
  };
  return (d1 == 0 && sur(rx, ry, sx, sy, px, py)) || (d2 == 0 && sur(rx, ry, sx, sy, qx, qy)) ||
         (d3 == 0 && sur(px, py, qx, qy, rx, ry)) || (d4 == 0 && sur(px, py, qx, qy, sx, sy));
}

}  // namespace

OriginePage OrigineCourante() {
  const EtatInterpreteur& hp = Interpreteur;
  // The page as the commands see it: l along x, w along y (RO 90 and 270 exchanged them).
  double l = hp.LongueurPage, w = hp.LargeurPage;
  const bool paysage = w >= l;
  const double c = hp.RotationActive ? hp.CosRotation : 1;
  const double s = hp.RotationActive ? hp.SinRotation : 0;
  if (l == 0 && w == 0 && s != 0) {
    // No page size: the plate is the page, laid as an unturned page lies (x along its Y).
    const std::int32_t* ch = Contexte.Entete.Champs;
    const auto res = static_cast<float>(Contexte.ResolutionVecteurs);
    const double px = ConvertitUnitesEnPoints(ch[ChPlaqueX], res);
    const double py = ConvertitUnitesEnPoints(ch[ChPlaqueY], res);
    const bool quart = std::fabs(s) > std::fabs(c);
    l = quart ? px : py;
    w = quart ? py : px;
  }
  // The points were turned about the origin with the page: its turned corners give the
  // shift that brings the page back to positive coordinates.
  double xMin = 0, xMax = 0, yMin = 0;
  for (const auto& [cx, cy] : {std::pair{l, 0.0}, {0.0, w}, {l, w}}) {
    xMin = std::min(xMin, c * cx - s * cy);
    xMax = std::max(xMax, c * cx - s * cy);
    yMin = std::min(yMin, s * cx + c * cy);
  }
  return {xMin, yMin, xMax - xMin, paysage};
}

void OriginePage::applique(double& x, double& y) const {
  x -= xMin;
  y -= yMin;
  if (paysage)
    std::swap(x, y);
  else
    x = largeur - x;
  x = std::max(x, 0.0);
  y = std::max(y, 0.0);
}

void AppliqueOrigine(double& x, double& y) { OrigineCourante().applique(x, y); }

void AppliqueOrientation(const ContexteConversion& ctx, double& x, double& y, double px,
                         double py) {
  const double ax = x, ay = y;
  switch (ctx.Entete.Champs[ChOrientation]) {
    case 1: x = px - ax; break;
    case 2: y = py - ay; break;
    case 3: x = px - ax; y = py - ay; break;
    case 4: x = ay; y = ax; break;
    case 5: x = py - ay; y = ax; break;
    case 6: x = ay; y = px - ax; break;
    case 7: x = py - ay; y = px - ax; break;
    default: break;
  }
  x = std::max(x, 0.0);
  y = std::max(y, 0.0);
}

void AjoutePointVecteur(ContexteConversion& ctx, EtatSortie& sortie, BlocVecteurs& bloc, float x,
                        float y) {
  ajoutePoint(ctx, sortie, bloc, ConversionPoint(ctx), x, y);
}

void AjoutePointVecteurBrut(ContexteConversion& ctx, EtatSortie& sortie, BlocVecteurs& bloc,
                            std::int32_t x, std::int32_t y) {
  deplace(bloc, x, y);
  ajouteElements(ctx, sortie, bloc);
}

void VideBlocVecteurs(ContexteConversion& ctx, EtatSortie& sortie, BlocVecteurs& bloc) {
  const std::size_t n = bloc.Nombre;
  ElementVecteur* e = bloc.Elements;
  if (n >= 2) {
    const IndexCoins& index = indexCoins(sortie);
    calculeCoins(e, n);
    lisseCoins(e, n);
    for (std::size_t i = 0; i < n; ++i) {
      e[i].Coin = index.index[e[i].Coin];
      if (e[i].Longueur < kSegmentCourt)
        e[i].Court = e[i].Coin == 0 ? index.lent : std::min<std::uint8_t>(e[i].Coin, 254);
    }
    // Slow down ahead of a slow corner: a short element cannot shed much speed.
    for (std::size_t i = n - 1; i >= 1; --i) {
      const int limite = e[i].Longueur + e[i].Coin;
      if (limite < e[i - 1].Coin) e[i - 1].Coin = static_cast<std::uint8_t>(limite);
    }
  } else if (n == 1 && e[0].Longueur < kSegmentCourt) {
    e[0].Court = indexCoins(sortie).lent;
  }
  if (n >= 1) {
    const bool premier = !Section.premierNote;
    // A first block that draws is repeated whole: the copies start where it starts.
    if (premier && bloc.Trace) notePremierPoint(ctx, sortie, bloc.XDebut, bloc.YDebut);
    // Elements are read only right after their 'PU' or 'PD': a run that does not follow
    // the previous one directly gets its record again.
    int etat = sortie.EtatStylo;
    const int voulu = bloc.Trace ? 2 : 1;
    if (etat == 0 && (Section.dernierStylo != voulu || sortie.CompteurOctets != Section.finElements))
      etat = voulu;
    if (etat == 1 || etat == 2) {
      EcritFonction(ctx, sortie, etat == 1 ? "PU" : "PD", 0);
      Section.dernierStylo = etat;
    }
    sortie.EtatStylo = 0;
    EcritElements(ctx, sortie, e, n);
    Section.finElements = sortie.CompteurOctets;
    if (premier && !bloc.Trace) notePremierPoint(ctx, sortie, bloc.X, bloc.Y);
  }
  bloc.Nombre = 0;
}

void VerifieZoneInterditeSegment(const ContexteConversion& ctx, const BlocVecteurs& bloc) {
  const std::int32_t* ch = ctx.Entete.Champs;
  const bool echange = orientationEchangee(ctx);
  const std::int64_t ox = ch[ChOrigineX];
  const std::int64_t oy = ch[ChTypeMarquageDemande] != 0 ? 0 : ch[ChOrigineY];
  const std::int64_t px = echange ? ch[ChPlaqueY] : ch[ChPlaqueX];
  const std::int64_t py = echange ? ch[ChPlaqueX] : ch[ChPlaqueY];
  const std::int64_t zx0 = ctx.ZoneInterdite[0], zy0 = ctx.ZoneInterdite[1];
  const std::int64_t zx1 = ctx.ZoneInterdite[2], zy1 = ctx.ZoneInterdite[3];
  if (zx0 > zx1 || zy0 > zy1 || !chevauche(zx0, zx1, ox, ox + px) || !chevauche(zy0, zy1, oy, oy + py))
    return;
  const std::int64_t x0 = std::max(zx0, ox) - ox, x1 = std::min(zx1, ox + px) - ox;
  const std::int64_t y0 = std::max(zy0, oy) - oy, y1 = std::min(zy1, oy + py) - oy;
  const std::int64_t xa = bloc.XPrec, ya = bloc.YPrec, xb = bloc.X, yb = bloc.Y;
  auto dedans = [&](std::int64_t x, std::int64_t y) { return x0 <= x && x <= x1 && y0 <= y && y <= y1; };
  const bool franchie =
      dedans(xa, ya) || dedans(xb, yb) || segmentsSeCoupent(xa, ya, xb, yb, x0, y0, x1, y0) ||
      segmentsSeCoupent(xa, ya, xb, yb, x1, y0, x1, y1) ||
      segmentsSeCoupent(xa, ya, xb, yb, x1, y1, x0, y1) ||
      segmentsSeCoupent(xa, ya, xb, yb, x0, y1, x0, y0);
  if (franchie) ErreurFatale(ctx, MsgZoneInterdite);
}

void LimiteDeplacementFocus(const ContexteConversion& ctx, int stylo, std::int64_t& delta) {
  const SlotStylo& slot = ctx.Slots[stylo];
  const std::int64_t reste = static_cast<std::int64_t>(slot.FocusFin) - ctx.FocusCourant;
  if ((slot.FocusDebut >= slot.FocusFin && delta < reste) ||
      (slot.FocusDebut < slot.FocusFin && delta > reste))
    delta = reste;
}

namespace {

// The pen's buffered records to its file.
void videAttente(ContexteConversion& ctx, FichiersStylos& fichiers, int classe) {
  std::vector<std::uint8_t>& a = fichiers.attente[static_cast<std::size_t>(classe)];
  if (!a.empty() && std::fwrite(a.data(), 1, a.size(), fichiers.f[classe]) != a.size())
    ErreurFatale(ctx, MsgFichierTemporaire);
  a.clear();
}

void ecritOctets(ContexteConversion& ctx, FichiersStylos& fichiers, int classe, const std::uint8_t* o,
                 std::size_t n) {
  std::vector<std::uint8_t>& a = fichiers.attente[static_cast<std::size_t>(classe)];
  if (a.size() + n > FichiersStylos::kTampon) videAttente(ctx, fichiers, classe);
  a.insert(a.end(), o, o + n);
  fichiers.taille[classe] += static_cast<long long>(n);
}

void ecritCode(ContexteConversion& ctx, FichiersStylos& fichiers, int classe, int code) {
  const auto octet = static_cast<std::uint8_t>(code);
  ecritOctets(ctx, fichiers, classe, &octet, 1);
}

void ecritPoint(ContexteConversion& ctx, FichiersStylos& fichiers, int classe, int code,
                const PointHPGL& p) {
  std::uint8_t octets[9];
  octets[0] = static_cast<std::uint8_t>(code);
  std::memcpy(octets + 1, &p.x, 4);
  std::memcpy(octets + 5, &p.y, 4);
  ecritOctets(ctx, fichiers, classe, octets, sizeof octets);
}

void ouvreFichierStylo(ContexteConversion& ctx, FichiersStylos& fichiers, int classe) {
  if (fichiers.f[classe]) return;
  fichiers.f[classe] = OuvreFichierBrouillon(ctx);
  if (!fichiers.f[classe]) throw AbandonJob{MsgFichierTemporaire};  // already shown
  fichiers.attente[static_cast<std::size_t>(classe)].reserve(FichiersStylos::kTampon);
}

struct Boite {
  bool vide = true;
  float xMin = 0, xMax = 0, yMin = 0, yMax = 0;
  void ajoute(const PointHPGL& p) {
    if (vide) {
      xMin = xMax = p.x;
      yMin = yMax = p.y;
      vide = false;
      return;
    }
    xMin = std::min(xMin, p.x);
    xMax = std::max(xMax, p.x);
    yMin = std::min(yMin, p.y);
    yMax = std::max(yMax, p.y);
  }
};

// From an MO group start to its end: which vector pens draw inside, and the group's centre.
std::optional<PointHPGL> parcourtGroupe(ContexteConversion& ctx, LecteurVecteurs& source, int classe,
                                        std::array<bool, 8>& dedans) {
  Boite boite;
  dedans.fill(false);
  for (;;) {
    const int code = source.code();
    if (code == 7) break;
    if (code == 4) {
      classe = litOctet(ctx, source);
    } else if (code == 5) {
      if (litOctet(ctx, source) == 0) break;
    } else if (code >= 1 && code <= 3) {
      PointHPGL p{};
      source.point(p);
      boite.ajoute(p);
      if (code == 2 && styloVecteur(ctx, classe)) dedans[static_cast<std::size_t>(classe)] = true;
    }
  }
  if (boite.vide) return std::nullopt;
  return PointHPGL{boite.xMin + (boite.xMax - boite.xMin) / 2,
                   boite.yMin + (boite.yMax - boite.yMin) / 2};
}

// Phase 1: the page's drawing split into one file per colour class.
void trieParStylo(ContexteConversion& ctx, FichiersStylos& fichiers, std::array<bool, 8>& dessine) {
  LecteurVecteurs source(ctx.FichierVecteurs, ctx.FinVecteursPage);
  int classe = kSansClasse;
  std::optional<PointHPGL> precedent, centre;
  std::array<bool, 8> groupe{};
  for (;;) {
    const int code = source.code();
    if (code == 7) return;
    switch (code) {
      case 4:
        classe = std::min(litOctet(ctx, source), kSansClasse);
        if (classe < kSansClasse) ouvreFichierStylo(ctx, fichiers, classe);
        break;
      case 1:
      case 3: {
        PointHPGL p{};
        source.point(p);
        if (classe < kSansClasse) ecritPoint(ctx, fichiers, classe, code, p);
        precedent = p;
        break;
      }
      case 2: {
        PointHPGL p{};
        source.point(p);
        if (styloVecteur(ctx, classe)) {
          // Each file starts with a move to where the pen stood.
          if (fichiers.taille[classe] == 0 && precedent) ecritPoint(ctx, fichiers, classe, 1, *precedent);
          ecritPoint(ctx, fichiers, classe, 2, p);
          dessine[static_cast<std::size_t>(classe)] = true;
        }
        precedent = p;
        break;
      }
      case 5: {
        const int v = litOctet(ctx, source);
        if (v == 1) {
          const long long retour = source.position();
          centre = parcourtGroupe(ctx, source, classe, groupe);
          source.positionne(retour);
        }
        if (!centre) break;
        for (int s = 0; s < kSansClasse; ++s) {
          if (!groupe[static_cast<std::size_t>(s)]) continue;
          dessine[static_cast<std::size_t>(s)] = true;
          ouvreFichierStylo(ctx, fichiers, s);
          ecritPoint(ctx, fichiers, s, 1, *centre);
          ecritCode(ctx, fichiers, s, 5);
          ecritCode(ctx, fichiers, s, v);
        }
        if (v != 1) centre.reset();
        break;
      }
      case 6:
        if (classe < kSansClasse) ecritCode(ctx, fichiers, classe, 6);
        break;
      default:
        break;
    }
  }
}

}  // namespace

bool ContientVecteurs(ContexteConversion& ctx) {
  LecteurVecteurs f(ctx.FichierVecteurs, ctx.FinVecteursPage);
  int classe = kSansClasse;
  bool trouve = false;
  for (int code = 0; !trouve && (code = f.code()) != 7;) {
    if (code == 4) {
      classe = litOctet(ctx, f);
    } else if (code == 5) {
      litOctet(ctx, f);
    } else if (code >= 1 && code <= 3) {
      PointHPGL p{};
      f.point(p);
      trouve = code == 2 && styloVecteur(ctx, classe);
    }
  }
  std::rewind(ctx.FichierVecteurs);
  return trouve;
}

namespace {

// Phase 2 for one pen: its file pass by pass.
class EcrivainStylo {
 public:
  EcrivainStylo(ContexteConversion& ctx, EtatSortie& sortie, BlocVecteurs& bloc,
                const ConversionPoint& conversion, FILE* f,
                long long fin, int stylo)
      : ctx_(ctx), sortie_(sortie), bloc_(bloc), conversion_(conversion), f_(f, fin), stylo_(stylo),
        slot_(ctx.Slots[stylo]),
        dp_(slot_.TypeStylo == 3 || slot_.TypeStylo == 5 ? 50 : ctx.Entete.Champs[ChDpiX]),
        optionWB_(slot_.TypeStylo == 12 || slot_.TypeStylo == 13),
        pas_(slot_.Passes > 1
                 ? (static_cast<std::int64_t>(slot_.FocusFin) - slot_.FocusDebut) / (slot_.Passes - 1)
                 : 0) {
    commenceGroupe();
  }

  void ecrit() {
    for (;;) {
      const int code = f_.code();
      switch (code) {
        case 1:
        case 3:
          cible_.emplace();
          f_.point(*cible_);
          ++pointsPasse_;
          break;
        case 2:
          trace();
          ++pointsPasse_;
          break;
        case 5:
          sautEnAttente();
          vide();
          if (passeSuivante()) break;
          commenceGroupe();
          EcritFonction(ctx_, sortie_, "MO", static_cast<std::uint16_t>(litOctet(ctx_, f_)));
          debutPasse_ = f_.position();
          break;
        case 6:
          vide();
          EcritFonction(ctx_, sortie_, "VT", 0);
          break;
        case 7:
          vide();
          if (passeSuivante()) break;
          if (Section.wb) {
            EcritFonction(ctx_, sortie_, "WB", 0);
            Section.wb = false;
          }
          return;
        default:
          break;
      }
    }
  }

 private:
  void vide() { VideBlocVecteurs(ctx_, sortie_, bloc_); }

  void commenceGroupe() {
    restantes_ = slot_.Passes;
    debutOctetsPasse_ = sortie_.CompteurOctets;
    pointsPasse_ = 0;
    focus_ = static_cast<std::int64_t>(slot_.FocusDebut) - ctx_.FocusCourant;
    fraction_ = 0;
    wbPasse_ = false;
  }

  // After a pass: back to the pass start when another one is due, with its focus step.
  bool passeSuivante() {
    if (--restantes_ <= 0) return false;
    // A pass as long as the last one must fit in the job the controller takes; the
    // passes that would not are dropped. A pass counts at least what its points would
    // write as elements: one whose points all fall on the same spot writes nothing, and
    // would otherwise be read again for every pass asked.
    const std::uint64_t passe = std::max<std::uint64_t>(sortie_.CompteurOctets - debutOctetsPasse_,
                                                        pointsPasse_ * sizeof(ElementVecteur));
    Section.chargePasses += passe;
    pointsPasse_ = 0;
    if (!TientDansLeJob(sortie_, sortie_.CompteurOctets - debutOctetsPasse_) ||
        Section.chargePasses + passe > kTailleJobMax) {
      if (!Section.plafondSignale) AfficheMessage(ctx_, MsgMemoire);
      Section.plafondSignale = true;
      restantes_ = 0;
      return false;
    }
    debutOctetsPasse_ = sortie_.CompteurOctets;
    if (restantes_ == 1) {
      focus_ = static_cast<std::int64_t>(slot_.FocusFin) - ctx_.FocusCourant;
    } else {
      fraction_ += pas_;
      if (std::llabs(fraction_) >= ctx_.PasFocusMin) {
        LimiteDeplacementFocus(ctx_, stylo_, fraction_);
        focus_ = fraction_;
        fraction_ = 0;
      }
    }
    cible_.reset();
    wbPasse_ = false;
    f_.positionne(debutPasse_);
    return true;
  }

  void sautEnAttente() {
    if (!cible_) return;
    const auto [x, y] = conversion_(ctx_, cible_->x, cible_->y);
    cible_.reset();
    if (x == bloc_.X && y == bloc_.Y) return;
    vide();
    sortie_.EtatStylo = 1;
    bloc_.Trace = 0;
    AjoutePointVecteurBrut(ctx_, sortie_, bloc_, x, y);
    vide();
    pdAvant_ = true;
  }

  void regle(std::optional<std::int32_t>& dernier, std::int32_t valeur, const char* code,
             bool double32 = false) {
    if (dernier == valeur) return;
    vide();
    if (double32)
      EcritFonction32(ctx_, sortie_, code, static_cast<std::uint32_t>(valeur));
    else
      EcritFonction(ctx_, sortie_, code, static_cast<std::uint16_t>(valeur));
    dernier = valeur;
  }

  void reglages() {
    regle(Section.dp, dp_, "DP");
    regle(Section.pw, slot_.Puissance, "PW");
    regle(Section.fr, slot_.Frequence, "FR", true);
    regle(Section.vd, slot_.Vitesse, "VD");
    regle(Section.ai, slot_.AirAssist, "AI");
    if (Section.wb && !optionWB_) {
      vide();
      EcritFonction(ctx_, sortie_, "WB", 0);
      Section.wb = false;
    }
    if (!optionWB_) return;
    if (slot_.Option1 != 0) regle(Section.wd, slot_.Option1, "WD");
    if (slot_.Option2 != 0) regle(Section.wf, slot_.Option2, "WF");
    if (!wbPasse_) {
      vide();
      const int passe = slot_.Passes - restantes_ + 1;
      EcritFonction(ctx_, sortie_, "WB", static_cast<std::uint16_t>(0x100 + (passe & 0xFF)));
      wbPasse_ = true;
      Section.wb = true;
      sortie_.EtatStylo = 2;
    }
  }

  void trace() {
    sautEnAttente();
    // The page's copies start before the first draw's focus move and settings, so that
    // each copy carries them.
    if (!Section.premierNote) {
      vide();
      notePremierPoint(ctx_, sortie_, bloc_.X, bloc_.Y);
    }
    if (focus_) {
      vide();
      EcritDeplacementFocus(ctx_, sortie_, *focus_);
      focus_.reset();
    }
    reglages();
    if (pdAvant_) {
      vide();
      sortie_.EtatStylo = 2;
      pdAvant_ = false;
    }
    PointHPGL p{};
    f_.point(p);
    bloc_.Trace = 1;
    ajoutePoint(ctx_, sortie_, bloc_, conversion_, p.x, p.y);
  }

  ContexteConversion& ctx_;
  EtatSortie& sortie_;
  BlocVecteurs& bloc_;
  const ConversionPoint& conversion_;
  LecteurVecteurs f_;
  int stylo_;
  const SlotStylo& slot_;
  std::int32_t dp_;
  bool optionWB_;
  std::int64_t pas_;
  int restantes_ = 0;
  std::uint32_t debutOctetsPasse_ = 0;
  std::uint64_t pointsPasse_ = 0;  // points read since the pass began
  long long debutPasse_ = 0;
  std::optional<std::int64_t> focus_;
  std::int64_t fraction_ = 0;
  std::optional<PointHPGL> cible_;
  bool pdAvant_ = false;
  bool wbPasse_ = false;
};

}  // namespace

void EcritVecteursJob(ContexteConversion& ctx, EtatSortie& sortie) {
  Section = {};
  FichiersStylos fichiers;
  std::array<bool, 8> dessine{};
  trieParStylo(ctx, fichiers, dessine);

  std::unique_ptr<void, decltype(&GlobalFree)> memoire(
      GlobalAlloc(GPTR, kTailleBlocVecteurs * sizeof(ElementVecteur)), &GlobalFree);
  if (!memoire) ErreurFatale(ctx, MsgMemoire);
  BlocVecteurs bloc{};
  bloc.Elements = static_cast<ElementVecteur*>(memoire.get());

  const std::int32_t* ch = ctx.Entete.Champs;
  const bool echange = orientationEchangee(ctx);
  const auto resX = static_cast<float>(echange ? ch[ChDpiY] : ch[ChDpiX]);
  const auto resY = static_cast<float>(echange ? ch[ChDpiX] : ch[ChDpiY]);
  bloc.X = entier(ConvertitPointsEnUnites(sortie.DernierX, resX));
  bloc.Y = entier(ConvertitPointsEnUnites(sortie.DernierY, resY));
  bloc.X = Arrondit(bloc.X * std::cos(ctx.AngleMarquage));
  bloc.XPrec = bloc.XDebut = bloc.X;
  bloc.YPrec = bloc.YDebut = bloc.Y;
  sortie.EtatStylo = 0;
  EcritFonction(ctx, sortie, "V2", 0);

  const ConversionPoint conversion(ctx);

  for (int s = 0; s < kSansClasse; ++s) {
    FILE* f = fichiers.f[static_cast<std::size_t>(s)];
    if (!f || !dessine[static_cast<std::size_t>(s)]) continue;
    videAttente(ctx, fichiers, s);
    if (std::fflush(f) != 0) ErreurFatale(ctx, MsgFichierTemporaire);
    EcrivainStylo(ctx, sortie, bloc, conversion, f, fichiers.taille[static_cast<std::size_t>(s)], s).ecrit();
  }
  VideBlocVecteurs(ctx, sortie, bloc);
  if (ctx.NombreRepetitions > 0 && Section.premierNote) {
    bloc.Trace = 0;
    AjoutePointVecteurBrut(ctx, sortie, bloc, Section.premierX, Section.premierY);
    sortie.EtatStylo = 1;
    VideBlocVecteurs(ctx, sortie, bloc);
    sortie.EtatStylo = 0;
  }
}
