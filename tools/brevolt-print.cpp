// Plays the host printing software: hands a print stream file to the library chunk by
// chunk, as one job of a printer, and says where the spooled job file went.
#include "debut.h"

#include <algorithm>
#include <charconv>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <optional>
#include <set>
#include <string>
#include <string_view>
#include <vector>

namespace fs = std::filesystem;

namespace {

constexpr std::size_t kTailleParametres = 1200;
constexpr std::size_t kMorceauDefaut = 65536;
constexpr std::uintmax_t kTailleMaxEntree = std::uintmax_t{1} << 31;

struct Options {
  std::string imprimante = "laser";
  std::size_t morceau = kMorceauDefaut;
  std::string parametres;  // settings record file; empty: the built-in record
  std::vector<std::string> reglages;
  std::string entree;
};

void usage() {
  std::cerr << "usage: brevolt-print [--printer NAME] [--chunk BYTES] [--settings FILE]\n"
               "                     [--set +OFFSET:TYPE=VALUE]... INPUT\n"
               "  Converts the HP-GL/2 print stream INPUT into a machine job file and spools it to\n"
               "  the printer NAME (default laser), a folder under $BREVOLT_SPOOL_DIR (default ./spool).\n"
               "  When that folder holds a file \"port\" with one line HOST:PORT, the job is also sent\n"
               "  there as a raw TCP stream, as to the controller on port 9100. On Windows NAME is an\n"
               "  installed printer, whose spooler prints the job to a file in that folder.\n"
               "  --chunk    bytes per call of the library (default 65536); a chunk never runs past \"PG;\"\n"
               "  --settings the host's settings record, raw bytes (default: model 775, 1/1000 mm,\n"
               "             100 x 100 mm plate under the 160 mm lens and its 130 mm field, every pen a\n"
               "             vector pen in one pass, 1016 points per inch)\n"
               "  --set      a field of the record at a byte offset; TYPE u16, i16, u32 or i32;\n"
               "             OFFSET and VALUE decimal or 0x hexadecimal; may be repeated\n";
}

[[noreturn]] void echec(const std::string& texte, int code = 1) {
  std::cerr << "brevolt-print: " << texte << "\n";
  std::exit(code);
}

bool lisEntier(std::string_view texte, std::int64_t& valeur) {
  int base = 10;
  bool negatif = false;
  if (!texte.empty() && (texte[0] == '-' || texte[0] == '+')) {
    negatif = texte[0] == '-';
    texte.remove_prefix(1);
  }
  if (texte.size() > 2 && texte[0] == '0' && (texte[1] == 'x' || texte[1] == 'X')) {
    base = 16;
    texte.remove_prefix(2);
  }
  if (texte.empty() || texte[0] == '-' || texte[0] == '+') return false;
  std::uint64_t brut = 0;
  const auto [fin, erreur] = std::from_chars(texte.data(), texte.data() + texte.size(), brut, base);
  if (erreur != std::errc() || fin != texte.data() + texte.size()) return false;
  if (negatif) {
    if (brut > static_cast<std::uint64_t>(INT64_MAX)) return false;
    valeur = -static_cast<std::int64_t>(brut);
  } else {
    if (brut > static_cast<std::uint64_t>(INT64_MAX)) return false;
    valeur = static_cast<std::int64_t>(brut);
  }
  return true;
}

Options litOptions(int argc, char** argv) {
  Options o;
  auto valeur = [&](int& i) -> std::string {
    if (i + 1 >= argc) {
      usage();
      echec(std::string(argv[i]) + " needs a value", 2);
    }
    return argv[++i];
  };
  for (int i = 1; i < argc; ++i) {
    const std::string a = argv[i];
    if (a == "--printer") {
      o.imprimante = valeur(i);
    } else if (a == "--chunk") {
      const std::string v = valeur(i);
      std::int64_t n = 0;
      if (!lisEntier(v, n) || n < 1 || n > 1000000) echec("--chunk takes 1 to 1000000 bytes, not " + v, 2);
      o.morceau = static_cast<std::size_t>(n);
    } else if (a == "--settings") {
      o.parametres = valeur(i);
    } else if (a == "--set") {
      o.reglages.push_back(valeur(i));
    } else if (a == "-h" || a == "--help") {
      usage();
      std::exit(0);
    } else if (!a.empty() && a[0] == '-' && a != "-") {
      usage();
      echec("unknown option " + a, 2);
    } else if (o.entree.empty()) {
      o.entree = a;
    } else {
      usage();
      echec("one INPUT only", 2);
    }
  }
  if (o.entree.empty()) {
    usage();
    echec("no INPUT", 2);
  }
  return o;
}

std::vector<std::uint8_t> litFichier(const std::string& chemin, const char* quoi) {
  std::error_code e;
  const auto taille = fs::file_size(chemin, e);
  if (e) echec(std::string("cannot read ") + quoi + " " + chemin + ": " + e.message());
  if (taille > kTailleMaxEntree) echec(std::string(quoi) + " " + chemin + " is too large");
  std::ifstream f(chemin, std::ios::binary);
  std::vector<std::uint8_t> octets;
  octets.reserve(static_cast<std::size_t>(taille));
  std::vector<char> tampon(65536);
  while (f.read(tampon.data(), static_cast<std::streamsize>(tampon.size())) || f.gcount() > 0) {
    octets.insert(octets.end(), tampon.begin(), tampon.begin() + f.gcount());
    if (octets.size() > kTailleMaxEntree) echec(std::string(quoi) + " " + chemin + " is too large");
  }
  if (f.bad()) echec(std::string("cannot read ") + quoi + " " + chemin);
  return octets;
}

void pose(std::vector<std::uint8_t>& r, std::size_t offset, std::uint64_t v, std::size_t n) {
  for (std::size_t i = 0; i < n; ++i) r[offset + i] = static_cast<std::uint8_t>(v >> (8 * i));
}

// Model 775, English, 1/1000 mm, a 100 x 100 mm plate, plotter units as the vector coordinates,
// every pen a vector pen marking once. The lens is the firmware's default, the 160 mm one: its
// 130 mm field holds the plate after the lens margin of 10 mm.
std::vector<std::uint8_t> parametresDefaut() {
  std::vector<std::uint8_t> r(kTailleParametres, 0);
  pose(r, 4, 1, 2);          // language
  pose(r, 6, 775, 2);        // model
  pose(r, 8, 100000, 4);     // plate X
  pose(r, 12, 100000, 4);    // plate Y
  pose(r, 44, 300, 2);       // resolution X
  pose(r, 46, 300, 2);       // resolution Y
  pose(r, 48, 300, 2);       // raster resolution
  for (std::size_t p = 0; p < 8; ++p) {
    const std::size_t e = 108 + 36 * p;
    pose(r, e + 0, 500, 2);     // speed
    pose(r, e + 2, 1, 2);       // passes
    pose(r, e + 4, 2, 2);       // pen type: vectors
    pose(r, e + 8, 20000, 4);   // frequency
    pose(r, e + 24, 50, 2);     // power
  }
  constexpr std::size_t kFocale = 1;
  pose(r, 432, kFocale, 2);  // focal index
  for (std::size_t moitie : {0, 14}) {  // its entry: position and linear gains
    pose(r, 542 + 28 * kFocale + moitie, 1000, 2);
    pose(r, 542 + 28 * kFocale + moitie + 2, 1000, 2);
  }
  pose(r, 436, 2000, 4);       // jump speed
  pose(r, 476, 100, 4);        // jump, end-of-vector and first-pulse delays
  pose(r, 480, 100, 4);
  pose(r, 484, 100, 4);
  pose(r, 844, 130000, 4);     // field
  pose(r, 848, 130000, 4);
  pose(r, 856, 1016, 4);       // vector resolution: 40 plotter units per millimetre
  return r;
}

void appliqueReglage(std::vector<std::uint8_t>& r, const std::string& texte) {
  const auto deuxPoints = texte.find(':'), egal = texte.find('=');
  if (texte.empty() || texte[0] != '+' || deuxPoints == std::string::npos || egal == std::string::npos ||
      egal < deuxPoints)
    echec("--set takes +OFFSET:TYPE=VALUE, not " + texte, 2);
  const std::string type = texte.substr(deuxPoints + 1, egal - deuxPoints - 1);
  std::int64_t offset = 0, valeur = 0;
  if (!lisEntier(std::string_view(texte).substr(1, deuxPoints - 1), offset) || offset < 0)
    echec("bad offset in --set " + texte, 2);
  if (!lisEntier(std::string_view(texte).substr(egal + 1), valeur))
    echec("bad value in --set " + texte, 2);
  std::size_t n = 0;
  std::int64_t mini = 0, maxi = 0;
  if (type == "u16") { n = 2; maxi = 0xFFFF; }
  else if (type == "i16") { n = 2; mini = INT16_MIN; maxi = INT16_MAX; }
  else if (type == "u32") { n = 4; maxi = 0xFFFFFFFF; }
  else if (type == "i32") { n = 4; mini = INT32_MIN; maxi = INT32_MAX; }
  else echec("--set type is u16, i16, u32 or i32, not " + type, 2);
  if (valeur < mini || valeur > maxi) echec("value out of range for " + type + " in --set " + texte, 2);
  if (static_cast<std::uint64_t>(offset) + n > r.size())
    echec("offset past the settings record in --set " + texte, 2);
  pose(r, static_cast<std::size_t>(offset), static_cast<std::uint64_t>(valeur), n);
}

bool finitPage(const std::uint8_t* fin) {
  return std::memcmp(fin - 3, "PG;", 3) == 0 || std::memcmp(fin - 3, "pg;", 3) == 0;
}

// Chunks of at most n bytes; a chunk that ends a page ends at its "PG;".
std::vector<std::pair<std::size_t, std::size_t>> decoupe(const std::vector<std::uint8_t>& flux, std::size_t n) {
  std::vector<std::pair<std::size_t, std::size_t>> morceaux;
  std::size_t debut = 0;
  while (debut < flux.size()) {
    std::size_t fin = std::min(flux.size(), debut + n);
    // A "PG;" begun in the previous chunk ends this one too.
    for (std::size_t i = std::max<std::size_t>(debut + 1, 3); i <= fin; ++i)
      if (flux[i - 1] == ';' && finitPage(flux.data() + i)) {
        fin = i;
        break;
      }
    morceaux.emplace_back(debut, fin - debut);
    debut = fin;
  }
  return morceaux;
}

std::set<std::string> travaux(const fs::path& dossier) {
  std::set<std::string> noms;
  std::error_code e;
  for (const auto& f : fs::directory_iterator(dossier, e)) {
    const std::string nom = f.path().filename().string();
    if (nom.starts_with("job-") && nom.ends_with(".prn")) noms.insert(nom);
  }
  return noms;
}

}  // namespace

