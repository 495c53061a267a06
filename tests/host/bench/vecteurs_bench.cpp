// Speed of the vector road: drawings of random polylines on a 300 x 300 mm plate,
// converted by brevolt-print as one process (its file handed to debut in 64 KiB chunks, as
// the host does), with the figures of each size: MB/s, segments/s, time per segment,
// peak memory; and, when hp2xx is on the PATH, the time it takes to read the same file
// and write it back as HP-GL, and the ratio of the two. Each figure is the best of a few
// runs, since other work on the machine only ever slows a run down.
#include <fcntl.h>
#include <spawn.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

extern char** environ;

namespace {

namespace fs = std::filesystem;

constexpr int kCote = 12000;  // plotter units: 300 mm

struct Dessin {
  fs::path fichier;
  long long segments = 0;
  std::uintmax_t octets = 0;
};

// Polylines of 1 to 9 segments, each a random walk of steps up to 15 mm from a random start.
Dessin genere(const fs::path& dossier, long polylignes) {
  std::uint64_t etat = 0x9E3779B97F4A7C15ULL ^ static_cast<std::uint64_t>(polylignes);
  auto hasard = [&](int n) {
    etat = etat * 6364136223846793005ULL + 1442695040888963407ULL;
    return static_cast<int>((etat >> 33) % static_cast<std::uint64_t>(n));
  };
  Dessin d;
  d.fichier = dossier / ("polylines-" + std::to_string(polylignes) + ".hpgl");
  std::string texte = "IN;SP1;PA;";
  texte.reserve(static_cast<std::size_t>(polylignes) * 64);
  char tampon[32];
  for (long i = 0; i < polylignes; ++i) {
    int x = hasard(kCote), y = hasard(kCote);
    texte += "PU";
    texte.append(tampon, static_cast<std::size_t>(std::snprintf(tampon, sizeof tampon, "%d,%d", x, y)));
    texte += ";PD";
    const int n = 1 + hasard(9);
    for (int k = 0; k < n; ++k) {
      x = std::clamp(x + hasard(1201) - 600, 0, kCote - 1);
      y = std::clamp(y + hasard(1201) - 600, 0, kCote - 1);
      texte.append(tampon, static_cast<std::size_t>(
                               std::snprintf(tampon, sizeof tampon, k ? ",%d,%d" : "%d,%d", x, y)));
    }
    texte += ";";
    d.segments += n;
  }
  texte += "PU;PG;";
  std::ofstream(d.fichier, std::ios::binary) << texte;
  d.octets = texte.size();
  return d;
}

struct Mesure {
  bool ok = false;
  double secondes = 0;  // wall clock
  double cpu = 0;       // user + system
  double pic = 0;       // peak resident set, MiB
};

// One run of a program, its output thrown away.
Mesure lance(const std::vector<std::string>& arguments) {
  std::vector<char*> argv;
  for (const std::string& a : arguments) argv.push_back(const_cast<char*>(a.c_str()));
  argv.push_back(nullptr);
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_addopen(&actions, 1, "/dev/null", O_WRONLY, 0);
  posix_spawn_file_actions_addopen(&actions, 2, "/dev/null", O_WRONLY, 0);
  Mesure m;
  const auto debut = std::chrono::steady_clock::now();
  pid_t pid = 0;
  const int erreur = posix_spawnp(&pid, argv[0], &actions, nullptr, argv.data(), environ);
  posix_spawn_file_actions_destroy(&actions);
  if (erreur != 0) return m;
  int etat = 0;
  rusage usage{};
  if (wait4(pid, &etat, 0, &usage) != pid) return m;
  m.secondes = std::chrono::duration<double>(std::chrono::steady_clock::now() - debut).count();
  auto s = [](const timeval& t) { return static_cast<double>(t.tv_sec) + static_cast<double>(t.tv_usec) / 1e6; };
  m.cpu = s(usage.ru_utime) + s(usage.ru_stime);
  m.pic = static_cast<double>(usage.ru_maxrss) / 1024;
  m.ok = WIFEXITED(etat) && WEXITSTATUS(etat) == 0;
  return m;
}

Mesure meilleure(const std::vector<std::string>& arguments, int essais) {
  Mesure best;
  for (int i = 0; i < essais; ++i) {
    const Mesure m = lance(arguments);
    if (!m.ok) return m;
    if (!best.ok || m.secondes < best.secondes) best = m;
  }
  return best;
}

bool surLeChemin(const char* programme) {
  const char* chemin = std::getenv("PATH");
  if (!chemin) return false;
  std::string reste = chemin;
  for (std::size_t debut = 0; debut <= reste.size();) {
    std::size_t fin = reste.find(':', debut);
    if (fin == std::string::npos) fin = reste.size();
    const fs::path p = fs::path(reste.substr(debut, fin - debut)) / programme;
    if (::access(p.c_str(), X_OK) == 0) return true;
    debut = fin + 1;
  }
  return false;
}

void usage() {
  std::fprintf(stderr,
               "usage: vecteurs_bench [--runs N] [--print PATH] [--keep] [POLYLINES...]\n"
               "  Converts drawings of POLYLINES random polylines (default 100000 200000 400000)\n"
               "  with brevolt-print (or PATH), best of N runs (default 3), beside hp2xx when\n"
               "  installed; --keep leaves the drawings in their folder.\n");
}

}  // namespace

