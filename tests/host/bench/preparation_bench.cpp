// Raster preparation and writing speed on full pages: error diffusion and the 8 x 8 screen
// of a 300 x 300 mm grey page at 600 dpi (rows through the temp raster, memory flat), the
// relief ramp of 79 rings at 1000 dpi, and the pen writer on a page of small bands.
// Prints figures (processor time of one core); nothing is asserted.
#include "contexte.h"
#include "fichier_machine.h"
#include "fichiers_raster.h"
#include "preparation_image.h"
#include "raster_job.h"

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <fstream>
#include <string>
#include <vector>

namespace {

double creteMio() {
  std::ifstream f("/proc/self/status");
  for (std::string l; std::getline(f, l);)
    if (l.rfind("VmHWM:", 0) == 0) return std::atof(l.c_str() + 6) / 1024;
  return 0;
}

void pose(std::vector<std::uint8_t>& r, std::size_t offset, std::uint32_t v, int n) {
  for (int i = 0; i < n; ++i) r[offset + static_cast<std::size_t>(i)] = static_cast<std::uint8_t>(v >> (8 * i));
}

std::vector<std::uint8_t> reglages(int dpi, bool relief) {
  std::vector<std::uint8_t> r(1200, 0);
  pose(r, 4, 1, 2);
  pose(r, 6, 775, 2);
  pose(r, 8, 300000, 4);
  pose(r, 12, 300000, 4);
  pose(r, 44, static_cast<std::uint32_t>(dpi), 2);
  pose(r, 46, static_cast<std::uint32_t>(dpi), 2);
  pose(r, 48, static_cast<std::uint32_t>(dpi), 2);
  pose(r, 62, 1, 2);
  pose(r, 70, 1, 2);  // diffusion
  pose(r, 72, 50, 2);
  if (relief) {
    pose(r, 86, 1, 2);
    pose(r, 88, 40, 2);
    pose(r, 90, 2007, 2);  // 79 rings at 1000 dpi
    pose(r, 92, 500, 2);
  }
  for (int p = 0; p < 8; ++p) {
    pose(r, static_cast<std::size_t>(108 + 36 * p), 500, 2);
    pose(r, static_cast<std::size_t>(110 + 36 * p), 1, 2);
    pose(r, static_cast<std::size_t>(112 + 36 * p), 1, 2);
  }
  return r;
}

// A grey page: a gradient with discs and white margins, row by row into a new temp raster.
void pageGrise(std::int32_t n) {
  EtatSortie& s = Sortie;
  s.hRasterGris = CreeFichierTemp(Contexte);
  s.LargeurRasterGris = s.HauteurRasterGris = n;
  Contexte.LargeurUtile = Contexte.HauteurUtile = n;
  std::vector<std::uint8_t> l(static_cast<std::size_t>(n));
  for (std::int32_t y = 0; y < n; ++y) {
    for (std::int32_t x = 0; x < n; ++x) {
      const double dx = (x % 1000) - 500.0, dy = (y % 1000) - 500.0;
      const bool disque = dx * dx + dy * dy < 300.0 * 300.0;
      const bool marge = x < n / 20 || y < n / 20;
      l[static_cast<std::size_t>(x)] = marge ? 255 : disque ? 0 : static_cast<std::uint8_t>((x + y) * 255LL / (2LL * n));
    }
    EcritRangee(Contexte, s.hRasterGris, y, n, 0, l.size(), l.data());
  }
}

void prepare(int dpi, bool relief) {
  const std::vector<std::uint8_t> r = reglages(dpi, relief);
  ImporteParametres(Contexte, Sortie, ParametresJob(r.data(), r.size()));
  const std::int32_t n = ConvertitUnitesEnPoints(300000, static_cast<float>(dpi));
  Sortie.TailleLigneTampon = static_cast<std::size_t>(n) + 16;
  Sortie.LigneTampon = static_cast<std::uint8_t*>(std::calloc(Sortie.TailleLigneTampon, 1));
  pageGrise(n);
}

void libere() {
  if (Sortie.hRasterGris) CloseHandle(Sortie.hRasterGris);
  Sortie.hRasterGris = nullptr;
  std::free(Sortie.LigneTampon);
  Sortie.LigneTampon = nullptr;
}

// Processor time of this process: on a busy machine the wall clock says more of the others.
template <typename F>
double secondes(F&& f) {
  const std::clock_t t0 = std::clock();
  f();
  return static_cast<double>(std::clock() - t0) / CLOCKS_PER_SEC;
}

}  // namespace

