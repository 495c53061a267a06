#include "rtl.h"

#include "contexte.h"
#include "fichiers_raster.h"
#include "hpgl_commandes.h"
#include "hpgl_flux.h"

#include <algorithm>
#include <cstring>
#include <limits>

namespace {

constexpr auto kTaille = static_cast<std::int64_t>(kTailleLignePlan);

// The data bytes of one transfer: never more than its count is read, and what the
// decoder leaves is skipped, so the stream stays in step whatever the bytes say.
class Transfert {
 public:
  explicit Transfert(std::int64_t n) : reste_(std::max<std::int64_t>(n, 0)) {}
  bool lit(std::uint8_t& o) {
    if (reste_ <= 0) return false;
    --reste_;
    o = static_cast<std::uint8_t>(LitOctetFlux(false));
    return true;
  }
  std::int64_t reste() const { return reste_; }
  void saute() {
    for (; reste_ > 0; --reste_) LitOctetFlux(false);
  }
  // The next n bytes as a transfer of their own.
  Transfert preleve(std::int64_t n) {
    n = std::clamp<std::int64_t>(n, 0, reste_);
    reste_ -= n;
    return Transfert(n);
  }

 private:
  std::int64_t reste_;
};

// Writes into a plane row; bytes past its end are dropped but still counted.
class Ecriture {
 public:
  explicit Ecriture(std::uint8_t* ligne) : ligne_(ligne) {}
  void met(std::uint8_t o) {
    if (position_ < kTaille) ligne_[position_] = o;
    ++position_;
  }
  void avance(std::int64_t n) { position_ += n; }
  std::int64_t position() const { return position_; }

