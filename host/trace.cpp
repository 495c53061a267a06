#include "trace.h"

#include "debut.h"
#include "fichier_vecteurs.h"
#include "hpgl_commandes.h"
#include "hpgl_flux.h"
#include "labels.h"
#include "polygones.h"

#include <algorithm>
#include <cmath>

namespace {

constexpr double kDegre = 0.017453292;
constexpr double kTourComplet = 6.283185308;
constexpr double kBalayageMax = 360.0;
// A segment holding more patterns than this is drawn solid: its dashes would be finer
// than any mark, and the loop would have no useful end.
constexpr double kMaxMotifsSegment = 1e6;

// Fractions of the pattern length, down and up in turn, ended by -1; types -6 to 6.
constexpr double kMotifs[13][8] = {
    {0.25, 0.1, 0.1, 0.1, 0.1, 0.1, 0.25, -1},  // -6
    {0.35, 0.1, 0.1, 0.1, 0.35, -1},            // -5
    {0.4, 0.1, 0, 0.1, 0.4, -1},                // -4
    {0.35, 0.3, 0.35, -1},                      // -3
    {0.25, 0.75, -1},                           // -2
    {0, 1, -1},                                 // -1
    {0, 1, -1},                                 // 0
    {0.01, 0.99, -1},                           // 1
    {0.5, 0.5, -1},                             // 2
    {0.7, 0.3, -1},                             // 3
    {0.8, 0.1, 0, 0.1, -1},                     // 4
    {0.7, 0.1, 0.1, 0.1, -1},                   // 5
    {0.5, 0.1, 0.1, 0.1, 0.1, 0.1, -1},         // 6
};

PointHPGL point(double x, double y) { return {static_cast<float>(x), static_cast<float>(y)}; }

bool memePoint(const PointHPGL& a, const PointHPGL& b) { return a.x == b.x && a.y == b.y; }

void ecritPoint(int code, const PointHPGL& p) { EcritCodePointVecteur(code, p); }

void coinsFenetre(PointHPGL& min, PointHPGL& max) {
  const PointHPGL* f = Interpreteur.Fenetre;
  min = {std::min(f[0].x, f[1].x), std::min(f[0].y, f[1].y)};
  max = {std::max(f[0].x, f[1].x), std::max(f[0].y, f[1].y)};
}

bool horsFenetre(const PointHPGL& p) {
  if (!Interpreteur.FenetreActive) return false;
  PointHPGL min, max;
  coinsFenetre(min, max);
  return CalculeCodeRegion(ConvertitUtilisateurTraceur(p), min, max) != 0;
}

// With an adaptive line type a curve's chords take one pattern each: the pattern length
// follows the chord for the shape and returns to the LT value afterwards.
class MotifCourbe {
 public:
  MotifCourbe(double rayon, double corde) {
    EtatInterpreteur& h = Interpreteur;
    if (h.TypeLigne >= 0) return;
    double x = rayon * std::cos(corde), y = rayon * std::sin(corde);
    if (h.Echelle) {
      x *= h.Sx;
      y *= h.Sy;
    }
    h.LongueurMotif = std::hypot(x, y);
    change_ = true;
  }
  ~MotifCourbe() {
    if (change_) Interpreteur.LongueurMotif = Interpreteur.LongueurMotifLT;
  }
  MotifCourbe(const MotifCourbe&) = delete;
  MotifCourbe& operator=(const MotifCourbe&) = delete;

