// Every byte of the job file goes through here and is counted.
#include "contexte.h"

#include <algorithm>
#include <cstring>
#include <memory>
#include <string>

std::size_t EcritJobSilencieux(ContexteConversion& ctx, EtatSortie& sortie, const void* donnees,
                               std::size_t n, bool& erreur) {
  erreur = false;
  if (ctx.ModeleLimite) {
    if (sortie.CompteurOctets >= kPlafondModeleLimite) return 0;
    n = std::min<std::size_t>(n, kPlafondModeleLimite - sortie.CompteurOctets);
  }
  if (!sortie.FichierMachine || n == 0) return 0;
  const std::size_t ecrits = std::fwrite(donnees, 1, n, sortie.FichierMachine);
  sortie.CompteurOctets += static_cast<std::uint32_t>(ecrits);
  erreur = ecrits != n || std::ferror(sortie.FichierMachine);
  return ecrits;
}

std::uint32_t EcritJob(ContexteConversion& ctx, EtatSortie& sortie, const void* donnees,
                       std::size_t n) {
  bool erreur = false;
  EcritJobSilencieux(ctx, sortie, donnees, n, erreur);
  if (erreur) ErreurFatale(ctx, MsgEcritureFichier);
  return sortie.CompteurOctets;
}

namespace {

// Host-order words of T in the caller's buffer become big-endian in place.
template <typename T>
void versGrandBoutiste(std::uint8_t* o, std::size_t n) {
  for (std::size_t i = 0; i + sizeof(T) <= n; i += sizeof(T)) {
    T mot;
    std::memcpy(&mot, o + i, sizeof(T));
    for (std::size_t k = 0; k < sizeof(T); ++k)
      o[i + k] = static_cast<std::uint8_t>(mot >> (8 * (sizeof(T) - 1 - k)));
  }
}

}  // namespace

std::uint32_t EcritMots16(ContexteConversion& ctx, EtatSortie& sortie, void* donnees,
                          std::size_t n) {
  versGrandBoutiste<std::uint16_t>(static_cast<std::uint8_t*>(donnees), n);
  return EcritJob(ctx, sortie, donnees, n);
}

std::uint32_t EcritMots32(ContexteConversion& ctx, EtatSortie& sortie, void* donnees,
                          std::size_t n) {
  versGrandBoutiste<std::uint32_t>(static_cast<std::uint8_t*>(donnees), n);
  return EcritJob(ctx, sortie, donnees, n);
}

std::string NomImprimante(HANDLE imprimante) {
  DWORD besoin = 0;
  GetPrinterA(imprimante, 2, nullptr, 0, &besoin);
  if (besoin < sizeof(PRINTER_INFO_2A)) return {};
  std::unique_ptr<void, decltype(&GlobalFree)> bloc(GlobalAlloc(GPTR, besoin), &GlobalFree);
  if (!bloc || !GetPrinterA(imprimante, 2, static_cast<LPBYTE>(bloc.get()), besoin, &besoin)) return {};
  const auto* info = static_cast<const PRINTER_INFO_2A*>(bloc.get());
  return info->pPrinterName ? info->pPrinterName : "";
}

void EcritDonneeImprimante(HANDLE imprimante, const char* nom, DWORD type, const void* donnees,
                           DWORD taille) {
  std::string nomImprimante = NomImprimante(imprimante);
  PRINTER_DEFAULTSA acces{nullptr, nullptr, PRINTER_ALL_ACCESS};
  HANDLE h = nullptr;
  if (nomImprimante.empty() || !OpenPrinterA(nomImprimante.data(), &h, &acces)) return;
  std::string nomValeur = nom ? nom : "";
  SetPrinterDataA(h, nomValeur.data(), type,
                  static_cast<LPBYTE>(const_cast<void*>(donnees)), taille);
  ClosePrinter(h);
}