 private:
  std::uint8_t* ligne_;
  std::int64_t position_ = 0;
};

std::int32_t octetsLigne() {
  return static_cast<std::int32_t>(std::clamp<std::int64_t>(Analyse.OctetsLigne, 0, kTaille));
}

std::uint8_t* ligneCourante() { return Analyse.LignesPlan[Analyse.PlanCourant]; }

void stockeLigne() {
  const EtatAnalyse& a = Analyse;
  if (a.EspaceCouleur == 10)
    StockeLigneGris(2);
  else if (a.DernierPlan == 0)
    StockeLignePlan();
  else
    StockeLigneConvertie();
}

void termineLigne(std::int64_t decodes) {
  SauveLigneGraine(static_cast<std::int32_t>(std::clamp<std::int64_t>(decodes, 0, kTaille)));
  if (Analyse.PlanCourant == Analyse.DernierPlan) stockeLigne();
}

void brute(Transfert& t) {
  Ecriture e(ligneCourante());
  std::uint8_t o;
  while (t.lit(o)) e.met(o);
  termineLigne(e.position());
}

void repetition(Transfert& t) {
  Ecriture e(ligneCourante());
  std::uint8_t n, o;
  while (t.lit(n) && t.lit(o))
    for (int k = 0; k <= n; ++k) e.met(o);
  termineLigne(e.position());
}

void packBits(Transfert& t) {
  Ecriture e(ligneCourante());
  std::uint8_t c, o;
  while (t.lit(c)) {
    const auto s = static_cast<std::int8_t>(c);
    if (s >= 0) {
      for (int k = 0; k <= s && t.lit(o); ++k) e.met(o);
    } else if (s != -128 && t.lit(o)) {
      for (int k = 0; k < 1 - s; ++k) e.met(o);
    }
  }
  termineLigne(e.position());
}

// The row is the seed row with the bytes the commands replace; it is whole, whatever
// the last replaced byte.
void delta(Transfert& t) {
  std::uint8_t* ligne = ligneCourante();
  const std::int32_t n = octetsLigne();
  std::memcpy(ligne, Analyse.LignesGraine[Analyse.PlanCourant], static_cast<std::size_t>(n));
  Ecriture e(ligne);
  std::uint8_t b, o;
  while (t.lit(b)) {
    const int compte = (b >> 5) + 1;
    std::int64_t decalage = b & 31;
    if (decalage == 31) {
      while (t.lit(o)) {
        decalage += o;
        if (o != 255) break;
      }
    }
    e.avance(decalage);
    for (int k = 0; k < compte && t.lit(o); ++k) e.met(o);
  }
  termineLigne(n);
}

using Decodeur = void (*)(Transfert&);
constexpr Decodeur kDecodeurs[4] = {brute, repetition, packBits, delta};

std::uint32_t grandBoutiste(Transfert& t, int octets, bool& complet) {
  std::uint32_t v = 0;
  std::uint8_t o = 0;
  complet = true;
  for (int i = 0; i < octets; ++i) {
    complet = complet && t.lit(o);
    v = v << 8 | (complet ? o : 0);
  }
  return v;
}

void mode4(Transfert& t) {
  EtatAnalyse& a = Analyse;
  bool complet;
  const std::uint32_t bits = grandBoutiste(t, 4, complet);
  // No bits per row would never use a byte up: the rest is skipped.
  if (!complet || bits == 0) return;
  const std::int64_t longueur = (static_cast<std::int64_t>(bits) + 7) / 8;
  a.OctetsLigne = static_cast<std::int32_t>(std::min(longueur, kTaille));
  a.PixelsLigne = a.EspaceCouleur == 10
                      ? a.OctetsLigne
                      : static_cast<std::int32_t>(std::min<std::int64_t>(bits, kTailleRasterMax));
  while (t.reste() > 0) {
    for (int p = 0; p <= a.DernierPlan; ++p) {
      a.PlanCourant = p;
      Transfert ligne = t.preleve(longueur);
      Ecriture e(ligneCourante());
      std::uint8_t o;
      while (ligne.lit(o)) e.met(o);
      SauveLigneGraine(static_cast<std::int32_t>(std::min(e.position(), kTaille)));
    }
    stockeLigne();
  }
}

void mode5(Transfert& t) {
  EtatAnalyse& a = Analyse;
  while (t.reste() >= 3) {
    std::uint8_t commande = 0;
    t.lit(commande);
    bool complet;
    const std::uint32_t m = grandBoutiste(t, 2, complet);
    a.PlanCourant = 0;
    if (commande <= 3) {
      Transfert bloc = t.preleve(m);
      kDecodeurs[commande](bloc);
      bloc.saute();
    } else if (commande == 4 || commande == 5) {
      const auto n = static_cast<std::size_t>(octetsLigne());
      if (commande == 4) {
        std::memset(a.LignesPlan[0], 0, n);
        SauveLigneGraine(0);
      } else {
        std::memcpy(a.LignesPlan[0], a.LignesGraine[0], n);
      }
      for (std::uint32_t k = 0; k < m && a.DernierPlan == 0; ++k) {
        a.PlanCourant = 0;
        stockeLigne();
      }
    }
  }
}

void decode(Decodeur decodeur, std::int64_t n) {
  Transfert t(n);
  decodeur(t);
  t.saute();
}

// Modes 0-3 fill the current plane, when there is one.
void decodePlan(Decodeur decodeur, std::int64_t n) {
  if (Analyse.PlanCourant >= 0 && Analyse.PlanCourant <= 2) return decode(decodeur, n);
  Transfert(n).saute();
}

// A parameter value and whether its text was signed (a relative move).
float litValeur(bool& relatif) {
  const std::uint8_t* debut = Analyse.Curseur;
  relatif = false;
  float v = 0;
  if (LitNombreHPGL(v) != NombreLu) return 0;
  for (const std::uint8_t* p = debut; p && p < Analyse.Curseur; ++p) {
    if (*p == '+' || *p == '-') relatif = true;
    if (*p == '+' || *p == '-' || *p == '.' || (*p >= '0' && *p <= '9')) break;
  }
  return v;
}

// Value-letter pairs until an upper-case letter (executed, true) or any byte that is
// not a letter (false). Letters are handed over in upper case.
template <typename F>
bool lisGroupe(F&& execute) {
  for (;;) {
    bool relatif = false;
    const float v = litValeur(relatif);
    const int c = LitOctetFlux(false);
    const bool majuscule = c >= 64 && c <= 94;
    if (!majuscule && !(c >= 96 && c <= 126)) return false;
    execute(majuscule ? c : c - 32, v, relatif);
    if (majuscule) return true;
  }
}

std::int64_t entier(float v) { return EntierHPGL(v); }

std::int32_t sature(std::int64_t v) {
  return static_cast<std::int32_t>(std::clamp<std::int64_t>(
      v, std::numeric_limits<std::int32_t>::min(), std::numeric_limits<std::int32_t>::max()));
}

void largeurSource(float valeur) {
  EtatAnalyse& a = Analyse;
  const auto largeur = static_cast<std::int32_t>(std::clamp<std::int64_t>(entier(valeur), 0, kTailleRasterMax));
  if (a.EspaceCouleur == 10) {
    a.PixelsLigne = a.OctetsLigne = static_cast<std::int32_t>(std::min<std::int64_t>(largeur, kTaille));
  } else {
    a.PixelsLigne = largeur;
    a.OctetsLigne = (largeur + 7) / 8;
  }
}

void videGraines() { std::memset(Analyse.LignesGraine, 0, sizeof Analyse.LignesGraine); }

std::uint8_t composante(std::int32_t v) { return static_cast<std::uint8_t>(std::clamp(v, 0, 255)); }

void configureImage(int espace, int codage, int bits) {
  EtatAnalyse& a = Analyse;
  constexpr QuadCouleur kBlanc{255, 255, 255, 0}, kNoir{0, 0, 0, 0};
  constexpr QuadCouleur kHuit[8] = {kNoir, {0, 0, 255, 0}, {0, 255, 0, 0}, {0, 255, 255, 0},
                                    {255, 0, 0, 0}, {255, 0, 255, 0}, {255, 255, 0, 0}, kBlanc};
  a.EspaceCouleur = espace;
  a.CodagePixels = codage;
  if (bits == 1) {
    Contexte.PaletteRaster[0] = kBlanc;
    Contexte.PaletteRaster[1] = kNoir;
  } else {
    std::copy(std::begin(kHuit), std::end(kHuit), Contexte.PaletteRaster);
  }
  // Grey bytes are one plane; other rows have at most the three planes there are rows for.
  a.DernierPlan = espace == 10 ? 0 : std::clamp(bits - 1, 0, 2);
  a.PlanCourant = -1;
}

}  // namespace