int main(int argc, char** argv) {
  const Options o = litOptions(argc, argv);
  const std::vector<std::uint8_t> flux = litFichier(o.entree, "input");
  if (flux.empty()) echec("input " + o.entree + " is empty: nothing to print", 1);

  std::vector<std::uint8_t> parametres = parametresDefaut();
  if (!o.parametres.empty()) {
    parametres = litFichier(o.parametres, "settings record");
    if (parametres.size() < kTailleParametres) {
      std::cerr << "brevolt-print: settings record " << o.parametres << " has " << parametres.size()
                << " bytes; the rest up to " << kTailleParametres << " is taken as zero\n";
      parametres.resize(kTailleParametres, 0);
    }
  }
  for (const std::string& r : o.reglages) appliqueReglage(parametres, r);

  const char* env = std::getenv("BREVOLT_SPOOL_DIR");
  const fs::path dossier = fs::path(env && *env ? env : "./spool") / o.imprimante;
  std::error_code e;
  fs::create_directories(dossier, e);
  if (e) echec("cannot make the printer folder " + dossier.string() + ": " + e.message());
  const std::set<std::string> avant = travaux(dossier);

  std::string nom = o.imprimante;
  HANDLE imprimante = nullptr;
  if (!OpenPrinterA(nom.data(), &imprimante, nullptr)) echec("cannot open the printer " + o.imprimante);
  char nomDocument[] = "brevolt-print", typeDonnees[] = "RAW";
  DOC_INFO_1A document{nomDocument, nullptr, typeDonnees};
#ifdef _WIN32
  // Windows sends the job to the printer's port; the spooler's print to file keeps it
  // in the folder instead, as the stand-in's printers do.
  std::string fichierJob;
  for (unsigned n = 1; fichierJob.empty(); ++n)
    if (!avant.contains("job-" + std::to_string(n) + ".prn"))
      fichierJob = fs::absolute(dossier / ("job-" + std::to_string(n) + ".prn")).string();
  document.pOutputFile = fichierJob.data();
#endif
  if (StartDocPrinterA(imprimante, 1, reinterpret_cast<LPBYTE>(&document)) == 0) {
    ClosePrinter(imprimante);
    echec("the printer " + o.imprimante + " refused the document");
  }
  auto abandonne = [&](const std::string& texte) {
    AbortPrinter(imprimante);
    ClosePrinter(imprimante);
    echec(texte);
  };
  auto appelle = [&](const std::uint8_t* donnees, std::size_t n) {
    return debut(imprimante, donnees, static_cast<std::uint32_t>(n), parametres.data()) == 1;
  };

  // The job end finishes a page left open.
  for (const auto& [debutMorceau, taille] : decoupe(flux, o.morceau))
    if (!appelle(flux.data() + debutMorceau, taille)) abandonne("the job was discarded");
  static const std::uint8_t kFinJob[] = {'J', 'F', ';'};
  if (!appelle(kFinJob, sizeof kFinJob)) abandonne("the job was discarded");
  const bool fini = EndDocPrinter(imprimante);
  const DWORD erreur = GetLastError();
  ClosePrinter(imprimante);

  std::string spoule;
  for (const std::string& n : travaux(dossier))
    if (!avant.contains(n)) {
      spoule = (dossier / n).string();
      break;
    }
  if (spoule.empty()) {
    if (!fini) echec("the printer " + o.imprimante + " could not finish the document");
    echec("no job file appeared in " + dossier.string());
  }
  std::cout << spoule << std::endl;
  // The job is spooled but its port did not take it (a "port" file in the printer folder).
  if (!fini)
    echec("the job was spooled but the printer " + o.imprimante + " could not send it to its port (error " +
          std::to_string(erreur) + ")");
  return 0;
}
