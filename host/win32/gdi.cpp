// GDI, as much as the converter draws with: device contexts, bitmaps, solid pens, filled
// polygons, device-independent bitmaps in and out, stretching and copying. Every pixel
// rule is stated here or in win32.h, so results are exact and repeatable.
#include "etat.h"

#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <new>
#include <optional>
#include <utility>
#include <vector>

namespace {

using win32::Objet;
using win32test::Call;

constexpr COLORREF kBlanc = 0xFFFFFF;
// Larger bitmaps are refused, as a display driver refuses them, rather than exhaust memory.
constexpr std::uint64_t kOctetsBitmapMax = 256u << 20;

struct Bitmap : Objet {
  Bitmap() : Objet(Genre::Bitmap) {}
  LONG largeur = 0, hauteur = 0, pas = 0;
  WORD bits = 1;
  std::vector<std::uint8_t> octets;
  HDC selection = nullptr;  // the device context it is selected into
};

struct Crayon : Objet {
  Crayon() : Objet(Genre::Crayon) {}
  COLORREF couleur = 0;
  HDC selection = nullptr;
};

// A memory context draws into its selected bitmap; screen and printer contexts only
// serve as models. A new context holds its own 1 x 1 mono bitmap and black pen, freed
// with it.
struct Contexte : Objet {
  Contexte() : Objet(Genre::ContexteDessin) {}
  ~Contexte() override {
    win32::libere(bitmapDefaut, Genre::Bitmap);
    win32::libere(crayonDefaut, Genre::Crayon);
  }
  bool memoire = false;
  HDC modele = nullptr;  // screen (GetDC) contexts are released, the others deleted
  HBITMAP bitmap = nullptr, bitmapDefaut = nullptr;
  HPEN crayon = nullptr, crayonDefaut = nullptr;
  COLORREF pinceau = kBlanc;
  int etirement = BLACKONWHITE;
};

bool echoue(Call appel, DWORD erreur = ERROR_INVALID_PARAMETER) {
  if (!win32::panne(appel)) return false;
  SetLastError(erreur);
  return true;
}

Contexte* contexte(HDC dc) { return static_cast<Contexte*>(win32::objet(dc, Objet::Genre::ContexteDessin)); }
Bitmap* bitmap(HGDIOBJ h) { return static_cast<Bitmap*>(win32::objet(h, Objet::Genre::Bitmap)); }
Crayon* crayon(HGDIOBJ h) { return static_cast<Crayon*>(win32::objet(h, Objet::Genre::Crayon)); }

HBITMAP nouveauBitmap(LONG largeur, LONG hauteur, WORD bits) {
  if (largeur < 0 || hauteur < 0) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return nullptr;
  }
  auto* b = new (std::nothrow) Bitmap;
  if (!b) {
    SetLastError(ERROR_NOT_ENOUGH_MEMORY);
    return nullptr;
  }
  b->largeur = std::max<LONG>(largeur, 1);
  b->hauteur = std::max<LONG>(hauteur, 1);
  b->bits = bits;
  const std::uint64_t l = static_cast<std::uint64_t>(b->largeur);
  const std::uint64_t pas = bits == 1 ? (l + 15) / 16 * 2 : l * 4;
  if (pas * static_cast<std::uint64_t>(b->hauteur) > kOctetsBitmapMax) {
    delete b;
    SetLastError(ERROR_NOT_ENOUGH_MEMORY);
    return nullptr;
  }
  b->pas = static_cast<LONG>(pas);
  try {
    b->octets.assign(static_cast<std::size_t>(b->pas) * static_cast<std::size_t>(b->hauteur), 0);
  } catch (const std::bad_alloc&) {
    delete b;
    SetLastError(ERROR_NOT_ENOUGH_MEMORY);
    return nullptr;
  }
  return win32::enregistre(b);
}

HDC nouveauContexte(bool memoire) {
  auto* c = new Contexte;
  c->memoire = memoire;
  c->bitmapDefaut = c->bitmap = nouveauBitmap(1, 1, 1);
  auto* p = new Crayon;
  c->crayonDefaut = c->crayon = win32::enregistre(p);
  HDC dc = win32::enregistre(c);
  bitmap(c->bitmap)->selection = dc;
  p->selection = dc;
  return dc;
}

