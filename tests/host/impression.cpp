#include "impression.h"

#include <cstring>
#include <fstream>
#include <iterator>

Impression::Impression() {
  imprimante_ = dossier_.ouvre();
  char nom[] = "test", type[] = "RAW";
  DOC_INFO_1A doc{nom, nullptr, type};
#ifdef _WIN32
  // The spooler's print to file puts the job where the stand-in's printers do.
  fichierJob_ = (dossier_.imprimante() / "job-1.prn").string();
  doc.pOutputFile = fichierJob_.data();
#endif
  EXPECT_NE(StartDocPrinterA(imprimante_, 1, reinterpret_cast<LPBYTE>(&doc)), 0u);
}

Impression::~Impression() {
  if (imprimante_) ClosePrinter(imprimante_);
}

int Impression::appel(std::string_view donnees, const settings::Record& r) {
  return debut(imprimante_, donnees.data(), static_cast<std::uint32_t>(donnees.size()), r.data());
}

int Impression::flux(std::string_view donnees, const settings::Record& r, std::size_t n) {
  for (std::size_t debut = 0; debut < donnees.size();) {
    std::size_t fin = std::min(donnees.size(), debut + n);
    // A "PG;" that began in the previous chunk still ends this one.
    const std::size_t page = donnees.find("PG;", debut >= 2 ? debut - 2 : 0);
    if (page != std::string_view::npos && page + 3 < fin) fin = page + 3;
    if (appel(donnees.substr(debut, fin - debut), r) != 1) return 0;
    debut = fin;
  }
  return 1;
}

int Impression::termine(const settings::Record& r) {
  const int resultat = appel("JF;", r);
  if (resultat == 1) {
    EXPECT_TRUE(EndDocPrinter(imprimante_));
  }
  return resultat;
}

std::vector<std::uint8_t> Impression::fichier() const {
  for (const std::string& nom : dossier_.fichiers()) {
    if (!nom.starts_with("job-")) continue;
    std::ifstream f(dossier_.imprimante() / nom, std::ios::binary);
    return std::vector<std::uint8_t>((std::istreambuf_iterator<char>(f)), std::istreambuf_iterator<char>());
  }
  return {};
}

std::vector<std::uint8_t> imprimeOctets(std::string_view donnees, const settings::Record& r, std::size_t morceau) {
  Impression i;
  EXPECT_EQ(i.flux(donnees, r, morceau), 1);
  EXPECT_EQ(i.termine(r), 1);
  return i.fichier();
}

jobfile::Job imprime(std::string_view donnees, const settings::Record& r, std::size_t morceau) {
  return jobfile::decode(imprimeOctets(donnees, r, morceau));
}

std::vector<Position> parcours(const jobfile::Job& j) {
  std::vector<Position> p;
  long long x = 0, y = 0;
  for (const jobfile::Move& m : j.moves()) {
    x += m.element.dx;
    y += m.element.dy;
    p.push_back({x, y, m.draw});
  }
  return p;
}

std::vector<Element> elements(const jobfile::Record& r) {
  std::vector<Element> v;
  for (const auto& e : r.elements) v.push_back({e.shortSpeed, e.cornerSpeed, e.dx, e.dy, e.length});
  return v;
}

void Entree::SetUp() {
  Convertisseur::SetUp();
  DrapeauNouvellePage = 1;
  DrapeauNouveauJob = 1;
}
