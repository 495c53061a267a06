#include "raster_job.h"

#include "debut.h"
#include "fichier_machine.h"
#include "preparation_image.h"
#include "vecteurs_job.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <cstring>
#include <vector>

namespace {

std::vector<std::uint8_t> tampon(ContexteConversion& ctx, std::int64_t n) {
  if (n < 0 || n > kCoteMaxMarquage * 8) ErreurFatale(ctx, MsgMemoire);
  try {
    return std::vector<std::uint8_t>(static_cast<std::size_t>(n));
  } catch (const std::bad_alloc&) {
    ErreurFatale(ctx, MsgMemoire);
  }
}

std::uint8_t inverseBits(std::uint8_t b) {
  b = static_cast<std::uint8_t>((b & 0xF0) >> 4 | (b & 0x0F) << 4);
  b = static_cast<std::uint8_t>((b & 0xCC) >> 2 | (b & 0x33) << 2);
  return static_cast<std::uint8_t>((b & 0xAA) >> 1 | (b & 0x55) << 1);
}

int pixel(const std::uint8_t* ligne, std::int64_t x, bool bits) {
  return bits ? ligne[x >> 3] >> (7 - (x & 7)) & 1 : ligne[x] != 0;
}

// The raster a writer works on: rows of largeur bytes, pixels dots used per row.
struct Image {
  HANDLE h = nullptr;
  bool temporaire = false;
  std::int64_t largeur = 0, hauteur = 0, pixels = 0;
  bool bits = false;
};

struct Resolutions {
  float x, y;
};

Resolutions resolutions(ContexteConversion& ctx) {
  const std::int32_t* ch = ctx.Entete.Champs;
  const bool echange = ch[ChOrientation] > 3;
  const std::int32_t x = echange ? ch[ChDpiY] : ch[ChDpiX], y = echange ? ch[ChDpiX] : ch[ChDpiY];
  if (x <= 0 || y <= 0) ErreurFatale(ctx, MsgDpi);
  return {static_cast<float>(x), static_cast<float>(y)};
}

// The stored raster turned to the marking orientation, in a new temp raster (orientation
// 0: the stored raster itself).
Image reoriente(ContexteConversion& ctx, EtatSortie& sortie, HANDLE& source, bool bits) {
  const int o = std::clamp(ctx.Entete.Champs[ChOrientation], 0, 7);
  const std::int64_t w = std::max(sortie.LargeurCourante, 0), h = std::max(sortie.HauteurCourante, 0);
  const std::int64_t utiles = bits ? std::clamp<std::int64_t>(ctx.LargeurPixelsStylo, 0, w * 8) : w;
  Image img{source, false, w, h, utiles, bits};
  if (o == 0 || w == 0 || h == 0) return img;
  HANDLE cible = CreeFichierTemp(ctx);
  try {
    if (o <= 3) {
      std::vector<std::uint8_t> ligne = tampon(ctx, w), miroir = tampon(ctx, w);
      for (std::int64_t r = 0; r < h; ++r) {
        LitRangee(ctx, source, r, w, 0, static_cast<std::size_t>(w), ligne.data());
        const std::uint8_t* donnees = ligne.data();
        if (o != 2) {
          if (bits) {
            std::fill(miroir.begin(), miroir.end(), 0);
            for (std::int64_t j = 0; j < utiles; ++j)
              if (pixel(ligne.data(), utiles - 1 - j, true))
                miroir[static_cast<std::size_t>(j >> 3)] |= static_cast<std::uint8_t>(0x80 >> (j & 7));
          } else {
            std::reverse_copy(ligne.begin(), ligne.end(), miroir.begin());
          }
          donnees = miroir.data();
        }
        EcritRangee(ctx, cible, o >= 2 ? h - 1 - r : r, w, 0, static_cast<std::size_t>(w), donnees);
      }
    } else {
      const std::int64_t largeur = bits ? (h + 7) / 8 : h;
      const std::int64_t colonnesSource = bits ? (o <= 5 ? w * 8 : utiles) : w;
      const std::int64_t hauteur = colonnesSource;
      if (largeur * hauteur > 0) {
        const std::uint8_t zero = 0;
        EcritRangee(ctx, cible, hauteur - 1, largeur, largeur - 1, 1, &zero);
      }
      std::int64_t lignes = static_cast<std::int64_t>(MemoireBlocs() / static_cast<std::uint64_t>(w));
      if (bits) lignes = lignes / 8 * 8;
      lignes = std::clamp<std::int64_t>(lignes, bits ? 8 : 1, h);
      std::vector<std::uint8_t> bloc = tampon(ctx, lignes * w);
      std::vector<std::uint8_t> segment = tampon(ctx, bits ? (lignes + 15) / 8 + 1 : lignes);
      for (std::int64_t r0 = 0; r0 < h; r0 += lignes) {
        const std::int64_t r1 = std::min(h, r0 + lignes), n = r1 - r0;
        LitRangee(ctx, source, r0, w, 0, static_cast<std::size_t>(n * w), bloc.data());
        const bool inverse = o == 5 || o == 7;
        const std::int64_t debut = inverse ? h - r1 : r0;
        for (std::int64_t d = 0; d < hauteur; ++d) {
          const std::int64_t c = o <= 5 ? d : colonnesSource - 1 - d;
          if (!bits) {
            for (std::int64_t i = 0; i < n; ++i)
              segment[static_cast<std::size_t>(inverse ? n - 1 - i : i)] = bloc[static_cast<std::size_t>(i * w + c)];
            EcritRangee(ctx, cible, d, largeur, debut, static_cast<std::size_t>(n), segment.data());
            continue;
          }
          const std::int64_t o0 = debut / 8, o1 = (debut + n + 7) / 8;
          LitRangee(ctx, cible, d, largeur, o0, static_cast<std::size_t>(o1 - o0), segment.data());
          for (std::int64_t i = 0; i < n; ++i) {
            if (!pixel(bloc.data() + i * w, c, true)) continue;
            const std::int64_t p = debut + (inverse ? n - 1 - i : i) - o0 * 8;
            segment[static_cast<std::size_t>(p >> 3)] |= static_cast<std::uint8_t>(0x80 >> (p & 7));
          }
          EcritRangee(ctx, cible, d, largeur, o0, static_cast<std::size_t>(o1 - o0), segment.data());
        }
      }
      img.largeur = largeur;
      img.hauteur = hauteur;
      img.pixels = bits ? h : largeur;
      sortie.LargeurCourante = static_cast<std::int32_t>(largeur);
      sortie.HauteurCourante = static_cast<std::int32_t>(hauteur);
      if (bits) ctx.LargeurPixelsStylo = static_cast<std::int32_t>(h);
    }
  } catch (...) {
    CloseHandle(cible);
    throw;
  }
  img.h = cible;
  img.temporaire = true;
  return img;
}

// Ink of the raster inside the forbidden rectangle ends the job.
void verifieZoneInterdite(ContexteConversion& ctx, Image& img, const Resolutions& res) {
  if (!(ctx.Options & kOptionZoneInterdite)) return;
  const std::int32_t* z = ctx.ZoneInterdite;
  const std::int32_t* ch = ctx.Entete.Champs;
  const std::int64_t x1 = ConvertitUnitesEnPoints(std::min(z[0], z[2]), res.x);
  const std::int64_t x2 = ConvertitUnitesEnPoints(std::max(z[0], z[2]), res.x);
  const std::int64_t y1 = ConvertitUnitesEnPoints(std::min(z[1], z[3]), res.y);
  const std::int64_t y2 = ConvertitUnitesEnPoints(std::max(z[1], z[3]), res.y);
  const std::int64_t ox = ConvertitUnitesEnPoints(ch[ChOrigineX], res.x);
  const std::int64_t oy = ch[ChTypeMarquageDemande] ? 0 : ConvertitUnitesEnPoints(ch[ChOrigineY], res.y);
  const std::int64_t largeur = img.bits ? img.largeur * 8 : img.largeur;
  if (!(ox <= x2 && x1 <= ox + largeur && oy <= y2 && y1 <= oy + img.hauteur)) return;
  const std::int64_t c0 = std::max<std::int64_t>(x1 - ox, 0), c1 = std::min(x2 - ox, largeur - 1);
  const std::int64_t l0 = std::max<std::int64_t>(y1 - oy, 0), l1 = std::min(y2 - oy, img.hauteur - 1);
  std::vector<std::uint8_t> ligne = tampon(ctx, img.largeur);
  for (std::int64_t r = l0; r <= l1; ++r) {
    LitRangee(ctx, img.h, r, img.largeur, 0, static_cast<std::size_t>(img.largeur), ligne.data());
    for (std::int64_t c = c0; c <= c1; ++c)
      if (pixel(ligne.data(), c, img.bits)) ErreurFatale(ctx, MsgZoneInterdite);
  }
}

// Focus steps between passes, pass N down to 1.
class Defocalisation {
 public:
  Defocalisation(ContexteConversion& ctx, EtatSortie& sortie, int stylo, int passes)
      : ctx_(ctx), sortie_(sortie), stylo_(stylo), passes_(passes) {}

