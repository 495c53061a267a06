// Peak memory of raster pages by page size. Each size runs in a fresh process: a page
// holding a grey image that covers the plate (one byte per pixel, PackBits rows), then a
// page with a fill of the whole plate, handed to debut in 64 KiB chunks and spooled to a
// folder under $TMPDIR (default /tmp). The rasters live in temp files, so the image page
// keeps the process at about the same size whatever the page; the fill holds its bitmap
// (one bit per dot, twice) while it draws.
#include "debut.h"

#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

extern char** environ;

namespace {

constexpr int kDpi = 600;
constexpr double kLimiteMio = 64;

// VmHWM of this process in MiB.
double crete() {
  std::ifstream f("/proc/self/status");
  for (std::string l; std::getline(f, l);)
    if (l.rfind("VmHWM:", 0) == 0) return std::atof(l.c_str() + 6) / 1024;
  return 0;
}

void pose(std::vector<std::uint8_t>& r, std::size_t offset, std::uint32_t v, int n) {
  for (int i = 0; i < n; ++i) r[offset + static_cast<std::size_t>(i)] = static_cast<std::uint8_t>(v >> (8 * i));
}

// The page: plate side mm, greys through the palette, 1016 plotter units per inch.
std::vector<std::uint8_t> reglages(int mm) {
  std::vector<std::uint8_t> r(1200, 0);
  pose(r, 4, 1, 2);
  pose(r, 6, 775, 2);
  pose(r, 8, static_cast<std::uint32_t>(mm) * 1000, 4);
  pose(r, 12, static_cast<std::uint32_t>(mm) * 1000, 4);
  pose(r, 44, kDpi, 2);
  pose(r, 46, kDpi, 2);
  pose(r, 48, kDpi, 2);
  pose(r, 856, 1016, 4);
  pose(r, 844, static_cast<std::uint32_t>(mm) * 1000, 4);
  pose(r, 848, static_cast<std::uint32_t>(mm) * 1000, 4);
  return r;
}

int mesure(int mm) {
  namespace fs = std::filesystem;
  const char* tmp = std::getenv("TMPDIR");
  std::string modele = (fs::path(tmp && *tmp ? tmp : "/tmp") / "raster-benchXXXXXX").string();
  if (!::mkdtemp(modele.data())) return 1;
  const fs::path dossier = modele;
  fs::create_directory(dossier / "bench");
  ::setenv("BREVOLT_SPOOL_DIR", dossier.c_str(), 1);
  HANDLE imprimante = nullptr;
  char nom[] = "bench", document[] = "raster", type[] = "RAW";
  DOC_INFO_1A doc{document, nullptr, type};
  if (!OpenPrinterA(nom, &imprimante, nullptr) || !StartDocPrinterA(imprimante, 1, reinterpret_cast<LPBYTE>(&doc)))
    return 1;
  const std::vector<std::uint8_t> r = reglages(mm);
  const double depart = crete();
  const auto debutTemps = std::chrono::steady_clock::now();

  const int pixels = static_cast<int>(mm * kDpi / 25.4);
  std::string flux = "IN;\x1b*v6W";
  flux += std::string("\x0a\x00\x08\x08\x08\x08", 6);
  flux += "\x1b*r" + std::to_string(pixels) + "S\x1b*b2M";
  int lignes = 0;
  auto envoie = [&] {
    for (std::size_t n = 0; n < flux.size(); n += 65536) {
      const std::size_t t = std::min<std::size_t>(65536, flux.size() - n);
      if (debut(imprimante, flux.data() + n, static_cast<std::uint32_t>(t), r.data()) != 1) std::exit(1);
    }
    flux.clear();
  };
  // Rows of a gradient: runs of 128 equal greys.
  for (int y = 0; y < pixels; ++y, ++lignes) {
    std::string donnees;
    for (int x = 0; x < pixels; x += 128) {
      const int n = std::min(128, pixels - x);
      donnees += static_cast<char>(n == 1 ? 0 : 1 - n);
      donnees += static_cast<char>((x + y) & 0xFF);
    }
    flux += "\x1b*b" + std::to_string(donnees.size()) + "W" + donnees;
    if (flux.size() > (1 << 20)) envoie();
  }
  flux += "PG;";
  envoie();
  const double image = crete();
  // The whole plate filled in class 0.
  const int unites = mm * 40;
  flux += "SP1;PA0,0;RR" + std::to_string(unites) + "," + std::to_string(unites) + ";PG;";
  envoie();
  if (debut(imprimante, "JF;", 3, r.data()) != 1) return 1;
  EndDocPrinter(imprimante);
  ClosePrinter(imprimante);
  const double secondes = std::chrono::duration<double>(std::chrono::steady_clock::now() - debutTemps).count();
  const double pic = crete();
  const double raster = static_cast<double>(pixels) * pixels / (1 << 20);
  std::printf("%3d x %3d mm at %d dpi: before %4.1f MiB; image of %5d x %5d greys (%5.1f MiB raster file) %5.1f MiB; "
              "full fill %5.1f MiB; %.1f s\n",
              mm, mm, kDpi, depart, pixels, lignes, raster, image, pic, secondes);
  std::error_code e;
  fs::remove_all(dossier, e);
  return pic < kLimiteMio ? 0 : 2;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc == 2) return mesure(std::atoi(argv[1]));
  std::printf("Peak memory (VmHWM) of raster pages, each size in its own process; limit %.0f MiB\n", kLimiteMio);
  std::fflush(stdout);
  int resultat = 0;
  for (const char* mm : {"100", "200", "300"}) {
    char* arguments[] = {argv[0], const_cast<char*>(mm), nullptr};
    pid_t pid = 0;
    int etat = 0;
    if (posix_spawn(&pid, "/proc/self/exe", nullptr, nullptr, arguments, environ) != 0 ||
        waitpid(pid, &etat, 0) != pid || !WIFEXITED(etat) || WEXITSTATUS(etat) != 0) {
      std::printf("%s mm: failed\n", mm);
      resultat = 1;
    }
  }
  return resultat;
}
