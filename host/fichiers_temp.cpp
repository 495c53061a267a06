// Temporary files: streams for the job file and the vector files, overlapped files
// for the rasters.
#include "contexte.h"

#include <algorithm>
#include <cstdlib>
#include <cstring>

FILE* OuvreFichierBrouillon(ContexteConversion& ctx) {
  if (FILE* f = CrtTmpfile()) return f;
  if (char* nom = _tempnam("c:\\Dranvik", "gra")) {
    FILE* f = CrtFopen(nom, "w+bD");
    std::free(nom);
    if (f) return f;
  }
  AfficheMessage(ctx, MsgFichierTemporaire);
  return nullptr;
}

HANDLE CreeFichierTemp(ContexteConversion& ctx) {
  char dossier[MAX_PATH + 1] = {};
  const DWORD n = GetTempPathA(MAX_PATH, dossier);
  if (n == 0 || n >= MAX_PATH) std::strcpy(dossier, "c:\\");
  char nom[MAX_PATH + 1] = {};
  if (GetTempFileNameA(dossier, "las", 0, nom) == 0) ErreurFatale(ctx, MsgCreationFichier);
  HANDLE h = CreateFileA(nom, GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE,
                         nullptr, CREATE_ALWAYS,
                         FILE_FLAG_OVERLAPPED | FILE_FLAG_DELETE_ON_CLOSE | FILE_ATTRIBUTE_NORMAL,
                         nullptr);
  if (h == INVALID_HANDLE_VALUE) {
    DeleteFileA(nom);  // the empty file GetTempFileNameA made
    ErreurFatale(ctx, MsgCreationFichier);
  }
  return h;
}

namespace {

constexpr DWORD kPiece = 1000000;

// n bytes at a 64-bit offset, in pieces of at most 1,000,000 bytes, the odd-sized piece
// first. A piece that fails or comes back short ends the job: the file is closed and
// forgotten rather than left with a hole.
void transfereFichierTemp(ContexteConversion& ctx, HANDLE& fichier, bool ecriture, DWORD n,
                          std::uint8_t* tampon, std::uint64_t offset) {
  DWORD piece = n % kPiece;
  for (DWORD reste = n / kPiece + 1; reste > 0; --reste) {
    OVERLAPPED ov{};
    ov.Offset = static_cast<DWORD>(offset);
    ov.OffsetHigh = static_cast<DWORD>(offset >> 32);
    DWORD fait = 0;
    BOOL ok = ecriture ? WriteFile(fichier, tampon, piece, &fait, &ov)
                       : ReadFile(fichier, tampon, piece, &fait, &ov);
    if (!ok && GetLastError() == ERROR_IO_PENDING) ok = GetOverlappedResult(fichier, &ov, &fait, TRUE);
    if (!ok || fait != piece) {
      CloseHandle(fichier);
      fichier = nullptr;
      ErreurFatale(ctx, ecriture ? MsgEcritureFichier : MsgLectureFichier);
    }
    tampon += fait;
    offset += fait;
    piece = kPiece;
  }
}

std::uint64_t offset64(DWORD bas, DWORD haut) {
  return static_cast<std::uint64_t>(haut) << 32 | bas;
}

}  // namespace

int EcritFichierTemp(ContexteConversion& ctx, HANDLE& fichier, DWORD n, const void* tampon,
                     DWORD offsetBas, DWORD offsetHaut) {
  transfereFichierTemp(ctx, fichier, true, n,
                       const_cast<std::uint8_t*>(static_cast<const std::uint8_t*>(tampon)),
                       offset64(offsetBas, offsetHaut));
  return 1;
}

int LitFichierTemp(ContexteConversion& ctx, HANDLE& fichier, DWORD n, void* tampon,
                   DWORD offsetBas, DWORD offsetHaut) {
  transfereFichierTemp(ctx, fichier, false, n, static_cast<std::uint8_t*>(tampon),
                       offset64(offsetBas, offsetHaut));
  return 1;
}

void CompacteLignesBande(ContexteConversion& ctx, EtatSortie& sortie, HANDLE& raster, int genre) {
  const std::int32_t w = std::max(ctx.LargeurUtile, 0);
  const std::int32_t h = std::max(ctx.HauteurUtile, 0);
  const std::uint64_t ancienne = static_cast<std::uint64_t>(std::max(sortie.LargeurCourante, 0));
  std::uint64_t nouvelle = genre == 0 ? (static_cast<std::uint64_t>(w) + 7) / 8 : static_cast<std::uint64_t>(w);
  // A row never grows: a longer one would overwrite the next row before it is read.
  nouvelle = std::min(nouvelle, ancienne);
  if (genre == 0) ctx.LargeurPixelsStylo = static_cast<std::int32_t>(std::min<std::uint64_t>(w, nouvelle * 8));
  if (!sortie.LigneTampon || sortie.TailleLigneTampon == 0) ErreurFatale(ctx, MsgMemoire);
  const std::uint64_t morceau = std::min<std::uint64_t>(sortie.TailleLigneTampon, kPiece);
  // Rows only move towards the file start, so front-to-back copying is safe in place.
  for (std::uint64_t r = 0; r < static_cast<std::uint64_t>(h); ++r) {
    for (std::uint64_t fait = 0; fait < nouvelle; fait += morceau) {
      const auto n = static_cast<DWORD>(std::min(morceau, nouvelle - fait));
      const std::uint64_t source = r * ancienne + fait, cible = r * nouvelle + fait;
      LitFichierTemp(ctx, raster, n, sortie.LigneTampon, static_cast<DWORD>(source),
                     static_cast<DWORD>(source >> 32));
      EcritFichierTemp(ctx, raster, n, sortie.LigneTampon, static_cast<DWORD>(cible),
                       static_cast<DWORD>(cible >> 32));
    }
  }
  sortie.LargeurCourante = static_cast<std::int32_t>(nouvelle);
  sortie.HauteurCourante = h;
}
