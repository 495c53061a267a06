#include "raster_outils.h"

#include "fichiers_raster.h"

void Raster::SetUp() {
  Traceur::SetUp();
  regle(reglages());
}

void Raster::TearDown() {
  fermeRastersPage();
  Traceur::TearDown();
}

void fermeRastersPage() {
  LibereRasters();
  for (HANDLE& h : Sortie.hRastersClasse) {
    if (h) CloseHandle(h);
    h = nullptr;
  }
}

settings::Record Raster::reglages() {
  settings::Record r = settings::Record::typical();
  r.plate(20000, 20000).rasterResolution(254);
  return r;
}

void Raster::regle(const settings::Record& r) {
  ImporteParametres(Contexte, Sortie, ParametresJob(r.data(), r.size()));
  AlloueLigneFond();
}

std::vector<std::uint8_t> Raster::ligneGris(std::int32_t r, std::int32_t n) const {
  std::vector<std::uint8_t> l(static_cast<std::size_t>(n < 0 ? Sortie.LargeurRasterGris : n));
  const std::uint64_t o = static_cast<std::uint64_t>(r) * static_cast<std::uint64_t>(Sortie.LargeurRasterGris);
  LitFichierTemp(Contexte, Sortie.hRasterGris, static_cast<DWORD>(l.size()), l.data(),
                 static_cast<DWORD>(o), static_cast<DWORD>(o >> 32));
  return l;
}

std::vector<std::uint8_t> Raster::gris(std::int32_t r, std::int32_t x, std::int32_t n) const {
  const std::vector<std::uint8_t> l = ligneGris(r);
  return {l.begin() + x, l.begin() + x + n};
}

std::vector<std::uint8_t> Raster::ligneClasse(int classe, std::int32_t r) const {
  std::vector<std::uint8_t> l(static_cast<std::size_t>(Sortie.LargeurRasterClasse));
  const std::uint64_t o = static_cast<std::uint64_t>(r) * l.size();
  LitFichierTemp(Contexte, Sortie.hRastersClasse[classe], static_cast<DWORD>(l.size()), l.data(),
                 static_cast<DWORD>(o), static_cast<DWORD>(o >> 32));
  return l;
}

std::string transfert(const std::vector<std::uint8_t>& octets, char lettre) {
  return std::to_string(octets.size()) + lettre + std::string(octets.begin(), octets.end());
}
