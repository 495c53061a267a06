// StretchMaison, the library's second export: a device-independent bitmap rescaled to a
// target size and depth by the printer's device contexts. It keeps no state and touches
// none of the converter's records.
#include "debut.h"

#include <cstdint>

namespace {

constexpr DWORD kTailleEntete = sizeof(BITMAPINFOHEADER);
constexpr SIZE_T kTailleInfo = kTailleEntete + 256 * sizeof(RGBQUAD);

bool profondeurConnue(WORD bits) { return bits == 1 || bits == 4 || bits == 8 || bits == 24 || bits == 32; }

// The bytes of a DIB of that size, 0 when they would not fit the 32 bits Windows counts them in.
std::uint64_t octetsDib(SIZE taille, WORD bits) {
  const std::uint64_t pas = (static_cast<std::uint64_t>(taille.cx) * bits + 31) / 32 * 4;
  if (pas > UINT32_MAX / static_cast<std::uint64_t>(taille.cy)) return 0;
  return pas * static_cast<std::uint64_t>(taille.cy);
}

RGBQUAD* tableDe(BITMAPINFO* info) {
  return reinterpret_cast<RGBQUAD*>(reinterpret_cast<BYTE*>(info) + kTailleEntete);
}

RGBQUAD gris(int v) {
  const auto b = static_cast<BYTE>(v);
  return RGBQUAD{b, b, b, 0};
}

// What one call holds, released however it ends. Deleting a memory context first lets
// its bitmap go.
struct Ressources {
  HGLOBAL blocs[4] = {};
  HDC imprimantes[3] = {};
  HDC memoires[3] = {};
  HBITMAP bitmaps[3] = {};

  Ressources() = default;
  Ressources(const Ressources&) = delete;
  Ressources& operator=(const Ressources&) = delete;
  ~Ressources() {
    for (HDC m : memoires)
      if (m) DeleteDC(m);
    for (HBITMAP b : bitmaps)
      if (b) DeleteObject(b);
    for (HDC i : imprimantes)
      if (i) DeleteDC(i);
    for (HGLOBAL g : blocs)
      if (g) GlobalFree(g);
  }

  void* bloc(int n, SIZE_T taille) { return blocs[n] = GlobalAlloc(GPTR, taille); }
  bool selectionne(int n, HBITMAP b) {
    bitmaps[n] = b;
    return b && SelectObject(memoires[n], b);
  }
};

BITMAPINFOHEADER entete(SIZE taille, LONG hauteur, WORD bits) {
  BITMAPINFOHEADER e{};
  e.biSize = kTailleEntete;
  e.biWidth = taille.cx;
  e.biHeight = hauteur;
  e.biPlanes = 1;
  e.biBitCount = bits;
  e.biCompression = BI_RGB;
  return e;
}

}  // namespace

