#include "fichier_machine.h"

#include <array>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>

namespace {

using Bloc = std::unique_ptr<void, decltype(&GlobalFree)>;

Bloc alloueGlobal(ContexteConversion& ctx, UINT drapeaux, SIZE_T octets) {
  Bloc bloc(GlobalAlloc(drapeaux, octets), &GlobalFree);
  if (!bloc) ErreurFatale(ctx, MsgMemoire);
  return bloc;
}

bool codeZK(int modele) { return modele == 769 || modele == 771 || modele == 772 || modele == 774; }

// Cuts each value of v into k parts: k - 1 of v / k (truncated) and the remainder last.
// When the remainder would pass the limit, one more part is used; should that still not
// do, the values are spread evenly over those parts, which always fits.
template <std::size_t N, typename F>
void decoupe(const std::array<std::int64_t, N>& v, std::int64_t k, std::int64_t limite, F&& partie) {
  auto tient = [&](std::int64_t parts) {
    for (std::int64_t x : v) {
      const std::int64_t q = x / parts, reste = x - (parts - 1) * q;
      if (std::llabs(q) > limite || std::llabs(reste) > limite) return false;
    }
    return true;
  };
  if (!tient(k)) ++k;
  std::array<std::int64_t, N> p{};
  if (tient(k)) {
    for (std::size_t i = 0; i < N; ++i) p[i] = v[i] / k;
    for (std::int64_t j = 1; j < k; ++j) partie(p, false);
    for (std::size_t i = 0; i < N; ++i) p[i] = v[i] - (k - 1) * (v[i] / k);
    partie(p, true);
    return;
  }
  for (std::int64_t j = 1; j <= k; ++j) {
    for (std::size_t i = 0; i < N; ++i) p[i] = v[i] * j / k - v[i] * (j - 1) / k;
    partie(p, j == k);
  }
}

}  // namespace

std::string EtiquetteEntete(const ContexteConversion& ctx) {
  const std::int32_t* ch = ctx.Entete.Champs;
  const char* lettres = ch[ChTypeFichier] == 2 ? "PC" : codeZK(ch[ChModele]) ? "ZK" : "KM";
  char tag[16];
  std::snprintf(tag, sizeof tag, "!%s %d;", lettres, LongueurBlocEntete(ctx));
  return tag;
}

int LongueurBlocEntete(const ContexteConversion& ctx) {
  const std::int32_t* ch = ctx.Entete.Champs;
  if (ch[ChTypeFichier] != 2 && codeZK(ch[ChModele])) return 200;
  return ctx.ModeleLimite ? 200 : 240;
}

void EcritPreEntete(ContexteConversion& ctx, EtatSortie& sortie) {
  EcritJob(ctx, sortie, kPreEntete, sizeof kPreEntete - 1);
}

void EcritEnteteJob(ContexteConversion& ctx, EtatSortie& sortie) {
  const std::string tag = EtiquetteEntete(ctx);
  EcritJob(ctx, sortie, tag.data(), tag.size());

  Bloc bloc = alloueGlobal(ctx, GPTR, 240);
  static_assert(sizeof(BlocEntete) == 240);
  auto* copie = static_cast<BlocEntete*>(bloc.get());
  std::memcpy(copie, &ctx.Entete, sizeof(BlocEntete));
  std::int32_t* ch = copie->Champs;
  if (ch[ChOrientation] > 3) {
    std::swap(ch[ChDpiX], ch[ChDpiY]);
    std::swap(ch[ChPlaqueX], ch[ChPlaqueY]);
  }
  if (ctx.AngleMarquage != 0 && std::cos(ctx.AngleMarquage) != 0)
    ch[ChDpiX] = Arrondit(ch[ChDpiX] / std::cos(ctx.AngleMarquage));

  EcritJob(ctx, sortie, copie->Tete, sizeof copie->Tete);
  sortie.PositionTaille = static_cast<long long>(sortie.CompteurOctets) + 184;
  const std::size_t champs = LongueurBlocEntete(ctx) == 200 ? 46 : 56;
  EcritMots32(ctx, sortie, ch, champs * 4);
}

