#include "preparation_image.h"

#include "fichiers_raster.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <limits>
#include <vector>

namespace {

std::uint16_t mot(const std::uint8_t* bloc, std::size_t offset) {
  return static_cast<std::uint16_t>(bloc[offset] | bloc[offset + 1] << 8);
}

constexpr int kPleinePuissance = 127;

void transfere(ContexteConversion& ctx, bool ecriture, HANDLE& h, std::int64_t ligne, std::int64_t largeur,
               std::int64_t colonne, std::size_t n, void* tampon) {
  if (n == 0) return;
  if (n > std::numeric_limits<DWORD>::max()) ErreurFatale(ctx, MsgMemoire);
  const auto position = static_cast<std::uint64_t>(ligne * largeur + colonne);
  const auto bas = static_cast<DWORD>(position), haut = static_cast<DWORD>(position >> 32);
  if (ecriture)
    EcritFichierTemp(ctx, h, static_cast<DWORD>(n), tampon, bas, haut);
  else
    LitFichierTemp(ctx, h, static_cast<DWORD>(n), tampon, bas, haut);
}

// A row or block buffer; no memory: "Memory error".
std::vector<std::uint8_t> tampon(ContexteConversion& ctx, std::uint64_t n) {
  if (n > std::uint64_t{1} << 31) ErreurFatale(ctx, MsgMemoire);
  try {
    return std::vector<std::uint8_t>(static_cast<std::size_t>(n));
  } catch (const std::bad_alloc&) {
    ErreurFatale(ctx, MsgMemoire);
  }
}

struct Fraction {
  std::int32_t entier = 0, reste = 0, plage = 0;
  // Copies of source element i when enlarging.
  std::int32_t copies(std::int64_t i) const {
    return entier + (plage && i % plage < reste ? 1 : 0);
  }
  std::int64_t agrandi(std::int64_t n) const {
    if (!plage) return n * entier;
    return n / plage * (static_cast<std::int64_t>(plage) * entier + reste) + (n % plage) * entier +
           std::min<std::int64_t>(n % plage, reste);
  }
  // Elements kept when reducing n: offsets 0, pas, 2 pas ... of every period.
  std::vector<std::int32_t> retenus(std::int32_t n) const {
    std::vector<std::int32_t> r;
    const std::int32_t pas = plage / reste;
    for (std::int64_t base = 0; base < n; base += plage)
      for (std::int32_t j = 0; j < reste; ++j) {
        const std::int64_t offset = static_cast<std::int64_t>(j) * pas;
        if (base + offset + pas > n) break;
        r.push_back(static_cast<std::int32_t>(base + offset));
      }
    return r;
  }
};

struct Echelle {
  std::int32_t page, dpiX, dpiY;
  Fraction x, y;
};

// Page and marking resolutions; a resolution of 0 cannot be rescaled: "DPI error".
Echelle echelle(ContexteConversion& ctx) {
  Echelle e{ctx.ResolutionRaster, ctx.Entete.Champs[ChDpiX], ctx.Entete.Champs[ChDpiY], {}, {}};
  if (e.page <= 0 || e.dpiX <= 0 || e.dpiY <= 0) ErreurFatale(ctx, MsgDpi);
  DecomposeFraction(static_cast<std::uint32_t>(e.page), static_cast<std::uint32_t>(e.dpiX), e.x.entier,
                    e.x.reste, e.x.plage);
  DecomposeFraction(static_cast<std::uint32_t>(e.page), static_cast<std::uint32_t>(e.dpiY), e.y.entier,
                    e.y.reste, e.y.plage);
  return e;
}

void versPixels(const std::uint8_t* octets, std::int64_t n, std::uint8_t* pixels) {
  for (std::int64_t i = 0; i < n; ++i) pixels[i] = octets[i >> 3] >> (7 - (i & 7)) & 1;
}

// Pixels to bits, the first in the most significant bit; the last byte completed with 0.
void versBits(const std::uint8_t* pixels, std::int64_t n, std::uint8_t* octets) {
  std::memset(octets, 0, static_cast<std::size_t>((n + 7) / 8));
  for (std::int64_t i = 0; i < n; ++i)
    if (pixels[i]) octets[i >> 3] = static_cast<std::uint8_t>(octets[i >> 3] | 0x80 >> (i & 7));
}

// Rescaling of the raster being prepared, 8-bit or 1-bit.
void reechantillonne(ContexteConversion& ctx, EtatSortie& sortie, HANDLE& h, bool bits) {
  const Echelle e = echelle(ctx);
  std::int64_t w = std::max(sortie.LargeurCourante, 0), hauteur = std::max(sortie.HauteurCourante, 0);
  if (e.dpiX < e.page || e.dpiY < e.page) {
    const std::int64_t pixels = bits ? std::min<std::int64_t>(std::max(ctx.LargeurPixelsStylo, 0), w * 8) : w;
    std::vector<std::int32_t> colonnes;
    if (e.dpiX < e.page) {
      colonnes = e.x.retenus(static_cast<std::int32_t>(pixels));
    } else {
      colonnes.resize(static_cast<std::size_t>(pixels));
      for (std::size_t i = 0; i < colonnes.size(); ++i) colonnes[i] = static_cast<std::int32_t>(i);
    }
    const auto nx = static_cast<std::int64_t>(colonnes.size());
    const std::int64_t largeur = bits ? (nx + 7) / 8 : nx;
    std::vector<std::uint8_t> ligne = tampon(ctx, static_cast<std::uint64_t>(w));
    std::vector<std::uint8_t> source = tampon(ctx, static_cast<std::uint64_t>(bits ? w * 8 : 0));
    std::vector<std::uint8_t> cible = tampon(ctx, static_cast<std::uint64_t>(nx));
    std::int64_t sortieLignes = 0;
    auto prendLigne = [&](std::int64_t r) {
      transfere(ctx, false, h, r, w, 0, static_cast<std::size_t>(w), ligne.data());
      const std::uint8_t* px = ligne.data();
      if (bits) {
        versPixels(ligne.data(), w * 8, source.data());
        px = source.data();
      }
      for (std::int64_t i = 0; i < nx; ++i) cible[static_cast<std::size_t>(i)] = px[colonnes[static_cast<std::size_t>(i)]];
      if (bits) {
        versBits(cible.data(), nx, ligne.data());
        transfere(ctx, true, h, sortieLignes, largeur, 0, static_cast<std::size_t>(largeur), ligne.data());
      } else {
        transfere(ctx, true, h, sortieLignes, largeur, 0, static_cast<std::size_t>(largeur), cible.data());
      }
      ++sortieLignes;
    };
    if (e.dpiY < e.page)
      for (std::int32_t r : e.y.retenus(static_cast<std::int32_t>(hauteur))) prendLigne(r);
    else
      for (std::int64_t r = 0; r < hauteur; ++r) prendLigne(r);
    w = largeur;
    hauteur = sortieLignes;
    if (bits) ctx.LargeurPixelsStylo = static_cast<std::int32_t>(nx);
  }
  if (e.dpiX > e.page || e.dpiY > e.page) {
    const std::int64_t pixels = bits ? w * 8 : w;
    const std::int64_t nx = e.dpiX > e.page ? e.x.agrandi(pixels) : pixels;
    const std::int64_t ny = e.dpiY > e.page ? e.y.agrandi(hauteur) : hauteur;
    if (nx > kCoteMaxMarquage || ny > kCoteMaxMarquage || nx * ny > kPointsRasterMax) ErreurFatale(ctx, MsgDpi);
    const std::int64_t largeur = bits ? (nx + 7) / 8 : nx;
    std::vector<std::uint8_t> ligne = tampon(ctx, static_cast<std::uint64_t>(w));
    std::vector<std::uint8_t> source = tampon(ctx, static_cast<std::uint64_t>(bits ? pixels : 0));
    std::vector<std::uint8_t> cible = tampon(ctx, static_cast<std::uint64_t>(nx));
    std::vector<std::uint8_t> cibleBits = tampon(ctx, static_cast<std::uint64_t>(bits ? largeur : 0));
    HANDLE agrandi = CreeFichierTemp(ctx);
    try {
      std::int64_t sortieLignes = 0;
      for (std::int64_t r = 0; r < hauteur; ++r) {
        transfere(ctx, false, h, r, w, 0, static_cast<std::size_t>(w), ligne.data());
        const std::uint8_t* px = ligne.data();
        if (bits) {
          versPixels(ligne.data(), pixels, source.data());
          px = source.data();
        }
        std::uint8_t* o = cible.data();
        if (e.dpiX > e.page) {
          for (std::int64_t i = 0; i < pixels; ++i) {
            const std::int32_t k = e.x.copies(i);
            std::memset(o, px[i], static_cast<std::size_t>(k));
            o += k;
          }
        } else {
          std::memcpy(o, px, static_cast<std::size_t>(pixels));
        }
        const std::uint8_t* donnees = cible.data();
        if (bits) {
          versBits(cible.data(), nx, cibleBits.data());
          donnees = cibleBits.data();
        }
        const std::int32_t fois = e.dpiY > e.page ? e.y.copies(r) : 1;
        for (std::int32_t k = 0; k < fois; ++k)
          transfere(ctx, true, agrandi, sortieLignes++, largeur, 0, static_cast<std::size_t>(largeur),
                    const_cast<std::uint8_t*>(donnees));
      }
    } catch (...) {
      if (agrandi) CloseHandle(agrandi);
      throw;
    }
    CloseHandle(h);
    h = agrandi;
    w = largeur;
    hauteur = ny;
    if (bits) ctx.LargeurPixelsStylo = static_cast<std::int32_t>(nx);
  }
  sortie.LargeurCourante = static_cast<std::int32_t>(w);
  sortie.HauteurCourante = static_cast<std::int32_t>(hauteur);
}

constexpr std::uint8_t kSeuilsTrame[8][8] = {
    {18, 37, 49, 57, 61, 52, 39, 17}, {31, 5, 21, 41, 44, 23, 3, 29},  {53, 15, 12, 25, 27, 9, 13, 56},
    {59, 45, 35, 1, 7, 33, 47, 63},   {64, 48, 34, 8, 2, 36, 46, 60},  {55, 14, 10, 28, 26, 11, 16, 54},
    {30, 4, 24, 43, 42, 22, 6, 32},   {19, 40, 51, 62, 58, 50, 38, 20}};

std::uint64_t mot64(const std::uint8_t* p) {
  std::uint64_t v;
  std::memcpy(&v, p, 8);
  return v;
}

// Eight neighbour pairs at once: nothing happens where they are equal or where none is 0.
bool rienAFaire(std::uint64_t g, std::uint64_t d) {
  constexpr std::uint64_t kUns = 0x0101010101010101ull, kHauts = 0x8080808080808080ull;
  auto sansZero = [](std::uint64_t v) { return ((v - kUns) & ~v & kHauts) == 0; };
  return g == d || (sansZero(g) && sansZero(d));
}

// One ring along a row: the 0 pixels that touch ink or an earlier ring take the label.
// Only pairs from column de on can act, and the flag is still that of the row's start there.
void anneauLigne(std::uint8_t* p, std::int64_t de, std::int64_t w, std::uint8_t etiquette) {
  int s = p[0] != 0;
  for (std::int64_t x = de; x + 1 < w;) {
    if (x + 9 <= w && rienAFaire(mot64(p + x), mot64(p + x + 1))) {
      x += 8;
      continue;
    }
    for (const std::int64_t fin = std::min(x + 8, w - 1); x < fin; ++x) {
      if (p[x] == p[x + 1]) continue;
      if (p[x] == 0 && s == 0) {
        p[x] = etiquette;
        s = 1;
      } else if (p[x + 1] == 0 && s == 1) {
        p[x + 1] = etiquette;
        s = 0;
      }
    }
  }
}

// The same down the columns between rows h and b, with a flag per column.
void anneauColonnes(std::uint8_t* h, std::uint8_t* b, std::int64_t de, std::int64_t w, std::uint8_t etiquette,
                    std::uint8_t* s) {
  for (std::int64_t x = de; x < w;) {
    if (x + 8 <= w && rienAFaire(mot64(h + x), mot64(b + x))) {
      x += 8;
      continue;
    }
    for (const std::int64_t fin = std::min(x + 8, w); x < fin; ++x) {
      if (h[x] == b[x]) continue;
      if (h[x] == 0 && s[x] == 0) {
        h[x] = etiquette;
        s[x] = 1;
      } else if (b[x] == 0 && s[x] == 1) {
        b[x] = etiquette;
        s[x] = 0;
      }
    }
  }
}

// n rings over a block of nb rows: ring k works on rows [n - k - 1, nb - k) unless the block
// starts or ends the image. Every ring runs a row behind the one before it, in one pass over
// the rows, so that the rows being worked on stay in the cache; each ring sees exactly what
// it would after the whole of the ring before.
// Columns [debut, fin) of a row that hold its 0 pixels; only pairs touching them can act,
// and labels only ever fill them.
struct Zeros {
  std::int64_t debut, fin;
};

void resserre(const std::uint8_t* l, Zeros& z) {
  while (z.debut < z.fin && l[z.debut] != 0) ++z.debut;
  while (z.fin > z.debut && l[z.fin - 1] != 0) --z.fin;
}

void anneaux(std::uint8_t* bloc, std::int64_t w, std::int64_t nb, int n, bool premier, bool dernier,
             std::vector<std::uint8_t>& drapeaux) {
  drapeaux.assign(static_cast<std::size_t>(w) * static_cast<std::size_t>(n), 0);
  std::vector<Zeros> zeros(static_cast<std::size_t>(nb));
  for (std::int64_t r = 0; r < nb; ++r) {
    zeros[static_cast<std::size_t>(r)] = {0, w};
    resserre(bloc + r * w, zeros[static_cast<std::size_t>(r)]);
  }
  for (std::int64_t t = 0; t < nb + n; ++t)
    for (int k = 0; k < n; ++k) {
      const std::int64_t r = t - k;
      const std::int64_t de = premier ? 0 : n - k - 1, a = dernier ? nb : nb - k;
      if (r < de || r >= a) continue;
      const auto etiquette = static_cast<std::uint8_t>(k + 2);
      std::uint8_t* ligne = bloc + r * w;
      std::uint8_t* s = drapeaux.data() + static_cast<std::size_t>(k) * static_cast<std::size_t>(w);
      Zeros& z = zeros[static_cast<std::size_t>(r)];
      if (z.debut < z.fin) {
        anneauLigne(ligne, std::max<std::int64_t>(z.debut - 1, 0), std::min(z.fin + 1, w), etiquette);
        resserre(ligne, z);
      }
      if (r == de) {
        for (std::int64_t x = 0; x < w; ++x) s[x] = ligne[x] != 0;
        continue;
      }
      Zeros& zh = zeros[static_cast<std::size_t>(r - 1)];
      const std::int64_t c0 = std::min(zh.fin > zh.debut ? zh.debut : w, z.fin > z.debut ? z.debut : w);
      const std::int64_t c1 = std::max(zh.fin > zh.debut ? zh.fin : 0, z.fin > z.debut ? z.fin : 0);
      if (c0 < c1) {
        anneauColonnes(ligne - w, ligne, c0, c1, etiquette, s);
        resserre(ligne - w, zh);
        resserre(ligne, z);
      }
    }
}

}  // namespace