 private:
  bool change_ = false;
};

// Chord points from debut towards debut + balayage (radians), the last exactly there; a
// chord point that rounding puts on the end is the end.
void pointsArc(const PointHPGL& centre, double rayon, double debut, double balayage, double pas,
               bool suitPlume) {
  const double sens = balayage < 0 ? -1 : 1;
  const double total = std::fabs(balayage);
  for (int k = 1; total - k * pas > 1e-9; ++k)
    TraceSegmentArc(centre, rayon, debut + sens * k * pas, suitPlume);
  TraceSegmentArc(centre, rayon, debut + balayage, suitPlume);
}

double balayageRadians(float balayage) {
  return std::clamp<double>(balayage, -kBalayageMax, kBalayageMax) * kDegre;
}

// Half side of the square, centred on the plotter origin, that holds every point the
// page can map onto the plate: the page's sides and twice the plate, in plotter units.
// The page is mapped when it is written, with the size it has then: a metre more
// leaves room for a size given after the drawing.
constexpr double kMargeAtteignable = 40000;
double demiCoteAtteignable() {
  const ContexteConversion& ctx = Contexte;
  const std::int32_t* ch = ctx.Entete.Champs;
  const double plaque = std::max(ch[ChPlaqueX], ch[ChPlaqueY]);
  const double etendue =
      ctx.MotifTest ? plaque
                    : std::max(ConvertitUnitesEnPoints(plaque, static_cast<float>(ctx.ResolutionVecteurs)), 0);
  return std::fabs(LargeurPageHPGL()) + std::fabs(LongueurPageHPGL()) + 2 * etendue + kMargeAtteignable;
}

// The part [t0, t1] of a + t (ex, ey) that lies in that square; false when none does.
bool partieVisible(const PointHPGL& a, double ex, double ey, double& t0, double& t1) {
  const double r = demiCoteAtteignable();
  auto bord = [&](double p, double q) {  // keeps p t <= q
    if (p == 0) return q >= 0;
    const double t = q / p;
    if (p < 0)
      t0 = std::max(t0, t);
    else
      t1 = std::min(t1, t);
    return t0 < t1;
  };
  return bord(-ex, a.x + r) && bord(ex, r - a.x) && bord(-ey, a.y + r) && bord(ey, r - a.y);
}

// The fixed pattern from the current phase over k pattern lengths (ux, uy) from a, the
// last point landing on fin; the phase is kept for the next segment of the line.
void traceMotifsFixes(const PointHPGL& a, double ux, double uy, double k, const PointHPGL& fin) {
  EtatInterpreteur& h = Interpreteur;
  double phase = h.PhaseMotif;
  double ox = a.x - phase * ux, oy = a.y - phase * uy;
  auto passe = [&](double bout, const PointHPGL* finSegment) {
    TraceMotifLigne(point(ox, oy), ux, uy, phase, bout, finSegment);
  };
  auto suivant = [&] {
    phase = 0;
    ox += ux;
    oy += uy;
  };
  while (k >= 1) {
    passe(1, nullptr);
    k -= 1 - phase;
    suivant();
  }
  k += phase;
  if (k >= 1) {
    passe(1, nullptr);
    suivant();
    k -= 1;
  }
  passe(k, &fin);
  h.PhaseMotif = k;
}

}  // namespace

double CordeValide(float corde) {
  if (std::isnan(corde)) return 5.0;
  return std::clamp(std::fabs(static_cast<double>(corde)), 0.5, 180.0);
}

PointHPGL ConvertitUtilisateurTraceur(const PointHPGL& u) {
  const EtatInterpreteur& h = Interpreteur;
  return point(h.P1.x + (static_cast<double>(u.x) - h.UMin.x) * h.Sx,
               h.P1.y + (static_cast<double>(u.y) - h.UMin.y) * h.Sy);
}

PointHPGL ConvertitTraceurUtilisateur(const PointHPGL& t) {
  const EtatInterpreteur& h = Interpreteur;
  return point(h.UMin.x + (static_cast<double>(t.x) - h.P1.x) / h.Sx,
               h.UMin.y + (static_cast<double>(t.y) - h.P1.y) / h.Sy);
}

PointHPGL PointTraceur(const PointHPGL& p, bool echelle) {
  const EtatInterpreteur& h = Interpreteur;
  PointHPGL q = echelle ? ConvertitUtilisateurTraceur(p) : p;
  if (h.RotationActive)
    q = point(h.CosRotation * q.x - h.SinRotation * q.y, h.SinRotation * q.x + h.CosRotation * q.y);
  return q;
}

void TracePoint(int action, const PointHPGL& p, bool echelle) {
  if (DrapeauNouvellePage) return;
  EtatInterpreteur& h = Interpreteur;
  const PointHPGL q = PointTraceur(p, echelle);
  const bool deplacement = action == ActionDeplacement;
  if (Sortie.ModePolygone) {
    AjoutePointPolygone(q, deplacement);
    ++Analyse.Ecritures;
  } else {
    h.PositionTraceur = q;
    if (deplacement)
      ecritPoint(CodeDeplacement, q);
    else
      TraceSegmentType(h.PointPrecedent, q, h.DernierDeplacement);
  }
  h.DernierDeplacement = deplacement;
  h.PointPrecedent = q;
}

