#include "fichiers_raster.h"

#include <algorithm>
#include <cstring>
#include <limits>

namespace {

constexpr std::uint32_t kCopie = 0xCC0020;  // SRCCOPY
constexpr std::size_t kOffsetGris = pj::GrisForce - pj::BlocTraitementA;
constexpr std::size_t kOffsetSeuil = pj::SeuilPuissance - pj::BlocTraitementA;

std::uint16_t motTraitementA(std::size_t offset) {
  const std::uint8_t* b = Contexte.BlocTraitementA + offset;
  return static_cast<std::uint16_t>(b[0] | b[1] << 8);
}

// A plate side + 5 mm in dots at the page resolution.
std::int32_t pointsPlaque(std::int32_t cote) {
  const double marge = Contexte.Entete.Champs[ChUnite] ? 5000 : 500;
  return std::max(ConvertitUnitesEnPoints(cote + marge, static_cast<float>(Contexte.ResolutionRaster)), 0);
}
std::int32_t largeurPage() { return pointsPlaque(Contexte.Entete.Champs[ChPlaqueX]); }
std::int32_t hauteurPage() { return pointsPlaque(Contexte.Entete.Champs[ChPlaqueY]); }

std::uint8_t* ligneFond(std::int64_t n) {
  if (!Contexte.LigneFond || n < 0 || static_cast<std::uint64_t>(n) > Contexte.TailleLigneFond)
    ErreurFatale(Contexte, MsgMemoire);
  return Contexte.LigneFond;
}

// n bytes at row ligne, byte colonne of a raster largeur bytes wide.
void transfere(bool ecriture, HANDLE& h, std::int32_t ligne, std::int32_t largeur,
               std::int64_t colonne, std::int64_t n, std::uint8_t* tampon) {
  const std::uint64_t position =
      static_cast<std::uint64_t>(ligne) * static_cast<std::uint64_t>(largeur) + static_cast<std::uint64_t>(colonne);
  const auto bas = static_cast<DWORD>(position), haut = static_cast<DWORD>(position >> 32);
  if (ecriture)
    EcritFichierTemp(Contexte, h, static_cast<DWORD>(n), tampon, bas, haut);
  else
    LitFichierTemp(Contexte, h, static_cast<DWORD>(n), tampon, bas, haut);
}

// Rows [de, a) at the value. Zero rows need not be written: the file's end is enough,
// and the file system reads what lies before it as 0.
void remplit(HANDLE& h, std::int32_t largeur, std::int32_t de, std::int32_t a, std::uint8_t valeur) {
  if (de >= a || largeur <= 0) return;
  if (valeur == 0) {
    std::uint8_t zero = 0;
    transfere(true, h, a - 1, largeur, largeur - 1, 1, &zero);
    return;
  }
  std::uint8_t* l = ligneFond(largeur);
  std::memset(l, valeur, static_cast<std::size_t>(largeur));
  for (std::int32_t r = de; r < a; ++r) transfere(true, h, r, largeur, 0, largeur, l);
}

// Every raster, open or not yet, at least this many rows.
void etendRasters(std::int32_t lignes) {
  EtatSortie& s = Sortie;
  const std::int64_t colonnes = std::max<std::int64_t>(s.LargeurRasterGris, std::int64_t{s.LargeurRasterClasse} * 8);
  if (colonnes * lignes > kPointsRasterMax) ErreurFatale(Contexte, MsgDimensionsPlaque);
  if (lignes > s.HauteurRasterGris) {
    if (s.hRasterGris) remplit(s.hRasterGris, s.LargeurRasterGris, s.HauteurRasterGris, lignes, s.FondRasterGris);
    s.HauteurRasterGris = lignes;
  }
  if (lignes > s.HauteurRasterClasse) {
    for (HANDLE& h : s.hRastersClasse)
      if (h) remplit(h, s.LargeurRasterClasse, s.HauteurRasterClasse, lignes, 0);
    s.HauteurRasterClasse = lignes;
  }
}

std::int32_t hauteurCreation() {
  return std::max({hauteurPage(), Sortie.HauteurRasterGris, Sortie.HauteurRasterClasse});
}

// A page wider or taller than the store can reach, or of more dots than a page may hold, is
// refused before its raster is created: its background alone would cost rows that no stored
// row can ever reach, or gigabytes of white.
void verifiePage() {
  const std::int64_t largeur = largeurPage(), hauteur = hauteurCreation();
  if (largeur > kTailleRasterMax || hauteur > kTailleRasterMax || largeur * hauteur > kPointsRasterMax)
    ErreurFatale(Contexte, MsgDimensionsPlaque);
}

void creeGris(std::uint8_t fond) {
  verifiePage();
  EtatSortie& s = Sortie;
  const std::int32_t hauteur = hauteurCreation();
  s.LargeurRasterGris = largeurPage();
  s.FondRasterGris = fond;
  s.hRasterGris = CreeFichierTemp(Contexte);
  remplit(s.hRasterGris, s.LargeurRasterGris, 0, hauteur, fond);
  s.HauteurRasterGris = hauteur;
}

void creeClasse(HANDLE& h) {
  verifiePage();
  EtatSortie& s = Sortie;
  const std::int32_t hauteur = hauteurCreation();
  s.LargeurRasterClasse = largeurPage() / 8;
  h = CreeFichierTemp(Contexte);
  remplit(h, s.LargeurRasterClasse, 0, hauteur, 0);
  s.HauteurRasterClasse = hauteur;
}

// The row fits the raster from column debut to fin (exclusive, in the raster's bytes);
// nothing of it is stored otherwise.
void verifieLigne(std::int64_t debut, std::int64_t fin, std::int32_t largeur) {
  const EtatSortie& s = Sortie;
  if (debut < 0 || s.RasterY < 0 || s.RasterY >= kTailleRasterMax || fin > largeur)
    ErreurFatale(Contexte, MsgDimensionsPlaque);
  etendRasters(s.RasterY + 1);
}

void avanceLigne(std::int64_t pixels) {
  EtatSortie& s = Sortie;
  ContexteConversion& ctx = Contexte;
  const std::int64_t fin = std::min<std::int64_t>(s.RasterX + pixels, std::numeric_limits<std::int32_t>::max());
  ctx.EtendueX = std::max(ctx.EtendueX, static_cast<std::int32_t>(fin));
  if (s.RasterY < std::numeric_limits<std::int32_t>::max()) ++s.RasterY;
  ctx.EtendueY = std::max(ctx.EtendueY, std::min(s.RasterY, kTailleRasterMax));
  // Readers take the extent as the image size: every raster reaches it.
  etendRasters(ctx.EtendueY);
  Analyse.PlanCourant = -1;
}

int bit(const std::uint8_t* plan, std::int32_t p) { return plan[p >> 3] >> (7 - (p & 7)) & 1; }

std::uint8_t gris(const QuadCouleur& c) {
  return static_cast<std::uint8_t>((30 * c.Rouge + 59 * c.Vert + 11 * c.Bleu) / 100);
}

// No pen selected yet: black, the class-0 colour.
std::uint8_t grisStylo() {
  const std::int32_t p = Contexte.StyloCourant;
  return p >= 0 && p < kTaillePaletteStylos ? gris(Contexte.PaletteStylos[p]) : 0;
}

std::uint8_t fusionne(std::uint32_t operation, std::uint8_t s, std::uint8_t d) {
  switch (operation) {
    case 0x000042: return 0;
    case 0x1100A6: return static_cast<std::uint8_t>(~(s | d));
    case 0x330008: return static_cast<std::uint8_t>(~s);
    case 0x440328: return static_cast<std::uint8_t>(s & ~d);
    case 0x550009: return static_cast<std::uint8_t>(~d);
    case 0x660046: return static_cast<std::uint8_t>(s ^ d);
    case 0x8800C6: return static_cast<std::uint8_t>(s & d);
    case 0xBB0226: return static_cast<std::uint8_t>(~s | d);
    case 0xEE0086: return static_cast<std::uint8_t>(s | d);
    case 0xFF0062: return 255;
    default: return s;
  }
}

int indexCouleur(std::int32_t p) {
  const auto& plans = Analyse.LignesPlan;
  return bit(plans[0], p) | bit(plans[1], p) << 1 | bit(plans[2], p) << 2;
}

std::int32_t pixelsLigne() {
  return std::clamp(Analyse.PixelsLigne, 0, kTailleRasterMax);
}
std::int32_t octetsLigne() {
  return std::clamp(Analyse.OctetsLigne, 0, static_cast<std::int32_t>(kTailleLignePlan));
}

}  // namespace