// Mono bitmaps keep white as 1 and every other colour as 0.
void metPixel(Bitmap& b, LONG x, LONG y, COLORREF couleur) {
  if (x < 0 || y < 0 || x >= b.largeur || y >= b.hauteur) return;
  std::uint8_t* ligne = b.octets.data() + static_cast<std::size_t>(y) * static_cast<std::size_t>(b.pas);
  if (b.bits == 1) {
    const auto masque = static_cast<std::uint8_t>(0x80 >> (x & 7));
    if ((couleur & kBlanc) == kBlanc)
      ligne[x >> 3] |= masque;
    else
      ligne[x >> 3] &= static_cast<std::uint8_t>(~masque);
  } else {
    std::uint8_t* p = ligne + 4 * static_cast<std::size_t>(x);
    p[0] = static_cast<std::uint8_t>(couleur >> 16);
    p[1] = static_cast<std::uint8_t>(couleur >> 8);
    p[2] = static_cast<std::uint8_t>(couleur);
    p[3] = 0;
  }
}

// Products of two coordinates' differences need more than 64 bits.
__extension__ using Grand = __int128;

Grand divisePlafond(Grand a, Grand b) {  // b > 0
  return a >= 0 ? (a + b - 1) / b : -((-a) / b);
}

// Pixels [debut, fin) of row y, 0 <= debut < fin <= width.
void metSegment(Bitmap& b, LONG y, std::int64_t debut, std::int64_t fin, COLORREF couleur) {
  if (b.bits != 1) {
    for (std::int64_t x = debut; x < fin; ++x) metPixel(b, static_cast<LONG>(x), y, couleur);
    return;
  }
  std::uint8_t* ligne = b.octets.data() + static_cast<std::size_t>(y) * static_cast<std::size_t>(b.pas);
  const bool blanc = (couleur & kBlanc) == kBlanc;
  const auto masque = [&](std::size_t octet, std::uint8_t bits) {
    if (blanc)
      ligne[octet] |= bits;
    else
      ligne[octet] &= static_cast<std::uint8_t>(~bits);
  };
  const auto premier = static_cast<std::size_t>(debut >> 3), dernier = static_cast<std::size_t>((fin - 1) >> 3);
  const auto tete = static_cast<std::uint8_t>(0xFF >> (debut & 7));
  const auto queue = static_cast<std::uint8_t>(0xFF << (7 - ((fin - 1) & 7)));
  if (premier == dernier) return masque(premier, static_cast<std::uint8_t>(tete & queue));
  masque(premier, tete);
  std::memset(ligne + premier + 1, blanc ? 0xFF : 0, dernier - premier - 1);
  masque(dernier, queue);
}

// Pixel (x, y) is inside when the point (x, y) is, by the alternate rule; points on a
// left or top edge are inside, on a right or bottom edge outside, as with rectangles.
void remplit(Bitmap& b, const std::vector<std::vector<POINT>>& polygones, COLORREF couleur) {
  struct Bord {
    POINT haut, bas;
  };
  std::vector<Bord> bords;
  for (const auto& p : polygones)
    for (std::size_t i = 0; i < p.size(); ++i) {
      POINT a = p[i], c = p[(i + 1) % p.size()];
      if (a.y == c.y || std::max(a.y, c.y) <= 0 || std::min(a.y, c.y) >= b.hauteur) continue;
      if (a.y > c.y) std::swap(a, c);
      bords.push_back({a, c});
    }
  std::sort(bords.begin(), bords.end(), [](const Bord& u, const Bord& v) { return u.haut.y < v.haut.y; });
  std::vector<const Bord*> actifs;
  std::vector<std::int64_t> coupes;
  std::size_t suivant = 0;
  for (LONG y = 0; y < b.hauteur; ++y) {
    for (; suivant < bords.size() && bords[suivant].haut.y <= y; ++suivant) actifs.push_back(&bords[suivant]);
    std::erase_if(actifs, [y](const Bord* e) { return e->bas.y <= y; });
    if (actifs.empty() && suivant == bords.size()) break;
    coupes.clear();
    for (const Bord* e : actifs) {
      // The edge crosses row y at x = n / d: the first pixel not left of it is ceil(n / d).
      const Grand d = static_cast<Grand>(e->bas.y) - e->haut.y;
      const Grand n = static_cast<Grand>(e->haut.x) * d +
                      (static_cast<Grand>(y) - e->haut.y) * (static_cast<Grand>(e->bas.x) - e->haut.x);
      coupes.push_back(static_cast<std::int64_t>(divisePlafond(n, d)));
    }
    std::sort(coupes.begin(), coupes.end());
    for (std::size_t i = 0; i + 1 < coupes.size(); i += 2) {
      const std::int64_t debut = std::max<std::int64_t>(coupes[i], 0);
      const std::int64_t fin = std::min<std::int64_t>(coupes[i + 1], b.largeur);
      if (debut < fin) metSegment(b, y, debut, fin, couleur);
    }
  }
}