  void passe(int p) {
    const SlotStylo& s = ctx_.Slots[stylo_];
    if (p == passes_) {
      EcritDeplacementFocus(ctx_, sortie_, static_cast<std::int64_t>(s.FocusDebut) - ctx_.FocusCourant);
      if (passes_ > 1) {
        pas_ = (static_cast<std::int64_t>(s.FocusFin) - s.FocusDebut) / (passes_ - 1);
        cumul_ = 0;
      }
    } else if (p == 1) {
      EcritDeplacementFocus(ctx_, sortie_, static_cast<std::int64_t>(s.FocusFin) - ctx_.FocusCourant);
    } else {
      cumul_ += static_cast<double>(pas_);
      auto d = static_cast<std::int64_t>(std::trunc(cumul_));
      if (std::llabs(d) >= ctx_.PasFocusMin) {
        LimiteDeplacementFocus(ctx_, stylo_, d);
        EcritDeplacementFocus(ctx_, sortie_, d);
        cumul_ = 0;
      }
    }
  }

 private:
  ContexteConversion& ctx_;
  EtatSortie& sortie_;
  int stylo_, passes_;
  std::int64_t pas_ = 0;
  double cumul_ = 0;
};

// Rows the writer reads at once: a megabyte at most, at least one row, at most the image.
std::int64_t rangeesParBloc(const Image& img) {
  const auto bloc = static_cast<std::int64_t>(std::min<std::uint64_t>(MemoireBlocs(), 1 << 20));
  return std::clamp<std::int64_t>(bloc / std::max<std::int64_t>(img.largeur, 1), 1,
                                  std::max<std::int64_t>(img.hauteur, 1));
}

class Ecrivain {
 public:
  Ecrivain(ContexteConversion& ctx, EtatAnalyse& analyse, EtatSortie& sortie, Image& img, int stylo)
      : ctx_(ctx), analyse_(analyse), sortie_(sortie), img_(img), stylo_(stylo), res_(resolutions(ctx)),
        parBloc_(rangeesParBloc(img)), ligne_(tampon(ctx, img.largeur * parBloc_)),
        donnees_(tampon(ctx, img.largeur)),
        compresse_(tampon(ctx, 2 * img.largeur + 2)) {}