void DecodeLigneBrute(std::int64_t n) { decodePlan(brute, n); }
void DecodeLigneRepetition(std::int64_t n) { decodePlan(repetition, n); }
void DecodeLignePackBits(std::int64_t n) { decodePlan(packBits, n); }
void DecodeLigneDelta(std::int64_t n) { decodePlan(delta, n); }

// Modes 4 and 5 carry whole rows: the next transfer starts a row.
void DecodeLigneMode4(std::int64_t n) {
  decode(mode4, n);
  Analyse.PlanCourant = -1;
}

void DecodeLigneAdaptative(std::int64_t n) {
  decode(mode5, n);
  Analyse.PlanCourant = -1;
}

void AnalyseRtlStylo() {
  lisGroupe([](int lettre, float, bool) {
    if (lettre == 'A') {
      Sortie.ClasseCourante = 0;
      Contexte.ModeHPGL = 0;
    } else if (lettre == 'B') {
      Sortie.ClasseCourante = static_cast<std::uint8_t>(Interpreteur.ClasseStylo);
      Contexte.ModeHPGL = 1;
    }
  });
}

void AnalyseRtlTransfert() {
  lisGroupe([](int lettre, float v, bool) {
    if (lettre == 'M') {
      Analyse.ModeCompression = static_cast<std::int32_t>(entier(v));
      return;
    }
    if (lettre != 'V' && lettre != 'W') return;
    // A transfer is taken whole: rows are stored and planes counted once, even when its
    // data comes in two chunks.
    const std::int64_t n = entier(v);
    ExigeOctetsFlux(n);
    switch (Analyse.ModeCompression) {
      case 0:
      case 1:
      case 2:
      case 3:
        // A row never has more than three planes.
        if (Analyse.PlanCourant < 2) {
          ++Analyse.PlanCourant;
          decodePlan(kDecodeurs[Analyse.ModeCompression], n);
        } else {
          Transfert(n).saute();
        }
        break;
      case 4:
        DecodeLigneMode4(n);
        break;
      case 5:
        DecodeLigneAdaptative(n);
        break;
      default:
        // Data of an unknown compression is still data, not HP-GL/2 text.
        Transfert(n).saute();
    }
    NoteRepriseCommande(kRepriseTransfertRtl);
  });
}