// The steps t >= 0 for which 0 <= depart + sens * t < limite, as [de, a).
std::pair<std::int64_t, std::int64_t> pasDansBitmap(std::int64_t depart, int sens, std::int64_t limite) {
  if (sens > 0) return {-depart, limite - depart};
  return {depart - limite + 1, depart + 1};
}

// Bresenham from a to c, c itself left out. Along the longer axis step s of n; along the
// other, of m, the dot lies round(s * m / n) from a (halves away from a), so the steps
// inside the bitmap are found without walking the rest.
void trait(Bitmap& b, POINT a, POINT c, COLORREF couleur) {
  const std::int64_t ux = static_cast<std::int64_t>(c.x) - a.x, uy = static_cast<std::int64_t>(c.y) - a.y;
  const bool xMajeur = std::abs(ux) >= std::abs(uy);
  const std::int64_t n = xMajeur ? std::abs(ux) : std::abs(uy), m = xMajeur ? std::abs(uy) : std::abs(ux);
  if (n == 0) return;
  const int sx = ux < 0 ? -1 : 1, sy = uy < 0 ? -1 : 1;
  const std::int64_t departMajeur = xMajeur ? a.x : a.y, departMineur = xMajeur ? a.y : a.x;
  const int sensMajeur = xMajeur ? sx : sy, sensMineur = xMajeur ? sy : sx;
  const std::int64_t limiteMajeur = xMajeur ? b.largeur : b.hauteur, limiteMineur = xMajeur ? b.hauteur : b.largeur;
  // The first step whose dot is at least j along the shorter axis.
  const auto premierPas = [n, m](std::int64_t j) -> std::int64_t {
    if (j <= 0) return 0;
    if (m == 0) return n;
    const Grand s = divisePlafond(static_cast<Grand>(n) * (2 * static_cast<Grand>(j) - 1),
                                  2 * static_cast<Grand>(m));
    return static_cast<std::int64_t>(std::min<Grand>(s, n));
  };
  auto [de, a1] = pasDansBitmap(departMajeur, sensMajeur, limiteMajeur);
  const auto [j0, j1] = pasDansBitmap(departMineur, sensMineur, limiteMineur);
  de = std::max({de, std::int64_t{0}, premierPas(j0)});
  a1 = std::min({a1, n, premierPas(j1)});
  if (de >= a1) return;
  std::int64_t j = static_cast<std::int64_t>((2 * static_cast<Grand>(m) * de + n) / (2 * static_cast<Grand>(n)));
  // j moves on after step s when n (2j + 1) <= 2m (s + 1).
  Grand ecart = 2 * static_cast<Grand>(m) * (de + 1) - static_cast<Grand>(n) * (2 * j + 1);
  for (std::int64_t s = de; s < a1; ++s) {
    const std::int64_t majeur = departMajeur + sensMajeur * s, mineur = departMineur + sensMineur * j;
    if (xMajeur)
      metPixel(b, static_cast<LONG>(majeur), static_cast<LONG>(mineur), couleur);
    else
      metPixel(b, static_cast<LONG>(mineur), static_cast<LONG>(majeur), couleur);
    if (ecart >= 0) {
      ++j;
      ecart -= 2 * static_cast<Grand>(n);
    }
    ecart += 2 * static_cast<Grand>(m);
  }
}