bool ModeGris() { return motTraitementA(kOffsetGris) != 0; }

void AlloueLigneFond() {
  if (Contexte.LigneFond) GlobalFree(Contexte.LigneFond);
  const std::int32_t n = std::max(largeurPage(), 1);
  Contexte.LigneFond = static_cast<std::uint8_t*>(GlobalAlloc(GMEM_FIXED, static_cast<SIZE_T>(n)));
  Contexte.TailleLigneFond = Contexte.LigneFond ? static_cast<std::size_t>(n) : 0;
  if (!Contexte.LigneFond) ErreurFatale(Contexte, MsgMemoire);
}

void LibereRasters() {
  if (Contexte.LigneFond) GlobalFree(Contexte.LigneFond);
  Contexte.LigneFond = nullptr;
  Contexte.TailleLigneFond = 0;
  if (Sortie.hRasterGris) CloseHandle(Sortie.hRasterGris);
  Sortie.hRasterGris = nullptr;
}

std::uint8_t ConvertitGrisPuissance(int niveau) {
  if (niveau == 0) return 0;
  const int v = niveau - motTraitementA(kOffsetSeuil) + 50;
  return static_cast<std::uint8_t>(std::clamp(v, 0, std::max<int>(Contexte.Slots[0].NiveauMax, 0)));
}