OptionsImage LitOptionsImage(const ContexteConversion& ctx) {
  const std::uint8_t* a = ctx.BlocTraitementA;
  const std::uint8_t* b = ctx.BlocTraitementB;
  auto ma = [&](std::size_t offset) { return mot(a, offset - pj::BlocTraitementA); };
  auto mb = [&](std::size_t offset) { return mot(b, offset - pj::BlocTraitementB); };
  OptionsImage o{};
  o.puissance = ma(60) != 0;
  o.gris = ma(62) != 0;
  o.seuil = ma(64) != 0;
  o.trame = ma(66) != 0;
  o.diffusion = ma(70) != 0;
  o.seuilPuissance = ma(72);
  o.relief = mb(86) != 0;
  o.rampePourcent = mb(88);
  o.rampeLargeur = mb(90);
  o.rampeDebut = mb(92);
  return o;
}

void LitRangee(ContexteConversion& ctx, HANDLE& h, std::int64_t ligne, std::int64_t largeur,
               std::int64_t colonne, std::size_t n, void* tampon) {
  transfere(ctx, false, h, ligne, largeur, colonne, n, tampon);
}

void EcritRangee(ContexteConversion& ctx, HANDLE& h, std::int64_t ligne, std::int64_t largeur,
                 std::int64_t colonne, std::size_t n, const void* tampon) {
  transfere(ctx, true, h, ligne, largeur, colonne, n, const_cast<void*>(tampon));
}