int main() {
  try {
    prepare(600, false);
    const double px = static_cast<double>(Sortie.LargeurRasterGris) * Sortie.HauteurRasterGris;
    const double avant = creteMio();
    const double diffusion = secondes([] { DiffusePuissance(Contexte, Sortie); });
    Sortie.LargeurCourante = Sortie.LargeurRasterGris;
    Sortie.HauteurCourante = Sortie.HauteurRasterGris;
    const double trame = secondes([] { TrameNiveauxGris(Contexte, Sortie); });
    std::printf("grey page 300 x 300 mm at 600 dpi: %.1f Mpx\n", px / 1e6);
    std::printf("  error diffusion and power law: %.3f s, %.0f Mpx/s\n", diffusion, px / 1e6 / diffusion);
    std::printf("  8 x 8 screen:                  %.3f s, %.0f Mpx/s\n", trame, px / 1e6 / trame);
    std::printf("  peak memory %.1f MiB before, %.1f MiB after (rows only)\n", avant, creteMio());
    libere();

    prepare(1000, true);
    Sortie.LargeurCourante = Sortie.LargeurRasterGris;
    Sortie.HauteurCourante = Sortie.HauteurRasterGris;
    TrameNiveauxGris(Contexte, Sortie);
    const double relief = secondes([] { AppliqueContourPuissance(Contexte, Sortie); });
    std::printf("relief ramp, 79 rings, 300 x 300 mm at 1000 dpi (%.1f Mpx): %.3f s\n",
                static_cast<double>(Sortie.LargeurCourante) * Sortie.HauteurCourante / 1e6, relief);
    libere();

    // Pen writer: a 1-bit page of 600 dpi with a small mark every 5 mm.
    {
      const std::vector<std::uint8_t> r = reglages(600, false);
      ImporteParametres(Contexte, Sortie, ParametresJob(r.data(), r.size()));
      const std::int32_t n = ConvertitUnitesEnPoints(300000, 600);
      const std::int32_t octets = (n + 7) / 8;
      HANDLE& h = Sortie.hRastersClasse[0];
      h = CreeFichierTemp(Contexte);
      std::vector<std::uint8_t> l(static_cast<std::size_t>(octets));
      for (std::int32_t y = 0; y < n; ++y) {
        std::fill(l.begin(), l.end(), 0);
        if (y % 118 < 20)
          for (std::int32_t x = 0; x < octets; x += 15) l[static_cast<std::size_t>(x)] = 0x3C;
        EcritRangee(Contexte, h, y, octets, 0, l.size(), l.data());
      }
      Sortie.LargeurCourante = octets;
      Sortie.HauteurCourante = n;
      Contexte.LargeurPixelsStylo = n;
      Sortie.ClasseCourante = 0;
      Sortie.FichierMachine = std::tmpfile();
      Sortie.CompteurOctets = 0;
      Sortie.DebutRasterX = Sortie.DebutRasterY = -1.0;
      Sortie.PositionDebutRaster = -1;
      const double stylo = secondes([] { EcritRasterStylo(Contexte, Analyse, Sortie); });
      std::printf("pen writer, 1-bit page 300 x 300 mm at 600 dpi in small bands: %.3f s, %u job bytes\n", stylo,
                  Sortie.CompteurOctets);
      std::fclose(Sortie.FichierMachine);
      Sortie.FichierMachine = nullptr;
      CloseHandle(h);
      h = nullptr;
    }
  } catch (const AbandonJob& a) {
    std::printf("aborted with message %d\n", a.message);
    return 1;
  }
  return 0;
}