void StockeLigneGris(int mode) {
  EtatSortie& s = Sortie;
  const EtatAnalyse& a = Analyse;
  if (!s.hRasterGris) creeGris(255);
  // Grey bytes are one per pixel: the bound, the read and the write take the same count.
  const std::int32_t n = mode == 2 ? octetsLigne() : pixelsLigne();
  verifieLigne(s.RasterX, static_cast<std::int64_t>(s.RasterX) + n, s.LargeurRasterGris);
  std::uint8_t* fond = ligneFond(n);
  transfere(false, s.hRasterGris, s.RasterY, s.LargeurRasterGris, s.RasterX, n, fond);
  const std::uint8_t* plan = a.LignesPlan[0];
  const bool opaque = a.Transparence != 0;
  const std::uint8_t encre = grisStylo();
  const std::uint8_t palette[2] = {gris(Contexte.PaletteRaster[0]), gris(Contexte.PaletteRaster[1])};
  const std::uint32_t operation = Contexte.OperationFusion;
  for (std::int32_t p = 0; p < n; ++p) {
    const std::uint8_t d = fond[p];
    std::uint8_t v;
    if (mode == 2) {
      v = plan[p];
    } else if (mode == 1) {
      v = gris(Contexte.PaletteRaster[indexCouleur(p)]);
    } else if (Contexte.ModeHPGL == 1) {
      v = bit(plan, p) ? encre : opaque ? 255 : d;
    } else {
      v = palette[bit(plan, p)];
      if (v == 255 && !opaque) v = d;
    }
    fond[p] = operation == kCopie ? v : fusionne(operation, v, d);
  }
  transfere(true, s.hRasterGris, s.RasterY, s.LargeurRasterGris, s.RasterX, n, fond);
  avanceLigne(n);
}