std::uint64_t MemoireBlocs() {
  MEMORYSTATUS etat{};
  GlobalMemoryStatus(&etat);
  // Two thirds of what is free, but never more than a page's scratch deserves.
  const std::uint64_t plafond = std::uint64_t{512} << 20;
  return std::max<std::uint64_t>(1, std::min<std::uint64_t>(etat.dwAvailPhys / 3 * 2, plafond));
}

int DecomposeFraction(std::uint32_t a, std::uint32_t b, std::int32_t& entier, std::int32_t& reste,
                      std::int32_t& plage) {
  entier = reste = plage = 0;
  if (a == 0 || b == 0) return 0;
  if (a == b) {
    reste = plage = 1;
    return 1;
  }
  std::uint32_t x = a, y = b;
  while (y) {
    const std::uint32_t t = x % y;
    x = y;
    y = t;
  }
  const std::uint32_t g = x;
  if (b < a) {
    reste = static_cast<std::int32_t>(b / g);
    plage = static_cast<std::int32_t>(a / g);
  } else {
    entier = static_cast<std::int32_t>(b / a);
    reste = static_cast<std::int32_t>((b / g) % (a / g));
    plage = reste ? static_cast<std::int32_t>(a / g) : 0;
  }
  return 1;
}

std::array<std::uint8_t, 256> TablePuissanceRacine() {
  std::array<std::uint8_t, 256> t{};
  for (int i = 0; i < 256; ++i)
    t[static_cast<std::size_t>(i)] =
        ConvertitGrisPuissance(Arrondit(127 * std::sqrt(255.0 - i) / std::sqrt(255.0)));
  return t;
}