void TraceSegmentType(const PointHPGL& a, const PointHPGL& b, bool redemarre) {
  EtatInterpreteur& h = Interpreteur;
  if (h.TypeLigne == 7) return ecritPoint(CodeTrace, b);
  if (h.TypeLigne == 0) return ecritPoint(CodePoint, b);
  const double ex = static_cast<double>(b.x) - a.x, ey = static_cast<double>(b.y) - a.y;
  const double d = std::hypot(ex, ey);
  if (!(d > 0)) {
    if (!h.Silencieux) TraceDiagnostic("Warning: Zero line segment length -- skipped\n");
    return;
  }
  const double k = d / h.LongueurMotif;

  // Only the part that can reach the plate is cut into dashes; the pen moves over the
  // rest, and the pattern runs on across it as if it had been drawn.
  double t0 = 0, t1 = 1;
  const bool visible = partieVisible(a, ex, ey, t0, t1);
  const double kVisible = visible ? k * (t1 - t0) : 0;
  if (!(kVisible <= kMaxMotifsSegment)) {
    if (t0 > 0) ecritPoint(CodeDeplacement, point(a.x + t0 * ex, a.y + t0 * ey));
    if (t1 < 1) {
      ecritPoint(CodeTrace, point(a.x + t1 * ex, a.y + t1 * ey));
      return ecritPoint(CodeDeplacement, b);
    }
    return ecritPoint(CodeTrace, b);
  }
  if (h.TypeLigne > 0 && redemarre) h.PhaseMotif = 0;
  if (!visible) {
    h.PhaseMotif = h.TypeLigne > 0 ? std::fmod(h.PhaseMotif + k, 1.0) : 0;
    return ecritPoint(CodeDeplacement, b);
  }

  if (h.TypeLigne < 0) {
    h.PhaseMotif = 0;
    // Whole patterns along the segment; those out of reach are moved over.
    const double n = std::max(1.0, std::ceil(k));
    const double px = ex / n, py = ey / n;
    const double premier = std::floor(t0 * n), dernier = std::min(n, std::ceil(t1 * n));
    if (premier > 0) ecritPoint(CodeDeplacement, point(a.x + premier * px, a.y + premier * py));
    for (double i = premier; i < dernier; ++i)
      TraceMotifLigne(point(a.x + i * px, a.y + i * py), px, py, 0, 1, i == n - 1 ? &b : nullptr);
    if (dernier < n) ecritPoint(CodeDeplacement, b);
    return;
  }

  const double phaseFin = std::fmod(h.PhaseMotif + k, 1.0);
  const PointHPGL debut = t0 > 0 ? point(a.x + t0 * ex, a.y + t0 * ey) : a;
  const PointHPGL fin = t1 < 1 ? point(a.x + t1 * ex, a.y + t1 * ey) : b;
  if (t0 > 0) {
    h.PhaseMotif = std::fmod(h.PhaseMotif + t0 * k, 1.0);
    ecritPoint(CodeDeplacement, debut);
  }
  traceMotifsFixes(debut, ex / k, ey / k, kVisible, fin);
  if (t1 < 1) {
    h.PhaseMotif = phaseFin;
    ecritPoint(CodeDeplacement, b);
  }
}

void TraceMotifLigne(const PointHPGL& origine, double dx, double dy, double debut, double fin,
                     const PointHPGL* finSegment) {
  if (!(fin > debut)) return;
  const int type = std::clamp(Interpreteur.TypeLigne, -6, 6);
  const double* elements = kMotifs[type + 6];
  double s = 0;
  for (int i = 0; elements[i] >= 0; ++i) {
    const bool nul = elements[i] == 0;
    // The pattern ends at 1 exactly, whatever the sum of its parts.
    const double e = elements[i + 1] < 0 ? 1.0 : std::min(1.0, s + elements[i]);
    if (e < debut || (e == debut && !nul)) {
      s = e;
      continue;
    }
    const bool coupe = e >= fin;
    const double f = coupe ? fin : e;
    const PointHPGL p =
        coupe && finSegment ? *finSegment : point(origine.x + f * dx, origine.y + f * dy);
    const bool baisse = i % 2 == 0;
    ecritPoint(baisse ? (nul ? CodePoint : CodeTrace) : CodeDeplacement, p);
    if (coupe) return;
    s = e;
  }
}