void AnalyseRtlOperationLogique() {
  lisGroupe([](int lettre, float v, bool) {
    if (lettre == 'O') Contexte.OperationFusion = OperationRasterMC(static_cast<int>(entier(v)));
  });
}

void AnalyseRtlPosition() {
  std::int32_t x = Sortie.RasterX, y = Sortie.RasterY;
  bool nouveauX = false, nouveauY = false;
  const bool applique = lisGroupe([&](int lettre, float v, bool relatif) {
    if (lettre == 'X') {
      x = sature((relatif ? static_cast<std::int64_t>(nouveauX ? x : Sortie.RasterX) : 0) + entier(v));
      nouveauX = true;
    } else if (lettre == 'Y') {
      y = sature((relatif ? static_cast<std::int64_t>(nouveauY ? y : Sortie.RasterY) : 0) + entier(v));
      nouveauY = true;
    }
  });
  if (!applique) return;
  if (nouveauX) Sortie.RasterX = x;
  if (nouveauY) {
    Sortie.RasterY = y;
    videGraines();
  }
}

void AnalyseRtlLargeurFin() {
  lisGroupe([](int lettre, float v, bool) {
    if (lettre == 'S') {
      largeurSource(v);
    } else if (lettre == 'C') {
      videGraines();
      Analyse.ModeCompression = 0;
      largeurSource(v);
    }
  });
}

void SauteGroupeRtl() {
  lisGroupe([](int, float, bool) {});
}

void AnalyseRtlConfigImage() {
  lisGroupe([](int lettre, float v, bool) {
    EtatAnalyse& a = Analyse;
    switch (lettre) {
      case 'A':
        a.Rouge = static_cast<std::int32_t>(entier(v));
        break;
      case 'B':
        a.Vert = static_cast<std::int32_t>(entier(v));
        break;
      case 'C':
        a.Bleu = static_cast<std::int32_t>(entier(v));
        break;
      case 'I': {
        // The palette has eight entries; another index is ignored.
        const std::int64_t i = entier(v);
        if (i < 0 || i > 7) break;
        const std::uint8_t r = composante(a.Rouge), g = composante(a.Vert), b = composante(a.Bleu);
        Contexte.PaletteRaster[i] = {b, g, r, 0};
        Sortie.ClasseCourante = static_cast<std::uint8_t>(ClasseCouleur(r, g, b));
        a.Rouge = a.Vert = a.Bleu = 0;
        break;
      }
      case 'N':
        a.Transparence = static_cast<std::int32_t>(entier(v));
        break;
      case 'W': {
        Transfert t(entier(v));
        if (t.reste() >= 3) {
          std::uint8_t espace = 0, codage = 0, bits = 0;
          t.lit(espace);
          t.lit(codage);
          t.lit(bits);
          configureImage(espace, codage, bits);
        }
        t.saute();
        break;
      }
      default:
        break;
    }
  });
}
