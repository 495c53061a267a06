// GDI, as much as the polygon fill draws with: device contexts, bitmaps, solid pens and
// filled polygons. Every pixel rule is stated here, so results are exact and repeatable.
#include "etat.h"

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <new>
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

std::int64_t divisePlafond(std::int64_t a, std::int64_t b) {  // b > 0
  return a >= 0 ? (a + b - 1) / b : -((-a) / b);
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
      if (a.y == c.y) continue;
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
    coupes.clear();
    for (const Bord* e : actifs) {
      // The edge crosses row y at x = n / d: the first pixel not left of it is ceil(n / d).
      const std::int64_t d = static_cast<std::int64_t>(e->bas.y) - e->haut.y;
      const std::int64_t n = static_cast<std::int64_t>(e->haut.x) * d +
                             (static_cast<std::int64_t>(y) - e->haut.y) * (static_cast<std::int64_t>(e->bas.x) - e->haut.x);
      coupes.push_back(divisePlafond(n, d));
    }
    std::sort(coupes.begin(), coupes.end());
    for (std::size_t i = 0; i + 1 < coupes.size(); i += 2) {
      const std::int64_t debut = std::max<std::int64_t>(coupes[i], 0);
      const std::int64_t fin = std::min<std::int64_t>(coupes[i + 1], b.largeur);
      for (std::int64_t x = debut; x < fin; ++x) metPixel(b, static_cast<LONG>(x), y, couleur);
    }
  }
}

// Bresenham from a to c, c itself left out.
void trait(Bitmap& b, POINT a, POINT c, COLORREF couleur) {
  const std::int64_t dx = std::abs(static_cast<std::int64_t>(c.x) - a.x);
  const std::int64_t dy = -std::abs(static_cast<std::int64_t>(c.y) - a.y);
  const int sx = a.x < c.x ? 1 : -1, sy = a.y < c.y ? 1 : -1;
  std::int64_t erreur = dx + dy;
  std::int64_t x = a.x, y = a.y;
  while (x != c.x || y != c.y) {
    if (x >= 0 && y >= 0 && x < b.largeur && y < b.hauteur) metPixel(b, static_cast<LONG>(x), static_cast<LONG>(y), couleur);
    const std::int64_t e2 = 2 * erreur;
    if (e2 >= dy) {
      erreur += dy;
      x += sx;
    }
    if (e2 <= dx) {
      erreur += dx;
      y += sy;
    }
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