void TraceLignes(bool relatif) {
  EtatInterpreteur& h = Interpreteur;
  float x = 0, y = 0;
  while (LitNombreHPGL(x) == NombreLu) {
    if (LitNombreHPGL(y) != NombreLu) SignaleErreurCommande(2, h.Mnemonique);
    PointHPGL p{x, y};
    if (relatif) p = point(static_cast<double>(p.x) + h.PointCourant.x,
                           static_cast<double>(p.y) + h.PointCourant.y);
    TracePointLigne(p);
    NoteRepriseCommande(h.Mnemonique);
  }
}

void TracePointLigne(const PointHPGL& p) {
  EtatInterpreteur& h = Interpreteur;
  const int action = h.PlumeBaissee ? ActionTrace : ActionDeplacement;
  if (h.FenetreActive) {
    PointHPGL a = h.PointCourant, b = p;
    if (DecoupeSegment(h.Fenetre, a, b) == 0) {
      if (!memePoint(a, h.PointCourant)) TracePoint(ActionDeplacement, a, h.Echelle);
      TracePoint(action, b, h.Echelle);
    } else {
      TracePoint(ActionDeplacement, p, h.Echelle);
    }
  } else {
    TracePoint(action, p, h.Echelle);
  }
  h.PointCourant = p;
  if (h.CaractereSymbole) TraceCaractereSymbole(h.CaractereSymbole);
}

void TraceArc(bool relatif, const PointHPGL& centre, float balayage, float corde) {
  EtatInterpreteur& h = Interpreteur;
  const PointHPGL c = relatif ? point(static_cast<double>(h.PointCourant.x) + centre.x,
                                      static_cast<double>(h.PointCourant.y) + centre.y)
                              : centre;
  const double rx = static_cast<double>(h.PointCourant.x) - c.x;
  const double ry = static_cast<double>(h.PointCourant.y) - c.y;
  const double rayon = std::hypot(rx, ry);
  if (!(rayon > 0) || balayage == 0) return;
  const double pas = CordeValide(corde) * kDegre;
  MotifCourbe motif(rayon, pas);
  pointsArc(c, rayon, std::atan2(ry, rx), balayageRadians(balayage), pas, true);
}

void TraceSegmentArc(const PointHPGL& centre, double rayon, double angle, bool suitPlume) {
  EtatInterpreteur& h = Interpreteur;
  const PointHPGL p =
      point(centre.x + rayon * std::cos(angle), centre.y + rayon * std::sin(angle));
  if (horsFenetre(p) || (suitPlume && !h.PlumeBaissee)) {
    if (!memePoint(PointTraceur(p, h.Echelle), h.PositionTraceur))
      TracePoint(ActionDeplacement, p, h.Echelle);
  } else {
    TracePoint(ActionTrace, p, h.Echelle);
  }
  h.PointCourant = p;
}

void TraceCercle(float rayon, float corde) {
  EtatInterpreteur& h = Interpreteur;
  if (rayon == 0) return;
  const PointHPGL c = h.PointCourant;
  const double pas = CordeValide(corde) * kDegre;
  MotifCourbe motif(std::fabs(rayon), pas);
  const PointHPGL depart = point(static_cast<double>(c.x) + rayon, c.y);
  TracePoint(ActionDeplacement, depart, h.Echelle);
  for (int k = 1; k * pas < kTourComplet; ++k) TraceSegmentArc(c, rayon, k * pas, false);
  TracePoint(ActionTrace, depart, h.Echelle);
  TracePoint(ActionDeplacement, c, h.Echelle);
  h.PointCourant = c;
}

void TraceSecteur(float rayon, float debut, float balayage, float corde) {
  EtatInterpreteur& h = Interpreteur;
  if (rayon == 0) return;
  const PointHPGL c = h.PointCourant;
  const double pas = CordeValide(corde) * kDegre;
  MotifCourbe motif(std::fabs(rayon), pas);
  const double a0 = debut * kDegre;
  TracePoint(ActionTrace, point(c.x + rayon * std::cos(a0), c.y + rayon * std::sin(a0)), h.Echelle);
  const double b = balayageRadians(balayage);
  if (b != 0) pointsArc(c, rayon, a0, b, pas, false);
  TracePoint(ActionTrace, c, h.Echelle);
  h.PointCourant = c;
}