  void ecrit() {
    const int passes = std::max<int>(ctx_.Slots[stylo_].Passes, 1);
    Defocalisation focus(ctx_, sortie_, stylo_, passes);
    if (!(ctx_.Options & kOptionPassesParGroupe)) {
      // The image is cut once: passes repeat what they write, not the search for it, so
      // many passes over a few dots do not read the whole image each time.
      struct Bande {
        std::int64_t y0, y1, x0;
        Morceaux morceaux;
      };
      std::vector<Bande> trouvees;
      bandes([&](std::int64_t y0, std::int64_t y1, std::int64_t x0, std::int64_t x1) {
        trouvees.push_back({y0, y1, x0, decoupe(y0, y1, x0, x1)});
      });
      repete(passes, focus, [&] {
        for (const Bande& b : trouvees) sousBandes(b.y0, b.y1, b.x0, b.morceaux);
      });
    } else {
      bandes([&](std::int64_t y0, std::int64_t y1, std::int64_t x0, std::int64_t x1) {
        groupes(y0, y1, x0, x1, [&](std::int64_t g0, std::int64_t g1) {
          const Morceaux morceaux = decoupe(y0, y1, g0, g1);
          repete(passes, focus, [&] { sousBandes(y0, y1, g0, morceaux); });
        });
      });
    }
    retourDebut();
  }