std::array<std::uint8_t, 256> TableNiveauxTrame(int seuil) {
  std::array<std::uint8_t, 256> t{};
  const int decalage = Arrondit(2.55 * (50 - seuil));
  for (int g = 0; g < 255; ++g)
    t[static_cast<std::size_t>(g)] = static_cast<std::uint8_t>(std::clamp(255 - g + decalage, 0, 255));
  t[255] = 0;
  return t;
}

bool CelluleTrame(int niveau, int y, int x) { return niveau >= kSeuilsTrame[y & 7][x & 7]; }

std::array<std::uint8_t, kTailleTabPui> TablePuissanceRelief(int n, int m, int pourcent) {
  std::array<std::uint8_t, kTailleTabPui> t{};
  t[0] = kPleinePuissance;
  t[1] = 0;
  // The rising part ends at label m + 1: a start width past the table stops at its end.
  m = std::clamp(m, 0, kTailleTabPui - 2);
  n = std::clamp(n, 0, kTailleTabPui - 2);
  const double p = pourcent * 1.27;
  for (int j = 2; j <= m + 1; ++j) t[static_cast<std::size_t>(j)] = static_cast<std::uint8_t>(std::clamp(static_cast<int>(p * (j - 1) / m), 0, 255));
  for (int j = m + 2; j <= n + 1; ++j)
    t[static_cast<std::size_t>(j)] = static_cast<std::uint8_t>(
        std::clamp(static_cast<int>(p + (kPleinePuissance - p) * (j - m - 1) / (n - m)), 0, 255));
  return t;
}

