// FP and RR: the polygon buffer rasterised by GDI into a 1-bit bitmap at the page
// resolution, whose rows are ORed into the raster of the current colour class.
#include "fichiers_raster.h"
#include "hpgl_commandes.h"
#include "polygones.h"
#include "trace.h"
#include "vecteurs_job.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <span>
#include <vector>

namespace {

constexpr double kDotsMax = 1 << 29;

// One axis of a box in dots.
struct Axe {
  std::int32_t min = 0, max = 0, taille = 0;
  bool mince = false;
};

// The polygon box's axis from a to b (page plotter units, a <= b), k units per dot.
Axe axePolygone(double a, double b, double k) {
  Axe r;
  r.taille = b - a == 0 ? 0 : std::max(Arrondit((b - a) / k), 1);
  r.mince = b - a < k;
  r.min = Arrondit(a / k);
  const std::int32_t e = Arrondit(b / k);
  if (e > r.min + r.taille) {
    r.max = e;
    ++r.taille;
  } else {
    r.max = r.min + r.taille;
  }
  return r;
}

// The input window's axis: no extra dot at its far edge.
Axe axeFenetre(double a, double b, double k) {
  Axe r;
  r.taille = b - a == 0 ? 0 : std::max(Arrondit((b - a) / k), 1);
  r.min = Arrondit(a / k);
  r.max = std::max(Arrondit(b / k), r.min + r.taille);
  return r;
}

// Two plotter points in page coordinates, ordered into a box.
void boitePage(PointHPGL a, PointHPGL b, double min[2], double max[2]) {
  double ax = a.x, ay = a.y, bx = b.x, by = b.y;
  AppliqueOrigine(ax, ay);
  AppliqueOrigine(bx, by);
  min[0] = std::min(ax, bx);
  max[0] = std::max(ax, bx);
  min[1] = std::min(ay, by);
  max[1] = std::max(ay, by);
}

struct Marges {
  std::int32_t gauche = 0, haut = 0, droite = 0, bas = 0;
};

// False when the box lies wholly outside the input window.
bool margesFenetre(const Axe& x, const Axe& y, double k, Marges& m) {
  const EtatInterpreteur& h = Interpreteur;
  if (!h.FenetreActive) return true;
  double min[2], max[2];
  boitePage(PointTraceur(h.Fenetre[0], h.Echelle), PointTraceur(h.Fenetre[1], h.Echelle), min, max);
  // The window may reach far beyond the box: it is only looked at where the box is.
  for (int i = 0; i < 2; ++i) {
    min[i] = std::clamp(min[i], -kDotsMax * k, kDotsMax * k);
    max[i] = std::clamp(max[i], -kDotsMax * k, kDotsMax * k);
  }
  const Axe fx = axeFenetre(min[0], max[0], k), fy = axeFenetre(min[1], max[1], k);
  if (x.max < fx.min || x.min > fx.max || y.max < fy.min || y.min > fy.max) return false;
  m.gauche = std::max(fx.min - x.min, 0);
  m.droite = std::max(x.max - fx.max, 0);
  m.haut = std::max(fy.min - y.min, 0);
  m.bas = std::max(y.max - fy.max, 0);
  return true;
}

// Whatever the fill made goes when it ends, and the raster state it borrowed comes back.
class Dessin {
 public:
  Dessin()
      : transparence_(Analyse.Transparence),
        modeHPGL_(Contexte.ModeHPGL),
        x_(Sortie.RasterX),
        y_(Sortie.RasterY) {}
  ~Dessin() {
    if (bits) GlobalFree(bits);
    if (points) GlobalFree(points);
    if (ancienCrayon) SelectObject(dc, ancienCrayon);
    if (ancienBitmap) SelectObject(dc, ancienBitmap);
    if (crayon) DeleteObject(crayon);
    if (bitmap) DeleteObject(bitmap);
    if (dc) DeleteDC(dc);
    if (ecran) ReleaseDC(nullptr, ecran);
    Analyse.Transparence = transparence_;
    Contexte.ModeHPGL = modeHPGL_;
    Sortie.RasterX = x_;
    Sortie.RasterY = y_;
  }
  Dessin(const Dessin&) = delete;
  Dessin& operator=(const Dessin&) = delete;

  POINT* points = nullptr;
  std::uint8_t* bits = nullptr;
  HDC ecran = nullptr, dc = nullptr;
  HBITMAP bitmap = nullptr;
  HPEN crayon = nullptr;
  HGDIOBJ ancienBitmap = nullptr, ancienCrayon = nullptr;