BOOL dessine(HDC dc, const POINT* points, const INT* comptes, int nombre) {
  if (echoue(Call::Polygon)) return FALSE;
  Contexte* c = contexte(dc);
  if (!c) return FALSE;
  Bitmap* b = c->memoire ? bitmap(c->bitmap) : nullptr;
  if (!b || !points || !comptes || nombre <= 0) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return FALSE;
  }
  std::vector<std::vector<POINT>> polygones;
  for (int i = 0; i < nombre; ++i) {
    if (comptes[i] < 2) {
      SetLastError(ERROR_INVALID_PARAMETER);
      return FALSE;
    }
    polygones.emplace_back(points, points + comptes[i]);
    points += comptes[i];
  }
  remplit(*b, polygones, c->pinceau);
  const COLORREF encre = crayon(c->crayon)->couleur;
  for (const auto& p : polygones)
    for (std::size_t i = 0; i < p.size(); ++i) trait(*b, p[i], p[(i + 1) % p.size()], encre);
  return TRUE;
}

// What StretchBlt and GetDIBits read: a bitmap's pixels, or a copy of them when a
// bitmap is copied onto itself.
struct Pixels {
  explicit Pixels(const Bitmap& b) : octets(b.octets.data()), pas(static_cast<std::size_t>(b.pas)), bits(b.bits) {}
  const std::uint8_t* octets;
  std::size_t pas;
  WORD bits;
};

constexpr COLORREF rvb(std::uint32_t r, std::uint32_t v, std::uint32_t b) { return r | v << 8 | b << 16; }
constexpr std::uint32_t rouge(COLORREF c) { return c & 0xFF; }
constexpr std::uint32_t vert(COLORREF c) { return (c >> 8) & 0xFF; }
constexpr std::uint32_t bleu(COLORREF c) { return (c >> 16) & 0xFF; }

COLORREF litPixel(const Pixels& b, std::int64_t x, std::int64_t y) {
  const std::uint8_t* ligne = b.octets + static_cast<std::size_t>(y) * b.pas;
  const auto i = static_cast<std::size_t>(x);
  if (b.bits == 1) return (ligne[i >> 3] & (0x80 >> (i & 7))) ? kBlanc : 0;
  const std::uint8_t* p = ligne + 4 * i;
  return rvb(p[2], p[1], p[0]);
}

// A device-independent bitmap's layout, once its header is checked.
struct FormatDib {
  LONG largeur = 0, hauteur = 0;
  bool hautEnBas = false;
  WORD bits = 0;
  std::size_t pas = 0;
  const RGBQUAD* table = nullptr;
  std::uint32_t couleurs = 0;

  // The bitmap row (top row 0) that DIB row r holds, and the reverse.
  LONG rang(LONG r) const { return hautEnBas ? r : hauteur - 1 - r; }
};

std::optional<FormatDib> formatDib(const BITMAPINFO* info, UINT usage) {
  if (!info || usage != DIB_RGB_COLORS) return std::nullopt;
  const BITMAPINFOHEADER& e = info->bmiHeader;
  const WORD bits = e.biBitCount;
  if (e.biSize < sizeof(BITMAPINFOHEADER) || e.biPlanes != 1 || e.biCompression != BI_RGB || e.biWidth < 0 ||
      e.biHeight == INT32_MIN || (bits != 1 && bits != 4 && bits != 8 && bits != 24 && bits != 32))
    return std::nullopt;
  FormatDib f;
  f.largeur = e.biWidth;
  f.hauteur = e.biHeight < 0 ? -e.biHeight : e.biHeight;
  f.hautEnBas = e.biHeight < 0;
  f.bits = bits;
  const std::uint64_t pas = (static_cast<std::uint64_t>(e.biWidth) * bits + 31) / 32 * 4;
  if (pas > static_cast<std::uint64_t>(PTRDIFF_MAX) / static_cast<std::uint64_t>(std::max<LONG>(f.hauteur, 1)))
    return std::nullopt;
  f.pas = static_cast<std::size_t>(pas);
  if (bits <= 8) {
    f.table = reinterpret_cast<const RGBQUAD*>(reinterpret_cast<const BYTE*>(info) + e.biSize);
    f.couleurs = e.biClrUsed != 0 && e.biClrUsed < (1u << bits) ? e.biClrUsed : 1u << bits;
  }
  return f;
}