 private:
  // The passes, as long as one more as long as the last fits in the job the controller
  // takes; those that would not are dropped, said once.
  template <typename F>
  void repete(int passes, Defocalisation& focus, F&& passe) {
    std::uint64_t derniere = 0;
    for (int p = passes; p >= 1; --p) {
      if (p < passes && !TientDansLeJob(sortie_, std::max<std::uint64_t>(derniere, 1))) {
        if (!plafondSignale_) AfficheMessage(ctx_, MsgMemoire);
        plafondSignale_ = true;
        return;
      }
      const std::uint64_t avant = sortie_.CompteurOctets;
      focus.passe(p);
      passe();
      derniere = sortie_.CompteurOctets - avant;
    }
  }

  // Rows are read a block at a time: passes over a narrow image write millions of
  // short lines, and one file read per line cost more than the rest together.
  const std::uint8_t* rangee(std::int64_t y) {
    const std::int64_t debut = y / parBloc_ * parBloc_;
    if (debut != blocLu_) {
      const std::int64_t n = std::min(parBloc_, img_.hauteur - debut);
      LitRangee(ctx_, img_.h, debut, img_.largeur, 0, static_cast<std::size_t>(n * img_.largeur), ligne_.data());
      blocLu_ = debut;
    }
    return ligne_.data() + (y - debut) * img_.largeur;
  }

  // First non-zero byte of the row and one past the last; false when the row is blank.
  bool bornesOctets(std::int64_t y, std::int64_t& premier, std::int64_t& fin) {
    const std::uint8_t* l = rangee(y);
    std::int64_t a = 0, b = img_.largeur;
    while (a < b && l[a] == 0) ++a;
    if (a == b) return false;
    while (l[b - 1] == 0) --b;
    premier = a;
    fin = b;
    return true;
  }

  // The same in dots within [x0, x1).
  bool bornesPixels(std::int64_t y, std::int64_t x0, std::int64_t x1, std::int64_t& premier, std::int64_t& fin) {
    const std::uint8_t* l = rangee(y);
    std::int64_t a = x0, b = x1;
    while (a < b && !pixel(l, a, img_.bits)) ++a;
    if (a == b) return false;
    while (!pixel(l, b - 1, img_.bits)) --b;
    premier = a;
    fin = b;
    return true;
  }

  // Bands of non-blank rows in scan order, with their column bounds in dots.
  template <typename F>
  void bandes(F&& bande) {
    const std::int64_t h = img_.hauteur;
    const std::int64_t facteur = img_.bits ? 8 : 1;
    std::int64_t p, q;
    if (!basEnHaut()) {
      for (std::int64_t y = 0; y < h;) {
        while (y < h && !bornesOctets(y, p, q)) ++y;
        if (y == h) return;
        const std::int64_t y0 = y;
        std::int64_t x0 = img_.largeur, x1 = 0;
        for (; y < h && bornesOctets(y, p, q); ++y) {
          x0 = std::min(x0, p);
          x1 = std::max(x1, q);
        }
        bande(y0, y, x0 * facteur, x1 * facteur);
      }
    } else {
      for (std::int64_t y = h - 1; y >= 0;) {
        while (y >= 0 && !bornesOctets(y, p, q)) --y;
        if (y < 0) return;
        const std::int64_t y1 = y + 1;
        std::int64_t x0 = img_.largeur, x1 = 0;
        for (; y >= 0 && bornesOctets(y, p, q); --y) {
          x0 = std::min(x0, p);
          x1 = std::max(x1, q);
        }
        bande(y + 1, y1, x0 * facteur, x1 * facteur);
      }
    }
  }