 private:
  std::int32_t transparence_, modeHPGL_, x_, y_;
};

template <typename T>
T verifieGdi(T resultat) {
  if (!resultat) ErreurFatale(Contexte, MsgBitmap);
  return resultat;
}

// Device points of every sub-path from the box's corner, each sub-path placed by its own
// minimum; returns the bitmap size (largest x and y + 1).
POINT points(POINT* sortie, std::span<const std::int32_t> longueurs, const double boiteMin[2], double k) {
  const std::span<const PointHPGL> tampon = PointsTamponPolygone();
  POINT taille{0, 0};
  std::size_t debut = 0;
  for (const std::int32_t n : longueurs) {
    const auto chemin = tampon.subspan(debut, static_cast<std::size_t>(n));
    std::vector<std::pair<double, double>> page;
    double mx = HUGE_VAL, my = HUGE_VAL;
    for (const PointHPGL& p : chemin) {
      const PointHPGL q = SansMarquePolygone(p);
      double x = q.x, y = q.y;
      AppliqueOrigine(x, y);
      page.emplace_back(x, y);
      mx = std::min(mx, x);
      my = std::min(my, y);
    }
    const std::int32_t ox = Arrondit((mx - boiteMin[0]) / k), oy = Arrondit((my - boiteMin[1]) / k);
    for (const auto& [x, y] : page) {
      POINT& d = sortie[debut++];
      d = {Arrondit((x - mx) / k) + ox, Arrondit((y - my) / k) + oy};
      taille.x = std::max(taille.x, d.x + 1);
      taille.y = std::max(taille.y, d.y + 1);
    }
  }
  return taille;
}

}  // namespace