COLORREF litDib(const FormatDib& f, const std::uint8_t* ligne, LONG x) {
  const auto i = static_cast<std::size_t>(x);
  std::uint32_t index = 0;
  switch (f.bits) {
    case 1:
      index = (ligne[i >> 3] >> (7 - (i & 7))) & 1u;
      break;
    case 4:
      index = (ligne[i >> 1] >> ((i & 1) ? 0 : 4)) & 0xFu;
      break;
    case 8:
      index = ligne[i];
      break;
    case 24:
      return rvb(ligne[3 * i + 2], ligne[3 * i + 1], ligne[3 * i]);
    default:
      return rvb(ligne[4 * i + 2], ligne[4 * i + 1], ligne[4 * i]);
  }
  if (index >= f.couleurs) return 0;
  const RGBQUAD& q = f.table[index];
  return rvb(q.rgbRed, q.rgbGreen, q.rgbBlue);
}

// The nearest colour of a DIB's table, remembered for the colours last asked for.
class Proche {
 public:
  explicit Proche(const FormatDib& f) : f_(f), memoire_(4096) {}
  std::uint8_t operator()(COLORREF c) {
    Entree& e = memoire_[((c * 2654435761u) >> 20) & 4095u];
    if (e.cle == c + 1) return e.index;
    std::uint32_t meilleure = UINT32_MAX;
    std::uint8_t index = 0;
    for (std::uint32_t i = 0; i < f_.couleurs; ++i) {
      const RGBQUAD& q = f_.table[i];
      const auto ecart = [](std::uint32_t a, std::uint32_t b) { return (a - b) * (a - b); };
      const std::uint32_t d = ecart(rouge(c), q.rgbRed) + ecart(vert(c), q.rgbGreen) + ecart(bleu(c), q.rgbBlue);
      if (d < meilleure) {
        meilleure = d;
        index = static_cast<std::uint8_t>(i);
      }
    }
    e = {c + 1, index};
    return index;
  }

 private:
  struct Entree {
    std::uint32_t cle = 0;  // colour + 1; 0 = empty
    std::uint8_t index = 0;
  };
  const FormatDib& f_;
  std::vector<Entree> memoire_;
};

// Into a row cleared beforehand.
void ecritDib(const FormatDib& f, std::uint8_t* ligne, LONG x, COLORREF c, Proche& proche) {
  const auto i = static_cast<std::size_t>(x);
  switch (f.bits) {
    case 1:
      ligne[i >> 3] = static_cast<std::uint8_t>(ligne[i >> 3] | proche(c) << (7 - (i & 7)));
      break;
    case 4:
      ligne[i >> 1] = static_cast<std::uint8_t>(ligne[i >> 1] | proche(c) << ((i & 1) ? 0 : 4));
      break;
    case 8:
      ligne[i] = proche(c);
      break;
    case 24:
      ligne[3 * i] = static_cast<std::uint8_t>(bleu(c));
      ligne[3 * i + 1] = static_cast<std::uint8_t>(vert(c));
      ligne[3 * i + 2] = static_cast<std::uint8_t>(rouge(c));
      break;
    default:
      ligne[4 * i] = static_cast<std::uint8_t>(bleu(c));
      ligne[4 * i + 1] = static_cast<std::uint8_t>(vert(c));
      ligne[4 * i + 2] = static_cast<std::uint8_t>(rouge(c));
      ligne[4 * i + 3] = 0;
  }
}

// The source pixels under each destination pixel of one axis, by the HALFTONE rule:
// destination pixel i spans [i * ns, (i + 1) * ns) and source pixel s [s * nd, (s + 1) * nd),
// in units of 1 / nd source pixel; the weight is the overlap, and the weights sum to ns.
struct Portees {
  std::vector<std::int64_t> premier;  // first source pixel of each destination pixel
  std::vector<std::size_t> debut;     // its first weight in poids
  std::vector<std::uint64_t> poids;

  Portees(std::int64_t i0, std::int64_t i1, std::int64_t nd, std::int64_t ns) {
    for (std::int64_t i = i0; i < i1; ++i) {
      const std::int64_t bas = i * ns, haut = (i + 1) * ns;
      premier.push_back(bas / nd);
      debut.push_back(poids.size());
      for (std::int64_t s = bas / nd; s * nd < haut; ++s)
        poids.push_back(static_cast<std::uint64_t>(std::min((s + 1) * nd, haut) - std::max(s * nd, bas)));
    }
    debut.push_back(poids.size());
  }
};