void TraceContourRectangle(bool relatif, const PointHPGL& coin) {
  const EtatInterpreteur& h = Interpreteur;
  const PointHPGL c = h.PointCourant;
  const PointHPGL o = relatif ? point(static_cast<double>(c.x) + coin.x,
                                      static_cast<double>(c.y) + coin.y)
                              : coin;
  for (const PointHPGL& p : {PointHPGL{c.x, o.y}, o, PointHPGL{o.x, c.y}, c})
    TracePoint(ActionTrace, p, h.Echelle);
}

void TraceGraduation(bool axeY) {
  EtatInterpreteur& h = Interpreteur;
  h.TypeLigne = 7;
  const PointHPGL c = h.PointCourant;
  PointHPGL a = c, b = c;
  if (axeY) {
    const double etendue = static_cast<double>(h.P2.x) - h.P1.x;
    a.x = static_cast<float>(c.x - h.TickNegatif * etendue);
    b.x = static_cast<float>(c.x + h.TickPositif * etendue);
  } else {
    const double etendue = static_cast<double>(h.P2.y) - h.P1.y;
    a.y = static_cast<float>(c.y - h.TickNegatif * etendue);
    b.y = static_cast<float>(c.y + h.TickPositif * etendue);
  }
  TracePoint(ActionDeplacement, a, h.Echelle);
  TracePoint(ActionTrace, b, h.Echelle);
  TracePoint(ActionDeplacement, c, h.Echelle);
  h.TypeLigne = h.TypeLigneLT;
}

int CalculeCodeRegion(const PointHPGL& p, const PointHPGL& min, const PointHPGL& max) {
  int code = 0;
  if (p.x < min.x)
    code |= 8;
  else if (p.x > max.x)
    code |= 1;
  if (p.y < min.y)
    code |= 2;
  else if (p.y > max.y)
    code |= 4;
  return code;
}

bool TesteBordDecoupe(double p, double q, double& tEntree, double& tSortie) {
  const double t = q / p;
  if (p < 0) {
    if (t > tSortie) return false;
    tEntree = std::max(tEntree, t);
  } else {
    // Leaving through this edge at the very start: nothing to see. (Entering there is
    // the ordinary case of a segment that starts on the window's edge.)
    if (std::fabs(t) < 1e-5 || t < tEntree) return false;
    tSortie = std::min(tSortie, t);
  }
  return true;
}

int DecoupeSegment(const PointHPGL fenetre[2], PointHPGL& a, PointHPGL& b) {
  const PointHPGL f0 = fenetre[0], f1 = fenetre[1];
  const PointHPGL min{std::min(f0.x, f1.x), std::min(f0.y, f1.y)};
  const PointHPGL max{std::max(f0.x, f1.x), std::max(f0.y, f1.y)};
  const int codeA = CalculeCodeRegion(a, min, max), codeB = CalculeCodeRegion(b, min, max);
  if (!codeA && !codeB) return 0;
  if (codeA & codeB) return 1;
  const double dx = static_cast<double>(b.x) - a.x, dy = static_cast<double>(b.y) - a.y;
  const bool enX = std::fabs(dx) > 1e-10, enY = std::fabs(dy) > 1e-10;
  double tEntree = 0, tSortie = 1;
  if (enX && !TesteBordDecoupe(-dx, static_cast<double>(a.x) - min.x, tEntree, tSortie)) return 1;
  if (enY && !TesteBordDecoupe(dy, static_cast<double>(max.y) - a.y, tEntree, tSortie)) return 1;
  if (enX && !TesteBordDecoupe(dx, static_cast<double>(max.x) - a.x, tEntree, tSortie)) return 1;
  if (enY && !TesteBordDecoupe(-dy, static_cast<double>(a.y) - min.y, tEntree, tSortie)) return 1;
  const PointHPGL debut = a;
  if (tEntree > 0) a = point(debut.x + tEntree * dx, debut.y + tEntree * dy);
  if (tSortie < 1) b = point(debut.x + tSortie * dx, debut.y + tSortie * dy);
  return 0;
}