void RemplitPolygone(int rectangle) {
  ContexteConversion& ctx = Contexte;
  const double k = static_cast<double>(ctx.ResolutionVecteurs) / ctx.ResolutionRaster;
  if (!std::isfinite(k) || !(k > 0)) ErreurFatale(ctx, MsgDpi);

  double min[2], max[2];
  boitePage(Sortie.BoitePolygoneMin, Sortie.BoitePolygoneMax, min, max);
  // No bitmap holds a box of 2^29 dots, and its dot sums would leave 32 bits.
  for (int i = 0; i < 2; ++i)
    if (!(std::max(std::fabs(min[i]), std::fabs(max[i])) / k < kDotsMax)) ErreurFatale(ctx, MsgBitmap);
  const Axe x = axePolygone(min[0], max[0], k), y = axePolygone(min[1], max[1], k);
  if (x.taille == 0 || y.taille == 0 || (x.mince && y.mince)) return;
  Marges m;
  if (!margesFenetre(x, y, k, m)) return;

  // One sub-path unless several were closed: then each closed one.
  std::span<const std::int32_t> longueurs = SousCheminsPolygone();
  const std::int32_t tous = Sortie.NombrePointsPolygone;
  if (longueurs.size() <= 1) longueurs = std::span<const std::int32_t>(&tous, 1);
  std::size_t nombre = 0;
  for (const std::int32_t n : longueurs) nombre += static_cast<std::size_t>(n);
  if (rectangle) nombre = 5;
  // A box left from an earlier shape with no points to fill it.
  if (nombre < 2) return;

  Dessin d;
  d.points = static_cast<POINT*>(GlobalAlloc(GMEM_FIXED, std::max<std::size_t>(nombre, 1) * sizeof(POINT)));
  if (!d.points) ErreurFatale(ctx, MsgMemoire);
  LONG w = x.taille, h = y.taille;
  if (rectangle) {
    const POINT coins[5] = {{0, 0}, {w, 0}, {w, h}, {0, h}, {0, 0}};
    std::copy(std::begin(coins), std::end(coins), d.points);
  } else {
    const POINT taille = points(d.points, longueurs, min, k);
    w = taille.x;
    h = taille.y;
  }
  if (w < 0 || h < 0) ErreurFatale(ctx, MsgBitmap);
  w = std::max<LONG>(w, 1);
  h = std::max<LONG>(h, 1);

  // The rows handed over, from the first byte holding the window's left edge: their
  // geometry is that of the whole box's w x h bitmap, and none goes below the page.
  const std::int32_t saut = m.gauche / 8;
  const std::int32_t x0 = x.min + 8 * saut, y0 = y.min + m.haut;
  const std::int32_t pixels = std::max<std::int32_t>(w - 8 * saut - m.droite, 0);
  const std::int32_t octets = std::min((pixels + 7) / 8, static_cast<std::int32_t>(kTailleLignePlan));
  const std::int64_t finLignes = std::min<std::int64_t>(
      h - m.bas, m.haut + std::max<std::int64_t>(static_cast<std::int64_t>(LignesPage()) - y0, 0));
  if (finLignes <= m.haut) return;

  // Only what those rows can store is drawn: a row reaching past the page's columns or
  // the rasters' last row is refused, so nothing beyond them is read. A row that stores
  // nothing leaves only its extent, and the last one the seed row.
  std::int64_t c0 = 8 * static_cast<std::int64_t>(saut);
  std::int64_t c1 = std::min<std::int64_t>(w, c0 + 8 * static_cast<std::int64_t>(octets));
  std::int64_t r0 = m.haut, r1 = finLignes;
  const bool stockee = LignePlanStockee();
  if (stockee) {
    const std::int64_t colonnes = std::max<std::int64_t>(static_cast<std::int64_t>(ColonnesRaster()) - x0, 0);
    c1 = std::min(c1, c0 + (colonnes + 7) / 8 * 8);
    r1 = std::min<std::int64_t>(r1, r0 + std::max<std::int64_t>(static_cast<std::int64_t>(kTailleRasterMax) - y0, 0));
  } else {
    r0 = r1 - 1;
  }
  const auto largeurDessin = static_cast<LONG>(std::max<std::int64_t>(c1 - c0, 0));
  const auto hauteurDessin = static_cast<LONG>(std::max<std::int64_t>(r1 - r0, 0));
  for (std::size_t i = 0; i < nombre; ++i) {
    d.points[i].x -= static_cast<LONG>(c0);
    d.points[i].y -= static_cast<LONG>(r0);
  }

  if (!ctx.ContexteImprimante) d.ecran = verifieGdi(GetDC(nullptr));
  d.dc = verifieGdi(CreateCompatibleDC(ctx.ContexteImprimante ? ctx.ContexteImprimante : d.ecran));
  d.bitmap = verifieGdi(CreateCompatibleBitmap(d.dc, largeurDessin, hauteurDessin));
  d.ancienBitmap = verifieGdi(SelectObject(d.dc, d.bitmap));
  d.crayon = verifieGdi(CreatePen(PS_SOLID, 0, 0xFFFFFF));
  d.ancienCrayon = verifieGdi(SelectObject(d.dc, d.crayon));
  // A drawing that fails would lose the shape without a word: it is a bitmap error too.
  if (rectangle || longueurs.size() == 1) {
    verifieGdi(Polygon(d.dc, d.points, static_cast<int>(nombre)));
  } else {
    verifieGdi(PolyPolygon(d.dc, d.points, longueurs.data(), static_cast<int>(longueurs.size())));
  }
  BITMAP geometrie{};
  verifieGdi(GetObjectA(d.bitmap, sizeof geometrie, &geometrie));
  const auto pas = static_cast<std::size_t>(std::max<LONG>(geometrie.bmWidthBytes, 0));
  const std::size_t taille = pas * static_cast<std::size_t>(std::max<LONG>(geometrie.bmHeight, 0));
  d.bits = static_cast<std::uint8_t*>(GlobalAlloc(GPTR, std::max<std::size_t>(taille, 1)));
  if (!d.bits) ErreurFatale(ctx, MsgMemoire);
  verifieGdi(GetBitmapBits(d.bitmap, static_cast<LONG>(taille), d.bits));

  // The first byte loses the bits left of the window; a fill is opaque and takes the
  // pen's colour.
  EtatAnalyse& a = Analyse;
  a.Transparence = 1;
  ctx.ModeHPGL = 1;
  a.PixelsLigne = pixels;
  a.OctetsLigne = (pixels + 7) / 8;
  const std::size_t lus =
      std::min<std::size_t>(static_cast<std::size_t>(octets), (static_cast<std::size_t>(largeurDessin) + 7) / 8);
  const auto ligne = [&](std::int64_t r) {
    Sortie.RasterY = static_cast<std::int32_t>(y.min + r);
    std::uint8_t* plan = a.LignesPlan[0];
    std::memset(plan, 0, static_cast<std::size_t>(octets));
    if (r >= r0 && r < r1 && lus <= pas) std::memcpy(plan, d.bits + static_cast<std::size_t>(r - r0) * pas, lus);
    if (octets) plan[0] &= static_cast<std::uint8_t>(0xFF >> (m.gauche % 8));
    a.PlanCourant = 0;
    SauveLigneGraine(octets);
    StockeLignePlan();
  };
  Sortie.RasterX = x0;
  if (!stockee) return ligne(finLignes - 1);
  // Past the rasters' last row, the first row is refused.
  for (std::int64_t r = m.haut; r < finLignes && r <= r1; ++r) ligne(r);
}
