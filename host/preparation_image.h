// Image preparation between a page's interpretation and its raster writers: grey levels
// become power levels (error diffusion and the square-root law, the 8 x 8 screen, the
// relief ramp), and every raster is cut to the used size and rescaled from the page
// resolution to the marking resolutions. All of it works in place on the temp rasters,
// a row or a block of rows at a time.
#pragma once

#include "contexte.h"

#include <array>
#include <cstddef>
#include <cstdint>

// A rescaled side never passes this many dots; a resolution that would is refused.
constexpr std::int64_t kCoteMaxMarquage = 1 << 20;
constexpr int kTailleTabPui = 260;

// Image options from the settings record.
struct OptionsImage {
  bool puissance, gris, seuil, trame, diffusion, relief;
  int seuilPuissance;  // 50 neutral
  int rampePourcent, rampeLargeur, rampeDebut;
};
OptionsImage LitOptionsImage(const ContexteConversion& ctx);

// b / a as entier + reste / plage; 0 (all three 0) when a or b is 0.
int DecomposeFraction(std::uint32_t a, std::uint32_t b, std::int32_t& entier, std::int32_t& reste,
                      std::int32_t& plage);

// Whole grey raster to power levels: error diffusion when asked, then the square-root law.
void DiffusePuissance(ContexteConversion& ctx, EtatSortie& sortie);
// mode 0: the class raster of ClasseCourante; 1: the grey raster. Returns 0.
int PrepareImage(ContexteConversion& ctx, EtatSortie& sortie, int mode);

void AugmenteDpiGris(ContexteConversion& ctx, EtatSortie& sortie);
void AugmenteDpiStylo(ContexteConversion& ctx, EtatSortie& sortie);
void TrameNiveauxGris(ContexteConversion& ctx, EtatSortie& sortie);
void AppliqueContourPuissance(ContexteConversion& ctx, EtatSortie& sortie);

// The tables the steps use, for tests.
std::array<std::uint8_t, 256> TablePuissanceRacine();
std::array<std::uint8_t, 256> TableNiveauxTrame(int seuil);
// Screen pattern L (0..64) at (y, x): whether the cell is ink.
bool CelluleTrame(int niveau, int y, int x);
// Power by relief ring label for a ramp of n rings, m of them rising to P %.
std::array<std::uint8_t, kTailleTabPui> TablePuissanceRelief(int n, int m, int pourcent);

// Bytes the preparation and the writers may hold at once: two thirds of the available
// physical memory.
std::uint64_t MemoireBlocs();

// n bytes of a raster largeur bytes wide at row ligne, byte colonne.
void LitRangee(ContexteConversion& ctx, HANDLE& h, std::int64_t ligne, std::int64_t largeur,
               std::int64_t colonne, std::size_t n, void* tampon);
void EcritRangee(ContexteConversion& ctx, HANDLE& h, std::int64_t ligne, std::int64_t largeur,
                 std::int64_t colonne, std::size_t n, const void* tampon);