  // Column groups of a band: runs of columns with ink in any of its rows.
  template <typename F>
  void groupes(std::int64_t y0, std::int64_t y1, std::int64_t x0, std::int64_t x1, F&& groupe) {
    std::vector<std::uint8_t> encre = tampon(ctx_, x1 - x0);
    for (std::int64_t y = y0; y < y1; ++y) {
      const std::uint8_t* l = rangee(y);
      for (std::int64_t x = x0; x < x1; ++x)
        if (pixel(l, x, img_.bits)) encre[static_cast<std::size_t>(x - x0)] = 1;
    }
    for (std::int64_t x = x0; x < x1;) {
      while (x < x1 && !encre[static_cast<std::size_t>(x - x0)]) ++x;
      if (x == x1) return;
      const std::int64_t g0 = x;
      while (x < x1 && encre[static_cast<std::size_t>(x - x0)]) ++x;
      groupe(g0, x);
    }
  }

  bool basEnHaut() const { return (ctx_.Options & kOptionBasEnHaut) != 0; }

  std::int32_t colonneTete(std::int64_t x) const {
    return static_cast<std::int32_t>(img_.bits ? x / 8 : x);
  }

  void deplace(std::int64_t x, std::int64_t ligne) {
    EcritDeplacementRelatif(ctx_, sortie_, colonneTete(x), static_cast<std::int32_t>(ligne), img_.bits ? 1 : 0);
  }

  // Sub-bands of steady width within columns [x0, x1) of band rows [y0, y1).
  // Runs of lines of similar bounds within a band, in scan order: {first row, row after, x0, x1}.
  using Morceaux = std::vector<std::array<std::int64_t, 4>>;
  Morceaux decoupe(std::int64_t y0, std::int64_t y1, std::int64_t x0, std::int64_t x1) {
    const bool inverse = basEnHaut();
    const std::int64_t pas = inverse ? -1 : 1;
    const std::int64_t premiere = inverse ? y1 - 1 : y0, apres = inverse ? y0 - 1 : y1;
    Morceaux morceaux;
    std::int64_t p, q;
    for (std::int64_t y = premiere; y != apres;) {
      while (y != apres && !bornesPixels(y, x0, x1, p, q)) y += pas;
      if (y == apres) break;
      const std::int64_t debut = y;
      std::int64_t minP = p, maxP = p, minF = q, maxF = q;
      for (y += pas; y != apres; y += pas) {
        if (!bornesPixels(y, x0, x1, p, q)) break;
        const std::int64_t a = std::min(minP, p), b = std::max(maxP, p), c = std::min(minF, q), d = std::max(maxF, q);
        if ((b - a > 5 || d - c > 5) && y + pas != apres) break;
        minP = a;
        maxP = b;
        minF = c;
        maxF = d;
      }
      morceaux.push_back({debut, y, minP, maxF});
    }
    return morceaux;
  }

  // One pass over a band cut by decoupe.
  void sousBandes(std::int64_t y0, std::int64_t y1, std::int64_t x0, const Morceaux& morceaux) {
    const std::int64_t premiere = basEnHaut() ? y1 - 1 : y0;
    deplace(x0, premiere);
    if (sortie_.DebutRasterX == -1.0) {
      sortie_.DebutRasterX = ConvertitPointsEnUnites(img_.bits ? colonneTete(x0) * 8 : colonneTete(x0), res_.x);
      sortie_.DebutRasterY = ConvertitPointsEnUnites(static_cast<std::int32_t>(premiere), res_.y);
      NoteDebutRepetition(ctx_, sortie_);
    }
    for (const auto& [debut, fin, a, b] : morceaux) lignes(debut, fin, a, b);
  }