void EcritFonction(ContexteConversion& ctx, EtatSortie& sortie, const char* code,
                   std::uint16_t valeur) {
  const std::uint16_t mots[3] = {
      0xFFFD,
      static_cast<std::uint16_t>(static_cast<std::uint8_t>(code[0]) << 8 |
                                 static_cast<std::uint8_t>(code[1])),
      valeur};
  std::uint8_t fonction[6];
  std::memcpy(fonction, mots, sizeof fonction);
  EcritMots16(ctx, sortie, fonction, sizeof fonction);
}

void EcritFonction32(ContexteConversion& ctx, EtatSortie& sortie, const char* code,
                     std::uint32_t valeur) {
  EcritFonction(ctx, sortie, code, static_cast<std::uint16_t>(valeur >> 16));
  EcritFonction(ctx, sortie, code, static_cast<std::uint16_t>(valeur));
}

void EcritDeplacementFocus(ContexteConversion& ctx, EtatSortie& sortie, std::int64_t delta) {
  if (delta == 0) return;
  auto ecrit = [&](std::int64_t m) {
    if (m != 0) EcritFonction(ctx, sortie, "RF", static_cast<std::uint16_t>(m));
  };
  if (std::llabs(delta) <= kLimiteFocus)
    ecrit(delta);
  else
    decoupe<1>({delta}, std::llabs(delta) / kLimiteFocus + 1, kLimiteFocus,
               [&](const std::array<std::int64_t, 1>& p, bool) { ecrit(p[0]); });
  ctx.FocusCourant = static_cast<std::int32_t>(ctx.FocusCourant + delta);
}

void DecoupeSegment(std::int64_t dx, std::int64_t dy,
                    const std::function<void(const ElementVecteur&)>& ajoute) {
  const std::int64_t longueur =
      std::llround(std::sqrt(static_cast<double>(dx) * dx + static_cast<double>(dy) * dy));
  auto element = [&](const std::array<std::int64_t, 3>& p, bool dernier) {
    if (p[2] == 0) return;
    ajoute(ElementVecteur{static_cast<std::uint8_t>(dernier ? 0 : 255), 0,
                          static_cast<std::int16_t>(p[0]), static_cast<std::int16_t>(p[1]),
                          static_cast<std::uint16_t>(p[2])});
  };
  if (longueur <= kLimiteElement)
    element({dx, dy, longueur}, true);
  else
    decoupe<3>({dx, dy, longueur}, longueur / kLimiteElement + 1, kLimiteElement, element);
}

void EcritElements(ContexteConversion& ctx, EtatSortie& sortie, ElementVecteur* elements,
                   std::size_t n) {
  EcritMots16(ctx, sortie, elements, n * sizeof(ElementVecteur));
}

// A one-byte literal before each two-byte run costs 4 bytes for 3; the pad adds one.
std::size_t TailleMaxPackBits(std::size_t n) { return n + (n + 1) / 2 + 2; }

std::size_t CompressePackBits(const std::uint8_t* ligne, std::size_t n, std::uint8_t* sortie) {
  std::size_t i = 0, o = 0;
  auto repete = [&](std::size_t k) { return k + 1 < n && ligne[k] == ligne[k + 1]; };
  while (i < n) {
    if (repete(i)) {
      std::size_t r = 2;
      while (i + r < n && r < 128 && ligne[i + r] == ligne[i]) ++r;
      sortie[o++] = static_cast<std::uint8_t>(257 - r);
      sortie[o++] = ligne[i];
      i += r;
    } else {
      std::size_t m = 1;
      while (i + m < n && m < 128 && !repete(i + m)) ++m;
      sortie[o++] = static_cast<std::uint8_t>(m - 1);
      std::memcpy(sortie + o, ligne + i, m);
      o += m;
      i += m;
    }
  }
  if (o % 2) sortie[o++] = 0x80;
  return o;
}

