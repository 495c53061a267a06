// Jobs fed to debut as the host printing software does: printer "laser1" of a private
// spool folder, one document per job, chunks that never run past a page end.
#pragma once

#include "debut.h"
#include "outils.h"

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

class Impression {
 public:
  Impression();
  ~Impression();
  Impression(const Impression&) = delete;
  Impression& operator=(const Impression&) = delete;

  HANDLE imprimante() const { return imprimante_; }
  // One call of debut; its result.
  int appel(std::string_view donnees, const settings::Record& r);
  // The stream in chunks of at most n bytes, cut after every "PG;"; 0 at the first refusal.
  int flux(std::string_view donnees, const settings::Record& r, std::size_t n = 65536);
  // "JF;" and the end of the document; the result of debut.
  int termine(const settings::Record& r);
  // The spooled job file; empty when there is none.
  std::vector<std::uint8_t> fichier() const;
  jobfile::Job job() const { return jobfile::decode(fichier()); }

 private:
  DossierSpool dossier_;
  HANDLE imprimante_ = nullptr;
#ifdef _WIN32
  std::string fichierJob_;
#endif
};

// A whole job through debut and the spooler: its bytes, and decoded.
std::vector<std::uint8_t> imprimeOctets(std::string_view donnees, const settings::Record& r, std::size_t morceau = 65536);
jobfile::Job imprime(std::string_view donnees, const settings::Record& r, std::size_t morceau = 65536);

// Positions reached after each vector element, from the section's start (0, 0).
struct Position {
  long long x, y;
  bool trace;
  bool operator==(const Position&) const = default;
};
std::vector<Position> parcours(const jobfile::Job& j);

// One page drawn with pen 1 (colour class 0).
inline std::string page(const std::string& dessin) { return "IN;SP1;PA;" + dessin + "PG;"; }

// A vector element as numbers: short-segment byte, corner byte, dx, dy, length.
struct Element {
  int court, coin, dx, dy, longueur;
  bool operator==(const Element&) const = default;
};
std::vector<Element> elements(const jobfile::Record& r);

// Fresh records and a job entry with no job under way.
class Entree : public Convertisseur {
 protected:
  void SetUp() override;
};