BOOL copie(HDC dest, int xd, int yd, int wd, int hd, HDC src, int xs, int ys, int ws, int hs, DWORD rop,
           bool etire) {
  if (echoue(Call::StretchBlt)) return FALSE;
  Contexte* cd = contexte(dest);
  Contexte* cs = contexte(src);
  if (!cd || !cs) return FALSE;
  const int mode = etire ? cd->etirement : COLORONCOLOR;
  if (!cd->memoire || !cs->memoire || (rop != SRCCOPY && rop != NOTSRCCOPY) || wd < 1 || hd < 1 || ws < 1 ||
      hs < 1 || (mode != COLORONCOLOR && mode != HALFTONE)) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return FALSE;
  }
  Bitmap& bd = *bitmap(cd->bitmap);
  const Bitmap& bs = *bitmap(cs->bitmap);
  if (xs < 0 || ys < 0 || static_cast<std::int64_t>(xs) + ws > bs.largeur ||
      static_cast<std::int64_t>(ys) + hs > bs.hauteur) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return FALSE;
  }
  std::vector<std::uint8_t> copieSource;
  Pixels source(bs);
  if (&bd == &bs) {
    copieSource = bs.octets;
    source.octets = copieSource.data();
  }
  const std::int64_t i0 = std::max<std::int64_t>(0, -static_cast<std::int64_t>(xd));
  const std::int64_t i1 = std::min<std::int64_t>(wd, static_cast<std::int64_t>(bd.largeur) - xd);
  const std::int64_t j0 = std::max<std::int64_t>(0, -static_cast<std::int64_t>(yd));
  const std::int64_t j1 = std::min<std::int64_t>(hd, static_cast<std::int64_t>(bd.hauteur) - yd);
  const COLORREF inverse = rop == NOTSRCCOPY ? kBlanc : 0;
  const auto pose = [&](std::int64_t i, std::int64_t j, COLORREF c) {
    metPixel(bd, static_cast<LONG>(xd + i), static_cast<LONG>(yd + j), c ^ inverse);
  };
  if (mode == COLORONCOLOR) {
    const auto centre = [](std::int64_t i, std::int64_t nd, std::int64_t ns) { return (2 * i + 1) * ns / (2 * nd); };
    std::vector<std::int64_t> colonnes;
    for (std::int64_t i = i0; i < i1; ++i) colonnes.push_back(xs + centre(i, wd, ws));
    for (std::int64_t j = j0; j < j1; ++j) {
      const std::int64_t y = ys + centre(j, hd, hs);
      for (std::int64_t i = i0; i < i1; ++i)
        pose(i, j, litPixel(source, colonnes[static_cast<std::size_t>(i - i0)], y));
    }
    return TRUE;
  }
  if (i0 >= i1 || j0 >= j1) return TRUE;
  const Portees px(i0, i1, wd, ws), py(j0, j1, hd, hs);
  const std::uint64_t total = static_cast<std::uint64_t>(ws) * static_cast<std::uint64_t>(hs);
  for (std::int64_t j = j0; j < j1; ++j) {
    const auto pj = static_cast<std::size_t>(j - j0);
    for (std::int64_t i = i0; i < i1; ++i) {
      const auto pi = static_cast<std::size_t>(i - i0);
      std::uint64_t r = 0, v = 0, b = 0;
      for (std::size_t t = py.debut[pj]; t < py.debut[pj + 1]; ++t) {
        const std::int64_t y = ys + py.premier[pj] + static_cast<std::int64_t>(t - py.debut[pj]);
        for (std::size_t s = px.debut[pi]; s < px.debut[pi + 1]; ++s) {
          const std::int64_t x = xs + px.premier[pi] + static_cast<std::int64_t>(s - px.debut[pi]);
          const std::uint64_t w = py.poids[t] * px.poids[s];
          const COLORREF c = litPixel(source, x, y);
          r += w * rouge(c);
          v += w * vert(c);
          b += w * bleu(c);
        }
      }
      const auto moyenne = [total](std::uint64_t s) { return static_cast<std::uint32_t>((s + total / 2) / total); };
      pose(i, j, rvb(moyenne(r), moyenne(v), moyenne(b)));
    }
  }
  return TRUE;
}

}  // namespace