void StockeLigneConvertie() {
  if (ModeGris()) return StockeLigneGris(1);
  EtatSortie& s = Sortie;
  if (!s.hRasterGris) creeGris(0);
  const std::int32_t n = pixelsLigne();
  verifieLigne(s.RasterX, static_cast<std::int64_t>(s.RasterX) + n, s.LargeurRasterGris);
  std::uint8_t* niveaux = ligneFond(n);
  for (std::int32_t p = 0; p < n; ++p)
    niveaux[p] = ConvertitGrisPuissance(Contexte.NiveauxGrisClasses[indexCouleur(p)]);
  transfere(true, s.hRasterGris, s.RasterY, s.LargeurRasterGris, s.RasterX, n, niveaux);
  avanceLigne(n);
}

bool LignePlanStockee() { return ModeGris() || Sortie.ClasseCourante < 8; }

std::int32_t ColonnesRaster() {
  const EtatSortie& s = Sortie;
  const std::int64_t classe = static_cast<std::int64_t>(s.LargeurRasterClasse) * 8;
  return static_cast<std::int32_t>(std::clamp<std::int64_t>(
      std::max({static_cast<std::int64_t>(largeurPage()), classe, static_cast<std::int64_t>(s.LargeurRasterGris)}), 0,
      std::numeric_limits<std::int32_t>::max()));
}

std::int32_t LignesPage() { return std::max(hauteurPage(), Contexte.EtendueY); }

void StockeLignePlan() {
  if (ModeGris()) return StockeLigneGris(0);
  EtatSortie& s = Sortie;
  const std::int32_t pixels = pixelsLigne();
  if (s.ClasseCourante < 8) {
    HANDLE& h = s.hRastersClasse[s.ClasseCourante];
    if (!h) creeClasse(h);
    std::uint8_t* ligne = Analyse.LignesPlan[0];
    const std::int32_t octets = octetsLigne();
    const std::int32_t utiles = std::min((pixels + 7) / 8, octets);
    if (pixels % 8 && utiles == (pixels + 7) / 8)
      ligne[utiles - 1] &= static_cast<std::uint8_t>(0xFF << (8 - pixels % 8));
    std::fill(ligne + utiles, ligne + octets, 0);
    const std::int32_t debut = s.RasterX >= 0 ? s.RasterX / 8 : -1;
    const int decalage = s.RasterX >= 0 ? s.RasterX % 8 : 0;
    const std::int32_t n = octets + (decalage ? 1 : 0);
    verifieLigne(debut, static_cast<std::int64_t>(debut) + n, s.LargeurRasterClasse);
    std::uint8_t* fond = ligneFond(n);
    transfere(false, h, s.RasterY, s.LargeurRasterClasse, debut, n, fond);
    unsigned retenue = 0;
    for (std::int32_t i = 0; i < octets; ++i) {
      fond[i] |= static_cast<std::uint8_t>(retenue | ligne[i] >> decalage);
      retenue = static_cast<std::uint8_t>(ligne[i] << (8 - decalage));
    }
    if (decalage) fond[octets] |= static_cast<std::uint8_t>(retenue);
    transfere(true, h, s.RasterY, s.LargeurRasterClasse, debut, n, fond);
  }
  avanceLigne(pixels);
}

void SauveLigneGraine(std::int32_t depuis) {
  EtatAnalyse& a = Analyse;
  const std::int32_t p = a.PlanCourant;
  if (p < 0 || p > 2) return;
  const std::int32_t n = octetsLigne();
  depuis = std::clamp(depuis, 0, n);
  std::fill(a.LignesPlan[p] + depuis, a.LignesPlan[p] + n, 0);
  std::memcpy(a.LignesGraine[p], a.LignesPlan[p], static_cast<std::size_t>(n));
}