void DiffusePuissance(ContexteConversion& ctx, EtatSortie& sortie) {
  if (!sortie.hRasterGris) return;
  const OptionsImage o = LitOptionsImage(ctx);
  const std::int64_t w = std::max(sortie.LargeurRasterGris, 0), h = std::max(sortie.HauteurRasterGris, 0);
  if (w == 0 || h == 0) return;
  const std::array<std::uint8_t, 256> pui = TablePuissanceRacine();
  std::vector<std::uint8_t> prec = tampon(ctx, static_cast<std::uint64_t>(w));
  std::vector<std::uint8_t> cour = tampon(ctx, static_cast<std::uint64_t>(w));
  HANDLE& f = sortie.hRasterGris;
  auto ecrit = [&](std::int64_t r, std::vector<std::uint8_t>& ligne) {
    for (auto& v : ligne) v = pui[v];
    transfere(ctx, true, f, r, w, 0, static_cast<std::size_t>(w), ligne.data());
  };
  if (!o.diffusion) {
    for (std::int64_t r = 0; r < h; ++r) {
      transfere(ctx, false, f, r, w, 0, static_cast<std::size_t>(w), prec.data());
      ecrit(r, prec);
    }
    return;
  }
  // A neighbour takes its share of the error unless it is pure white; clamped, truncated.
  auto ajoute = [](int v, float e) {
    if (v == 255) return v;
    return static_cast<int>(std::clamp(static_cast<float>(v) + e, 0.0f, 255.0f));
  };
  transfere(ctx, false, f, 0, w, 0, static_cast<std::size_t>(w), prec.data());
  for (std::int64_t r = 1; r < h; ++r) {
    transfere(ctx, false, f, r, w, 0, static_cast<std::size_t>(w), cour.data());
    std::uint8_t* p = prec.data();
    std::uint8_t* c = cour.data();
    // The pixel to the right and the three below travel in registers along the row.
    int droite = p[0];
    int basG = 0, bas = c[0], basD = w > 1 ? c[1] : 0;
    for (std::int64_t x = 0; x < w; ++x) {
      const int v = droite;
      const bool noir = v < 128;
      p[x] = noir ? 0 : 255;
      const float e = static_cast<float>(noir ? v : v - 255);
      droite = x + 1 < w ? p[x + 1] : 0;
      if (e != 0.0f) {
        if (x + 1 < w) {
          droite = ajoute(droite, e * 7.0f / 16.0f);
          basD = ajoute(basD, e * 1.0f / 16.0f);
        }
        if (x > 0) basG = ajoute(basG, e * 3.0f / 16.0f);
        bas = ajoute(bas, e * 5.0f / 16.0f);
      }
      if (x > 0) c[x - 1] = static_cast<std::uint8_t>(basG);
      basG = bas;
      bas = basD;
      basD = x + 2 < w ? c[x + 2] : 0;
    }
    c[w - 1] = static_cast<std::uint8_t>(basG);
    ecrit(r - 1, prec);
    std::swap(prec, cour);
  }
  for (auto& v : prec) v = v < 128 ? 0 : 255;
  ecrit(h - 1, prec);
}