HDC GetDC(HWND) {
  if (echoue(Call::GetDC)) return nullptr;
  HDC dc = nouveauContexte(false);
  contexte(dc)->modele = dc;
  return dc;
}

int ReleaseDC(HWND, HDC dc) {
  Contexte* c = contexte(dc);
  if (!c || c->modele != dc) return 0;
  return win32::libere(dc, Objet::Genre::ContexteDessin) ? 1 : 0;
}

HDC CreateDCA(LPCSTR, LPCSTR device, LPCSTR, const DEVMODEA*) {
  if (echoue(Call::CreateDC) || !device) return nullptr;
  return nouveauContexte(false);
}

HDC CreateCompatibleDC(HDC dc) {
  if (echoue(Call::CreateCompatibleDC)) return nullptr;
  if (dc && !contexte(dc)) return nullptr;
  return nouveauContexte(true);
}

BOOL DeleteDC(HDC dc) {
  Contexte* c = contexte(dc);
  if (!c || c->modele == dc) {
    SetLastError(ERROR_INVALID_HANDLE);
    return FALSE;
  }
  if (Bitmap* b = bitmap(c->bitmap)) b->selection = nullptr;
  if (Crayon* p = crayon(c->crayon)) p->selection = nullptr;
  return win32::libere(dc, Objet::Genre::ContexteDessin) ? TRUE : FALSE;
}

HBITMAP CreateCompatibleBitmap(HDC dc, int width, int height) {
  if (echoue(Call::CreateCompatibleBitmap, ERROR_NOT_ENOUGH_MEMORY)) return nullptr;
  Contexte* c = contexte(dc);
  if (!c) return nullptr;
  // Compatible with a memory context means with its bitmap: mono until one is selected.
  const WORD bits = c->memoire ? bitmap(c->bitmap)->bits : 32;
  return nouveauBitmap(width, height, bits);
}

HPEN CreatePen(int style, int, COLORREF colour) {
  if (echoue(Call::CreatePen) || style != PS_SOLID) return nullptr;
  auto* p = new Crayon;
  p->couleur = colour;
  return win32::enregistre(p);
}

HGDIOBJ SelectObject(HDC dc, HGDIOBJ object) {
  if (echoue(Call::SelectObject)) return nullptr;
  Contexte* c = contexte(dc);
  if (!c) return nullptr;
  if (Bitmap* b = bitmap(object)) {
    if (!c->memoire || (b->selection && b->selection != dc)) {
      SetLastError(ERROR_INVALID_PARAMETER);
      return nullptr;
    }
    HGDIOBJ ancien = c->bitmap;
    bitmap(ancien)->selection = nullptr;
    b->selection = dc;
    c->bitmap = object;
    return ancien;
  }
  if (Crayon* p = crayon(object)) {
    HGDIOBJ ancien = c->crayon;
    crayon(ancien)->selection = nullptr;
    p->selection = dc;
    c->crayon = object;
    return ancien;
  }
  SetLastError(ERROR_INVALID_HANDLE);
  return nullptr;
}

// An object still selected into a device context cannot go.
BOOL DeleteObject(HGDIOBJ object) {
  if (Bitmap* b = bitmap(object)) {
    if (b->selection) return FALSE;
    return win32::libere(object, Objet::Genre::Bitmap) ? TRUE : FALSE;
  }
  if (Crayon* p = crayon(object)) {
    if (p->selection) return FALSE;
    return win32::libere(object, Objet::Genre::Crayon) ? TRUE : FALSE;
  }
  return FALSE;
}

BOOL Polygon(HDC dc, const POINT* points, int count) {
  const INT compte = count;
  return dessine(dc, points, &compte, 1);
}

BOOL PolyPolygon(HDC dc, const POINT* points, const INT* counts, int polygons) {
  return dessine(dc, points, counts, polygons);
}

int GetObjectA(HANDLE object, int size, LPVOID buffer) {
  if (echoue(Call::GetObject)) return 0;
  const Bitmap* b = bitmap(object);
  if (!b) return 0;
  if (!buffer) return sizeof(BITMAP);
  if (size < static_cast<int>(sizeof(BITMAP))) {
    SetLastError(ERROR_INSUFFICIENT_BUFFER);
    return 0;
  }
  BITMAP m{0, b->largeur, b->hauteur, b->pas, 1, b->bits, nullptr};
  std::memcpy(buffer, &m, sizeof m);
  return sizeof(BITMAP);
}

