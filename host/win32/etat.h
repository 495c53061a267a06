// Shared state of the stand-in: handle objects, injected faults, the transfer log.
#pragma once

#include "win32_test.h"

#include <optional>
#include <string>

namespace win32 {

struct Objet {
  enum class Genre { Fichier, Imprimante, ContexteDessin, Bitmap, Crayon } genre;
  explicit Objet(Genre g) : genre(g) {}
  virtual ~Objet() = default;
};

struct Fichier : Objet {
  Fichier() : Objet(Genre::Fichier) {}
  ~Fichier() override;
  int fd = -1;
};

struct Imprimante : Objet {
  Imprimante() : Objet(Genre::Imprimante) {}
  ~Imprimante() override;
  std::string nom;
  std::string dossier;
  int docFd = -1;  // spool file of the document in progress
  std::string docTemp;
};

// Sends a finished job to the address in the printer's "port" file, if it has one;
// false (with the error said on stderr and set as the last error) when it did not get there.
bool livreAuPort(const Imprimante& p, const std::string& travail);

HANDLE enregistre(Objet* objet);
// The live object behind a handle, of that kind; null (and ERROR_INVALID_HANDLE) otherwise.
Objet* objet(HANDLE h, Objet::Genre genre);
bool libere(HANDLE h, Objet::Genre genre);

// The fault to apply to this call, when one is due.
std::optional<win32test::Fault> panne(win32test::Call appel);
bool toujoursEnAttente();
void noteTransfert(bool ecriture, DWORD octets, std::uint64_t offset);
SIZE_T memoireLibreImposee();

}  // namespace win32