extern "C" void StretchMaison(HANDLE imprimante, SIZE source, SIZE cible, WORD bitsSource, WORD bitsCible,
                              const void* pixelsSource, void* pixelsCible, int hautEnBas, const RGBQUAD* palette) {
  if (source.cx <= 0 || source.cy <= 0 || cible.cx <= 0 || cible.cy <= 0 || !profondeurConnue(bitsSource) ||
      !profondeurConnue(bitsCible) || !pixelsSource || !pixelsCible || octetsDib(source, bitsSource) == 0 ||
      octetsDib(cible, bitsCible) == 0) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return;
  }
  Ressources r;

  DWORD besoin = 0;
  GetPrinterA(imprimante, 2, nullptr, 0, &besoin);
  auto* info = besoin >= sizeof(PRINTER_INFO_2A) ? static_cast<PRINTER_INFO_2A*>(r.bloc(0, besoin)) : nullptr;
  if (!info || !GetPrinterA(imprimante, 2, reinterpret_cast<LPBYTE>(info), besoin, &besoin) || !info->pPrinterName)
    return;
  for (int i = 0; i < 3; ++i) {
    r.imprimantes[i] = CreateDCA(nullptr, info->pPrinterName, nullptr, nullptr);
    if (!r.imprimantes[i]) return;
    r.memoires[i] = CreateCompatibleDC(r.imprimantes[i]);
    if (!r.memoires[i]) return;
  }

  // Source: without a palette the index ramps run from white to black.
  auto* infoSource = static_cast<BITMAPINFO*>(r.bloc(1, kTailleInfo));
  if (!infoSource) return;
  infoSource->bmiHeader = entete(source, hautEnBas ? -source.cy : source.cy, bitsSource);
  RGBQUAD* table = tableDe(infoSource);
  const bool avecPalette = palette && palette[0].rgbReserved != 0;
  const auto couleur = [&](int i, int defaut) {
    return avecPalette ? RGBQUAD{palette[i].rgbBlue, palette[i].rgbGreen, palette[i].rgbRed, 0} : gris(defaut);
  };
  if (bitsSource == 1) {
    table[0] = couleur(0, 255);
    table[1] = couleur(1, 0);
  } else if (bitsSource == 4) {
    for (int i = 0; i < 16; ++i) table[i] = couleur(i, 255 - 17 * i);
  } else if (bitsSource == 8) {
    for (int i = 0; i < 256; ++i) table[i] = couleur(i, 255 - i);
  }
  if (!r.selectionne(0, CreateDIBitmap(r.imprimantes[0], &infoSource->bmiHeader, CBM_INIT, pixelsSource, infoSource,
                                       DIB_RGB_COLORS)))
    return;

  auto* enteteIntermediaire = static_cast<BITMAPINFOHEADER*>(r.bloc(2, kTailleEntete));
  if (!enteteIntermediaire) return;
  *enteteIntermediaire = entete(cible, cible.cy, 32);
  if (!r.selectionne(1, CreateDIBitmap(r.imprimantes[1], enteteIntermediaire, 0, nullptr, nullptr, DIB_RGB_COLORS)))
    return;

  // Target: straight ramps, black to white; the depth conversion happens when the bits are read out.
  auto* infoCible = static_cast<BITMAPINFO*>(r.bloc(3, kTailleInfo));
  if (!infoCible) return;
  infoCible->bmiHeader = entete(cible, cible.cy, bitsCible);
  table = tableDe(infoCible);
  if (bitsCible == 1) {
    table[0] = gris(0);
    table[1] = gris(255);
  } else if (bitsCible == 4) {
    for (int i = 0; i < 16; ++i) table[i] = gris(17 * i);
  } else if (bitsCible == 8) {
    for (int i = 0; i < 256; ++i) table[i] = gris(i);
  }
  if (!r.selectionne(2, CreateDIBitmap(r.imprimantes[2], &infoCible->bmiHeader, 0, nullptr, nullptr, DIB_RGB_COLORS)))
    return;

  if (bitsCible > 23) {
    if (!SetStretchBltMode(r.memoires[2], COLORONCOLOR) ||
        !StretchBlt(r.memoires[2], 0, 0, cible.cx, cible.cy, r.memoires[0], 0, 0, source.cx, source.cy, SRCCOPY))
      return;
  } else {
    // The inverting copy undoes the inverted source ramp against the straight target one.
    if (!SetStretchBltMode(r.memoires[1], HALFTONE) ||
        !StretchBlt(r.memoires[1], 0, 0, cible.cx, cible.cy, r.memoires[0], 0, 0, source.cx, source.cy, SRCCOPY) ||
        !BitBlt(r.memoires[2], 0, 0, cible.cx, cible.cy, r.memoires[1], 0, 0, NOTSRCCOPY))
      return;
  }

  BITMAP b{};
  if (!GetObjectA(r.bitmaps[2], static_cast<int>(sizeof b), &b) || b.bmHeight != cible.cy) return;
  GetDIBits(r.memoires[2], r.bitmaps[2], 0, static_cast<UINT>(b.bmHeight), pixelsCible, infoCible, DIB_RGB_COLORS);
}