int main(int argc, char** argv) {
  int essais = 3;
  bool garde = false;
  std::string outil = BREVOLT_PRINT;
  std::vector<long> tailles;
  for (int i = 1; i < argc; ++i) {
    const std::string a = argv[i];
    if (a == "--runs" && i + 1 < argc) {
      essais = std::max(1, std::atoi(argv[++i]));
    } else if (a == "--keep") {
      garde = true;
    } else if (a == "--print" && i + 1 < argc) {
      outil = argv[++i];
    } else if (!a.empty() && a[0] != '-' && std::atol(a.c_str()) > 0) {
      tailles.push_back(std::atol(a.c_str()));
    } else {
      usage();
      return 2;
    }
  }
  if (tailles.empty()) tailles = {100000, 200000, 400000};

  const char* tmp = std::getenv("TMPDIR");
  std::string modele = (fs::path(tmp && *tmp ? tmp : "/tmp") / "vecteurs-benchXXXXXX").string();
  if (!::mkdtemp(modele.data())) return 1;
  const fs::path dossier = modele;
  ::setenv("BREVOLT_SPOOL_DIR", dossier.c_str(), 1);
  const bool hp2xx = surLeChemin("hp2xx");

  std::printf("brevolt-print on random polylines, 300 x 300 mm plate, best of %d run(s)%s\n", essais,
              hp2xx ? "; hp2xx -m hpgl on the same file" : "; hp2xx not installed");
  std::printf("%10s %10s %8s %8s %8s %7s %12s %8s %9s %9s %8s %7s\n", "polylines", "segments", "MB", "wall s",
              "cpu s", "MB/s", "segments/s", "ns/seg", "peak MiB", "job MB", "hp2xx s", "ratio");
  int resultat = 0;
  double nsPremier = 0, nsDernier = 0;
  for (const long n : tailles) {
    const Dessin d = genere(dossier, n);
    const Mesure m = meilleure({outil, "--printer", "bench", "--set", "+8:u32=300000", "--set",
                                "+12:u32=300000", d.fichier.string()},
                               essais);
    if (!m.ok) {
      std::printf("%10ld: brevolt-print failed\n", n);
      resultat = 1;
      continue;
    }
    std::uintmax_t job = 0;
    std::error_code e;
    for (const auto& f : fs::directory_iterator(dossier / "bench", e))
      if (f.path().extension() == ".prn") {
        job = std::max(job, f.file_size());
        fs::remove(f.path(), e);
      }
    const double mo = static_cast<double>(d.octets) / 1e6;
    const double ns = m.secondes * 1e9 / static_cast<double>(d.segments);
    if (nsPremier == 0) nsPremier = ns;
    nsDernier = ns;
    std::printf("%10ld %10lld %8.2f %8.3f %8.3f %7.1f %12.0f %8.1f %9.1f %9.2f", n, d.segments, mo, m.secondes,
                m.cpu, mo / m.secondes, static_cast<double>(d.segments) / m.secondes, ns, m.pic,
                static_cast<double>(job) / 1e6);
    if (hp2xx) {
      const Mesure h = meilleure({"hp2xx", "-q", "-m", "hpgl", "-f", (dossier / "hp2xx.out").string(),
                                  d.fichier.string()},
                                 essais);
      if (h.ok)
        std::printf(" %8.3f %7.2f", h.secondes, m.secondes / h.secondes);
      else
        std::printf(" %8s %7s", "failed", "-");
    }
    std::printf("\n");
    std::fflush(stdout);
    if (!garde) fs::remove(d.fichier, e);
  }
  if (tailles.size() > 1 && nsPremier > 0)
    std::printf("time per segment, largest over smallest drawing: %.2f\n", nsDernier / nsPremier);
  std::error_code e;
  if (garde)
    std::printf("drawings kept in %s\n", dossier.c_str());
  else
    fs::remove_all(dossier, e);
  return resultat;
}