  // Lines of rows debut (included) to fin (excluded) in scan order, columns [x0, x1).
  void lignes(std::int64_t debut, std::int64_t fin, std::int64_t x0, std::int64_t x1) {
    const std::int64_t pas = debut <= fin ? 1 : -1;
    deplace(x0, debut);
    std::int64_t o0 = x0, o1 = x1;
    if (img_.bits) {
      o0 = x0 / 8;
      o1 = (x1 + 7) / 8;
    }
    const auto n = static_cast<std::size_t>(o1 - o0);
    for (std::int64_t y = debut; y != fin; y += pas) {
      // Each line leaves the head a row further down: going up, a line is reached by a move.
      if (y != debut) deplace(x0, y);
      const std::uint8_t* l = rangee(y);
      std::memcpy(donnees_.data(), l + o0, n);
      if (img_.bits) {
        // Only the sub-band's dots, each at its own bit position.
        const std::int64_t avant = x0 - o0 * 8, apres = o1 * 8 - x1;
        donnees_[0] = static_cast<std::uint8_t>(donnees_[0] & (0xFF >> avant));
        donnees_[n - 1] = static_cast<std::uint8_t>(donnees_[n - 1] & (0xFF << apres));
      }
      const std::size_t taille =
          CompresseLignePackBits(analyse_, donnees_.data(), n, img_.bits ? 1 : 0, compresse_.data());
      const bool avant = analyse_.SensLigne == 0;
      const char* code = img_.bits ? (avant ? "C1" : "C2") : (avant ? "C3" : "C4");
      EcritLigneRaster(ctx_, sortie_, code, compresse_.data(), taille);
      analyse_.SensLigne = avant ? 1 : 0;
      sortie_.DernierY = static_cast<std::int32_t>(y + 1);
    }
    if (analyse_.SensLigne == 1) {
      EcritFonction(ctx_, sortie_, "R5", 0);
      analyse_.SensLigne = 0;
    }
    sortie_.DernierX = colonneTete(x0);
  }

  // Back to the page's first raster position when repeat copies follow this image.
  void retourDebut() {
    const std::uint32_t autres = img_.bits ? 6u : 4u;
    if (ctx_.NombreRepetitions <= 0 || (sortie_.MasqueContenu & autres) || sortie_.DebutRasterX < 0) return;
    const std::int32_t x = ConvertitUnitesEnPoints(sortie_.DebutRasterX, res_.x);
    const std::int32_t y = ConvertitUnitesEnPoints(sortie_.DebutRasterY, res_.y);
    const std::int64_t dx = static_cast<std::int64_t>(x) - (img_.bits ? sortie_.DernierX * 8LL : sortie_.DernierX);
    const std::int64_t dy = static_cast<std::int64_t>(y) - sortie_.DernierY;
    EcritFonction32(ctx_, sortie_, "RX", static_cast<std::uint32_t>(dx));
    EcritFonction32(ctx_, sortie_, "RY", static_cast<std::uint32_t>(dy));
    // The next image moves from where the head now is.
    sortie_.DernierX = img_.bits ? x / 8 : x;
    sortie_.DernierY = y;
  }

  ContexteConversion& ctx_;
  EtatAnalyse& analyse_;
  EtatSortie& sortie_;
  Image& img_;
  int stylo_;
  Resolutions res_;
  std::int64_t parBloc_;
  std::vector<std::uint8_t> ligne_, donnees_, compresse_;
  std::int64_t blocLu_ = -1;
  bool plafondSignale_ = false;
};

struct Fermeture {
  Image& img;
  ~Fermeture() {
    if (img.temporaire && img.h) CloseHandle(img.h);
  }
};

void ecritImage(ContexteConversion& ctx, EtatAnalyse& analyse, EtatSortie& sortie, HANDLE& raster, bool bits,
                int stylo) {
  if (!raster) return;
  const Resolutions res = resolutions(ctx);
  Image img = reoriente(ctx, sortie, raster, bits);
  Fermeture fermeture{img};
  verifieZoneInterdite(ctx, img, res);
  if (img.largeur == 0 || img.hauteur == 0) return;
  Ecrivain(ctx, analyse, sortie, img, stylo).ecrit();
}

}  // namespace