void EcritLigneRaster(ContexteConversion& ctx, EtatSortie& sortie, const char* code,
                      const std::uint8_t* donnees, std::size_t taille) {
  // The record's value counts 16-bit words: a longer line cannot be described.
  if (taille / 2 > 0xFFFF) ErreurFatale(ctx, MsgDimensionsPlaque);
  EcritFonction(ctx, sortie, code, static_cast<std::uint16_t>(taille / 2));
  EcritJob(ctx, sortie, donnees, taille);
}

void EcritFinPage(ContexteConversion& ctx, EtatSortie& sortie) {
  EcritDeplacementFocus(ctx, sortie, -static_cast<std::int64_t>(ctx.FocusCourant));
  EcritFonction(ctx, sortie, "AI", 0);
  EcritFonction(ctx, sortie, "PU", 0);
  EcritFonction32(ctx, sortie, "TE", 0);
  const DWORD zero = 0;
  EcritDonneeImprimante(sortie.Imprimante, "TempsEstime", REG_DWORD, &zero, sizeof zero);
  EcritFonction(ctx, sortie, "OP", 0);
}

void EcritFinJob(ContexteConversion& ctx, EtatSortie& sortie) {
  EcritFonction(ctx, sortie, "JF", 0);
}

void PatchTailleFichier(ContexteConversion& ctx, EtatSortie& sortie) {
  FILE* f = sortie.FichierMachine;
  if (!f) return;
  const std::uint32_t n = sortie.CompteurOctets;
  const std::uint8_t taille[4] = {static_cast<std::uint8_t>(n >> 24), static_cast<std::uint8_t>(n >> 16),
                                  static_cast<std::uint8_t>(n >> 8), static_cast<std::uint8_t>(n)};
  if (std::fflush(f) != 0 || CrtFseek64(f, sortie.PositionTaille, SEEK_SET) != 0 ||
      std::fwrite(taille, 1, 4, f) != 4 || std::fflush(f) != 0 || CrtFseek64(f, 0, SEEK_END) != 0)
    ErreurFatale(ctx, MsgEcritureFichier);
}

void EnvoieFichierMachine(ContexteConversion& ctx, EtatSortie& sortie) {
  FILE* f = sortie.FichierMachine;
  if (!f || sortie.PasDeTransmission) return;
  Bloc tampon = alloueGlobal(ctx, GMEM_FIXED, kPieceSpouleur);
  // Buffered bytes that cannot reach the disk would make a short file: never send one.
  if (std::fflush(f) != 0 || std::ferror(f)) ErreurFatale(ctx, MsgEcritureFichier);
  const long long longueur = CrtFtell64(f);
  if (longueur < 0) ErreurFatale(ctx, MsgLectureFichier);
  if (!ctx.ModeleLimite) PatchTailleFichier(ctx, sortie);
  if (!sortie.Imprimante) return;
  if (CrtFseek64(f, 0, SEEK_SET) != 0) ErreurFatale(ctx, MsgLectureFichier);
  auto* octets = static_cast<std::uint8_t*>(tampon.get());
  for (long long reste = longueur; reste > 0;) {
    const auto k = static_cast<DWORD>(std::min<long long>(reste, kPieceSpouleur));
    if (std::fread(octets, 1, k, f) != k) ErreurFatale(ctx, MsgLectureFichier);
    DWORD ecrits = 0;
    if (!WritePrinter(sortie.Imprimante, octets, k, &ecrits) || ecrits != k)
      ErreurFatale(ctx, MsgSpooler);
    reste -= k;
  }
}

void EcritQueueAbandon(ContexteConversion& ctx, EtatSortie& sortie) {
  if (!sortie.FichierMachine) return;
  static constexpr std::uint8_t kQueue[12] = {0xFF, 0xFD, 'A', 'I', 0, 0, 0xFF, 0xFD, 'J', 'F', 0, 0};
  bool erreur = false;
  EcritJobSilencieux(ctx, sortie, kQueue, sizeof kQueue, erreur);
}