LONG GetBitmapBits(HBITMAP bitmapHandle, LONG size, LPVOID bits) {
  if (echoue(Call::GetBitmapBits)) return 0;
  const Bitmap* b = bitmap(bitmapHandle);
  if (!b || !bits || size <= 0) return 0;
  const auto n = std::min<std::size_t>(static_cast<std::size_t>(size), b->octets.size());
  std::memcpy(bits, b->octets.data(), n);
  return static_cast<LONG>(n);
}

HBITMAP CreateDIBitmap(HDC dc, const BITMAPINFOHEADER* header, DWORD init, LPCVOID bits, const BITMAPINFO* info,
                       UINT usage) {
  if (echoue(Call::CreateDIBitmap, ERROR_NOT_ENOUGH_MEMORY)) return nullptr;
  Contexte* c = contexte(dc);
  if (!c) return nullptr;
  std::optional<FormatDib> f;
  if (init & CBM_INIT) f = formatDib(info, usage);
  if (!header || header->biSize < sizeof(BITMAPINFOHEADER) || header->biHeight == INT32_MIN ||
      ((init & CBM_INIT) && (!f || !bits))) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return nullptr;
  }
  const WORD profondeur = c->memoire ? bitmap(c->bitmap)->bits : 32;
  HBITMAP h = nouveauBitmap(header->biWidth, header->biHeight < 0 ? -header->biHeight : header->biHeight, profondeur);
  if (!h || !f) return h;
  Bitmap& b = *bitmap(h);
  const LONG largeur = std::min(f->largeur, b.largeur), hauteur = std::min(f->hauteur, b.hauteur);
  for (LONG y = 0; y < hauteur; ++y) {
    const std::uint8_t* ligne = static_cast<const std::uint8_t*>(bits) + static_cast<std::size_t>(f->rang(y)) * f->pas;
    for (LONG x = 0; x < largeur; ++x) metPixel(b, x, y, litDib(*f, ligne, x));
  }
  return h;
}

int SetStretchBltMode(HDC dc, int mode) {
  Contexte* c = contexte(dc);
  if (!c) return 0;
  if (mode < BLACKONWHITE || mode > HALFTONE) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return 0;
  }
  return std::exchange(c->etirement, mode);
}

BOOL StretchBlt(HDC dest, int xDest, int yDest, int wDest, int hDest, HDC src, int xSrc, int ySrc, int wSrc, int hSrc,
                DWORD rop) {
  return copie(dest, xDest, yDest, wDest, hDest, src, xSrc, ySrc, wSrc, hSrc, rop, true);
}

BOOL BitBlt(HDC dest, int x, int y, int w, int h, HDC src, int xSrc, int ySrc, DWORD rop) {
  return copie(dest, x, y, w, h, src, xSrc, ySrc, w, h, rop, false);
}

int GetDIBits(HDC dc, HBITMAP bitmapHandle, UINT start, UINT lines, LPVOID bits, LPBITMAPINFO info, UINT usage) {
  if (echoue(Call::GetDIBits)) return 0;
  if (!contexte(dc)) return 0;
  const Bitmap* b = bitmap(bitmapHandle);
  if (!b) return 0;
  const std::optional<FormatDib> f = formatDib(info, usage);
  if (!f || !bits || f->largeur != b->largeur || f->hauteur != b->hauteur) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return 0;
  }
  if (start >= static_cast<UINT>(b->hauteur)) return 0;
  const UINT n = std::min(lines, static_cast<UINT>(b->hauteur) - start);
  const Pixels source(*b);
  Proche proche(*f);
  for (UINT k = 0; k < n; ++k) {
    auto* ligne = static_cast<std::uint8_t*>(bits) + static_cast<std::size_t>(k) * f->pas;
    std::memset(ligne, 0, f->pas);
    const LONG y = f->rang(static_cast<LONG>(start + k));
    for (LONG x = 0; x < f->largeur; ++x) ecritDib(*f, ligne, x, litPixel(source, x, y), proche);
  }
  return static_cast<int>(n);
}