std::size_t CompresseLignePackBits(const EtatAnalyse& analyse, const std::uint8_t* ligne, std::size_t n,
                                   int bits, std::uint8_t* out) {
  if (analyse.SensLigne != 1) return CompressePackBits(ligne, n, out);
  std::vector<std::uint8_t> miroir(n);
  for (std::size_t k = 0; k < n; ++k) miroir[k] = bits ? inverseBits(ligne[n - 1 - k]) : ligne[n - 1 - k];
  return CompressePackBits(miroir.data(), n, out);
}

void EcritDeplacementRelatif(ContexteConversion& ctx, EtatSortie& sortie, std::int32_t x, std::int32_t ligne,
                             int octets) {
  if (x == sortie.DernierX && ligne == sortie.DernierY) return;
  const std::int64_t dx = (static_cast<std::int64_t>(x) - sortie.DernierX) * (octets ? 8 : 1);
  const std::int64_t dy = static_cast<std::int64_t>(ligne) - sortie.DernierY;
  EcritFonction32(ctx, sortie, "RX", static_cast<std::uint32_t>(dx));
  EcritFonction32(ctx, sortie, "RY", static_cast<std::uint32_t>(dy));
  sortie.DernierX = x;
  sortie.DernierY = ligne;
}

void NettoieBordRaster(ContexteConversion& ctx, EtatSortie& sortie) {
  const std::int64_t w = sortie.LargeurCourante, h = sortie.HauteurCourante;
  if (!sortie.hRasterGris || w < 8 || h < 8) return;
  HANDLE& f = sortie.hRasterGris;
  std::vector<std::uint8_t> l = tampon(ctx, w);
  bool gauche = false, droite = false, haut = false, bas = false;
  auto encre = [&](std::int64_t de, std::int64_t a) {
    return std::any_of(l.begin() + de, l.begin() + a + 1, [](std::uint8_t v) { return v != 0; });
  };
  for (std::int64_t r = 2; r <= h - 3; ++r) {
    LitRangee(ctx, f, r, w, 0, static_cast<std::size_t>(w), l.data());
    gauche = gauche || l[2] || l[3];
    droite = droite || l[static_cast<std::size_t>(w - 3)] || l[static_cast<std::size_t>(w - 4)];
    if (r == 2 || r == 3) haut = haut || encre(2, w - 3);
    if (r == h - 4 || r == h - 3) bas = bas || encre(2, w - 3);
  }
  for (std::int64_t r = 0; r < h; ++r) {
    const bool bord = (r < 2 && !haut) || (r >= h - 2 && !bas);
    if (!bord && (gauche && droite)) continue;
    LitRangee(ctx, f, r, w, 0, static_cast<std::size_t>(w), l.data());
    if (bord) std::fill(l.begin(), l.end(), 0);
    if (!(gauche && droite)) {
      if (!gauche) l[0] = l[1] = 0;
      if (!droite) l[static_cast<std::size_t>(w - 2)] = l[static_cast<std::size_t>(w - 1)] = 0;
    }
    EcritRangee(ctx, f, r, w, 0, static_cast<std::size_t>(w), l.data());
  }
}

void EcritRasterGris(ContexteConversion& ctx, EtatAnalyse& analyse, EtatSortie& sortie) {
  if (LitOptionsImage(ctx).relief && sortie.DrapeauxJob == 1) NettoieBordRaster(ctx, sortie);
  ecritImage(ctx, analyse, sortie, sortie.hRasterGris, false, 0);
}

void EcritRasterStylo(ContexteConversion& ctx, EtatAnalyse& analyse, EtatSortie& sortie) {
  const int classe = sortie.ClasseCourante & 7;
  ecritImage(ctx, analyse, sortie, sortie.hRastersClasse[classe], true, classe);
}