void TrameNiveauxGris(ContexteConversion& ctx, EtatSortie& sortie) {
  const OptionsImage o = LitOptionsImage(ctx);
  const std::int64_t w = std::max(sortie.LargeurCourante, 0), h = std::max(sortie.HauteurCourante, 0);
  if (w == 0 || h == 0) return;
  const std::array<std::uint8_t, 256> ndg = TableNiveauxTrame(o.seuilPuissance);
  const std::uint8_t encre = o.relief ? 1 : kPleinePuissance;
  // Per screen row: the cell value of every grey level at each of the 8 columns.
  std::vector<std::uint8_t> table(8 * 256 * 8);
  for (int y = 0; y < 8; ++y)
    for (int g = 0; g < 256; ++g) {
      int f = ndg[static_cast<std::size_t>(g)];
      if (o.relief && o.seuil) f = f < 128 ? 0 : 255;
      const int niveau = Arrondit(f / 4.0);
      for (int x = 0; x < 8; ++x)
        table[static_cast<std::size_t>((y * 256 + g) * 8 + x)] = CelluleTrame(niveau, y, x) ? encre : 0;
    }
  std::vector<std::uint8_t> ligne = tampon(ctx, static_cast<std::uint64_t>(w));
  for (std::int64_t r = 0; r < h; ++r) {
    transfere(ctx, false, sortie.hRasterGris, r, w, 0, static_cast<std::size_t>(w), ligne.data());
    const std::uint8_t* t = table.data() + (r & 7) * 256 * 8;
    for (std::int64_t x = 0; x < w; ++x) ligne[static_cast<std::size_t>(x)] = t[ligne[static_cast<std::size_t>(x)] * 8 + (x & 7)];
    transfere(ctx, true, sortie.hRasterGris, r, w, 0, static_cast<std::size_t>(w), ligne.data());
  }
}

void AppliqueContourPuissance(ContexteConversion& ctx, EtatSortie& sortie) {
  const OptionsImage o = LitOptionsImage(ctx);
  const std::int32_t* ch = ctx.Entete.Champs;
  const auto dpi = static_cast<float>(std::max(ch[ChDpiX], ch[ChDpiY]));
  // Ring labels are bytes after 0 (background) and 1 (ink): at most 254 rings.
  const int n = std::clamp(ConvertitUnitesEnPoints(o.rampeLargeur, dpi), 0, 254);
  if (n == 0) return;
  const int m = std::max(ConvertitUnitesEnPoints(o.rampeDebut, dpi), 0);
  const std::array<std::uint8_t, kTailleTabPui> tab = TablePuissanceRelief(n, m, o.rampePourcent);
  const std::int64_t w = std::max(sortie.LargeurCourante, 0), h = std::max(sortie.HauteurCourante, 0);
  if (w == 0 || h == 0) return;
  // Blocks overlap by n rows; each must hold more than the overlap to move on.
  std::int64_t lignes = static_cast<std::int64_t>(MemoireBlocs() / static_cast<std::uint64_t>(w + 10));
  lignes = std::max<std::int64_t>(lignes, 2 * n + 8);
  lignes = std::min(lignes, h);
  std::vector<std::uint8_t> bloc = tampon(ctx, static_cast<std::uint64_t>(lignes * w + 10));
  std::vector<std::uint8_t> drapeaux;
  HANDLE& f = sortie.hRasterGris;
  for (std::int64_t debut = 0;;) {
    const std::int64_t nb = std::min(lignes, h - debut);
    const bool premier = debut == 0, dernier = debut + nb >= h;
    transfere(ctx, false, f, debut, w, 0, static_cast<std::size_t>(nb * w), bloc.data());
    anneaux(bloc.data(), w, nb, n, premier, dernier, drapeaux);
    if (dernier) {
      for (std::int64_t i = 0; i < nb * w; ++i) bloc[static_cast<std::size_t>(i)] = tab[bloc[static_cast<std::size_t>(i)]];
      transfere(ctx, true, f, debut, w, 0, static_cast<std::size_t>(nb * w), bloc.data());
      break;
    }
    // Rows the next block does not take again are final.
    const std::int64_t avance = nb - n;
    transfere(ctx, true, f, debut, w, 0, static_cast<std::size_t>(nb * w), bloc.data());
    for (std::int64_t i = 0; i < avance * w; ++i) bloc[static_cast<std::size_t>(i)] = tab[bloc[static_cast<std::size_t>(i)]];
    transfere(ctx, true, f, debut, w, 0, static_cast<std::size_t>(avance * w), bloc.data());
    debut += avance;
  }
}

void AugmenteDpiGris(ContexteConversion& ctx, EtatSortie& sortie) { reechantillonne(ctx, sortie, sortie.hRasterGris, false); }

void AugmenteDpiStylo(ContexteConversion& ctx, EtatSortie& sortie) {
  reechantillonne(ctx, sortie, sortie.hRastersClasse[sortie.ClasseCourante & 7], true);
}

int PrepareImage(ContexteConversion& ctx, EtatSortie& sortie, int mode) {
  if (mode == 0) {
    HANDLE& h = sortie.hRastersClasse[sortie.ClasseCourante & 7];
    if (!h) return 0;
    sortie.LargeurCourante = sortie.LargeurRasterClasse;
    sortie.HauteurCourante = sortie.HauteurRasterClasse;
    CompacteLignesBande(ctx, sortie, h, 0);
    AugmenteDpiStylo(ctx, sortie);
    return 0;
  }
  if (!sortie.hRasterGris) return 0;
  const OptionsImage o = LitOptionsImage(ctx);
  sortie.LargeurCourante = sortie.LargeurRasterGris;
  sortie.HauteurCourante = sortie.HauteurRasterGris;
  CompacteLignesBande(ctx, sortie, sortie.hRasterGris, 1);
  AugmenteDpiGris(ctx, sortie);
  if (o.relief || o.trame) TrameNiveauxGris(ctx, sortie);
  if (o.relief) AppliqueContourPuissance(ctx, sortie);
  return 0;
}
